# Two Windows Installer products sharing one component: the quiet removal of
# one with its leftovers, end to end. Its prefix is its own, made by the
# set-up test and stopped by the clean-up test.
set(TW_MSI_SHARE_ENV "WINEPREFIX=${CMAKE_CURRENT_BINARY_DIR}/msi-share-prefix")

if(TARGET tidewell-cli)
  add_test(NAME wine_install_msi_share
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/fixtures/install-msi-share.sh
            ${CMAKE_CURRENT_BINARY_DIR}/msi-share $<TARGET_FILE:tw_sleeper>)
  set_tests_properties(wine_install_msi_share PROPERTIES
    FIXTURES_SETUP wine_msi_share
    RESOURCE_LOCK wine_processes
    ENVIRONMENT "${TW_MSI_SHARE_ENV}"
    TIMEOUT 300)

  add_test(NAME wine_stop_msi_share_prefix
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/fixtures/install-msi-share.sh --stop)
  set_tests_properties(wine_stop_msi_share_prefix PROPERTIES
    FIXTURES_CLEANUP wine_msi_share
    ENVIRONMENT "${TW_MSI_SHARE_ENV}"
    TIMEOUT 60)

  # The quiet uninstall follows the process list.
  add_test(NAME wine_cli_msi_share
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_cli_msi_share.sh $<TARGET_FILE:tidewell-cli>)
  set_tests_properties(wine_cli_msi_share PROPERTIES
    FIXTURES_REQUIRED wine_msi_share
    RESOURCE_LOCK wine_processes
    ENVIRONMENT "${TW_MSI_SHARE_ENV}"
    TIMEOUT 300)
endif()
