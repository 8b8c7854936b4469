@ECHO OFF
REM Kiv boot floppy start-up: sets the paths, then hands over to the
REM module loader, which unpacks lib\*.cab and runs each module's start script.
SET PATH=A:\;A:\BIN
SET KIVDISK=A:
PROMPT $P$G
IF EXIST A:\BIN\KIVSTART.BAT CALL A:\BIN\KIVSTART.BAT
