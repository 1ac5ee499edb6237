# A runtime whose host program runs the user's scripts as services and at
# logon: its quiet removal with its leftovers, end to end. It registers
# services and is uninstalled, so its prefix is its own, made by the set-up
# test and stopped by the clean-up test.
set(TW_HOST_RUNTIME_ENV "WINEPREFIX=${CMAKE_CURRENT_BINARY_DIR}/host-runtime-prefix")

if(TARGET tidewell-cli)
  add_test(NAME wine_install_host_runtime
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/fixtures/install-host-runtime.sh
            ${CMAKE_CURRENT_BINARY_DIR}/host-runtime $<TARGET_FILE:tw_sleeper>)
  set_tests_properties(wine_install_host_runtime PROPERTIES
    FIXTURES_SETUP wine_host_runtime
    RESOURCE_LOCK wine_processes
    ENVIRONMENT "${TW_HOST_RUNTIME_ENV}"
    TIMEOUT 300)

  add_test(NAME wine_stop_host_runtime_prefix
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/fixtures/install-host-runtime.sh --stop)
  set_tests_properties(wine_stop_host_runtime_prefix PROPERTIES
    FIXTURES_CLEANUP wine_host_runtime
    ENVIRONMENT "${TW_HOST_RUNTIME_ENV}"
    TIMEOUT 60)

  add_test(NAME wine_cli_host_runtime
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_cli_host_runtime.sh $<TARGET_FILE:tidewell-cli>)
  set_tests_properties(wine_cli_host_runtime PROPERTIES
    FIXTURES_REQUIRED wine_host_runtime
    RESOURCE_LOCK wine_processes
    ENVIRONMENT "${TW_HOST_RUNTIME_ENV}"
    TIMEOUT 300)
endif()
