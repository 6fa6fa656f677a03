lumicarve_add_gtest(devices_tests
  devices/device_label_test.cpp
  devices/device_table_test.cpp
  devices/disk_enum_test.cpp
  devices/identify_data_test.cpp
  devices/scsi_ata_command_test.cpp
  devices/volumes_test.cpp
)
