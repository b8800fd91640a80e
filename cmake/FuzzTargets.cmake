# Fuzz targets, one per parser of what an infected machine hands the program.
# Built by clang in the sanitizer build (tools/sanitize.sh), they are libFuzzer
# programs (tools/fuzz.sh runs them for a given time); in any other build each
# is linked with a small driver that only replays inputs. Either way the
# fuzz_replay_<name> test runs every saved input of tests/fuzz/corpus/<name>.
set(FUZZ_CORPUS_DIR ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus)
set(CORDAFIX_LIBFUZZER OFF)
if(CORDAFIX_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(CORDAFIX_LIBFUZZER ON)
endif()

# Further arguments: libraries beyond the simulated Windows.
function(cordafix_fuzz_target name source)
  set(target fuzz_${name})
  if(CORDAFIX_LIBFUZZER)
    add_executable(${target} ${source})
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${target} ${source} tests/fuzz/ReplayMain.cpp)
  endif()
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE ${ARGN} platform_sim cordafix_core)
  add_test(NAME fuzz_replay_${name} COMMAND ${target} -runs=0 ${FUZZ_CORPUS_DIR}/${name})
  set_tests_properties(fuzz_replay_${name} PROPERTIES LABELS fuzz TIMEOUT 300)
endfunction()

cordafix_fuzz_target(pe_matcher tests/fuzz/FuzzPeMatcher.cpp)
cordafix_fuzz_target(hosts_check tests/fuzz/FuzzHostsCheck.cpp)
cordafix_fuzz_target(rename_script tests/fuzz/FuzzRenameScript.cpp)
cordafix_fuzz_target(autostart tests/fuzz/FuzzAutostart.cpp)
cordafix_fuzz_target(shorten_path tests/fuzz/FuzzShortenPath.cpp)
cordafix_fuzz_target(perf_data tests/fuzz/FuzzPerfData.cpp)
cordafix_fuzz_target(hive_logs tests/fuzz/FuzzHiveLogs.cpp platform_offline)
cordafix_fuzz_target(offline_registry tests/fuzz/FuzzOfflineRegistry.cpp platform_offline)
cordafix_fuzz_target(partition_table tests/fuzz/FuzzPartitionTable.cpp)
target_sources(fuzz_partition_table PRIVATE platform/ntfs/PartitionTable.cpp)
# The performance-data seeds come from the simulated Windows' own blocks
# (tests/fuzz/make_seeds.py runs this).
if(NOT CORDAFIX_LIBFUZZER)
  add_executable(perf_data_seeds tests/fuzz/PerfDataSeeds.cpp)
  target_include_directories(perf_data_seeds PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(perf_data_seeds PRIVATE platform_sim cordafix_core)
endif()
