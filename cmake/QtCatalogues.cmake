# Where this Qt keeps its own translation catalogues. A cross build takes the
# catalogues of the Qt that runs its tools here: they are the same files for
# every system, and the target's Qt has none (nor a qmake that runs here).
function(tuvr_qt_translations_dir out)
    if(CMAKE_CROSSCOMPILING)
        find_package(Qt${TUVR_QT_MAJOR}HostInfo CONFIG REQUIRED
                     PATHS ${QT_HOST_PATH_CMAKE_DIR} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
        set(dir ${QT_HOST_PATH}/${QT${TUVR_QT_MAJOR}_HOST_INFO_TRANSLATIONSDIR})
    else()
        get_target_property(qmake Qt${TUVR_QT_MAJOR}::qmake LOCATION)
        execute_process(COMMAND ${qmake} -query QT_INSTALL_TRANSLATIONS
                        OUTPUT_VARIABLE dir OUTPUT_STRIP_TRAILING_WHITESPACE)
    endif()
    set(${out} ${dir} PARENT_SCOPE)
endfunction()

# The catalogues that a .qm file names as its dependencies (Qt 6's qt_ru.qm
# holds no texts of its own, only "qtbase_ru" and the like), without suffix.
# A .qm file is a 16-byte magic followed by sections: one tag byte, a 32-bit
# big-endian length, then the data; tag 0x96 lists the dependencies as
# length-prefixed UTF-16BE names.
function(tuvr_qm_dependencies qm out)
    file(READ ${qm} hex HEX)
    string(LENGTH "${hex}" end)
    set(deps)
    set(pos 32)
    while(pos LESS end)
        string(SUBSTRING "${hex}" ${pos} 2 tag)
        math(EXPR lenpos "${pos} + 2")
        string(SUBSTRING "${hex}" ${lenpos} 8 lenhex)
        math(EXPR len "0x${lenhex}")
        math(EXPR data "${pos} + 10")
        math(EXPR pos "${data} + 2 * ${len}")
        if(tag STREQUAL "96")
            _tuvr_qm_names("${hex}" ${data} ${pos} deps)
        endif()
    endwhile()
    set(${out} ${deps} PARENT_SCOPE)
endfunction()

# The catalogue names are ASCII: every second byte of UTF-16BE is the letter.
function(_tuvr_qm_names hex from to out)
    set(names ${${out}})
    set(pos ${from})
    while(pos LESS to)
        string(SUBSTRING "${hex}" ${pos} 8 lenhex)
        math(EXPR bytes "0x${lenhex}")
        math(EXPR pos "${pos} + 8")
        math(EXPR stop "${pos} + 2 * ${bytes}")
        set(name "")
        while(pos LESS stop)
            math(EXPR low "${pos} + 2")
            string(SUBSTRING "${hex}" ${low} 2 code)
            math(EXPR code "0x${code}")
            string(ASCII ${code} letter)
            string(APPEND name "${letter}")
            math(EXPR pos "${pos} + 4")
        endwhile()
        list(APPEND names ${name})
    endwhile()
    set(${out} ${names} PARENT_SCOPE)
endfunction()

# Copies the catalogue base_name.qm and every catalogue it depends on from
# Qt's translations folder into dest; warns when Qt has none.
function(tuvr_copy_qt_catalogue base_name dest)
    tuvr_qt_translations_dir(dir)
    if(NOT EXISTS ${dir}/${base_name}.qm)
        message(WARNING "${base_name}.qm was not found in ${dir}; Qt's own dialogs will not be translated")
        return()
    endif()
    tuvr_qm_dependencies(${dir}/${base_name}.qm deps)
    set(files ${dir}/${base_name}.qm)
    foreach(dep IN LISTS deps)
        list(APPEND files ${dir}/${dep}.qm)
    endforeach()
    file(COPY ${files} DESTINATION ${dest})
endfunction()
