# Warning flags shared by every target of the project.
add_library(tarvel_warnings INTERFACE)
target_compile_options(tarvel_warnings INTERFACE -Wall -Wextra -Wshadow
                                                 -Wno-missing-field-initializers)
if(TARVEL_WERROR)
    target_compile_options(tarvel_warnings INTERFACE -Werror)
endif()
