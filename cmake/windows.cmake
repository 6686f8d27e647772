# Windows tree (MinGW-w64 i686): velorin.exe, the Win32 unit tests and the
# stand-ins, all statically linked so that they import only system DLLs.

enable_language(RC)

set(VELORIN_WIN32_LIBS
  user32 gdi32 comctl32 comdlg32 advapi32 shell32 ole32 oleaut32 uuid
  version wininet ws2_32 winmm)

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
  OBJECT_DEPENDS "${VELORIN_ARTWORK};${CMAKE_BINARY_DIR}/generated/velorin.ico;${CMAKE_BINARY_DIR}/generated/velorin_version.h;${CMAKE_SOURCE_DIR}/ui/resource.h")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_BINARY_DIR}/generated -I${CMAKE_SOURCE_DIR}")

add_executable(velorin WIN32 ${CMAKE_SOURCE_DIR}/app/win_main.cpp ${CMAKE_SOURCE_DIR}/ui/velorin.rc)
target_link_libraries(velorin PRIVATE velorin_core)
target_link_options(velorin PRIVATE -mwindows -s)

set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The portable unit tests run here too (they prove the MinGW build of the same
# code), together with the tests of the Win32 files.
file(GLOB unit_tests CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/unit/*_test.cpp ${CMAKE_SOURCE_DIR}/tests/win32/*_test.cpp)
add_executable(velorin_win32_tests ${unit_tests})
target_link_libraries(velorin_win32_tests PRIVATE velorin_core gtest_main)
add_test(NAME win32_unit_tests COMMAND velorin_win32_tests)
# Wine maps Z: to the Linux root, so the built program is reachable by path.
set_tests_properties(win32_unit_tests PROPERTIES ENVIRONMENT "VELORIN_EXE=Z:$<TARGET_FILE:velorin>")

add_subdirectory(tests/win32)
foreach(dir tests/standins tests/scenario)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endforeach()
