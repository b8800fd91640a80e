# The engine over the registry and hosts file of a real Wine prefix (the Wine
# tests' template prefix, made first when missing): tests/real.
add_test(NAME real_files_wine_prefix
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/run_real_files.sh $<TARGET_FILE:real_files_tests>)
set_tests_properties(real_files_wine_prefix PROPERTIES LABELS "wine;real" TIMEOUT 900
  ENVIRONMENT "CORDAFIX_WINE_ARCH=${CORDAFIX_WINE_ARCH}"
  SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
