# The real windows of tidewell.exe under Wine, driven from another process by
# gui_driver.exe (window classes, control IDs, posted clicks, list views read
# through the target's memory). Every suite copies tidewell.exe to C:\Tidewell
# in its prefix, so its state files and Backups stay in the prefix. The suites
# take turns on the X display (one resource lock), so that their screenshots
# show only their own windows; the screenshots go to artifacts/ in the build
# folder.
if(NOT TARGET tidewell)
  return()
endif()

add_executable(tw_gui_driver ${CMAKE_CURRENT_LIST_DIR}/gui/gui_driver.cpp)
target_include_directories(tw_gui_driver PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(tw_gui_driver PRIVATE user32 gdi32 psapi kernel32)

set(TW_GUI_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/gui)
set(TW_GUI_ARTIFACTS ${PROJECT_BINARY_DIR}/artifacts)
# The version the about window must show: the one app/ writes into the
# executable's version record.
set(TW_GUI_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")

# ---- Windows and list, in the prefix of the fixture programs ----------------
add_test(NAME wine_gui_windows
  COMMAND bash ${TW_GUI_SCRIPTS}/check_gui_windows.sh $<TARGET_FILE:tidewell> $<TARGET_FILE:tw_gui_driver>
          ${TW_GUI_ARTIFACTS}/gui-windows ${TW_GUI_VERSION})
set_tests_properties(wine_gui_windows PROPERTIES
  FIXTURES_REQUIRED wine_programs
  RESOURCE_LOCK wine_gui_display
  TIMEOUT 300)

# ---- End to end, in a prefix of its own: these remove programs ---------------
set(TW_GUI_PREFIX ${CMAKE_CURRENT_BINARY_DIR}/gui-prefix)
set(TW_GUI_ENV "WINEPREFIX=${TW_GUI_PREFIX}")

add_test(NAME wine_gui_prepare_prefix
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/fixtures/prepare-gui-prefix.sh --fresh-prefix
          ${CMAKE_CURRENT_BINARY_DIR}/gui-programs $<TARGET_FILE:tw_sleeper>)
set_tests_properties(wine_gui_prepare_prefix PROPERTIES
  FIXTURES_SETUP wine_gui_programs
  ENVIRONMENT "${TW_GUI_ENV}"
  TIMEOUT 240)

add_test(NAME wine_gui_stop_prefix
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/fixtures/install-removable.sh --stop)
set_tests_properties(wine_gui_stop_prefix PROPERTIES
  FIXTURES_CLEANUP wine_gui_programs
  ENVIRONMENT "${TW_GUI_ENV}"
  TIMEOUT 60)

foreach(suite uninstall resume force_remove)
  string(REPLACE "_" "-" artifacts ${suite})
  add_test(NAME wine_gui_${suite}
    COMMAND bash ${TW_GUI_SCRIPTS}/check_gui_${suite}.sh $<TARGET_FILE:tidewell> $<TARGET_FILE:tw_gui_driver>
            ${TW_GUI_ARTIFACTS}/gui-${artifacts})
  set_tests_properties(wine_gui_${suite} PROPERTIES
    FIXTURES_REQUIRED wine_gui_programs
    RESOURCE_LOCK wine_gui_display
    ENVIRONMENT "${TW_GUI_ENV}"
    TIMEOUT 300)
endforeach()
