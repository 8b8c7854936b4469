@ECHO OFF
REM Starts the floppy's modules: first the kernel module (A:\BIN\KERNEL.BAT),
REM which finds the RAM drive, then the modules of A:\LIB in a fixed order
REM (LOADMOD), then any other cabinet there, a module the user added
REM (LOADMORE). Last, it tells what to type.
ECHO Kiv Rescue boot floppy
IF EXIST A:\BIN\KERNEL.BAT CALL A:\BIN\KERNEL.BAT
CALL A:\BIN\LOADMOD.BAT CDROM ASPI EMM TOOLS LORVA MSNET SETUPWIN SETUPNT
IF NOT "%RAMDRIVE%"=="" CALL A:\BIN\LOADMORE.BAT
ECHO.
IF NOT "%KIVSETUPWIN%"=="" ECHO Type SETUPWIN to install Windows 98/Me from the rescue CD.
IF NOT "%KIVSETUPWIN%"=="" ECHO Type SETUPWIN AUTO to install it without questions.
IF NOT "%KIVSETUPNT%"=="" ECHO Type SETUPNT to install Windows 2000/XP from the rescue CD.
