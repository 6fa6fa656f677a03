list(APPEND UI_SOURCES
  results/ui/exif_reader.cpp
  results/ui/file_list_model.cpp
  results/ui/file_preview_dialog.cpp
  results/ui/folder_view_pane.cpp
  results/ui/lumicarve_view.cpp
  results/ui/pane_preview.cpp
  results/ui/picture_decode.cpp
  results/ui/thumbnail_tiles.cpp
  results/ui/thumbnail_worker.cpp
)
