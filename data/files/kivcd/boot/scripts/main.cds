# Kiv Rescue CD - boot menu script (main.cds)
#
# Read by the CD's boot loader at start-up. One command per line; lines that
# begin with "#" are comments. Paths are relative to the root of the CD.
# The CD builder edits this copy on each CD it makes: it may switch on the
# password prompt and store the password (hashed), and it may store a Windows
# product key and show the menu entry that displays it.

# ---- Menu look and behaviour ---------------------------------------------
Set MenuTitle="Kiv Rescue CD"
Set MenuTimeout=30
Set DefaultAction=1

# ---- Serial console --------------------------------------------------------
# The loader and the menu show everything on this serial port as well, and
# the password can be typed there too: COM1, COM2, or 0 for none (choose
# another port or 0 when a serial mouse or modem sits on COM1).
Set SerialConsole=COM1

# ---- Password protection -------------------------------------------------
# With PasswordRequest=1 the menu asks for PasswordString before it appears.
# The CD builder stores the password hashed: sha256:<salt>:<hash>.
Set PasswordRequest=0
Set PasswordString=""
Set PasswordPrompt="Enter the password of this CD:"
Set PasswordRetries=3

# ---- Windows 2000/XP product key (five groups of five characters) ---------
Set WinKey1="Store"
Set WinKey2="your_"
Set WinKey3="Produ"
Set WinKey4="ctKey"
Set WinKey5="here_"

# ---- Menu entries ----------------------------------------------------------
# An entry is shown when it has a macro; an entry whose image or folder is
# missing from the CD is shown greyed.
Set Action1_Text="Kiv Rescue Software"
Set Action1_Macro="BootKivStart"
Set Action2_Text="Kiv Rescue Software (EMM386 Support)"
Set Action2_Macro="BootKivEmm"
Set Action3_Text="Show the stored Windows product key"
#Set Action3_Macro="ShowWinKey"
Set Action4_Text="Windows 2000/XP/2003 Setup"
Set Action4_Macro="BootWinNTSetup"
Set Action5_Text="Windows 98/Me Setup (Kiv Windows Setup Launcher)"
Set Action5_Macro="BootKivWin"
Set Action6_Text="Kiv Network Access"
Set Action6_Macro="BootKivNet"
Set Action7_Text="ERD Commander 2002/2003"
Set Action7_Macro="BootErdc"
Set Action8_Text="O&O BlueCon XXL"
Set Action8_Macro="BootOobc"
Set Action9_Text="Boot from the first hard disk"
Set Action9_Macro="BootHardDisk"
Set Action10_Text="Memory test (memtest86+)"
Set Action10_Macro="BootMemtest"
Set Action11_Text="Hardware detection (HDT)"
Set Action11_Macro="RunHdt"
Set Action12_Text="Linux rescue system"
Set Action12_Macro="BootLinuxRescue"
Set Action13_Text="Linux rescue system, copied into memory (the CD can be removed)"
Set Action13_Macro="BootLinuxRescueToRam"
Set Action14_Text="Windows 10/11 Setup"
Set Action14_Macro="BootWin10Setup"

# ---- Macros ------------------------------------------------------------------
:BootKivStart
  RequireFile "\boot\images\kivstart.img"
  BootFloppyImage "\boot\images\kivstart.img"
  End

:BootKivEmm
  RequireFile "\boot\images\kivemm.img"
  BootFloppyImage "\boot\images\kivemm.img"
  End

:ShowWinKey
  Print "Windows product key: %WinKey1%-%WinKey2%-%WinKey3%-%WinKey4%-%WinKey5%"
  WaitKey
  Menu

:BootWinNTSetup
  RequireFolder "\I386"
  BootSector "\boot\images\w2ksect.bin"
  End

# Windows 10/11 Setup from the user's own medium, which the CD builder puts
# into \win10: in BIOS mode its etfsboot.com, in UEFI mode (BootEfi, the UEFI
# menu's command) its bootx64.efi.
:BootWin10Setup
  RequireFolder "\win10"
  BootSector "\win10\boot\etfsboot.com"
  BootEfi "\win10\efi\boot\bootx64.efi"
  End

:BootKivWin
  RequireFile "\boot\images\kivwin.img"
  BootFloppyImage "\boot\images\kivwin.img"
  End

:BootKivNet
  RequireFile "\boot\images\kivnet.img"
  BootFloppyImage2880 "\boot\images\kivnet.img"
  End

:BootErdc
  RequireFolder "\ERDC"
  BootSector "\boot\images\erdc.bin"
  End

:BootOobc
  RequireFolder "\OOBC"
  BootSector "\boot\images\oobc.bin"
  End

:BootHardDisk
  BootDrive 0x80
  End

# The free tools every CD carries (boot/tools/). BootKernel starts a kernel
# by the Linux boot protocol with the command line that follows its path;
# with a serial console it also gets console=ttyS0,115200 (COM2: ttyS1)
# unless that command line names a console. RunModule starts a SYSLINUX
# COM32 module with the arguments that follow its path.
:BootMemtest
  BootKernel "\boot\tools\memtest86+ia32.bin"
  End

:RunHdt
  RunModule "\boot\isolinux\hdt.c32" "pciids=/boot/tools/pci.ids"
  End

# The Linux rescue system (Debian) the builder puts into /live. Initrd names
# the initial RAM disk of the BootKernel after it; such an entry is a Linux
# system, which starts in BIOS mode and from the UEFI menu alike (under
# Secure Boot too: Debian signs the kernel). live-boot finds the CD or stick
# by itself; "toram" copies the system into memory first.
:BootLinuxRescue
  RequireFile "\live\filesystem.squashfs"
  Initrd "\live\initrd.img"
  BootKernel "\live\vmlinuz" "boot=live noeject quiet"
  End

:BootLinuxRescueToRam
  RequireFile "\live\filesystem.squashfs"
  Initrd "\live\initrd.img"
  BootKernel "\live\vmlinuz" "boot=live toram noeject quiet"
  End

# end of main.cds
