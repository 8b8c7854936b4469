@ECHO OFF
REM SetupNT module: starts Windows 2000/XP setup from the CD with UNATTEND.TXT.
IF "%CDROM%"=="" CALL FINDCD.BAT
IF NOT "%CDROM%"=="" %CDROM%\I386\WINNT.EXE /s:%CDROM%\I386 /u:A:\UNATTEND.TXT
