# Makes the Windows test package, run as cmake -P with:
#   TESTS    the linked tarvel-unit-tests.exe
#   DLL      the linked tarvel-search.dll
#   HOST     the linked tarvel-host.exe
#   SERVER   the test world's search manager server, tarvel-search-server.exe
#   PROXIES  the Search API's proxy/stub DLL, tarvel-search-ps.dll
#   SCRIPT   run-tests.cmd
#   OUT      the folder for the ZIP
#   EPOCH    seconds since 1970 for the ZIP entries' times (the commit's time)
#   STRIP    the toolchain's strip
# The ZIP holds the unit tests with the files they read (the module, the host, and under Wine the
# search manager's server with its proxies), all stripped, and run-tests.cmd, which runs them all: a maintainer on a real Windows machine runs the
# whole unit suite there with one command. It is not the users' package.
cmake_minimum_required(VERSION 3.25)

foreach(variable TESTS DLL HOST SERVER PROXIES SCRIPT OUT EPOCH STRIP)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "test_package.cmake needs ${variable}")
    endif()
endforeach()

set(stage ${OUT}/tests-stage)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})
file(COPY_FILE ${TESTS} ${stage}/tarvel-unit-tests.exe)
file(COPY_FILE ${DLL} ${stage}/tarvel-search.dll)
file(COPY_FILE ${HOST} ${stage}/tarvel-host.exe)
file(COPY_FILE ${SERVER} ${stage}/tarvel-search-server.exe)
file(COPY_FILE ${PROXIES} ${stage}/tarvel-search-ps.dll)
file(COPY_FILE ${SCRIPT} ${stage}/run-tests.cmd)
set(binaries tarvel-unit-tests.exe tarvel-search.dll tarvel-host.exe tarvel-search-server.exe
    tarvel-search-ps.dll)
foreach(file ${binaries})
    execute_process(COMMAND ${STRIP} --strip-all ${file} WORKING_DIRECTORY ${stage}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "cannot strip ${file}")
    endif()
endforeach()

set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
string(TIMESTAMP mtime "%Y-%m-%d %H:%M:%S UTC" UTC)
set(zip ${OUT}/tarvel-search-tests-win64.zip)
file(REMOVE ${zip})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip "--mtime=${mtime}"
                        run-tests.cmd ${binaries}
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot make ${zip}")
endif()
message(STATUS "Test package: ${zip}")
