#include <gtest/gtest.h>

#include "common/ini_file.h"
#include "testsupport/fake_platform.h"
#include "testsupport/test_program_folder.h"

namespace kiv {
namespace {

using test::ProgramFolder;
using test::Wizard;

class SetupModules : public ::testing::Test {
 protected:
  void SetUp() override {
    pf.Write("files/inf_files/key_template.inf", "; key\r\n[Setup]\r\nProductKey=\r\n");
    pf.Write("files/inf_files/win98_template.inf",
             "; 98\r\n[Setup]\r\nExpress=1\r\nProductKey=\r\nInstallDir=\"C:\\WINDOWS\"\r\n[NameAndOrg]\r\nName=\r\n"
             "[Network]\r\nComputerName=\r\n[VREDIR]\r\nLogonDomain=\r\n");
    pf.Write("files/inf_files/winme_template.inf", "; me\r\n[Setup]\r\nProductKey=\r\n");
    pf.Write("files/inf_files/win2k_template.inf", "[UserData]\r\nFullName=\r\n[Identification]\r\nJoinWorkgroup=\r\n");
    pf.Write("files/setupwin/bin/SETUPWIN.BAT", "@echo setup\r\n");
    pf.Write("files/setupnt/bin/unattend.txt", "[UserData]\r\nFullName=\"shipped\"\r\n");
    answers.OptimizedFor = "Microsoft Windows 98";
    answers.ProductKey = {"abcde", "12345", "FGHIJ", "67890", "klmno"};
    answers.OwnerName = "Ann Owner";
    answers.Organization = "Org";
    answers.ComputerName = "PC1";
    answers.Workgroup = "WG";
  }
  bool CreateSetupInf() { return w.builder.Modules().CreateSetupInf(answers); }
  bool CreateSetupNT() { return w.builder.Modules().CreateSetupNT(); }
  std::string Get(const std::string& file, const std::string& section, const std::string& key) {
    return INIFile(pf.Path(file)).GetINIKey(section, key);
  }
  ProgramFolder pf;
  Wizard w{pf};
  Win9xInfo answers;  // as the Windows-setup page was filled in
};

TEST_F(SetupModules, Windows98AnswerFiles) {
  ASSERT_TRUE(CreateSetupInf());
  const std::string bin = "files/setupwin/bin/";
  // key.inf: the product key only, as typed, in quotes.
  EXPECT_EQ(pf.Read(bin + "key.inf"), "; key\r\n[Setup]\r\nProductKey=\"abcde-12345-FGHIJ-67890-klmno\"\r\n");
  // def.inf interactive, auto.inf automatic; other template lines kept.
  const std::string def = pf.Read(bin + "def.inf");
  EXPECT_EQ(def.rfind("; 98\r\n", 0), 0u);
  EXPECT_NE(def.find("InstallDir=\"C:\\WINDOWS\"\r\n"), std::string::npos);
  EXPECT_NE(def.find("Name=\"Ann Owner\"\r\n"), std::string::npos);
  EXPECT_NE(def.find("LogonDomain=\"WG\"\r\n"), std::string::npos);
  EXPECT_EQ(Get(bin + "def.inf", "Setup", "Express"), "0");
  EXPECT_EQ(Get(bin + "def.inf", "NameAndOrg", "Display"), "1");
  EXPECT_EQ(Get(bin + "def.inf", "Network", "Display"), "1");
  EXPECT_EQ(Get(bin + "auto.inf", "Setup", "Express"), "1");
  EXPECT_EQ(Get(bin + "auto.inf", "NameAndOrg", "Display"), "0");
  EXPECT_EQ(Get(bin + "auto.inf", "Network", "Workgroup"), "WG");
  EXPECT_EQ(pf.Read(bin + "os.bat"), "@set OSVersion= Microsoft Windows 98\r\n");
  EXPECT_TRUE(pf.Exists("cabs/lib/setupwin.cab"));
  ASSERT_FALSE(w.tools.Ran("cabarc").empty());
  EXPECT_EQ(w.tools.Ran("cabarc").back(),
            "cabarc -m LZX:21 -p -r -P files/setupwin/ n cabs/lib/setupwin.cab files/setupwin/*.*");

  // A second run gives the same files: the templates are copied afresh.
  const std::string first = pf.Read(bin + "auto.inf");
  ASSERT_TRUE(CreateSetupInf());
  EXPECT_EQ(pf.Read(bin + "auto.inf"), first);
}

TEST_F(SetupModules, MeTemplatesForAnyOtherOsType) {
  answers.OptimizedFor = "";
  ASSERT_TRUE(CreateSetupInf());
  EXPECT_EQ(pf.Read("files/setupwin/bin/def.inf").rfind("; me\r\n", 0), 0u);
  EXPECT_EQ(pf.Read("files/setupwin/bin/os.bat"), "@set OSVersion= \r\n");
  answers.OptimizedFor = "Microsoft Windows Millennium Edition";
  ASSERT_TRUE(CreateSetupInf());
  EXPECT_EQ(pf.Read("files/setupwin/bin/auto.inf").rfind("; me\r\n", 0), 0u);
}

TEST_F(SetupModules, MissingTemplateIsNamedAndCancels) {
  std::filesystem::remove(pf.Path("files/inf_files/win98_template.inf"));
  // A disk with the SetupWin module, built with the page's answers.
  pf.Write("files/disklist.ini", "[Disks_List]\r\nCount=0\r\n[0]\r\nfile=BootDisk.img\r\n");
  pf.Write("files/custom.ini", "[Create_CABs]\r\nsetupwin=\r\n");
  FloppyRequest request;
  request.disk = "custom";
  request.diskRow = 1;
  request.answerSource = AnswerSource::Given;
  request.answers = answers;
  EXPECT_EQ(w.builder.Build(request, FloppyPhase::Disk, FloppyPhase::Files), FloppyEnd::Cancelled);
  ASSERT_EQ(w.prompter.messages.size(), 1u);
  EXPECT_NE(w.prompter.messages[0].text.find("win98_template.inf"), std::string::npos);
  EXPECT_EQ(w.builder.Status().step, FloppyStep::SetupWin);
  EXPECT_FALSE(pf.Exists("cabs/lib/setupwin.cab"));
}

TEST_F(SetupModules, SetupNtFromTheKeyFileWithQuotedNames) {
  // Without keyfile.txt the shipped answer file is packed as it is.
  ASSERT_TRUE(CreateSetupNT());
  EXPECT_EQ(pf.Read("files/setupnt/bin/unattend.txt"), "[UserData]\r\nFullName=\"shipped\"\r\n");
  EXPECT_TRUE(pf.Exists("cabs/lib/setupnt.cab"));

  pf.Write(
      "keyfile.txt",
      "[Win2KInfo]\r\nOwnerName= Bob Smith \r\nOrganization=\"Acme\"\r\nProductKey=AAAAA-BBBBB-CCCCC-DDDDD-EEEEE\r\n"
      "ComputerName=PC\r\nWorkgroup=CORP\r\nJoinDomain=True\r\n");
  ASSERT_TRUE(CreateSetupNT());
  const std::string text = pf.Read("files/setupnt/bin/unattend.txt");
  EXPECT_NE(text.find("FullName=\"Bob Smith\""), std::string::npos) << text;
  // Which Windows the CD holds is not known here: both names, quoted.
  EXPECT_NE(text.find("ProductID=\"AAAAA-BBBBB-CCCCC-DDDDD-EEEEE\""), std::string::npos) << text;
  EXPECT_NE(text.find("ProductKey=\"AAAAA-BBBBB-CCCCC-DDDDD-EEEEE\""), std::string::npos) << text;
  EXPECT_NE(text.find("JoinDomain=\"CORP\""), std::string::npos) << text;
  EXPECT_NE(text.find("JoinWorkgroup=\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("[Data]"), std::string::npos) << text;
}

TEST_F(SetupModules, AnswerDataFromTheKeyFile) {
  pf.Write("keyfile.txt",
           "[Win9xInfo]\r\nOwnerName=Key Owner\r\nOrganization=K Org\r\nOptimizedFor=Microsoft Windows Me\r\n"
           "ComputerName=KPC\r\nWorkgroup=KWG\r\nProductKey=11111-22222-33333-44444-55555\r\n");
  const Win9xInfo fromKey = w.builder.AnswersFor(AnswerSource::KeyFile, answers);
  EXPECT_EQ(fromKey.OwnerName, "Key Owner");
  EXPECT_EQ(fromKey.OptimizedFor, "Microsoft Windows Me");
  EXPECT_EQ(fromKey.Workgroup, "KWG");
  EXPECT_EQ(fromKey.ProductKey[4], "55555");
  // The registry is read through the builder's platform: what it holds is
  // shown, and where it holds nothing (every answer on POSIX) the page shows
  // its defaults instead; there is no default product key.
  FakePlatform windows;
  windows.registry["Software\\Microsoft\\Windows\\CurrentVersion\\RegisteredOwner"] = "Reg Owner";
  w.builder.SetPlatform(windows);
  const Win9xInfo fromReg = w.builder.Modules().FillSetupDataFromReg();
  EXPECT_EQ(fromReg.OwnerName, "Reg Owner");
  EXPECT_EQ(fromReg.Organization, "VANTO LTD.");
  EXPECT_EQ(fromReg.OptimizedFor, "Microsoft Windows 98");
  EXPECT_EQ(fromReg.ProductKey[0], "");
}

}  // namespace
}  // namespace kiv
