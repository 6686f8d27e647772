# Windows trees (MinGW-w64 i686, cmake/mingw-i686.cmake; the same pair for the
# x86_64 test build with cmake/mingw-x86_64.cmake), all statically linked so
# that every program imports only system DLLs:
#  - the shipped tree (VELORIN_MINGW_THREADS=win32): velorin.exe, the checks of
#    the built executable, the stand-ins and the scenarios, which run the very
#    executable that ships;
#  - the GoogleTest tree (VELORIN_MINGW_THREADS=posix): the Win32 unit tests,
#    which link the same code into test programs. VELORIN_SHIPPED_EXE names
#    the shipped tree's velorin.exe, whose resources they read.

enable_language(RC)

set(VELORIN_WIN32_LIBS
  user32 gdi32 comctl32 comdlg32 advapi32 shell32 ole32 oleaut32 uuid
  version wininet wsock32 ws2_32 winmm)

add_compile_options(-Wall -Wextra -O2)
add_link_options(-static -static-libgcc -static-libstdc++)

configure_file(${CMAKE_SOURCE_DIR}/ui/version.h.in ${CMAKE_BINARY_DIR}/generated/velorin_version.h @ONLY)

add_library(velorin_core STATIC ${VELORIN_PORTABLE_SOURCES} ${VELORIN_WIN32_SOURCES})
target_include_directories(velorin_core PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
target_compile_definitions(velorin_core PUBLIC WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 WINVER=0x0501)
target_link_libraries(velorin_core PUBLIC ${VELORIN_WIN32_LIBS} z)

# The icon is our own artwork, drawn by a script so that the repository holds
# no binary blobs.
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/generated/velorin.ico
  COMMAND python3 ${CMAKE_SOURCE_DIR}/ui/draw_icon.py ${CMAKE_BINARY_DIR}/generated/velorin.ico
  DEPENDS ${CMAKE_SOURCE_DIR}/ui/draw_icon.py
  COMMENT "Drawing the program icon")
# The window's panels and button faces, drawn the same way. Pillow comes from
# Debian's python3-pil, so they are drawn by the system interpreter even when
# another python3 comes first on PATH.
find_program(VELORIN_SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT VELORIN_SYSTEM_PYTHON)
  find_program(VELORIN_SYSTEM_PYTHON python3 REQUIRED)
endif()
set(VELORIN_ARTWORK)
foreach(name top_panel middle_panel bottom_panel cancel accept browse minimize)
  list(APPEND VELORIN_ARTWORK ${CMAKE_BINARY_DIR}/generated/${name}.bmp)
endforeach()
add_custom_command(
  OUTPUT ${VELORIN_ARTWORK}
  COMMAND ${VELORIN_SYSTEM_PYTHON} ${CMAKE_SOURCE_DIR}/ui/draw_panels.py ${CMAKE_BINARY_DIR}/generated
  DEPENDS ${CMAKE_SOURCE_DIR}/ui/draw_panels.py
  COMMENT "Drawing the window panels and button faces")
set_source_files_properties(${CMAKE_SOURCE_DIR}/ui/velorin.rc PROPERTIES
  OBJECT_DEPENDS "${VELORIN_ARTWORK};${CMAKE_BINARY_DIR}/generated/velorin.ico;${CMAKE_BINARY_DIR}/generated/velorin_version.h;${CMAKE_SOURCE_DIR}/app/resource.h")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_BINARY_DIR}/generated -I${CMAKE_SOURCE_DIR}")

# velorin_add_program(NAME): velorin.exe's sources and resources as a program.
function(velorin_add_program name)
  add_executable(${name} WIN32 ${CMAKE_SOURCE_DIR}/ui/win_main.cpp
    ${CMAKE_SOURCE_DIR}/app/runtime_imports_win.cpp ${CMAKE_SOURCE_DIR}/ui/velorin.rc)
  target_link_libraries(${name} PRIVATE velorin_core)
  target_link_options(${name} PRIVATE -mwindows -s)
endfunction()

if(VELORIN_MINGW_THREADS STREQUAL "posix")
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  include(GoogleTest)

  set(VELORIN_SHIPPED_EXE "" CACHE FILEPATH "velorin.exe of the shipped tree")
  # The portable unit tests run here too (they prove the MinGW build of the
  # same code), together with the tests of the Win32 files. Each case is its
  # own ctest test, found in the sources: listing them by running the program
  # would hang, since Wine's helper processes keep the listing's pipe open.
  file(GLOB unit_tests CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/tests/unit/*_test.cpp ${CMAKE_SOURCE_DIR}/tests/win32/*_test.cpp)
  add_executable(velorin_win32_tests ${unit_tests})
  target_link_libraries(velorin_win32_tests PRIVATE velorin_core gtest_main)
  # Wine maps Z: to the Linux root, so the shipped program is reachable by path.
  gtest_add_tests(TARGET velorin_win32_tests
    SOURCES ${unit_tests}
    TEST_PREFIX "win32."
    TEST_LIST win32_cases)
  # A case that cannot run here (GTEST_SKIP) is reported as skipped, not passed.
  set_tests_properties(${win32_cases} PROPERTIES
    ENVIRONMENT "VELORIN_EXE=Z:${VELORIN_SHIPPED_EXE}"
    SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")

  # The same program linked with the POSIX thread runtime, never shipped: the
  # reference beside which the shipped build's size and imports are shown.
  # Only beside the i686 program that ships; it runs no Windows code.
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    velorin_add_program(velorin_posix_reference)
    add_test(NAME thread_layer_reference
      COMMAND ${CMAKE_SOURCE_DIR}/tests/win32/compare-thread-models
        ${VELORIN_SHIPPED_EXE} $<TARGET_FILE:velorin_posix_reference>
        ${CMAKE_SOURCE_DIR}/tests/win32/velorin-imports.txt
        ${CMAKE_BINARY_DIR}/thread_layer_size.txt)
    set_tests_properties(thread_layer_reference PROPERTIES LABELS ships)
  endif()
  return()
endif()


velorin_add_program(velorin)
# The control-hosting library carried in the stub for systems before
# Windows 2000 (shipped as "atl98.dll").
add_subdirectory(atl)

# The same program with the next revision in its version resource and nothing
# else changed: the newer stub that the self-update scenarios publish, told
# apart from velorin.exe by its bytes and by what it records in "lastSRun".
function(velorin_add_next_stub)
  math(EXPR VELORIN_VERSION_REVISION "${VELORIN_VERSION_REVISION} + 1")
  configure_file(${CMAKE_SOURCE_DIR}/ui/version.h.in
    ${CMAKE_BINARY_DIR}/generated/next/velorin_version.h @ONLY)
endfunction()
velorin_add_next_stub()
velorin_add_program(velorin_next)
target_include_directories(velorin_next BEFORE PRIVATE ${CMAKE_BINARY_DIR}/generated/next)

# What is published: velorin.exe packed by the host tree's velorin-pack into
# quenzar.exe, carrying the control-hosting library when this tree builds it
# (target atl98; looked for once every folder is read). velorin.exe itself
# stays the unpacked program that the executable checks read.
set(VELORIN_PACK_TOOL "${CMAKE_BINARY_DIR}/../host/tools/velorin-pack/velorin-pack"
  CACHE FILEPATH "velorin-pack of the host tree, which packs quenzar.exe")
set(VELORIN_AFFILIATE "" CACHE STRING
  "Affiliate identifier packed into quenzar.exe (empty: none; velorin-pack relabels copies)")
function(velorin_add_packed_stub)
  if(NOT EXISTS "${VELORIN_PACK_TOOL}")
    message(STATUS "quenzar.exe not packed: build the host tree first (${VELORIN_PACK_TOOL})")
    return()
  endif()
  set(pack_args)
  set(pack_depends velorin ${VELORIN_PACK_TOOL})
  if(VELORIN_AFFILIATE)
    list(APPEND pack_args --affiliate ${VELORIN_AFFILIATE})
  endif()
  if(TARGET atl98)
    list(APPEND pack_args --carry atl98.dll=$<TARGET_FILE:atl98>)
    list(APPEND pack_depends atl98)
  endif()
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/quenzar.exe
    COMMAND ${VELORIN_PACK_TOOL} ${pack_args} $<TARGET_FILE:velorin> ${CMAKE_BINARY_DIR}/quenzar.exe
    DEPENDS ${pack_depends}
    COMMENT "Packing quenzar.exe")
  add_custom_target(quenzar_packed ALL DEPENDS ${CMAKE_BINARY_DIR}/quenzar.exe)
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL velorin_add_packed_stub)

add_subdirectory(tests/win32)
foreach(dir tests/standins tests/scenario)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endforeach()

# The checksum and manifest parser as the player runs them (this tree's
# compilers, under Wine), each beside its reference in the same process.
add_executable(shipped_code_bench ${CMAKE_SOURCE_DIR}/bench/shipped_code_bench.cpp)
target_link_libraries(shipped_code_bench PRIVATE velorin_core)
add_test(NAME bench_shipped_code
  COMMAND shipped_code_bench Z:${CMAKE_BINARY_DIR}/shipped_code_bench.txt)
