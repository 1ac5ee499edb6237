# Install tracking on a real NSIS installer, through tidewell-cli install, in
# a prefix of its own (the check makes it fresh and stops its server).
if(TARGET tidewell-cli)
  add_test(NAME wine_cli_install
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_cli_install.sh $<TARGET_FILE:tidewell-cli> $<TARGET_FILE:tw_sleeper>)
  # Two whole snapshots load the machine: beside another test they can push
  # that test's own waits (a window's message, a process's end) past their
  # limits, so this check runs alone.
  set_tests_properties(wine_cli_install PROPERTIES
    RUN_SERIAL TRUE
    ENVIRONMENT "WINEPREFIX=${CMAKE_CURRENT_BINARY_DIR}/install-prefix"
    TIMEOUT 900)
endif()
