# Services and scheduled tasks of a program, found and removed with the real
# tidewell-cli, beside a neighbour whose folder name extends the program's.
# The fixtures register and start services and remove a program, so they
# live in a prefix of their own, made fresh by the setup test.
set(TW_SERVICE_PREFIX ${CMAKE_CURRENT_BINARY_DIR}/service-prefix)
set(TW_SERVICE_ENV "WINEPREFIX=${TW_SERVICE_PREFIX}")

if(TARGET tidewell-cli)
  add_test(NAME wine_install_service_areas
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/fixtures/install-service-areas.sh
            ${CMAKE_CURRENT_BINARY_DIR}/service-areas $<TARGET_FILE:tw_service_helper>)
  set_tests_properties(wine_install_service_areas PROPERTIES
    FIXTURES_SETUP wine_service_areas
    RESOURCE_LOCK wine_processes
    ENVIRONMENT "${TW_SERVICE_ENV}"
    TIMEOUT 240)

  add_test(NAME wine_stop_service_prefix
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/fixtures/install-service-areas.sh --stop)
  set_tests_properties(wine_stop_service_prefix PROPERTIES
    FIXTURES_CLEANUP wine_service_areas
    ENVIRONMENT "${TW_SERVICE_ENV}"
    TIMEOUT 60)

  add_test(NAME wine_cli_service_areas
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_cli_service_areas.sh $<TARGET_FILE:tidewell-cli>)
  set_tests_properties(wine_cli_service_areas PROPERTIES
    FIXTURES_REQUIRED wine_service_areas
    RESOURCE_LOCK wine_processes
    ENVIRONMENT "${TW_SERVICE_ENV}"
    TIMEOUT 300)
endif()
