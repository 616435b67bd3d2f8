list(APPEND KELVARN_GUI_SOURCES
  mainwindow/Unit1.cpp
  mainwindow/record_grid_model.cpp
)
