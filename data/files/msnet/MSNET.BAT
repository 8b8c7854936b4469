@ECHO OFF
REM MSNET module: picks the network driver from the PCI map (ETC\_MSNET.PCI),
REM or asks with the menu ETC\_MSNET.NIC, then starts the network client.
ECHO MSNET module
SET MODULES=%MODULES% MSNET
IF EXIST A:\ETC\_MSNET.PCI ECHO Looking up the network card in the PCI map ...
IF NOT EXIST A:\ETC\_MSNET.PCI IF EXIST A:\ETC\_MSNET.NIC ECHO Choose the network driver from the menu.
