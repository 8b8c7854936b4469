@ECHO OFF
REM SetupWin module: starts Windows 98/Me setup from the CD with the answer
REM files of this module. OS.BAT names the Windows version they were made for.
CALL OS.BAT
ECHO Windows setup for %OSVersion%
IF "%1"=="auto" SET SETUPINF=AUTO.INF
IF NOT "%1"=="auto" SET SETUPINF=DEF.INF
IF "%CDROM%"=="" CALL FINDCD.BAT
IF NOT "%CDROM%"=="" %CDROM%\WIN98\SETUP.EXE %SETUPINF%
