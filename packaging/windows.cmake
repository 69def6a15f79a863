# Installs Tuv-R as a Windows program keeps itself: everything in its own
# folder, laid out as the build's run/ (the tools, DLLs and plugins beside
# tuv-r.exe, the catalogues in translations/, the tools' in locale/), and
# packages it as an NSIS installer:  cpack -G NSIS  in the build folder
# (scripts/windows/package.sh).

install(TARGETS tuv-r encoder decoder RUNTIME DESTINATION .)
include(${PROJECT_SOURCE_DIR}/cmake/WindowsRuntime.cmake)
tuvr_install_windows_runtime(.)
# The program's catalogue without the territory, so every Russian locale finds it.
get_directory_property(qm_files DIRECTORY ${PROJECT_SOURCE_DIR}/translations DEFINITION TUVR_QM_FILES)
foreach(qm IN LISTS qm_files)
    get_filename_component(name ${qm} NAME)
    string(REGEX REPLACE "^(.*_[a-z]+)_[A-Z]+\\.qm$" "\\1.qm" name ${name})
    install(FILES ${qm} DESTINATION translations RENAME ${name})
endforeach()
install(DIRECTORY ${TUVR_RUN_DIR}/translations/ DESTINATION translations)
# The tools' catalogues, which they find from their own folder.
install(DIRECTORY ${TUVR_RUN_LOCALE_DIR}/ DESTINATION ${TUVR_LOCALE_FROM_TOOLS})
# Tells Qt where its own catalogues are, whatever folder the program starts in.
install(FILES windows/qt.conf DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

set(CPACK_GENERATOR NSIS)
# The NSIS commands below go into CPack's configuration as they stand.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME Tuv-R)
set(CPACK_PACKAGE_VENDOR ${TUVR_ORGANIZATION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compress raw YUV video with a command-line encoder")
set(CPACK_PACKAGE_FILE_NAME tuv-r-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tuv-R)
# The installer's own key, Software\NORVAKE\Tuv-R, beside the user's
# settings, which an uninstall leaves unless the user asks.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Tuv-R)
set(CPACK_TUVR_SETTINGS_NAME ${TUVR_SETTINGS_NAME})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_NSIS_PACKAGE_NAME Tuv-R)
set(CPACK_NSIS_DISPLAY_NAME Tuv-R)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/tuv-r.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/tuv-r.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME tuv-r.exe)
set(CPACK_NSIS_URL_INFO_ABOUT "https://norvake.com/tuv-r/")
set(CPACK_NSIS_CONTACT "Tuv-R developers <tuv-r@norvake.com>")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
# The menu starts the program as the Linux menu does: config.txt in the
# user's data folder, never in the program's, which may not be writable.
set(CPACK_NSIS_CREATE_ICONS_EXTRA
    "CreateShortCut '$SMPROGRAMS\\$STARTMENU_FOLDER\\Tuv-R.lnk' '$INSTDIR\\tuv-r.exe' '--data-folder' '$INSTDIR\\tuv-r.exe' 0")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "Delete '$SMPROGRAMS\\$MUI_TEMP\\Tuv-R.lnk'")
# The user's settings and data folder go only when asked: by a yes, or by
# /REMOVESETTINGS on the uninstaller's command line.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "Call un.RemoveSettingsIfAsked")
# Our copy of CMake's NSIS template: a 64-bit installer, English and Russian
# pages, per-user or all-users installs, an earlier install removed first.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_SOURCE_DIR}/windows)
include(CPack)
