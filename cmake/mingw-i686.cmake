# Cross-compiles the Windows build: 32-bit MinGW-w64.
#
# VELORIN_MINGW_THREADS picks the compilers' thread model. What ships is built
# with "win32". The "posix" compilers link a POSIX thread layer into every C++
# program that uses exceptions, and that layer imports functions of Windows XP,
# Vista and the NT family only, so the program would not even load on
# Windows 98, Me or NT 4.0. GoogleTest needs std::mutex, which only the "posix"
# runtime has, so the GoogleTest programs are built in a tree of their own with
# VELORIN_MINGW_THREADS=posix.
set(VELORIN_MINGW_THREADS win32 CACHE STRING "MinGW-w64 thread model: win32 (shipped tree) or posix (GoogleTest tree)")
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${VELORIN_MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${VELORIN_MINGW_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
