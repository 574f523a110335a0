@echo off
rem Runs every unit test of the Tarvel search module on this machine, against its own COM
rem runtime. Usage: run-tests.cmd [GoogleTest options], for example --gtest_filter=SearchRun*
setlocal
cd /d "%~dp0"
tarvel-unit-tests.exe --gtest_brief=1 %*
set status=%ERRORLEVEL%
if "%status%"=="0" (
    echo All unit tests passed.
) else (
    echo Some unit tests failed: send the text above to the module's makers.
)
exit /b %status%
