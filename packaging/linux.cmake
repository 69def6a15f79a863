# Installs Tuv-R as a Linux desktop application laid out by GNUInstallDirs,
# and packages it for Debian:  cpack -G DEB  in the build folder.

set(TUVR_HOMEPAGE "https://norvake.com/tuv-r/")
set(TUVR_MAINTAINER "Tuv-R developers <tuv-r@norvake.com>")
# The prefix of the Debian package, which the manual page names.
set(TUVR_PACKAGE_PREFIX /usr)
set(TUVR_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tuv-r)

# The Debian changelog is the release record: its top entry must be this
# version, and its date is the release date that the metainfo and the manual
# page show, so the three cannot drift apart.
file(STRINGS changelog top_entry LIMIT_COUNT 1)
string(REPLACE "." "\\." version_pattern ${PROJECT_VERSION})
if(NOT top_entry MATCHES "^tuv-r \\(${version_pattern}-([0-9]+)\\) ")
    message(FATAL_ERROR "packaging/changelog must begin with an entry for ${PROJECT_VERSION}-N")
endif()
set(TUVR_DEBIAN_REVISION ${CMAKE_MATCH_1})
file(STRINGS changelog signature REGEX "^ -- " LIMIT_COUNT 1)
if(NOT signature MATCHES ">  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    message(FATAL_ERROR "packaging/changelog: no date in '${signature}'")
endif()
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months ${CMAKE_MATCH_2} month)
math(EXPR month "${month} + 1")
if(month LESS 10)
    set(month 0${month})
endif()
set(TUVR_RELEASE_DATE ${CMAKE_MATCH_3}-${month}-${CMAKE_MATCH_1})

install(TARGETS tuv-r RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Generic names such as encoder.exe stay out of bin/: the program finds them,
# and on Linux the supervisor every job runs under, here.
install(TARGETS encoder decoder RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/tuv-r)
if(TARGET supervisor)
    install(TARGETS supervisor RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/tuv-r)
endif()
# The tools' catalogues (share/locale/ru/LC_MESSAGES/tuvr-tools.mo), where
# the tools look for them from their own folder.
install(DIRECTORY ${TUVR_RUN_LOCALE_DIR}/ DESTINATION ${CMAKE_INSTALL_LOCALEDIR})

# Installed without the territory (Tuv_R_ru.qm), so every Russian locale finds it.
get_directory_property(qm_files DIRECTORY ${PROJECT_SOURCE_DIR}/translations DEFINITION TUVR_QM_FILES)
foreach(qm IN LISTS qm_files)
    get_filename_component(name ${qm} NAME)
    string(REGEX REPLACE "^(.*_[a-z]+)_[A-Z]+\\.qm$" "\\1.qm" name ${name})
    install(FILES ${qm} DESTINATION ${CMAKE_INSTALL_DATADIR}/tuv-r/translations RENAME ${name})
endforeach()

install(FILES ${TUVR_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${TUVR_APP_ID}.metainfo.xml.in ${TUVR_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${TUVR_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# make_logo.py lays the icons out as the icon theme has them.
install(DIRECTORY icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# Manual pages and the changelog are installed compressed, without a time
# stamp, as Debian expects.
set(TUVR_PACKAGE_TOOLS_DIR ${TUVR_PACKAGE_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/tuv-r)
set(TUVR_PACKAGE_CATALOGUES_DIR ${TUVR_PACKAGE_PREFIX}/${CMAKE_INSTALL_DATADIR}/tuv-r/translations)
configure_file(tuv-r.1.in tuv-r.1 @ONLY)
configure_file(changelog changelog.Debian COPYONLY)
set(compressed)
foreach(file tuv-r.1 changelog.Debian)
    add_custom_command(OUTPUT ${file}.gz
        COMMAND gzip -9 -n -k -f ${file}
        DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${file}
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        VERBATIM)
    list(APPEND compressed ${CMAKE_CURRENT_BINARY_DIR}/${file}.gz)
endforeach()
add_custom_target(tuvr_compressed_docs ALL DEPENDS ${compressed})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tuv-r.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz DESTINATION ${TUVR_DOC_DIR})
# Debian points to /usr/share/common-licenses instead, so the package leaves it out.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${TUVR_DOC_DIR} COMPONENT licence)

# Everything the install rules take from the build, to build before installing.
add_custom_target(tuvr_installables)
add_dependencies(tuvr_installables tuvr_program tuvr_compressed_docs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tuv-r)
set(CPACK_PACKAGE_VENDOR ${TUVR_ORGANIZATION})
set(CPACK_PACKAGE_CONTACT ${TUVR_MAINTAINER})
set(CPACK_PACKAGE_HOMEPAGE_URL ${TUVR_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compress raw YUV video with a command-line encoder")
set(CPACK_PACKAGE_DESCRIPTION [=[
Tuv-R is a small desktop front-end for people who compress raw video.
One window with two buttons leads the user through each job: Encoder
turns a planar YUV 4:2:0 clip into a stream at the chosen frame size,
number of frames and quality, and shows the encoder's compression
report; Decoder turns a stream back into a raw YUV clip.

The package includes a stand-in encoder and decoder built on libx264
and libavcodec. Any pair of programs with the same command lines can
take their place when they come first on PATH.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX ${TUVR_PACKAGE_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Everything installed but the licence text.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};Unspecified;/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TUVR_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialogs are translated from Qt's installed catalogues. The
# program loads libswscale itself (jobs/swscalelibrary_loaded.cpp), so no
# shared-library check sees it.
string(REGEX MATCH "^[0-9]+" tuvr_swscale_major ${SWSCALE_VERSION})
if(TUVR_QT_MAJOR EQUAL 6)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, libswscale${tuvr_swscale_major}")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qttranslations5-l10n, libswscale${tuvr_swscale_major}")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
