# The About page and help: the page in a frame stand-in, the help launcher,
# the frame's F1 hook and the platform calls behind the modal-window seam.
# The shipped help page sits beside the program, as beside the module, for
# the launcher's last resort.
ovl_windows_test(ovl_win_about_help_tests
  page_harness.cpp
  help_call_recorder.cpp
  help_test_files.cpp
  help_launch_test.cpp
  about_page_test.cpp
  help_platform_calls_test.cpp
  window_picture.cpp
)
ovl_expose(ovl_win_about_help_tests tests/windows/ui)
target_link_libraries(ovl_win_about_help_tests PRIVATE ovl_server ovl_ui ovl_ui_resources
  ovl_win_filter_test_support shell32 windowscodecs)
ovl_install_help_page(ovl_win_about_help_tests)

# ovlcompose --edit-settings, driven from outside as a user would.
target_sources(ovl_win_about_help_tests PRIVATE edit_settings_frame_test.cpp)
add_dependencies(ovl_win_about_help_tests ovlcompose)
set_tests_properties(ovl_win_about_help_tests PROPERTIES ENVIRONMENT "OVL_COMPOSER=$<TARGET_FILE:ovlcompose>")
