@ECHO OFF
REM CD-ROM module: loads the CD-ROM driver chain and finds the CD.
ECHO CD-ROM module
SET MODULES=%MODULES% CDROM
CALL FINDCD.BAT
