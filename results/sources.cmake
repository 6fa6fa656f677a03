list(APPEND CORE_SOURCES
  results/results_storage.cpp
  results/temp_copy.cpp
  results/temp_dir.cpp
)
list(APPEND UI_SOURCES
  results/exif_reader.cpp
  results/file_list_model.cpp
  results/file_preview_dialog.cpp
  results/folder_view_pane.cpp
  results/lumicarve_view.cpp
  results/pane_preview.cpp
  results/thumbnail_tiles.cpp
  results/thumbnail_worker.cpp
)
