@ECHO OFF
REM FINDCD: finds the rescue CD, the drive whose root holds KIVCD.TAG (the CD
REM builder puts it on every CD), and sets CDROM to that drive, e.g. X:. The
REM drive in CDROM is tried first, then X: to Z: (where the CD-ROM module
REM puts the CD-ROM drives), then D: to W:.
IF "%1"=="/TRY" GOTO TRY
IF NOT "%CDROM%"=="" IF EXIST %CDROM%\KIVCD.TAG GOTO FOUND
SET CDROM=
CALL A:\BIN\FINDCD.BAT /TRY X Y Z D E F G H I J K L M N O P Q R S T U V W
IF "%CDROM%"=="" GOTO NOTFOUND
:FOUND
ECHO The rescue CD is in drive %CDROM%
GOTO END
:NOTFOUND
ECHO The rescue CD was not found.
GOTO END
:TRY
SHIFT
IF "%1"=="" GOTO END
IF EXIST %1:\KIVCD.TAG SET CDROM=%1:
IF "%CDROM%"=="" GOTO TRY
:END
