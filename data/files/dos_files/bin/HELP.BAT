@ECHO OFF
REM HELP: shows the help text of the boot floppy.
IF EXIST A:\HELP\README.TXT TYPE A:\HELP\README.TXT | MORE
