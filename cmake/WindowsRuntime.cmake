# What a Windows program of ours needs in its own folder to run anywhere, laid
# out as Qt's windeployqt would (a Windows program itself): Qt's DLLs, the
# platform plugins (windows for the desktop, offscreen for runs without one),
# the native style and the icon reader the window's icon needs, in their
# plugin folders; and the compiler's C++ runtime, which Qt's DLLs link.

set(TUVR_WINDOWS_QT_DLLS Qt${TUVR_QT_MAJOR}::Core Qt${TUVR_QT_MAJOR}::Gui Qt${TUVR_QT_MAJOR}::Widgets)
set(TUVR_WINDOWS_QT_PLUGINS
    platforms Qt${TUVR_QT_MAJOR}::QWindowsIntegrationPlugin
    platforms Qt${TUVR_QT_MAJOR}::QOffscreenIntegrationPlugin
    styles Qt${TUVR_QT_MAJOR}::QWindowsVistaStylePlugin
    imageformats Qt${TUVR_QT_MAJOR}::QICOPlugin)

# The compiler's DLL name, as a full path from its own folders.
function(tuvr_compiler_dll name out)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} has no ${name}")
    endif()
    set(${out} ${path} PARENT_SCOPE)
endfunction()

# Copies it all beside target's executable after each link.
function(tuvr_deploy_windows_runtime target)
    set(folder $<TARGET_FILE_DIR:${target}>)
    set(files)
    foreach(dll IN LISTS TUVR_WINDOWS_QT_DLLS)
        list(APPEND files $<TARGET_FILE:${dll}>)
    endforeach()
    foreach(name libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
        tuvr_compiler_dll(${name} path)
        list(APPEND files ${path})
    endforeach()
    set(commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${files} ${folder})
    set(plugins ${TUVR_WINDOWS_QT_PLUGINS})
    while(plugins)
        list(POP_FRONT plugins kind plugin)
        list(APPEND commands
             COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}/${kind}
             COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${plugin}> ${folder}/${kind})
    endwhile()
    add_custom_command(TARGET ${target} POST_BUILD ${commands} VERBATIM)
endfunction()
