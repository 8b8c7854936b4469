@ECHO OFF
REM Loads every module cabinet found in A:\LIB in order: kernel first.
ECHO Kiv Rescue boot floppy
IF EXIST A:\LIB\KERNEL.CAB ECHO Loading the kernel module ...
FOR %%M IN (A:\LIB\*.CAB) DO CALL A:\BIN\LOADMOD.BAT %%M
IF EXIST A:\BIN\OS.BAT CALL A:\BIN\OS.BAT
