list(APPEND CORE_SOURCES
  devices/image_device.cpp
)
