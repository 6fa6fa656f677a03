list(APPEND CORE_SOURCES
  shell/string_table.cpp
  shell/text_format.cpp
)
list(APPEND CORE_SOURCES
  shell/destination_check.cpp
)
list(APPEND CORE_SOURCES
  shell/found_file_copy.cpp
)
list(APPEND CORE_SOURCES
  shell/name_template.cpp
  shell/recovery_worker.cpp
)
list(APPEND CORE_SOURCES
  shell/jpeg_exif_date.cpp
)
