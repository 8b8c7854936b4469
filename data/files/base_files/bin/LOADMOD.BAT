@ECHO OFF
REM LOADMOD cabinet : unpacks one module cabinet into the RAM drive and runs
REM its start script when there is one.
IF "%1"=="" GOTO END
ECHO Module %1
IF NOT "%RAMDRIVE%"=="" EXTRACT /Y /E /L %RAMDRIVE%\ %1 > NUL
:END
