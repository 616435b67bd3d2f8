list(APPEND KELVARN_CORE_SOURCES
  catalogue/catalogue_file.cpp
  catalogue/catalogue_views.cpp
  catalogue/cp1251.cpp
  catalogue/file_lock.cpp
  catalogue/http_client.cpp
  catalogue/id_list.cpp
  catalogue/io_error.cpp
  catalogue/mix_record.cpp
  catalogue/ole_date.cpp
  catalogue/profile_file.cpp
  catalogue/program_folder.cpp
  catalogue/record_grid.cpp
  catalogue/settings.cpp
  catalogue/site_address.cpp
  catalogue/styles.cpp
)
list(APPEND KELVARN_GUI_SOURCES
  catalogue/Set_days_ch.cpp
)
list(APPEND KELVARN_CORE_SOURCES
  catalogue/text_lines.cpp
)
