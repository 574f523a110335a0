# Adds a test that runs a program target; Windows programs run under Wine through the
# cross-compiling emulator, in a prefix of the build folder's own.
function(tarvel_add_test name)
    add_test(NAME ${name} COMMAND ${ARGN})
    if(WIN32)
        set_tests_properties(${name} PROPERTIES
            ENVIRONMENT "TARVEL_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix")
    endif()
endfunction()
