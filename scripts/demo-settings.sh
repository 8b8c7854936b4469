#!/usr/bin/env bash
# Writes the demo's settings file kivcd.ini into a program folder: boot disks,
# the shipped demo utilities and additional files, the ISO in the program
# folder. The Windows answers are the information dialogs' own defaults, so
# the dialogs show them when the wizard is opened after the demo.
# Usage: demo-settings.sh <program folder>
set -euo pipefail
prefix=$(cd "${1:?usage: demo-settings.sh <program folder>}" && pwd)
iso="$prefix/kivcd-demo.iso"
template="$prefix/files/inf_files/win2k_template.inf"

# The settings file as the CD builder itself writes it: CR LF line ends,
# padded keys, quoted texts, no blank line at the end.
{
  printf '[Main]\r\n'
  printf 'BootDisks      = 1\r\nWindows2K      = 0\r\nWindows9x      = 0\r\nAdvancedTools  = 0\r\n'
  printf 'ISOLocation    = %s\r\n' "$iso"
  printf 'CleanSession   = 0\r\nOptimizeISO    = 1\r\n'
  printf '\r\n[BootDisks]\r\nUse_LorvaPlus  = 1\r\nAcceptDrivers  = 1\r\n'
  printf '\r\n[Win2K_Info]\r\nSourceDir      = ""\r\nSP_exe         = ""\r\nIn_SetupWin    = 1\r\nIn_Unattend    = 0\r\nDelLangFiles   = 0\r\n'
  printf 'TemplateFile   = "%s"\r\n' "$template"
  printf 'OwnerName      = "kivUser"\r\nOrganization   = "VANTO LTD."\r\nProductKey     = "----"\r\n'
  printf 'ComputerName   = "kivPC"\r\nWorkgroup      = "VANTO_LTD"\r\nJoinDomain     = "False"\r\n'
  printf '\r\n[Win9x_Info]\r\nSourceDir      = ""\r\nIn_MSBATCH     = 0\r\nIn_SetupWin    = 1\r\n'
  printf 'OptimizedFor   = "Microsoft Windows 98"\r\nOwnerName      = "kivUser"\r\nOrganization   = "VANTO LTD."\r\n'
  printf 'ProductKey     = "----"\r\nComputerName   = "kivPC"\r\nWorkgroup      = "VANTO_LTD"\r\n'
  printf '\r\n[Locations]\r\nkivUtils       = "1"\r\n'
  printf 'kivUtils_Dir   = "%s"\r\n' "$prefix/demo/utils"
  printf 'AddFiles       = "1"\r\n'
  printf 'AddFiles_Dir   = "%s"\r\n' "$prefix/demo/addfiles"
  printf '\r\n[AdvTools]\r\nAdd_BlueCon   = 0\r\nAdd_ERDCmdr   = 0\r\nBlueCon_Dir   = ""\r\nERDCmdr_Dir   = ""'
} > "$prefix/kivcd.ini.tmp"
mv "$prefix/kivcd.ini.tmp" "$prefix/kivcd.ini"
