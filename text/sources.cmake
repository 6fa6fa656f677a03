list(APPEND CORE_SOURCES
  text/string_table.cpp
  text/text_format.cpp
)
