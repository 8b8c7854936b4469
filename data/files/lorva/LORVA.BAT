@ECHO OFF
REM Lorva Plus module: every DOS tool, unpacked to the RAM drive.
ECHO Lorva Plus module
SET MODULES=%MODULES% LORVA
SET PATH=%PATH%;%RAMDRIVE%\BIN
