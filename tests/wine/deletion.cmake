# The leftover deletion on the real file, process and registry API: a leftover
# tree with a running copy of the sleeper, keys in both registry views, and
# the .reg backup imported again by the restore (the native regedit). Needs no fixture
# programs; it leaves nothing behind. It starts and terminates processes, so
# it runs in a prefix (and under a wineserver) of its own, one test at a
# time: each test's clean-up stops the other's running copy and removes its
# tree.
add_executable(tw_wine_deletion ${CMAKE_CURRENT_LIST_DIR}/deletion_wine_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/registry_link.cpp)
target_link_libraries(tw_wine_deletion PRIVATE
  tw_cleanup tw_trace tw_inventory tw_access tw_workers tw_platform_win32 gtest gtest_main)
add_dependencies(tw_wine_deletion tw_sleeper)
gtest_discover_tests(tw_wine_deletion
  DISCOVERY_MODE PRE_TEST
  DISCOVERY_TIMEOUT 120
  PROPERTIES TIMEOUT 180 ENVIRONMENT "WINEPREFIX=${CMAKE_CURRENT_BINARY_DIR}/deletion-prefix"
    RESOURCE_LOCK wine_deletion_prefix)
