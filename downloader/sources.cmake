list(APPEND KELVARN_CORE_SOURCES
  downloader/queue_file.cpp
  downloader/download_run.cpp
)
list(APPEND KELVARN_GUI_SOURCES
  downloader/Change_menu.cpp
  downloader/Download.cpp
)
