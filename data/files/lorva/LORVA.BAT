@ECHO OFF
REM Lorva Plus module: every DOS tool; the loader puts its BIN folder on the
REM PATH (in the RAM drive, or on the floppy when it was not packed).
ECHO Lorva Plus module
SET MODULES=%MODULES% LORVA
