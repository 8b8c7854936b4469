@ECHO OFF
REM ASPI module: loads the SCSI host adapter drivers unpacked from LIB\ASPI.
ECHO ASPI module
SET MODULES=%MODULES% ASPI
FOR %%D IN (A:\LIB\ASPI\*.CAB) DO ECHO SCSI driver %%D
