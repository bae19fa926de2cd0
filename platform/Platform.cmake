# The platform layer's sources for the platform being built, in three groups:
# what the call log needs, what the bridge needs, and what must be linked into
# the plug-in module itself (entry glue the linker must not drop).
if(WIN32)
    set(TB_PLATFORM_DIR ${CMAKE_CURRENT_LIST_DIR}/windows)
    set(TB_PLATFORM_LOG_SOURCES ${TB_PLATFORM_DIR}/DebugOutput.cpp ${TB_PLATFORM_DIR}/Clock.cpp)
    set(TB_PLATFORM_BRIDGE_SOURCES
        ${TB_PLATFORM_DIR}/Display.cpp
        ${TB_PLATFORM_DIR}/FileDialog.cpp
        ${TB_PLATFORM_DIR}/MessageThread.cpp
        ${TB_PLATFORM_DIR}/ModuleFile.cpp)
    set(TB_PLATFORM_MODULE_SOURCES
        ${TB_PLATFORM_DIR}/LibraryLifetime.cpp
        ${TB_PLATFORM_DIR}/Tattlebox.def)
else()
    set(TB_PLATFORM_DIR ${CMAKE_CURRENT_LIST_DIR}/linux)
    set(TB_PLATFORM_LOG_SOURCES ${TB_PLATFORM_DIR}/DebugOutput.cpp)
    set(TB_PLATFORM_BRIDGE_SOURCES
        ${TB_PLATFORM_DIR}/Display.cpp
        ${TB_PLATFORM_DIR}/FileDialog.cpp
        ${TB_PLATFORM_DIR}/MessageThread.cpp
        ${TB_PLATFORM_DIR}/ModuleFile.cpp
        ${TB_PLATFORM_DIR}/ProcessState.cpp
        ${TB_PLATFORM_DIR}/XErrorGuard.cpp)
    set(TB_PLATFORM_MODULE_SOURCES ${TB_PLATFORM_DIR}/LibraryLifetime.cpp)
endif()
list(APPEND TB_PLATFORM_BRIDGE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/MessageThread.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PluginLibrary.cpp)
