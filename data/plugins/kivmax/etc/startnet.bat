@echo off
rem Runs the Kiv server connection of this disk, when one was set up.
rem kivmax writes it as \etc\autoexec.net when the disk is made; without a
rem server name the file is absent and the network starts without the share.
if not exist \etc\autoexec.net goto none
copy \etc\autoexec.net %TEMP%\autonet.bat > nul
call %TEMP%\autonet.bat
goto end
:none
echo No Kiv server was named when this disk was made.
:end
