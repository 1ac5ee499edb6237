# The pending-uninstall state files on the real file API, and the icon file
# they keep, checked with user32. Needs no fixture programs.
add_executable(tw_wine_state_files ${CMAKE_CURRENT_LIST_DIR}/state_files_wine_test.cpp)
target_link_libraries(tw_wine_state_files PRIVATE tw_cleanup tw_platform_win32 gtest user32 gdi32)
gtest_discover_tests(tw_wine_state_files DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120)

# What the user keeps survives pending --delete and a retry, on the real API.
if(TARGET tidewell-cli)
  add_test(NAME wine_cli_keep
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_cli_keep.sh $<TARGET_FILE:tidewell-cli>)
  set_tests_properties(wine_cli_keep PROPERTIES TIMEOUT 300)
endif()
