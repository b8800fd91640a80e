# The repair pieces against the real registry and files under Wine, in fresh
# prefixes answering as Windows XP and as Windows 98.
foreach(mode winxp win98)
  add_test(NAME repair_wine_${mode}
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/run_repair.sh ${CORDAFIX_WINE_DIR} ${mode})
  set_tests_properties(repair_wine_${mode} PROPERTIES TIMEOUT 300 LABELS wine
    ENVIRONMENT "CORDAFIX_WINE_ARCH=${CORDAFIX_WINE_ARCH}")
endforeach()
