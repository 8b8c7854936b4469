#pragma once
// Test support for the wizard: a small program folder (its outside tools are
// the in-process stand-ins of test_program_folder.h's Wizard) whose catalogue has the custom entry, a disk without
// and a disk with the SetupWin module, so every page sequence can be walked.
#include "testsupport/test_program_folder.h"

namespace kiv::test {

inline void SeedWizardDisks(const ProgramFolder& pf) {
  pf.SeedBase();
  pf.Write("files/disklist.ini",
           "[Disks_List]\r\nCount=2\r\n[0]\r\nfile=BootDisk.img\r\naspi=1\r\nndis=1\r\nnetw=0\r\n"
           "[1]\r\nName=plain\r\nDesc=Plain disk\r\nIcon=2\r\nfile=plain.img\r\naspi=1\r\nndis=0\r\nnetw=0\r\n"
           "[2]\r\nName=setup\r\nDesc=Setup disk\r\nIcon=3\r\nfile=setup.img\r\naspi=0\r\nndis=0\r\nnetw=0\r\n");
  const std::string copy = "[Copy_Files]\r\nIO.SYS=IO.SYS\r\nCOMMAND.COM=COMMAND.COM\r\n";
  pf.Write("files/custom.ini", copy);
  pf.Write("files/plain.ini", copy);
  pf.Write("files/setup.ini", copy + "[Create_CABs]\r\nsetupwin=\r\n");
  pf.Write("files/inf_files/key_template.inf", "[Key]\r\n");
  pf.Write("files/inf_files/win98_template.inf", "[Setup]\r\n");
  pf.Write("files/inf_files/winme_template.inf", "[Setup]\r\n");
  pf.MakeDriverCab("drivers/aspi/aspigen.cab", {{"scsi.txt", "ASPIGEN      Generic ASPI driver\r\n"}});
  pf.MakeDriverCab("drivers/ndis/ne2000.cab", {{"ndis.txt", "NE2000       NE2000 compatible\r\n"}});
  pf.MakeDriverCab("drivers/odi16/ne2k16.cab", {{"odi.txt", "NE2K16       NE2000 16-bit ODI\r\n"}});
  pf.MakeDriverCab("drivers/odi32/ne2k32.cab", {{"odi.txt", "NE2K32       NE2000 32-bit ODI\r\n"}});
}

}  // namespace kiv::test
