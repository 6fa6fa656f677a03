list(APPEND CORE_SOURCES
  devices/ata_command.cpp
  devices/ata_identify.cpp
  devices/device_describe.cpp
  devices/device_table.cpp
  devices/disk_enum.cpp
  devices/disk_query.cpp
  devices/identify_data.cpp
  devices/image_device.cpp
  devices/scsi_command.cpp
  devices/sysfs_text.cpp
  devices/volume_probe.cpp
  devices/volumes.cpp
)
