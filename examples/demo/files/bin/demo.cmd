@echo off
rem Demo Notes: shows a note file, or the read-me when none is given.
setlocal
set "HERE=%~dp0"
if "%~1"=="" (
  type "%HERE%..\docs\manual.txt"
) else (
  echo Note: %~nx1
  type "%~1"
)
pause
