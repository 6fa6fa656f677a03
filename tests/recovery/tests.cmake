lumicarve_add_gtest(recovery_tests
  recovery/name_template_test.cpp
  recovery/recovery_worker_test.cpp
  recovery/destination_check_test.cpp
  recovery/jpeg_exif_date_test.cpp
  recovery/cli_template_test.cpp
)
