# The pending-uninstall state files on the real file API, and the icon file
# they keep, checked with user32. Needs no fixture programs.
add_executable(tw_wine_state_files ${CMAKE_CURRENT_LIST_DIR}/state_files_wine_test.cpp)
target_link_libraries(tw_wine_state_files PRIVATE tw_cleanup tw_platform_win32 gtest user32 gdi32)
gtest_discover_tests(tw_wine_state_files DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120)
