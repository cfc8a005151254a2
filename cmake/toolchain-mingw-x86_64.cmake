# The same sources for 64-bit Windows. Used to run the Windows tests under
# wine64 on machines that cannot execute 32-bit code at all.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Straight to the 64-bit loader: /usr/bin/wine goes through the 32-bit one.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
# The program links the win32 thread model's runtime, as the 32-bit one does.
execute_process(COMMAND x86_64-w64-mingw32-gcc-win32 -print-libgcc-file-name
    OUTPUT_VARIABLE Q_WIN32_THREADS_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(Q_WIN32_THREADS_RUNTIME "${Q_WIN32_THREADS_RUNTIME}" DIRECTORY)
