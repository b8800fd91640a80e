# End-to-end tests: the cross-built cordafix.exe under Wine and Xvfb, driven
# by e2e_driver.exe. One test per scenario file and per Windows version mode
# the scenario lists in its MODES line. Screenshots: <build>/e2e-shots.
file(GLOB E2E_SCENARIOS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/scenarios/*.sh)
set(E2E_SHOTS ${CMAKE_BINARY_DIR}/e2e-shots)
set(E2E_MAKE_SAMPLES $<TARGET_FILE:make_samples>)
foreach(scenario ${E2E_SCENARIOS})
  get_filename_component(scenario_name ${scenario} NAME_WE)
  file(STRINGS ${scenario} modes_line REGEX "^MODES=")
  string(REGEX REPLACE "^MODES=\"?([^\"]*)\"?.*$" "\\1" modes "${modes_line}")
  separate_arguments(modes)
  # A scenario that needs longer than the harness's default names its limit
  # on a LIMIT_SECONDS line.
  file(STRINGS ${scenario} limit_line REGEX "^LIMIT_SECONDS=")
  set(limit_env "")
  set(test_timeout 300)
  if(limit_line)
    string(REGEX REPLACE "^LIMIT_SECONDS=\"?([0-9]+)\"?.*$" "\\1" limit "${limit_line}")
    set(limit_env ";CORDAFIX_E2E_LIMIT=${limit}")
    math(EXPR test_timeout "${limit} + 60")
  endif()
  foreach(mode ${modes})
    set(test_name e2e_${scenario_name}_${mode})
    add_test(NAME ${test_name}
      COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/run_scenario.sh
              ${CORDAFIX_WINE_DIR} ${scenario} ${mode} ${E2E_SHOTS})
    set_tests_properties(${test_name} PROPERTIES
      TIMEOUT ${test_timeout} LABELS "wine;e2e"
      ENVIRONMENT "CORDAFIX_MAKE_SAMPLES=${E2E_MAKE_SAMPLES};CORDAFIX_WINE_ARCH=${CORDAFIX_WINE_ARCH}${limit_env}")
  endforeach()
endforeach()
