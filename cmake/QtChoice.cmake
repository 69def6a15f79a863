# Qt 6 unless TUVR_QT_MAJOR says 5. A build folder keeps the Qt it was first
# configured with: switching means a new folder, never a silent mix of both.
set(TUVR_QT_MAJOR 6 CACHE STRING "Major version of Qt to build with (6 or 5)")
set_property(CACHE TUVR_QT_MAJOR PROPERTY STRINGS 6 5)
if(NOT TUVR_QT_MAJOR MATCHES "^[56]$")
    message(FATAL_ERROR "TUVR_QT_MAJOR is '${TUVR_QT_MAJOR}'; it must be 6 or 5.")
endif()

if(TUVR_QT_MAJOR EQUAL 6)
    set(_tuvr_other_qt 5)
else()
    set(_tuvr_other_qt 6)
endif()
if(DEFINED CACHE{TUVR_QT_MAJOR_CONFIGURED})
    set(_tuvr_configured_qt ${TUVR_QT_MAJOR_CONFIGURED})
elseif(DEFINED CACHE{Qt${_tuvr_other_qt}Core_DIR})
    set(_tuvr_configured_qt ${_tuvr_other_qt})
endif()
if(DEFINED _tuvr_configured_qt AND NOT _tuvr_configured_qt EQUAL TUVR_QT_MAJOR)
    # Keep the folder usable as it was.
    set(TUVR_QT_MAJOR ${_tuvr_configured_qt} CACHE STRING "" FORCE)
    message(FATAL_ERROR "${CMAKE_BINARY_DIR} was configured with Qt ${_tuvr_configured_qt}; "
                        "configure a new build folder for Qt ${TUVR_QT_MAJOR}.")
endif()
set(TUVR_QT_MAJOR_CONFIGURED ${TUVR_QT_MAJOR} CACHE INTERNAL "The Qt this build folder uses")

if(TUVR_QT_MAJOR EQUAL 6)
    find_package(Qt6 6.2 REQUIRED COMPONENTS Core Gui Widgets LinguistTools Test)
else()
    find_package(Qt5 5.15 REQUIRED COMPONENTS Core Gui Widgets LinguistTools Test)
endif()
# Taskbar progress and desktop notifications go over D-Bus where Qt has it;
# without it (TUVR_DBUS=OFF) the program sends nothing. Windows has its own
# taskbar, and a Windows Qt's D-Bus module would talk to no desktop.
if(WIN32)
    set(tuvr_dbus_default OFF)
else()
    set(tuvr_dbus_default ON)
endif()
option(TUVR_DBUS "Send taskbar progress and notifications over D-Bus when Qt has it" ${tuvr_dbus_default})
if(TUVR_DBUS)
    find_package(Qt${TUVR_QT_MAJOR} QUIET OPTIONAL_COMPONENTS DBus)
endif()
# Qt's Gui may bring its D-Bus module along: the option decides, not the target.
if(TUVR_DBUS AND TARGET Qt::DBus)
    set(TUVR_WITH_DBUS ON)
else()
    set(TUVR_WITH_DBUS OFF)
endif()
message(STATUS "Taskbar progress and notifications over D-Bus: ${TUVR_WITH_DBUS}")
message(STATUS "Building with Qt ${Qt${TUVR_QT_MAJOR}Core_VERSION}")
