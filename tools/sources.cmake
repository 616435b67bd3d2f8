list(APPEND KELVARN_CORE_SOURCES
  tools/statistics.cpp
)
list(APPEND KELVARN_GUI_SOURCES
  tools/Info_base.cpp
)
list(APPEND KELVARN_GUI_SOURCES
  tools/Add_man_mix.cpp
  tools/Searcher.cpp
)
