list(APPEND CORE_SOURCES
  results/results_storage.cpp
  results/temp_copy.cpp
  results/temp_dir.cpp
)
