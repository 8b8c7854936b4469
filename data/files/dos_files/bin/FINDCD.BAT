@ECHO OFF
REM FINDCD: looks for the rescue CD on drives D: to Z: and sets CDROM.
SET CDROM=
FOR %%D IN (D E F G H I J K L M N O P Q R S T U V W X Y Z) DO IF EXIST %%D:\KIVCD.TAG SET CDROM=%%D:
IF "%CDROM%"=="" ECHO The rescue CD was not found.
IF NOT "%CDROM%"=="" ECHO The rescue CD is in drive %CDROM%
