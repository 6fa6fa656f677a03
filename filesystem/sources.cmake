list(APPEND CORE_SOURCES
  filesystem/tsk_entries.cpp
  filesystem/file_system_pass.cpp
)
