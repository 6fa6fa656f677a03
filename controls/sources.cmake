list(APPEND UI_SOURCES
  controls/gradient.cpp
  controls/transparent_static.cpp
  controls/tri_check_tree.cpp
)
