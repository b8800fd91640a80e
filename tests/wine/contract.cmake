# The contract cases against the real Win32 calls, run under Wine in fresh
# prefixes: once answering as Windows XP and once as Windows 98.
foreach(mode winxp win98)
  set(name contract_win32)
  if(NOT mode STREQUAL "winxp")
    set(name contract_win32_${mode})
  endif()
  add_test(NAME ${name}
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/run_contract.sh ${CORDAFIX_WINE_DIR}/contract_tests.exe ${mode})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS wine
    ENVIRONMENT "CORDAFIX_WINE_ARCH=${CORDAFIX_WINE_ARCH}")
endforeach()
