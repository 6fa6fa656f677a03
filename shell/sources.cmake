list(APPEND CORE_SOURCES
  shell/string_table.cpp
  shell/text_format.cpp
)
