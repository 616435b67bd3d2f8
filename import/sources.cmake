list(APPEND KELVARN_GUI_SOURCES
  import/Avtor_Edit_List.cpp
  import/Base_Read_Edit.cpp
)
