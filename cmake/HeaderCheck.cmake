# Every header of the project compiles on its own: one translation unit per
# header that includes nothing else, built as part of the tree. The Windows
# trees check every header; the Linux host tree checks the portable ones
# (those outside ui/ that do not include <windows.h> themselves).
function(q_header_check)
    file(GLOB_RECURSE headers RELATIVE ${PROJECT_SOURCE_DIR} CONFIGURE_DEPENDS
        ${PROJECT_SOURCE_DIR}/app/*.h ${PROJECT_SOURCE_DIR}/net/*.h
        ${PROJECT_SOURCE_DIR}/runtime/*.h ${PROJECT_SOURCE_DIR}/ui/*.h
        ${PROJECT_SOURCE_DIR}/tools/*.h ${PROJECT_SOURCE_DIR}/tests/*.h)
    set(units)
    foreach(header ${headers})
        if(NOT WIN32)
            file(STRINGS ${PROJECT_SOURCE_DIR}/${header} windows REGEX "#include <windows.h>")
            if(header MATCHES "^ui/" OR windows)
                continue()
            endif()
        endif()
        string(MAKE_C_IDENTIFIER ${header} name)
        set(unit ${CMAKE_BINARY_DIR}/header_check/${name}.cpp)
        file(CONFIGURE OUTPUT ${unit} CONTENT "#include \"${header}\"\n")
        list(APPEND units ${unit})
    endforeach()
    add_library(q_header_check OBJECT ${units})
    q_defaults(q_header_check)
    # Test headers use GoogleTest's.
    target_include_directories(q_header_check PRIVATE
        $<TARGET_PROPERTY:gtest,INTERFACE_INCLUDE_DIRECTORIES>)
endfunction()
