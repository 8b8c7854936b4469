#include "cdtool/rescue/rescue_builder.h"
#include "testsupport/build_test_support.h"
#include "testsupport/cdtool_test_support.h"

namespace kiv::testing {
namespace {

using SummaryTest = ProgramFolderTest;

std::tm Monday7Dec2026() {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 7;
  t.tm_wday = 1;
  return t;
}

TEST_F(SummaryTest, OnlyBootDisksExactText) {
  auto f = MakeForm();
  f->ClickCheck(f->ChkGet_Win2k);
  f->ClickCheck(f->ChkGet_Win9x);
  f->ClickCheck(f->ChkGet_LinuxRescue);
  f->TxtISOLoc.Text = " /out/kiv cd.iso ";
  f->TxtAddFiles_Loc.Text = "/add files";
  f->SetCheck(f->ChkCleanSession, 2);  // greyed reads True
  const std::string expected =
      "Review you options and Settings below...\r\n"
      "Press Back if there is any option you need to change...\r\n"
      "\r\n"
      "Generated at : Mon 12, 07, 2026\r\n"
      "\r\n"
      "\r\n"
      "[Contents of the CD]\r\n"
      "kiv Boot Disks (kiv Software - kiv Net) :  True\r\n"
      "Microsoft Windows 2000/XP/2003 Setup Files :  False\r\n"
      "Microsoft Windows 98/98SE/Me Setup Files :  False\r\n"
      "Microsoft Windows 10/11 Setup Files :  False\r\n"
      "Advanced Tools :  False\r\n"
      "Linux rescue system (Debian) :  False\r\n"
      "\r\n"
      "\r\n"
      "[ISO File Options]\r\n"
      "Save the generated ISO file to :  /out/kiv cd.iso\r\n"
      "Clean Session's temporary files after completing :  True\r\n"
      "Password Protect the created CD :  False\r\n"
      "\r\n"
      "\r\n"
      "[BootDisk Images Options]\r\n"
      "Use the Lorva Plus disk for Network Access :  True\r\n"
      "Accept default list of Network drivers :  True\r\n"
      "\r\n"
      "\r\n"
      "[kiv Utilities / Additional Files]\r\n"
      "Location of the kiv Utilities :  \"\"\r\n"
      "Location of the Additional Files Folder :  \"/add files\"\r\n";
  EXPECT_EQ(f->GenerateSummery(Monday7Dec2026()), expected);
}

TEST_F(SummaryTest, OptionalSectionsInOrderWithTheirValues) {
  auto f = MakeForm();
  f->ClickCheck(f->ChkGet_Advtools);
  f->Txt_i386_Loc.Text = "\"/xp/I386\"";
  f->ClickCheck(f->ChkSlipstream);
  f->TxtSP_exe.Text = "/sp/sp2.exe";
  f->TxtWin9x_Loc.Text = "/98";
  f->TxtERDC.Text = "/erd";
  const std::string s = f->GenerateSummery(Monday7Dec2026());
  const char* heads[] = {"[Contents of the CD]",
                         "[ISO File Options]",
                         "[BootDisk Images Options]",
                         "[Windows 2000/XP/2003 Details]",
                         "[Windows 98/98SE/Me Details]",
                         "[Advanced Tools]",
                         "[kiv Utilities / Additional Files]"};
  size_t last = 0;
  for (const char* h : heads) {
    const size_t at = s.find(std::string("\r\n") + h + "\r\n");
    ASSERT_NE(at, std::string::npos) << h;
    EXPECT_GT(at, last) << h;
    last = at;
  }
  EXPECT_NE(s.find("Location of Windows Setup Files :  \"/xp/I386\"\r\nIntegrate Service Pack :  False\r\n"
                   "Location of Service Pack exe file :  \"/sp/sp2.exe\"\r\n"),
            std::string::npos);
  EXPECT_NE(s.find("ERD Commander 2002/2003 Location :  \"/erd\"\r\nO&O BlueCon XXL Pro Location :  \"\"\r\n"),
            std::string::npos);
  EXPECT_EQ(s.find("OptimizeISO"), std::string::npos);
  // The text ends with its last item line.
  EXPECT_EQ(s.substr(s.size() - 4), "\"\"\r\n");
}

TEST_F(SummaryTest, TheRescueSystemIsShownWithTheSizeOfTheOneKeptOrAsToBeBuilt) {
  auto f = MakeForm();
  auto section = [&] {
    const std::string s = f->GenerateSummery(Monday7Dec2026());
    const size_t at = s.find("[Linux rescue system (Debian)]\r\n");
    return at == std::string::npos ? std::string() : s.substr(at, s.find("\r\n\r\n", at) - at);
  };
  Write("files/rescue/packages.txt", "ntfs-3g\n");
  EXPECT_EQ(section(),
            "[Linux rescue system (Debian)]\r\nSize :  about 250 MB, built from Debian's packages by this build (a "
            "few minutes, and the download)");

  // One kept from the same list: its size.
  FakeLauncher tools;
  tools.Add("mmdebstrap", FakeMmdebstrap(dir_.string()));
  Write("files/rescue/customize.sh", "#!/bin/sh\n");
  MemoryProgressSink progress;
  ASSERT_TRUE(
      RescueBuilder(dir_.string(), tools, progress).Ensure(ProgramFolderRecipe(dir_.string(), "", nullptr)).Ready());
  EXPECT_EQ(section(), "[Linux rescue system (Debian)]\r\nSize :  1 MB (built before from the same packages)");

  // A list that names something else: the kept one is not it.
  Write("files/rescue/packages.txt", "ntfs-3g\ntestdisk\n");
  EXPECT_NE(section().find("built from Debian's packages by this build"), std::string::npos);
  Write("files/rescue/packages.txt", "ntfs-3g\nNot A Package\n");
  EXPECT_NE(section().find("packages.txt, line 2: \"Not A Package\" is not a Debian package name"), std::string::npos);

  f->ClickCheck(f->ChkGet_LinuxRescue);
  EXPECT_EQ(section(), "");
}

}  // namespace
}  // namespace kiv::testing
