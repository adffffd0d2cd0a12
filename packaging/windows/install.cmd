@echo off
rem Installs Hoardscan from this folder, from an elevated command prompt:
rem   the programs, configuration, rules and message catalogue into %PROGRAMDIR%,
rem   the results, side files and log directories into %DATADIR%,
rem   the installation resources into HKLM\SOFTWARE\Quilna\Resources (64-bit view),
rem   the nightly scheduled task "Quilna\Hoardscan" (hoardscan-task.xml).
rem Run again to update: installed configuration and rules files are kept (the new ones are
rem put beside them as *.new), and so are resources already in the registry.
rem Another place needs the same paths changed in conf\hoardscan.conf, resources.reg,
rem hoardscan-task.xml and below.
rem Each step is checked by its effect or by errorlevel: "||" and a directory command's
rem errorlevel cannot be relied on.
setlocal
set "PROGRAMDIR=C:\Program Files\Quilna"
set "DATADIR=C:\ProgramData\Quilna"
set "SOURCE=%~dp0"

echo Installing Hoardscan into %PROGRAMDIR%
for %%D in ("%PROGRAMDIR%\bin" "%PROGRAMDIR%\conf" "%PROGRAMDIR%\LogMessages" "%DATADIR%\results" "%DATADIR%\side" "%DATADIR%\log") do (
    if not exist "%%~D\" mkdir "%%~D"
    if not exist "%%~D\" goto :failed
)
copy /y "%SOURCE%bin\*.exe" "%PROGRAMDIR%\bin\" >nul
if errorlevel 1 goto :failed
copy /y "%SOURCE%LogMessages\*.mess" "%PROGRAMDIR%\LogMessages\" >nul
if errorlevel 1 goto :failed
pushd "%SOURCE%conf"
if errorlevel 1 goto :failed
for %%F in (*) do (
    if exist "%PROGRAMDIR%\conf\%%F" (
        copy /y "%%F" "%PROGRAMDIR%\conf\%%F.new" >nul
        if errorlevel 1 goto :failed
        echo Kept conf\%%F; the new one is conf\%%F.new
    ) else (
        copy /y "%%F" "%PROGRAMDIR%\conf\" >nul
        if errorlevel 1 goto :failed
    )
)
popd

reg query "HKLM\SOFTWARE\Quilna\Resources" /reg:64 >nul 2>&1
if errorlevel 1 (
    echo Importing the installation resources
    reg import "%SOURCE%resources.reg" /reg:64 >nul 2>&1
    if errorlevel 1 goto :failed
) else (
    echo Kept the installation resources already in the registry
)

echo Creating the scheduled task Quilna\Hoardscan (every night at 2:00, as SYSTEM)
schtasks /Create /F /TN "Quilna\Hoardscan" /XML "%SOURCE%hoardscan-task.xml" >nul
if errorlevel 1 goto :failed

echo Installed. Adapt the rules in %PROGRAMDIR%\conf; to scan now:
echo     schtasks /Run /TN "Quilna\Hoardscan"
exit /b 0

:failed
echo install.cmd: failed; see the message above 1>&2
exit /b 1
