# Windows: every DLL and program the build makes must stand alone in a host's
# folder, so none may import mingw's runtime DLLs or shared codec libraries.
# Included from the top-level CMakeLists.txt after all targets exist; the
# build runs this file again in script mode to look at the results.

set(TB_FORBIDDEN_IMPORTS "^(libgcc|libstdc\\+\\+|libwinpthread|zlib|libz|libpng|libjpeg)")

if(CMAKE_SCRIPT_MODE_FILE)
    file(STRINGS ${LIST} files)
    set(bad "")
    foreach(f ${files})
        execute_process(COMMAND ${OBJDUMP} -p ${f} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
            message(FATAL_ERROR "${OBJDUMP} could not read ${f}")
        endif()
        string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
        foreach(i ${imports})
            string(REPLACE "DLL Name: " "" dll "${i}")
            string(TOLOWER "${dll}" dll)
            if(dll MATCHES "${TB_FORBIDDEN_IMPORTS}")
                string(APPEND bad "\n  ${f} imports ${dll}")
            endif()
        endforeach()
    endforeach()
    if(bad)
        message(FATAL_ERROR "Linked against DLLs a host will not have (link statically):${bad}")
    endif()
    file(TOUCH ${STAMP})
    return()
endif()

function(tb_binaries_in dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    set(found "")
    foreach(t ${targets})
        get_target_property(type ${t} TYPE)
        get_target_property(excluded ${t} EXCLUDE_FROM_ALL)
        if(type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$" AND NOT excluded)
            list(APPEND found ${t})
        endif()
    endforeach()
    foreach(d ${subdirs})
        tb_binaries_in(${d} more)
        list(APPEND found ${more})
    endforeach()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

tb_binaries_in(${CMAKE_SOURCE_DIR} TB_BINARIES)
set(TB_BINARY_FILES "")
foreach(t ${TB_BINARIES})
    string(APPEND TB_BINARY_FILES "$<TARGET_FILE:${t}>\n")
endforeach()
set(TB_BINARY_LIST ${CMAKE_BINARY_DIR}/standalone-binaries.txt)
file(GENERATE OUTPUT ${TB_BINARY_LIST} CONTENT "${TB_BINARY_FILES}")
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/standalone-check.stamp
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DLIST=${TB_BINARY_LIST}
            -DSTAMP=${CMAKE_BINARY_DIR}/standalone-check.stamp -P ${CMAKE_CURRENT_LIST_FILE}
    DEPENDS ${TB_BINARIES} ${TB_BINARY_LIST} ${CMAKE_CURRENT_LIST_FILE}
    COMMENT "Checking that the DLLs and programs need no mingw runtime DLLs"
    VERBATIM)
add_custom_target(tb_standalone_check ALL DEPENDS ${CMAKE_BINARY_DIR}/standalone-check.stamp)
