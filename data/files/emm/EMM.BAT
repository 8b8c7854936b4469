@ECHO OFF
REM EMM module: notes that EMM386 provides expanded memory on this disk.
ECHO EMM module
SET MODULES=%MODULES% EMM
