# End-to-end tests: disk images made from the real files in tests/data.
lumicarve_add_gtest(e2e_scan_tests
  e2e/image_scan_test.cpp
  e2e/fat_card_test.cpp
  e2e/used_card_test.cpp
)
# Reliability: unreadable sectors, failing and vanishing devices, the
# read-only promise, private temp files, full and read-only destinations.
lumicarve_add_gtest(e2e_fault_tests
  e2e/read_fault_test.cpp
  e2e/device_loss_test.cpp
  e2e/safety_test.cpp
  # The command line's scan, run in place so injected faults reach it.
  ../cli/cli_scan.cpp
  ../cli/cli_progress.cpp
  ../cli/file_saver.cpp
)
# Ctrl-C and termination signals, against the real programs.
lumicarve_add_gtest(e2e_interrupt_tests e2e/interrupt_test.cpp)
if(TARGET lumicarve)
  target_compile_definitions(e2e_interrupt_tests PRIVATE LUMICARVE_WINDOW_PATH="$<TARGET_FILE:lumicarve>")
  add_dependencies(e2e_interrupt_tests lumicarve)
endif()
