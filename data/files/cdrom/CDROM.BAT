@ECHO OFF
REM CD-ROM module: starts the CD-ROM extension MSCDEX on the CD-ROM driver
REM that CONFIG.SYS loaded (device KIVCD001); the first CD-ROM drive becomes
REM X:. Then FINDCD looks for the rescue CD and sets CDROM to its drive.
ECHO CD-ROM module
SET MODULES=%MODULES% CDROM
SET CDROM=
IF NOT EXIST A:\BIN\OAKCDROM.SYS ECHO No CD-ROM driver: the DOS files this floppy came from had no OAKCDROM.SYS.
IF NOT EXIST A:\BIN\MSCDEX.EXE GOTO NOEXT
LH A:\BIN\MSCDEX.EXE /D:KIVCD001 /L:X
CALL A:\BIN\FINDCD.BAT
GOTO END
:NOEXT
ECHO No CD-ROM access: the DOS files this floppy came from had no MSCDEX.EXE.
:END
