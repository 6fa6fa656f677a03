list(APPEND CORE_SOURCES
  scan/file_types.cpp
  scan/filetime.cpp
  scan/sector_reader.cpp
  scan/recognise.cpp
)
