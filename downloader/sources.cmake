list(APPEND KELVARN_GUI_SOURCES
  downloader/Change_menu.cpp
  downloader/Download.cpp
)
