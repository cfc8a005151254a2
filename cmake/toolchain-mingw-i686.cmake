# 32-bit Windows, the program as shipped. posix thread model: the win32 model
# lacks std::mutex, which GoogleTest needs. The program itself links the win32
# model's runtime (Q_WIN32_THREADS_RUNTIME, see q_xp_runtime).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The 32-bit Wine loader; scripts/test only runs these tests where the
# machine can execute 32-bit code.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
execute_process(COMMAND i686-w64-mingw32-gcc-win32 -print-libgcc-file-name
    OUTPUT_VARIABLE Q_WIN32_THREADS_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(Q_WIN32_THREADS_RUNTIME "${Q_WIN32_THREADS_RUNTIME}" DIRECTORY)
