list(APPEND KELVARN_CORE_SOURCES
  import/import_run.cpp
  import/selection.cpp
  import/site_list_parser.cpp
)
list(APPEND KELVARN_GUI_SOURCES
  import/Avtor_Edit_List.cpp
  import/Base_Read_Edit.cpp
)
list(APPEND KELVARN_CORE_SOURCES
  import/author_list.cpp
)
