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
