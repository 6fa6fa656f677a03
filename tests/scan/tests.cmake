lumicarve_add_gtest(scan_tests
  scan/file_types_test.cpp
  scan/recognise_test.cpp
  scan/end_rules_test.cpp
  scan/length_rules_test.cpp
  scan/scan_loop_test.cpp
)
