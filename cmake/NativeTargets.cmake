# Native targets: the simulated Windows, the sample generator and the tests.
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

# The rules of Windows over this system's files (platform/host), beneath the
# simulated Windows and the offline drives alike.
file(GLOB HOST_SOURCES CONFIGURE_DEPENDS platform/host/*.cpp)
add_library(platform_host STATIC ${HOST_SOURCES})
target_link_libraries(platform_host PUBLIC cordafix_core)
target_compile_options(platform_host PRIVATE ${PRODUCT_FLAGS})

# The simulated Windows (tests/sim) ships in no product: the tests, the fuzz
# targets and the benchmark link it.
file(GLOB SIM_SOURCES CONFIGURE_DEPENDS tests/sim/*.cpp)
add_library(platform_sim STATIC ${SIM_SOURCES})
target_include_directories(platform_sim PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(platform_sim PUBLIC platform_host cordafix_core)
# The fuzzers chase new coverage in the program's code, not in the simulated Windows.
if(CORDAFIX_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  target_compile_options(platform_sim PRIVATE -fno-sanitize=fuzzer-no-link)
endif()

file(GLOB SAMPLEGEN_SOURCES CONFIGURE_DEPENDS tools/samplegen/*.cpp)
list(FILTER SAMPLEGEN_SOURCES EXCLUDE REGEX "main\\.cpp$")
add_library(samplegen STATIC ${SAMPLEGEN_SOURCES})
target_link_libraries(samplegen PUBLIC cordafix_core)
add_executable(make_samples tools/samplegen/main.cpp)
target_link_libraries(make_samples PRIVATE samplegen)

file(GLOB UNIT_SOURCES CONFIGURE_DEPENDS tests/unit/*.cpp tests/support/*.cpp)
add_executable(unit_tests ${UNIT_SOURCES})
target_include_directories(unit_tests PRIVATE tests)
target_link_libraries(unit_tests PRIVATE samplegen platform_sim cordafix_core GTest::gtest_main)
# With the cross build at hand, the sample tests also check the real helper
# program, and the 64-bit one where the Wine tests run that build ("|" between
# them: the test discovery passes no list through).
if(CORDAFIX_WIN32_DIR)
  set(sleepers "${CORDAFIX_WIN32_DIR}/sleeper.exe")
  if(CORDAFIX_WINE_DIR AND NOT CORDAFIX_WINE_DIR STREQUAL CORDAFIX_WIN32_DIR)
    string(APPEND sleepers "|${CORDAFIX_WINE_DIR}/sleeper.exe")
  endif()
  gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "CORDAFIX_SLEEPER_EXE=${sleepers}")
else()
  gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60)
endif()

file(GLOB CONTRACT_SOURCES CONFIGURE_DEPENDS tests/contract/*.cpp)
add_executable(contract_tests_sim ${CONTRACT_SOURCES} tests/contract/sim/main_sim.cpp)
target_include_directories(contract_tests_sim PRIVATE tests)
target_link_libraries(contract_tests_sim PRIVATE platform_sim cordafix_core GTest::gtest)
add_test(NAME contract_sim COMMAND contract_tests_sim)
add_test(NAME contract_sim_win98 COMMAND contract_tests_sim --win98)

include(cmake/OfflineTargets.cmake)
include(cmake/FuzzTargets.cmake)
include(cmake/RealFileTests.cmake)

# Tests of the cross-built program under Wine, when that build is given. They
# run the 32-bit build, or a 64-bit build of the same sources under wine64 on
# machines that cannot start 32-bit programs (tools/wine-arch.sh).
set(CORDAFIX_WIN32_DIR "" CACHE PATH "Folder of the cross build (cordafix.exe)")
set(CORDAFIX_WINE_DIR "" CACHE PATH "Folder of the build the Wine tests run (default: CORDAFIX_WIN32_DIR)")
set(CORDAFIX_WINE_ARCH "win32" CACHE STRING "Wine prefix architecture of that build: win32 or win64")
if(NOT CORDAFIX_WINE_DIR)
  set(CORDAFIX_WINE_DIR ${CORDAFIX_WIN32_DIR})
endif()
if(CORDAFIX_WIN32_DIR)
  file(GLOB WINE_TEST_SCRIPTS CONFIGURE_DEPENDS tests/wine/*.cmake)
  foreach(script ${WINE_TEST_SCRIPTS})
    include(${script})
  endforeach()
endif()

# Benchmark programs (run by the scripts under bench/, never by the tests).
if(NOT CORDAFIX_SANITIZE)
  add_subdirectory(bench)
endif()
