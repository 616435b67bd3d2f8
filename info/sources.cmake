list(APPEND KELVARN_GUI_SOURCES
  info/About_prog.cpp
  info/Help_prog.cpp
  info/memo_file.cpp
  info/O_mne.cpp
)
