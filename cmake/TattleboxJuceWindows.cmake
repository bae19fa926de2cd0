# tb_juce for Windows (mingw-w64 cross build): the plug-in's GUI modules, no
# plug-in host. Included from TattleboxJuce.cmake.
#
# Debian's JUCE has its bundled zlib, libpng and libjpeg removed, so the image
# codecs link against static builds of the real libraries: libpng and
# libjpeg-turbo from scripts/win-deps.sh (TB_WINDEPS_PREFIX), zlib from
# libz-mingw-w64-dev. All static: the DLL must stand alone in a host's folder.

set(TB_WINDEPS_PREFIX "" CACHE PATH "Prefix that scripts/win-deps.sh filled")
if(NOT TB_WINDEPS_PREFIX OR NOT EXISTS ${TB_WINDEPS_PREFIX}/include/png.h)
    message(FATAL_ERROR "Run scripts/win-deps.sh ${CMAKE_SYSTEM_PROCESSOR} PREFIX first "
                        "and configure with -DTB_WINDEPS_PREFIX=PREFIX (make windows does both)")
endif()
find_path(TB_PNG_INCLUDE_DIR png.h REQUIRED)
find_path(TB_JPEG_INCLUDE_DIR jpeglib.h REQUIRED)
find_library(TB_PNG_LIBRARY NAMES libpng16.a REQUIRED)
find_library(TB_JPEG_LIBRARY NAMES libjpeg.a REQUIRED)
find_library(TB_ZLIB_LIBRARY NAMES libz.a REQUIRED)

target_link_libraries(tb_juce PRIVATE
    juce::juce_core juce::juce_events juce::juce_data_structures
    juce::juce_graphics juce::juce_gui_basics)
target_include_directories(tb_juce PRIVATE ${TB_PNG_INCLUDE_DIR} ${TB_JPEG_INCLUDE_DIR})
# libpng needs zlib after it.
target_link_libraries(tb_juce PUBLIC ${TB_PNG_LIBRARY} ${TB_JPEG_LIBRARY} ${TB_ZLIB_LIBRARY})

# The file dialog runs modally on the host's thread there.
list(APPEND TB_JUCE_DEFINITIONS JUCE_PLUGINHOST_VST=0 JUCE_MODAL_LOOPS_PERMITTED=1)

# COM interface ids: on 32-bit mingw JUCE 7.0.5 replaces the compiler's
# __uuidof with its own UUIDGetter<T> (juce_win32_ComSmartPtr.h). That
# stand-in takes only a type, in namespace juce, so juce_gui_basics'
# accessibility code does not compile with it: its interfaces are declared in
# juce::ComTypes (a specialisation outside the template's namespace) and it
# takes ids of expressions through IID_PPV_ARGS. mingw-w64's own __uuidof,
# which the 64-bit build uses, serves both targets, so every translation unit
# is built with the 64-bit choice: derived copies of juce_core.h (found
# first through the include path) and of juce_core.cpp (which includes its
# header by a relative name) include a copy of juce_win32_ComSmartPtr.h with
# the 32-bit case taken out. Done on both targets, so that the tested 64-bit
# build runs the same sources as the 32-bit one.
set(TB_JUCE_FIX_DIR ${CMAKE_BINARY_DIR}/juce-fixes)
set(TB_JUCE_CORE ${JUCE_MODULES_DIR}/juce_core)

# Writes through configure_file, which leaves an unchanged file alone, so that
# a new configure does not rebuild JUCE.
function(tb_juce_write_fix name text)
    file(WRITE ${TB_JUCE_FIX_DIR}.tmp/${name} "${text}")
    configure_file(${TB_JUCE_FIX_DIR}.tmp/${name} ${TB_JUCE_FIX_DIR}/${name} COPYONLY)
endfunction()

# Quoted includes made absolute, so that the copies still find the originals.
function(tb_juce_absolute_includes text out)
    string(REGEX REPLACE "(#[ \t]*include[ \t]*)\"([^\"]+)\"" "\\1\"${TB_JUCE_CORE}/\\2\""
           text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(tb_juce_replace_or_fail file from to text out)
    string(REPLACE "${from}" "${to}" fixed "${text}")
    if(fixed STREQUAL text)
        message(FATAL_ERROR "${file} no longer holds '${from}'; review the 32-bit COM fix")
    endif()
    set(${out} "${fixed}" PARENT_SCOPE)
endfunction()

file(READ ${TB_JUCE_CORE}/native/juce_win32_ComSmartPtr.h text)
tb_juce_replace_or_fail(juce_win32_ComSmartPtr.h
    "#if (JUCE_MINGW && JUCE_32BIT) || (! defined (_MSC_VER) && ! defined (__uuidof))"
    "#if ! defined (_MSC_VER) && ! defined (__uuidof)" "${text}" text)
tb_juce_write_fix(juce_core/native/juce_win32_ComSmartPtr.h "${text}")

file(READ ${TB_JUCE_CORE}/juce_core.h text)
tb_juce_absolute_includes("${text}" text)
tb_juce_replace_or_fail(juce_core.h "\"${TB_JUCE_CORE}/native/juce_win32_ComSmartPtr.h\""
    "\"native/juce_win32_ComSmartPtr.h\"" "${text}" text)
tb_juce_write_fix(juce_core/juce_core.h "${text}")

file(READ ${TB_JUCE_CORE}/juce_core.cpp text)
tb_juce_absolute_includes("${text}" text)
tb_juce_replace_or_fail(juce_core.cpp "\"${TB_JUCE_CORE}/juce_core.h\""
    "<juce_core/juce_core.h>" "${text}" text)
tb_juce_write_fix(juce_core/juce_core.cpp "${text}")

target_include_directories(tb_juce BEFORE PRIVATE ${TB_JUCE_FIX_DIR})
set_source_files_properties(${TB_JUCE_CORE}/juce_core.cpp PROPERTIES HEADER_FILE_ONLY ON)
target_sources(tb_juce PRIVATE ${TB_JUCE_FIX_DIR}/juce_core/juce_core.cpp)
