add_executable(lumicarve-cli
  cli/main.cpp
  cli/cli_scan.cpp
  cli/cli_progress.cpp
  cli/file_saver.cpp
  cli/cli_devices.cpp
)
target_link_libraries(lumicarve-cli PRIVATE lumicarve_core)
