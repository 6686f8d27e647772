# Host (Linux) tree: portable code, host tools, unit tests, fuzz targets, benchmarks.

find_package(ZLIB REQUIRED)
find_package(Threads REQUIRED)

set(VELORIN_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

# The portable code twice: plain for tools and benchmarks, checked for tests.
add_library(velorin_portable STATIC ${VELORIN_PORTABLE_SOURCES} ${VELORIN_HOST_SOURCES})
target_include_directories(velorin_portable PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(velorin_portable PUBLIC ZLIB::ZLIB Threads::Threads)
target_compile_options(velorin_portable PRIVATE -O2 -Wall -Wextra)

add_library(velorin_portable_checked STATIC ${VELORIN_PORTABLE_SOURCES} ${VELORIN_HOST_SOURCES})
target_include_directories(velorin_portable_checked PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(velorin_portable_checked PUBLIC ZLIB::ZLIB Threads::Threads)
target_compile_options(velorin_portable_checked PUBLIC ${VELORIN_SANITIZE} PRIVATE -g -O1 -Wall -Wextra)
target_link_options(velorin_portable_checked PUBLIC ${VELORIN_SANITIZE})

set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB unit_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*_test.cpp)
add_executable(velorin_unit_tests ${unit_tests})
target_link_libraries(velorin_unit_tests PRIVATE velorin_portable_checked gtest_main ZLIB::ZLIB)
target_compile_definitions(velorin_unit_tests PRIVATE VELORIN_HOST_BUILD=1)
include(GoogleTest)
gtest_discover_tests(velorin_unit_tests TEST_PREFIX "host.")

add_subdirectory(tools)
add_subdirectory(tests/fuzz)
add_subdirectory(bench)

# Dependencies run one way: the workers, start-up, install and reports reach
# the window only through app/window_link.h; none of them includes ui/.
add_test(NAME host.LayersBelowTheWindowIncludeNoWindowHeader
  COMMAND sh -c "! grep -rn '#include \"ui/' app update install report crypto"
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
