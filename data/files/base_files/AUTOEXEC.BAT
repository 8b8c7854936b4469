@ECHO OFF
REM Kiv boot floppy start-up: sets the paths, then hands over to KIVSTART,
REM which starts the kernel module and loads the other modules.
SET PATH=A:\;A:\BIN
SET KIVDISK=A:
PROMPT $P$G
IF EXIST A:\BIN\KIVSTART.BAT CALL A:\BIN\KIVSTART.BAT
