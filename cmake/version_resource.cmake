# tarvel_version_resource(TARGET DESCRIPTION): gives a Windows file of the project its version
# resource: the project's version, its file name, and DESCRIPTION (a quoted string, or a macro of
# module/description.h) as its file description.
function(tarvel_version_resource target description)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        set(TARVEL_FILE_TYPE VFT_APP)
        set(suffix .exe)
    else()
        set(TARVEL_FILE_TYPE VFT_DLL)
        set(suffix .dll)
    endif()
    set(TARVEL_FILE_STEM ${target})
    set(TARVEL_FILE_NAME ${target}${suffix})
    set(TARVEL_FILE_DESCRIPTION ${description})
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in
                   ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/module)
endfunction()

# tarvel_pdb(TARGET): the Windows file gets a PDB of its symbols beside it, which its debug
# directory names by file name alone, with source paths under a fixed root: the same commit
# gives the same file and PDB bytes in any build folder (-Brepro stamps both with a hash of
# their contents).
function(tarvel_pdb target)
    target_link_options(${target} PRIVATE -Wl,--pdb=
        -Wl,-Xlink=-Brepro "-Wl,-Xlink=-pdbaltpath:%_PDB%"
        "-Wl,-Xlink=-pdbsourcepath:C:/tarvel-search")
endfunction()
