list(APPEND CORE_SOURCES
  shell/progress_display.cpp
  shell/settings_text.cpp
)
list(APPEND UI_SOURCES
  shell/about_box.cpp
  shell/application.cpp
  shell/command_button_strip.cpp
  shell/icons.cpp
  shell/main_frame.cpp
  shell/main_frame_commands.cpp
  shell/scan_notify.cpp
  shell/settings.cpp
  shell/termination.cpp
  shell/window_strings.cpp
)
list(APPEND UI_SOURCES
  shell/options_dialog.cpp
  shell/recovery_dialog.cpp
  shell/recovery_flow.cpp
  shell/recovery_target_dialog.cpp
)
