list(APPEND CORE_SOURCES
  recovery/destination_check.cpp
  recovery/found_file_copy.cpp
  recovery/pending_file.cpp
  recovery/jpeg_exif_date.cpp
  recovery/name_template.cpp
  recovery/recovery_worker.cpp
)
