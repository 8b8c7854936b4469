@ECHO OFF
REM BACKUP source target - copies a folder tree with XCOPY.
IF "%1"=="" GOTO usage
IF "%2"=="" GOTO usage
XCOPY %1 %2 /S /E /H /K /C
GOTO end
:usage
ECHO Usage: BACKUP source target
:end
