# Warnings apply to our own targets through brevio_warnings.
add_library(brevio_warnings INTERFACE)
target_compile_options(brevio_warnings INTERFACE -Wall -Wextra -Wpedantic)
