# Warnings for the project's own targets (not for the framework's sources).
add_library(updater_warnings INTERFACE)
target_compile_options(updater_warnings INTERFACE -Wall -Wextra)
