# Makes the Windows package from a built tarvel-search.dll and tarvel-host.exe, run as cmake -P
# with:
#   DLL      the linked DLL, with its debug information
#   HOST     the linked tarvel-host.exe, with its debug information
#   README   the read-me that goes into the ZIP
#   OUT      the folder for the ZIP and the debug symbols
#   NAME     the ZIP's name without .zip
#   OBJCOPY, STRIP  the toolchain's binutils
#   EPOCH    seconds since 1970 for the ZIP entries' times (the commit's time)
# The ZIP holds tarvel-search.dll and tarvel-host.exe (each stripped, with a debug link to its
# .debug file), README.txt and SHA256SUMS; the .debug files stay beside the ZIP, for crash
# analysis.
cmake_minimum_required(VERSION 3.25)

foreach(variable DLL HOST README OUT NAME OBJCOPY STRIP EPOCH)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "package.cmake needs ${variable}")
    endif()
endforeach()

# Every file binutils writes carries the commit's time, not the build's.
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
set(stage ${OUT}/stage)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})

function(run)
    execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${stage} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "failed: ${ARGN}")
    endif()
endfunction()

# The symbols go to a file of their own; the file keeps only a link to it (name and CRC).
function(strip_into_stage binary name)
    file(COPY_FILE ${binary} ${stage}/${name})
    run(${OBJCOPY} --only-keep-debug ${name} ${name}.debug)
    run(${STRIP} --strip-all ${name})
    run(${OBJCOPY} --add-gnu-debuglink=${name}.debug ${name})
    file(RENAME ${stage}/${name}.debug ${OUT}/${name}.debug)
endfunction()
strip_into_stage(${DLL} tarvel-search.dll)
strip_into_stage(${HOST} tarvel-host.exe)

configure_file(${README} ${stage}/README.txt COPYONLY)
set(sums "")
foreach(file tarvel-search.dll tarvel-host.exe README.txt)
    file(SHA256 ${stage}/${file} hash)
    string(APPEND sums "${hash}  ${file}\n")
endforeach()
file(WRITE ${stage}/SHA256SUMS "${sums}")

# So do the ZIP's entries.
string(TIMESTAMP mtime "%Y-%m-%d %H:%M:%S UTC" UTC)
file(REMOVE ${OUT}/${NAME}.zip)
run(${CMAKE_COMMAND} -E tar cf ${OUT}/${NAME}.zip --format=zip "--mtime=${mtime}"
    tarvel-search.dll tarvel-host.exe README.txt SHA256SUMS)
message(STATUS "Package: ${OUT}/${NAME}.zip; symbols: ${OUT}/*.debug")
