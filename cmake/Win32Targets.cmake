# Cross-built targets: the program, the contract tests and the end-to-end driver.
enable_language(RC)
set(STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0400 WINVER=0x0400)

file(GLOB WIN32_PLATFORM_SOURCES CONFIGURE_DEPENDS platform/win32/*.cpp)
add_library(platform_win32 STATIC ${WIN32_PLATFORM_SOURCES})
target_link_libraries(platform_win32 PUBLIC cordafix_core)
target_compile_options(platform_win32 PRIVATE ${PRODUCT_FLAGS})

file(GLOB UI_SOURCES CONFIGURE_DEPENDS ui/*.cpp)
file(GLOB RC_SOURCES CONFIGURE_DEPENDS res/*.rc)
add_executable(cordafix WIN32 ${UI_SOURCES} ${RC_SOURCES})
target_compile_options(cordafix PRIVATE ${PRODUCT_FLAGS})
target_link_libraries(cordafix PRIVATE platform_win32 cordafix_core
  ${STATIC_RUNTIME} comctl32 gdi32 user32 shell32 advapi32)
set_target_properties(cordafix PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# GoogleTest built for the target, for the contract tests that run under Wine.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# The win32-thread MinGW runtime has no std::mutex, which GoogleTest's
# Notification needs; tests/contract/win32 supplies it through GoogleTest's
# custom-port header.
target_include_directories(gtest BEFORE PUBLIC ${CMAKE_SOURCE_DIR}/tests/contract/win32)
# GoogleTest's own sources are not ours to keep free of warnings.
target_compile_options(gtest PRIVATE -Wno-error)

file(GLOB CONTRACT_SOURCES CONFIGURE_DEPENDS tests/contract/*.cpp)
add_executable(contract_tests ${CONTRACT_SOURCES} tests/contract/win32/main_win32.cpp)
target_link_libraries(contract_tests PRIVATE platform_win32 cordafix_core gtest ${STATIC_RUNTIME})
target_include_directories(contract_tests PRIVATE tests)

# The driver takes control names: control_ids.inc lists every IDC_ name of
# res/resource.h, made afresh whenever that file changes.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/resource.h)
file(STRINGS ${CMAKE_SOURCE_DIR}/res/resource.h control_id_lines REGEX "^#define IDC_[A-Z0-9_]+ ")
set(control_id_list "")
foreach(line ${control_id_lines})
  string(REGEX REPLACE "^#define (IDC_[A-Z0-9_]+) .*" "CONTROL_ID(\\1)\n" entry "${line}")
  string(APPEND control_id_list "${entry}")
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/control_ids.inc CONTENT "${control_id_list}")
add_executable(e2e_driver tests/e2e/driver/e2e_driver.cpp)
target_include_directories(e2e_driver PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(e2e_driver PRIVATE ${STATIC_RUNTIME} user32 gdi32 advapi32)
# The driver's message hook, loaded by Windows into the program it watches.
add_library(list_hook SHARED tests/e2e/driver/list_hook.cpp)
set_target_properties(list_hook PROPERTIES PREFIX "")
target_link_libraries(list_hook PRIVATE ${STATIC_RUNTIME} user32 -Wl,--kill-at)

file(GLOB HELPER_SOURCES CONFIGURE_DEPENDS tests/e2e/helpers/*.cpp)
foreach(helper ${HELPER_SOURCES})
  get_filename_component(helper_name ${helper} NAME_WE)
  add_executable(${helper_name} ${helper})
  target_link_libraries(${helper_name} PRIVATE ${STATIC_RUNTIME} user32 advapi32)
  # Probes drive the program's own pieces on the real system.
  if(helper_name MATCHES "_probe$")
    target_link_libraries(${helper_name} PRIVATE platform_win32 cordafix_core)
  endif()
  # The prompt probe shows the program's own prompt dialog, resources included.
  if(helper_name STREQUAL "prompt_probe")
    set(probe_ui_sources ${UI_SOURCES})
    list(FILTER probe_ui_sources EXCLUDE REGEX "CleanerApp\\.cpp$")
    target_sources(${helper_name} PRIVATE ${probe_ui_sources} ${RC_SOURCES})
    target_link_libraries(${helper_name} PRIVATE comctl32 gdi32 shell32)
  endif()
endforeach()
