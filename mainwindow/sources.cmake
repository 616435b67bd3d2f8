list(APPEND KELVARN_GUI_SOURCES
  mainwindow/application.cpp
  mainwindow/ChangeForm.cpp
  mainwindow/message_box.cpp
  mainwindow/record_grid_model.cpp
  mainwindow/Unit1.cpp
  mainwindow/window_util.cpp
)
