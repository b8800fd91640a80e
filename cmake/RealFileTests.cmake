# The engine over real files nobody here wrote (tests/real): the program files
# of the Wine installation and the MinGW runtime, and real hosts files. Each
# group is one test, reported as skipped where this machine lacks its files.
# The registry of a real Wine prefix joins them in tests/wine/real_files.cmake.
add_executable(real_files_tests tests/real/RealFilesTest.cpp)
target_include_directories(real_files_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(real_files_tests PRIVATE platform_sim cordafix_core GTest::gtest_main)
foreach(group programs:RealFilesTest.WineAndMingw* hosts:RealFilesTest.RealHostsFiles*)
  string(REPLACE ":" ";" parts ${group})
  list(GET parts 0 name)
  list(GET parts 1 filter)
  add_test(NAME real_files_${name} COMMAND real_files_tests --gtest_filter=${filter})
  set_tests_properties(real_files_${name} PROPERTIES LABELS real TIMEOUT 600
                       SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
endforeach()
