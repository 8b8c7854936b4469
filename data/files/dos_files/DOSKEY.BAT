@ECHO OFF
REM Command-line helpers of the boot floppy (stand-in for a DOSKEY set-up).
ECHO Type HELP for the list of tools on this disk.
