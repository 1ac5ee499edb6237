# The commands for administrators on real programs: quiet uninstalls of an
# NSIS program and a Windows Installer product in one call, a refusal, the
# export, and every output against its schema. The fixtures are removed, so
# they live in a prefix of their own, made fresh by the setup test.
set(TW_QUIET_PREFIX ${CMAKE_CURRENT_BINARY_DIR}/quiet-prefix)
set(TW_QUIET_ENV "WINEPREFIX=${TW_QUIET_PREFIX}")

if(TARGET tidewell-cli)
  add_test(NAME wine_install_quiet
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/fixtures/install-quiet.sh
            ${CMAKE_CURRENT_BINARY_DIR}/quiet $<TARGET_FILE:tw_sleeper>)
  set_tests_properties(wine_install_quiet PROPERTIES
    FIXTURES_SETUP wine_quiet
    RESOURCE_LOCK wine_processes
    ENVIRONMENT "${TW_QUIET_ENV}"
    TIMEOUT 240)

  add_test(NAME wine_stop_quiet_prefix
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/fixtures/install-quiet.sh --stop)
  set_tests_properties(wine_stop_quiet_prefix PROPERTIES
    FIXTURES_CLEANUP wine_quiet
    ENVIRONMENT "${TW_QUIET_ENV}"
    TIMEOUT 60)

  add_test(NAME wine_cli_quiet
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_cli_quiet.sh $<TARGET_FILE:tidewell-cli>)
  set_tests_properties(wine_cli_quiet PROPERTIES
    FIXTURES_REQUIRED wine_quiet
    RESOURCE_LOCK wine_processes
    ENVIRONMENT "${TW_QUIET_ENV}"
    TIMEOUT 300)
endif()
