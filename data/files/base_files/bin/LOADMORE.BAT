@ECHO OFF
REM LOADMORE: loads the cabinets of A:\LIB that KIVSTART did not name,
REM modules the user added. LOADMOD wants bare names: a copy of a small file
REM is made for each cabinet in %RAMDRIVE%\KIVNAMES and renamed to the
REM cabinet's name without its extension; those names go to LOADMOD, which
REM skips the modules already loaded.
IF NOT EXIST A:\LIB\*.CAB GOTO END
A:
CD \LIB
FOR %%M IN (*.CAB) DO COPY A:\BIN\LOADMORE.BAT %RAMDRIVE%\KIVNAMES\%%M > NUL
%RAMDRIVE%
CD \KIVNAMES
REN *.CAB *.
FOR %%N IN (*.) DO CALL A:\BIN\LOADMOD.BAT %%N
CD \
A:
CD \
:END
