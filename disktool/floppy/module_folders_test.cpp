// Module cabinets against the DOS files' cabinet extractor: with one the
// floppy keeps the cabinets, without one the modules go on unpacked.
#include "disktool/floppy/module_folders.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "disktool/dosimport/dos_import.h"
#include "testsupport/test_program_folder.h"

namespace kiv {
namespace {

using test::ProgramFolder;
using test::Wizard;

bool Listed(const Wizard& w, const std::string& path) {
  const std::vector<FileListEntry>& list = w.builder.Tree().Files().FileList;
  return std::any_of(list.begin(), list.end(), [&](const FileListEntry& e) { return e.Path == path; });
}

// A staged module folder with a subfolder, its cabinet, and a cabinet the
// user added without a staged folder.
void StageModules(const ProgramFolder& pf) {
  pf.Write("files/cdrom/CDROM.BAT", "@ECHO CD-ROM module\r\n");
  pf.Write("files/setupwin/bin/SETUPWIN.BAT", "@ECHO setup\r\n");
  pf.Write("files/setupwin/bin/def.inf", "[Setup]\r\n");
  pf.Write("cabs/lib/cdrom.cab", "MSCF cdrom");
  pf.Write("cabs/lib/setupwin.cab", "MSCF setupwin");
  pf.Write("cabs/lib/user.cab", "MSCF user");
  pf.Write("cabs/lib/aspi/driver.cab", "MSCF driver");
}

TEST(ModuleFolders, TheExtractorOfTheDosFilesDecides) {
  ProgramFolder pf;
  EXPECT_FALSE(DosHasCabinetExtractor(pf.root));  // none at all
  pf.Write("dos/extract.exe",
           "KIV STAND-IN FILE - NOT THE REAL EXTRACT.EXE\r\n\r\nThis file stands in for the MS-DOS 7.1 ...");
  EXPECT_FALSE(DosHasCabinetExtractor(pf.root));  // a marked stand-in, in any letter case
  pf.Write("dos/extract.exe", std::string("MZ\x90\0\x03", 5) + "a DOS program");
  EXPECT_TRUE(DosHasCabinetExtractor(pf.root));
}

TEST(ModuleFolders, StagedModulesReplaceTheirCabinets) {
  ProgramFolder pf;
  StageModules(pf);
  std::vector<std::string> names = UnpackModuleCabinets(pf.root, pf.Path("cabs"));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"cdrom", "setupwin"}));
  EXPECT_FALSE(pf.Exists("cabs/lib/cdrom.cab"));
  EXPECT_EQ(pf.Read("cabs/lib/cdrom/CDROM.BAT"), "@ECHO CD-ROM module\r\n");
  EXPECT_EQ(pf.Read("cabs/lib/setupwin/bin/def.inf"), "[Setup]\r\n");
  // A cabinet without its folder, and the driver cabinets, stay.
  EXPECT_TRUE(pf.Exists("cabs/lib/user.cab"));
  EXPECT_TRUE(pf.Exists("cabs/lib/aspi/driver.cab"));
  EXPECT_FALSE(pf.Exists("cabs/lib/aspi/driver"));
}

TEST(ModuleFolders, TheFileListHoldsWhatTheFloppysDosCanLoad) {
  // Without an extractor: the unpacked folders.
  ProgramFolder pf;
  StageModules(pf);
  Wizard w(pf);
  w.builder.Tree().FillInitialList();
  EXPECT_TRUE(Listed(w, "lib\\cdrom\\CDROM.BAT"));
  EXPECT_TRUE(Listed(w, "lib\\setupwin\\bin\\SETUPWIN.BAT"));
  EXPECT_FALSE(Listed(w, "lib\\cdrom.cab"));
  EXPECT_TRUE(Listed(w, "lib\\user.cab"));

  // With one: the cabinets, as packed.
  ProgramFolder real;
  StageModules(real);
  real.Write("dos/EXTRACT.EXE", "MZ a DOS program");
  Wizard r(real);
  r.builder.Tree().FillInitialList();
  EXPECT_TRUE(Listed(r, "lib\\cdrom.cab"));
  EXPECT_TRUE(Listed(r, "lib\\setupwin.cab"));
  EXPECT_FALSE(real.Exists("cabs/lib/cdrom"));
}

}  // namespace
}  // namespace kiv
