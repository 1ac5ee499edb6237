# What a program shares (a listed program inside its folder, a file type
# Windows keeps values in, a per-user entry of its name) on the quiet road,
# end to end on a real NSIS suite. It is uninstalled, so it runs in a Wine
# prefix of its own, made by the set-up test and stopped by the clean-up test.
set(TW_SHARED_PREFIX ${CMAKE_CURRENT_BINARY_DIR}/shared-prefix)
set(TW_SHARED_ENV "WINEPREFIX=${TW_SHARED_PREFIX}")

if(TARGET tidewell-cli)
  add_test(NAME wine_install_shared
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/fixtures/install-shared.sh
            ${CMAKE_CURRENT_BINARY_DIR}/shared $<TARGET_FILE:tw_sleeper>)
  set_tests_properties(wine_install_shared PROPERTIES
    FIXTURES_SETUP wine_shared
    ENVIRONMENT "${TW_SHARED_ENV}"
    TIMEOUT 300)

  add_test(NAME wine_stop_shared_prefix
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/fixtures/install-shared.sh --stop)
  set_tests_properties(wine_stop_shared_prefix PROPERTIES
    FIXTURES_CLEANUP wine_shared
    ENVIRONMENT "${TW_SHARED_ENV}"
    TIMEOUT 60)

  # The quiet uninstall follows the process list.
  add_test(NAME wine_cli_shared
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_cli_shared.sh $<TARGET_FILE:tidewell-cli>
            ${CMAKE_CURRENT_BINARY_DIR}/shared)
  set_tests_properties(wine_cli_shared PROPERTIES
    FIXTURES_REQUIRED wine_shared
    RESOURCE_LOCK wine_processes
    ENVIRONMENT "${TW_SHARED_ENV}"
    TIMEOUT 300)
endif()
