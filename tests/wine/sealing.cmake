# The prefix-sealing helpers of lib.sh on a folder tree shaped like a prefix
# (no Wine needed).
add_test(NAME wine_sealing COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/sealing_test.sh)
set_tests_properties(wine_sealing PROPERTIES TIMEOUT 120 LABELS wine
  ENVIRONMENT "CORDAFIX_WINE_ARCH=${CORDAFIX_WINE_ARCH}")
