# Flags and helpers shared by every target of the project.

# Warnings and language settings for the project's own code (not GoogleTest's).
function(q_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wpointer-arith
        -Wcast-align -Wnon-virtual-dtor -Wundef)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    if(WIN32)
        # Unicode stays explicit: every native call names its W function.
        target_compile_definitions(${target} PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX
            _WIN32_WINNT=0x0501 WINVER=0x0501)
    endif()
endfunction()

# Product code: no exceptions and no RTTI (failures are return values).
function(q_library target)
    add_library(${target} STATIC ${ARGN})
    q_defaults(${target})
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
endfunction()

function(q_link_static target)
    if(WIN32)
        # No MinGW runtime DLLs next to the .exe.
        target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++
            $<$<CONFIG:MinSizeRel>:-s>)
    endif()
endfunction()

if(WIN32)
    add_library(q_quiet_terminate OBJECT ${PROJECT_SOURCE_DIR}/runtime/quiet_terminate_win.cpp)
endif()

function(q_executable target)
    add_executable(${target} ${ARGN})
    q_defaults(${target})
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
    q_link_static(${target})
    if(WIN32)
        target_link_libraries(${target} PRIVATE q_quiet_terminate)
    endif()
endfunction()

# The program loads on Windows XP SP3 and later. The posix thread model's
# static thread library, which GoogleTest and the tools' threads need, calls
# GetTickCount64 (Vista and later); the program's code uses no C++ thread
# facility (std::atomic only), so it links the win32 thread model's C++ and
# GCC runtime and no thread library: should its code ever need one, the link
# fails. scripts/lib/xp_imports.py checks what the program imports.
function(q_xp_runtime target)
    if(Q_WIN32_THREADS_RUNTIME)
        target_link_options(${target} PRIVATE -no-pthread -B${Q_WIN32_THREADS_RUNTIME}/)
    endif()
endfunction()

# A GoogleTest executable; each test case becomes one CTest test, listed when
# CTest runs (under Wine for the Windows builds), not at build time.
function(q_test target)
    cmake_parse_arguments(Q "" "" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
    add_executable(${target} ${Q_SOURCES})
    q_defaults(${target})
    target_link_libraries(${target} PRIVATE ${Q_LIBS} gtest gtest_main)
    q_link_static(${target})
    set(labels ${Q_LABELS})
    # A case that hangs (a lock that is not re-entrant, a wait that never
    # ends) fails after a minute instead of holding up the run; none needs
    # more than a few seconds.
    set(properties LABELS "${labels}" TIMEOUT 60)
    if(Q_ENVIRONMENT)
        list(APPEND properties ENVIRONMENT "${Q_ENVIRONMENT}")
    endif()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
        PROPERTIES ${properties})
endfunction()

if(Q_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

if(Q_COVERAGE)
    add_compile_options(--coverage -O0)
    add_link_options(--coverage)
endif()

if(Q_FUZZ)
    # Coverage feedback for libFuzzer in every library the targets link.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(WIN32)
    # Keep the program small: drop unused sections.
    add_compile_options(-ffunction-sections -fdata-sections)
    add_link_options(-Wl,--gc-sections)
endif()
