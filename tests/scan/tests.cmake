lumicarve_add_gtest(scan_tests
  scan/file_types_test.cpp
)
