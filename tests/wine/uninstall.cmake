# The launch of a program's own uninstaller and the watch that follows it, on
# real uninstallers. These tests remove programs, so they run in a Wine prefix
# of their own (made fresh by the setup test, its server stopped by the
# cleanup test): the suites that scan the main prefix never see a program
# vanish half-way through a scan, and no other suite's installers or
# uninstallers show up in the process list a watch looks at. Each watch takes
# about 22 s; the watches take turns (one resource lock), since two of them in
# one prefix would see each other's uninstallers.

set(TW_UNINSTALL_PREFIX ${CMAKE_CURRENT_BINARY_DIR}/uninstall-prefix)
set(TW_UNINSTALL_FIXTURE_DIR ${CMAKE_CURRENT_BINARY_DIR}/removable)
set(TW_UNINSTALL_ENV "WINEPREFIX=${TW_UNINSTALL_PREFIX}")

add_test(NAME wine_install_removable
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/fixtures/install-removable.sh --fresh-prefix
          ${TW_UNINSTALL_FIXTURE_DIR} $<TARGET_FILE:tw_sleeper>)
set_tests_properties(wine_install_removable PROPERTIES
  FIXTURES_SETUP wine_removable
  ENVIRONMENT "${TW_UNINSTALL_ENV}"
  TIMEOUT 180)

add_test(NAME wine_stop_removable_prefix
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/fixtures/install-removable.sh --stop)
set_tests_properties(wine_stop_removable_prefix PROPERTIES
  FIXTURES_CLEANUP wine_removable
  ENVIRONMENT "${TW_UNINSTALL_ENV}"
  TIMEOUT 60)

add_executable(tw_wine_uninstall uninstall_wine_test.cpp headless_main.cpp)
target_link_libraries(tw_wine_uninstall PRIVATE tw_uninstall tw_inventory tw_access tw_workers tw_platform_win32 gtest)
# The fallback case starts copies of the sleeper.
add_dependencies(tw_wine_uninstall tw_sleeper)
gtest_discover_tests(tw_wine_uninstall
  DISCOVERY_MODE PRE_TEST
  DISCOVERY_TIMEOUT 120
  PROPERTIES
    FIXTURES_REQUIRED wine_removable
    RESOURCE_LOCK wine_uninstall_watch
    ENVIRONMENT "${TW_UNINSTALL_ENV}"
    TIMEOUT 90)

if(TARGET tidewell-cli)
  add_test(NAME wine_cli_uninstall
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_cli_uninstall.sh $<TARGET_FILE:tidewell-cli>)
  set_tests_properties(wine_cli_uninstall PROPERTIES
    FIXTURES_REQUIRED wine_removable
    RESOURCE_LOCK wine_uninstall_watch
    ENVIRONMENT "${TW_UNINSTALL_ENV}"
    TIMEOUT 120)
endif()

# The whole road on the command line: trace, the program's own uninstaller,
# the watch, the leftover deletion with its backup, and the backup restored.
if(TARGET tidewell-cli)
  add_test(NAME wine_cli_delete_leftovers
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_cli_delete.sh $<TARGET_FILE:tidewell-cli>)
  set_tests_properties(wine_cli_delete_leftovers PROPERTIES
    FIXTURES_REQUIRED wine_removable
    RESOURCE_LOCK wine_uninstall_watch
    ENVIRONMENT "${TW_UNINSTALL_ENV}"
    TIMEOUT 150)
endif()

# Data folders and settings keys found by the program's names: found for the
# program alone, never its neighbours', deleted only when asked for.
if(TARGET tidewell-cli)
  add_test(NAME wine_cli_names
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_cli_names.sh $<TARGET_FILE:tidewell-cli>)
  set_tests_properties(wine_cli_names PROPERTIES
    FIXTURES_REQUIRED wine_removable
    RESOURCE_LOCK "wine_uninstall_watch;wine_processes"
    ENVIRONMENT "${TW_UNINSTALL_ENV}"
    TIMEOUT 200)
endif()
