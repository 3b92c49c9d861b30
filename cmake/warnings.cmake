# Warnings for every target of the project; -Werror in CI.
add_compile_options(-Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion)
if(NORVANE_WERROR)
  add_compile_options(-Werror)
endif()
