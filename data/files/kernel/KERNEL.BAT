@ECHO OFF
REM Kernel module: creates the RAM drive and sets the module variables.
ECHO Kernel module
SET MODULES=KERNEL
