# Cross-compiles the 64-bit Windows test build: the same sources as
# cmake/mingw-i686.cmake, built with x86_64 MinGW-w64 and run under wine64.
# Never shipped: it lets the Win32 unit tests, the stand-ins and the scenarios
# run on machines whose kernel runs no 32-bit code, and it is built on every
# machine so that the 64-bit build cannot rot. VELORIN_MINGW_THREADS as in the
# i686 file: "win32" for the program and its stand-ins, "posix" for GoogleTest.
set(VELORIN_MINGW_THREADS win32 CACHE STRING "MinGW-w64 thread model: win32 (program tree) or posix (GoogleTest tree)")
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-${VELORIN_MINGW_THREADS})
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-${VELORIN_MINGW_THREADS})
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
