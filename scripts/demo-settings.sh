#!/usr/bin/env bash
# Sets the demo's settings in a program folder through the CD builder itself
# (`discsmith --set`): boot disks only, the shipped demo utilities and
# additional files, the ISO in the program folder. Everything else keeps what
# the saved settings say, or a first run's defaults (the Windows answers are
# then the information dialogs' own).
# Usage: demo-settings.sh <program folder>
set -euo pipefail
prefix=$(cd "${1:?usage: demo-settings.sh <program folder>}" && pwd)

KIVCD_UI=console "$prefix/discsmith" --set \
  Main.BootDisks=1 Main.Windows2K=0 Main.Windows9x=0 Main.AdvancedTools=0 \
  "Main.ISOLocation=$prefix/kivcd-demo.iso" Main.CleanSession=0 Main.OptimizeISO=1 \
  BootDisks.Use_LorvaPlus=1 BootDisks.AcceptDrivers=1 \
  Locations.kivUtils=1 "Locations.kivUtils_Dir=$prefix/demo/utils" \
  Locations.AddFiles=1 "Locations.AddFiles_Dir=$prefix/demo/addfiles" \
  AdvTools.Add_BlueCon=0 AdvTools.Add_ERDCmdr=0
