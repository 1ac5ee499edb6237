# The areas outside a program's folder (shortcuts, App Paths, context-menu
# verbs and handlers, firewall rules) on a real NSIS program and its
# neighbour, traced and removed end to end with tidewell-cli. The program is
# uninstalled, so it runs in a Wine prefix of its own, made by the set-up
# test and stopped by the clean-up test.
set(TW_OUTSIDE_PREFIX ${CMAKE_CURRENT_BINARY_DIR}/outside-prefix)
set(TW_OUTSIDE_ENV "WINEPREFIX=${TW_OUTSIDE_PREFIX}")

add_test(NAME wine_install_outside_areas
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/fixtures/install-outside-areas.sh
          ${CMAKE_CURRENT_BINARY_DIR}/outside-areas $<TARGET_FILE:tw_sleeper>)
set_tests_properties(wine_install_outside_areas PROPERTIES
  FIXTURES_SETUP wine_outside_areas
  ENVIRONMENT "${TW_OUTSIDE_ENV}"
  TIMEOUT 300)

add_test(NAME wine_stop_outside_areas_prefix
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/fixtures/install-outside-areas.sh --stop)
set_tests_properties(wine_stop_outside_areas_prefix PROPERTIES
  FIXTURES_CLEANUP wine_outside_areas
  ENVIRONMENT "${TW_OUTSIDE_ENV}"
  TIMEOUT 60)

if(TARGET tidewell-cli)
  # The uninstall watches the process list.
  add_test(NAME wine_cli_outside_areas
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_cli_outside_areas.sh $<TARGET_FILE:tidewell-cli>)
  set_tests_properties(wine_cli_outside_areas PROPERTIES
    FIXTURES_REQUIRED wine_outside_areas
    RESOURCE_LOCK wine_processes
    ENVIRONMENT "${TW_OUTSIDE_ENV}"
    TIMEOUT 300)
endif()
