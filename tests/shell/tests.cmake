lumicarve_add_gtest(shell_tests
  shell/name_template_test.cpp
  shell/recovery_worker_test.cpp
  shell/jpeg_exif_date_test.cpp
  shell/cli_template_test.cpp
)
