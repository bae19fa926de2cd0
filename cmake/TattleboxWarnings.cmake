# Warning flags for the project's own targets; JUCE's sources are compiled without them.
add_library(tb_warnings INTERFACE)
target_compile_options(tb_warnings INTERFACE -Wall -Wextra -Werror)
