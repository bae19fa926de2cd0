# The JUCE modules, compiled once into one static library that the plug-in,
# the tests and the tools share. Position-independent and with hidden
# visibility, so that nothing of JUCE is exported from Tattlebox.so.

set(TB_JUCE_DEFINITIONS
    JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_USE_XSHM=1
    JUCE_CHECK_MEMORY_LEAKS=0)

add_library(tb_juce STATIC)

if(TB_LOG_ONLY)
    target_link_libraries(tb_juce PRIVATE juce::juce_core)
elseif(WIN32)
    include(TattleboxJuceWindows)
else()
    # JUCE's VST 2 host (tools/tbhost) wants Steinberg's header names; Debian's
    # fst supplies them, with one fault mended here at build time: fst declares
    # VstSpeakerArrangement::speakers[] as a flexible array, and JUCE writes
    # eight entries into it.
    set(TB_VST2_DIR ${CMAKE_BINARY_DIR}/vst2headers)
    set(TB_FST_DIR /usr/include/pluginterfaces/fst)
    file(READ ${TB_FST_DIR}/fst.h TB_FST_TEXT)
    string(REPLACE "t_fstSpeakerProperties speakers[];" "t_fstSpeakerProperties speakers[8];"
           TB_FST_FIXED "${TB_FST_TEXT}")
    if(TB_FST_FIXED STREQUAL TB_FST_TEXT)
        message(FATAL_ERROR "fst.h no longer has the flexible speakers[] array; review the fix")
    endif()
    # Written through configure_file, which leaves an unchanged file alone, so
    # that a new configure does not rebuild JUCE's plug-in host.
    file(WRITE ${CMAKE_BINARY_DIR}/vst2headers.tmp/fst.h "${TB_FST_FIXED}")
    file(WRITE ${CMAKE_BINARY_DIR}/vst2headers.tmp/aeffect.h
         "#pragma once\n#define FST2VST 1\n#include \"fst.h\"\n")
    foreach(h fst.h aeffect.h aeffectx.h)
        set(source ${CMAKE_BINARY_DIR}/vst2headers.tmp/${h})
        if(h STREQUAL "aeffectx.h")
            set(source ${CMAKE_BINARY_DIR}/vst2headers.tmp/aeffect.h)
        endif()
        configure_file(${source} ${TB_VST2_DIR}/pluginterfaces/vst2.x/${h} COPYONLY)
    endforeach()
    target_include_directories(tb_juce PUBLIC ${TB_VST2_DIR})

    target_link_libraries(tb_juce PRIVATE
        juce::juce_core juce::juce_events juce::juce_data_structures
        juce::juce_graphics juce::juce_gui_basics juce::juce_gui_extra
        juce::juce_audio_basics juce::juce_audio_processors)
    # Debian's JUCE decodes PNG and JPEG with the system's libraries.
    target_link_libraries(tb_juce PUBLIC juce::pkgconfig_JUCE_IMG_LINUX_DEPS)
    list(APPEND TB_JUCE_DEFINITIONS JUCE_PLUGINHOST_VST=1 JUCE_PLUGINHOST_VST3=0
         JUCE_PLUGINHOST_LADSPA=0 JUCE_PLUGINHOST_LV2=0)
endif()

target_compile_definitions(tb_juce PUBLIC ${TB_JUCE_DEFINITIONS})
target_link_libraries(tb_juce PUBLIC juce::juce_recommended_config_flags Threads::Threads ${CMAKE_DL_LIBS})
target_compile_options(tb_juce PRIVATE -w -ffunction-sections -fdata-sections)

# Consumers see the modules' headers and the same definitions the library was built with.
target_compile_definitions(tb_juce INTERFACE
    $<TARGET_PROPERTY:tb_juce,COMPILE_DEFINITIONS>)
target_include_directories(tb_juce INTERFACE
    $<TARGET_PROPERTY:tb_juce,INCLUDE_DIRECTORIES>)
