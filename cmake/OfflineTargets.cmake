# cordafix-offline: the engine and repair code on the offline platform
# (a Windows volume mounted on this system), with its tests.
find_path(HIVEX_INCLUDE_DIR hivex.h)
find_library(HIVEX_LIBRARY hivex)
find_path(NLOHMANN_JSON_INCLUDE_DIR nlohmann/json.hpp)
find_path(NTFS3G_INCLUDE_DIR ntfs-3g/volume.h)
find_library(NTFS3G_LIBRARY ntfs-3g)
if(NOT HIVEX_INCLUDE_DIR OR NOT HIVEX_LIBRARY OR NOT NLOHMANN_JSON_INCLUDE_DIR OR NOT NTFS3G_INCLUDE_DIR
   OR NOT NTFS3G_LIBRARY)
  message(FATAL_ERROR
    "cordafix-offline needs libhivex-dev, nlohmann-json3-dev and ntfs-3g-dev (tools/install-deps.sh)")
endif()

# Host folders (platform/offline) and NTFS volumes read through libntfs-3g
# (platform/ntfs), behind one file system.
file(GLOB OFFLINE_PLATFORM_SOURCES CONFIGURE_DEPENDS platform/offline/*.cpp platform/ntfs/*.cpp)
add_library(platform_offline STATIC ${OFFLINE_PLATFORM_SOURCES})
target_include_directories(platform_offline PUBLIC ${HIVEX_INCLUDE_DIR} ${NTFS3G_INCLUDE_DIR})
target_link_libraries(platform_offline PUBLIC platform_host cordafix_core ${HIVEX_LIBRARY} ${NTFS3G_LIBRARY})
target_compile_options(platform_offline PRIVATE ${PRODUCT_FLAGS})

file(GLOB OFFLINE_SOURCES CONFIGURE_DEPENDS offline/*.cpp)
list(FILTER OFFLINE_SOURCES EXCLUDE REGEX "main\\.cpp$")
add_library(offline_scan STATIC ${OFFLINE_SOURCES})
target_include_directories(offline_scan PUBLIC ${NLOHMANN_JSON_INCLUDE_DIR})
target_link_libraries(offline_scan PUBLIC platform_offline cordafix_core)
target_compile_options(offline_scan PRIVATE ${PRODUCT_FLAGS})

add_executable(cordafix-offline offline/main.cpp)
target_link_libraries(cordafix-offline PRIVATE offline_scan)
target_compile_options(cordafix-offline PRIVATE ${PRODUCT_FLAGS})
# For a rescue system: fewer libraries to bring along, and a start without
# loading the C++ runtime (a third of a small scan's time otherwise).
target_link_options(cordafix-offline PRIVATE -static-libstdc++ -static-libgcc)

file(GLOB OFFLINE_TEST_SOURCES CONFIGURE_DEPENDS tests/offline/*.cpp)
add_executable(offline_tests ${OFFLINE_TEST_SOURCES})
target_include_directories(offline_tests PRIVATE tests)
target_link_libraries(offline_tests PRIVATE offline_scan samplegen GTest::gtest_main)
target_compile_definitions(offline_tests PRIVATE CORDAFIX_OFFLINE_EXE="$<TARGET_FILE:cordafix-offline>"
                           CORDAFIX_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
add_dependencies(offline_tests cordafix-offline)
gtest_discover_tests(offline_tests DISCOVERY_TIMEOUT 60)

# The file contract cases on an NTFS image read through the library.
add_executable(contract_tests_ntfs ${CONTRACT_SOURCES} tests/contract/ntfs/main_ntfs.cpp tests/offline/NtfsTestImage.cpp)
target_include_directories(contract_tests_ntfs PRIVATE tests)
target_link_libraries(contract_tests_ntfs PRIVATE platform_offline GTest::gtest)
add_test(NAME contract_ntfs COMMAND contract_tests_ntfs)

# The contract cases that apply to a mounted volume, on a drive that is a
# folder of this system behind the offline scanner's drives.
add_executable(contract_tests_offline ${CONTRACT_SOURCES} tests/contract/offline/main_offline.cpp)
target_include_directories(contract_tests_offline PRIVATE tests)
target_link_libraries(contract_tests_offline PRIVATE platform_offline GTest::gtest)
add_test(NAME contract_offline COMMAND contract_tests_offline)
