list(APPEND CORE_SOURCES
  results/results_storage.cpp
)
list(APPEND UI_SOURCES
  results/exif_reader.cpp
  results/folder_view_pane.cpp
  results/lumicarve_view.cpp
  results/pane_preview.cpp
)
