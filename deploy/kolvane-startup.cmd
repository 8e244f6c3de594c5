@echo off
rem Kolvane as a computer start-up script of Group Policy, which runs it as
rem SYSTEM at every boot before anyone logs on.
rem
rem Keep this file and KolvaneBackdoorHeliosB.exe together in the policy's
rem own folder in SYSVOL (Machine\Scripts\Startup), where only domain
rem administrators can write and which Windows fetches with Hardened UNC
rem Paths. Give the folder for the logs as the script's one parameter, for
rem example \\server\logs; without one no log is written. Each machine
rem writes its own file there, COMPUTERNAME.log.
rem
rem The program is copied to Program Files and run from there: what runs
rem as SYSTEM is then a file only administrators can change, and the event
rem log keeps its registration there. The exit code is the program's
rem (0, 3010, 5, 87), or 1 when the copy could not be made.
setlocal
set "kolvane=%SystemDrive%\Program Files\Kolvane"
if not exist "%kolvane%\" md "%kolvane%"
copy /y "%~dp0KolvaneBackdoorHeliosB.exe" "%kolvane%\KolvaneBackdoorHeliosB.exe" >nul
if errorlevel 1 exit /b 1
if "%~1"=="" (
  "%kolvane%\KolvaneBackdoorHeliosB.exe" /basmi
) else (
  "%kolvane%\KolvaneBackdoorHeliosB.exe" /basmi /log:"%~1\%COMPUTERNAME%.log"
)
exit /b %errorlevel%
