# Our own targets build with warnings as errors; third-party headers come in as SYSTEM.
add_library(bt_warnings INTERFACE)
target_compile_options(bt_warnings INTERFACE
    -Wall -Wextra -Werror -Wno-missing-field-initializers)
