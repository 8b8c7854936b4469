@ECHO OFF
REM LOADMOD name ... : loads each named module once, in the order given.
REM A module NAME is the cabinet A:\LIB\NAME.CAB, unpacked into the RAM drive
REM with EXTRACT, or, on a floppy made from DOS files without a cabinet
REM extractor, the folder A:\LIB\NAME, used where it is. KIVNAME is set
REM to the folder that holds the module's files, and its start script
REM NAME.BAT there is run when it has one. (No redirection signs in REM
REM lines: COMMAND.COM would act on them.)
:NEXT
IF "%1"=="" GOTO END
IF EXIST A:\LIB\%1.CAB GOTO CAB
IF EXIST A:\LIB\%1\NUL GOTO FOLDER
GOTO DONE
:CAB
IF "%RAMDRIVE%"=="" GOTO NORAM
IF EXIST %RAMDRIVE%\KIVMODS\%1.MOD GOTO DONE
ECHO Loading module %1 ...
COPY A:\BIN\LOADMOD.BAT %RAMDRIVE%\KIVMODS\%1.MOD > NUL
EXTRACT /Y /E /L %RAMDRIVE%\ A:\LIB\%1.CAB > NUL
IF ERRORLEVEL 1 GOTO BADCAB
SET KIV%1=%RAMDRIVE%
IF EXIST %RAMDRIVE%\%1.BAT CALL %RAMDRIVE%\%1.BAT
GOTO DONE
:FOLDER
ECHO Loading module %1 ...
SET KIV%1=A:\LIB\%1
IF EXIST A:\LIB\%1\BIN\NUL SET PATH=%PATH%;A:\LIB\%1\BIN
IF EXIST A:\LIB\%1\*.COM GOTO ROOTPATH
IF NOT EXIST A:\LIB\%1\*.EXE GOTO START
:ROOTPATH
SET PATH=%PATH%;A:\LIB\%1
:START
IF EXIST A:\LIB\%1\%1.BAT CALL A:\LIB\%1\%1.BAT
GOTO DONE
:BADCAB
ECHO Module %1 could not be unpacked to the RAM drive %RAMDRIVE%.
GOTO DONE
:NORAM
ECHO Module %1 is not loaded: there is no RAM drive to unpack it to.
:DONE
SHIFT
GOTO NEXT
:END
