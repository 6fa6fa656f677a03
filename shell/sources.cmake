list(APPEND UI_SOURCES
  shell/about_box.cpp
  shell/application.cpp
  shell/command_button_strip.cpp
  shell/control_pane.cpp
  shell/icons.cpp
  shell/main_frame.cpp
  shell/options_dialog.cpp
  shell/progress_display.cpp
  shell/recovery_dialog.cpp
  shell/recovery_flow.cpp
  shell/scan_notify.cpp
  shell/settings.cpp
  shell/settings_text.cpp
  shell/termination.cpp
  shell/window_strings.cpp
)
