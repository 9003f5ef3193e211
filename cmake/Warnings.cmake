# Warnings apply to our own targets through brevio_warnings.
add_library(brevio_warnings INTERFACE)
target_compile_options(brevio_warnings INTERFACE -Wall -Wextra -Wpedantic)
# CI turns warnings into errors, so that no new warning lands; users build without it.
option(BREVIO_WERROR "Treat compiler warnings as errors" OFF)
if(BREVIO_WERROR)
  target_compile_options(brevio_warnings INTERFACE -Werror)
endif()
