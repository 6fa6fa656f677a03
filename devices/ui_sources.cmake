list(APPEND UI_SOURCES
  devices/control_pane.cpp
)
