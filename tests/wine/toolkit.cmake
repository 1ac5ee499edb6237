# The Win32 toolkit on real windows (Xvfb under Wine): controls, painting,
# list views, the modal loop, message boxes, icons and drawn text. Runs with
# common controls 6 from its manifest, as tidewell.exe does.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/toolkit_wine_test.rc
  "1 24 \"${CMAKE_CURRENT_LIST_DIR}/toolkit_wine_test.manifest\"\n")
add_executable(tw_wine_toolkit
  ${CMAKE_CURRENT_LIST_DIR}/toolkit_wine_test.cpp
  ${CMAKE_CURRENT_BINARY_DIR}/toolkit_wine_test.rc)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/toolkit_wine_test.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/toolkit_wine_test.manifest)
target_link_libraries(tw_wine_toolkit PRIVATE tw_ui_toolkit_win32 tw_cleanup tw_platform_win32 gtest
  comctl32 gdi32 user32 shell32 ole32 uuid)
gtest_discover_tests(tw_wine_toolkit DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  PROPERTIES TIMEOUT 120)
