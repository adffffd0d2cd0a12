@echo off
rem Removes what install.cmd installed, from an elevated command prompt: the scheduled task,
rem the installation resources, the programs and the message catalogue. The configuration
rem and rules (%PROGRAMDIR%\conf) and the results and logs (%DATADIR%) stay, unless
rem "uninstall.cmd /purge" is given.
setlocal
set "PROGRAMDIR=C:\Program Files\Quilna"
set "DATADIR=C:\ProgramData\Quilna"
set "REMOVE="%PROGRAMDIR%\bin" "%PROGRAMDIR%\LogMessages""
if /i "%~1"=="/purge" set "REMOVE="%PROGRAMDIR%" "%DATADIR%""

echo Removing the scheduled task Quilna\Hoardscan
schtasks /Delete /F /TN "Quilna\Hoardscan" >nul 2>&1
echo Removing the installation resources
reg delete "HKLM\SOFTWARE\Quilna\Resources" /f /reg:64 >nul 2>&1
for %%D in (%REMOVE%) do (
    echo Removing %%~D
    if exist "%%~D\" rd /s /q "%%~D"
    if exist "%%~D\" goto :failed
)
if /i not "%~1"=="/purge" echo Kept %PROGRAMDIR%\conf and %DATADIR%; "uninstall.cmd /purge" removes them
echo Uninstalled.
exit /b 0

:failed
echo uninstall.cmd: failed; see the message above 1>&2
exit /b 1
