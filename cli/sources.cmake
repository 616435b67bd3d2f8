list(APPEND KELVARN_CLI_SOURCES
  cli/main.cpp
  cli/cli_output.cpp
  cli/list_command.cpp
  cli/stats_command.cpp
  cli/authors_command.cpp
  cli/import_command.cpp
  cli/download_command.cpp
)
