# Makes the Windows package from a built tarvel-search.dll and tarvel-host.exe, run as cmake -P
# with:
#   DLL, HOST          the linked tarvel-search.dll and tarvel-host.exe
#   DLL_PDB, HOST_PDB  their PDBs, which the linker wrote beside them
#   README             the read-me that goes into the ZIP
#   OUT                the folder for the two ZIPs
#   NAME               the users' ZIP's name without .zip
#   STRIP              the toolchain's strip
#   EPOCH              seconds since 1970 for the ZIP entries' times (the commit's time)
# The users' ZIP holds tarvel-search.dll and tarvel-host.exe (each stripped; its debug directory
# still names its PDB), README.txt and SHA256SUMS. The PDBs go into NAME-symbols.zip beside it,
# for the crash dumps that come back from users' machines.
cmake_minimum_required(VERSION 3.25)

foreach(variable DLL HOST DLL_PDB HOST_PDB README OUT NAME STRIP EPOCH)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "package.cmake needs ${variable}")
    endif()
endforeach()

set(stage ${OUT}/stage)
set(symbols ${OUT}/symbols)
file(REMOVE_RECURSE ${stage} ${symbols})
file(MAKE_DIRECTORY ${stage} ${symbols})

function(run folder)
    execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${folder} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "failed: ${ARGN}")
    endif()
endfunction()

# The linker puts the C++ library's own DWARF into the files; their symbols are the PDBs.
foreach(pair "${DLL};tarvel-search.dll" "${HOST};tarvel-host.exe")
    list(GET pair 0 binary)
    list(GET pair 1 name)
    file(COPY_FILE ${binary} ${stage}/${name})
    run(${stage} ${STRIP} --strip-all ${name})
endforeach()
file(COPY_FILE ${DLL_PDB} ${symbols}/tarvel-search.pdb)
file(COPY_FILE ${HOST_PDB} ${symbols}/tarvel-host.pdb)

configure_file(${README} ${stage}/README.txt COPYONLY)
set(sums "")
foreach(file tarvel-search.dll tarvel-host.exe README.txt)
    file(SHA256 ${stage}/${file} hash)
    string(APPEND sums "${hash}  ${file}\n")
endforeach()
file(WRITE ${stage}/SHA256SUMS "${sums}")

# The ZIPs' entries carry the commit's time, not the build's.
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
string(TIMESTAMP mtime "%Y-%m-%d %H:%M:%S UTC" UTC)
function(zip folder name)
    file(REMOVE ${OUT}/${name}.zip)
    run(${folder} ${CMAKE_COMMAND} -E tar cf ${OUT}/${name}.zip --format=zip "--mtime=${mtime}"
        ${ARGN})
endfunction()
zip(${stage} ${NAME} tarvel-search.dll tarvel-host.exe README.txt SHA256SUMS)
zip(${symbols} ${NAME}-symbols tarvel-search.pdb tarvel-host.pdb)
message(STATUS "Package: ${OUT}/${NAME}.zip; symbols: ${OUT}/${NAME}-symbols.zip")
