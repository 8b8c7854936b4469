#include "common/setup_answer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "common/ini_file.h"
#include "common/platform.h"
#include "testsupport/fake_platform.h"

namespace fs = std::filesystem;

namespace kiv {
namespace {

class SetupAnswerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kiv_setup_answer_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "files" / "inf_files");
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string P(const std::string& rel) const { return (dir_ / rel).string(); }
  void Write(const std::string& rel, const std::string& text) const {
    std::ofstream(dir_ / rel, std::ios::binary) << text;
  }
  std::string Read(const std::string& rel) const {
    std::ifstream in(dir_ / rel, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::string Key(const std::string& rel, const std::string& section, const std::string& key) const {
    return INIFile(P(rel)).GetINIKey(section, key);
  }
  void WriteTemplates() const {
    Write("files/inf_files/win98_template.inf",
          "[Setup]\r\nProductKey=\r\nExpress=1\r\n[NameAndOrg]\r\nName=\r\nOrg=\r\n[Network]\r\nComputerName=\r\n"
          "Workgroup=\r\n");
    Write("files/inf_files/winme_template.inf", "[Setup]\r\nProductType=ME\r\n");
    Write("files/inf_files/win2k_template.inf",
          "[Data]\r\nAutoPartition=0\r\n[UserData]\r\nFullName=\r\n[Identification]\r\nJoinWorkgroup=X\r\n");
  }

  fs::path dir_;
};

TEST(ProductKey, SplitJoinAndOddShapes) {
  EXPECT_EQ(JoinProductKey({"ABCDE", "FGHIJ", "KLMNO", "PQRST", "UVWXY"}), "ABCDE-FGHIJ-KLMNO-PQRST-UVWXY");
  EXPECT_EQ(JoinProductKey({"", "", "", "", ""}), "----");

  const KeyParts full = SplitProductKey("ABCDE-FGHIJ-KLMNO-PQRST-UVWXY");
  EXPECT_EQ(full, (KeyParts{"ABCDE", "FGHIJ", "KLMNO", "PQRST", "UVWXY"}));
  // Separator characters are skipped whatever they are.
  EXPECT_EQ(SplitProductKey("ABCDE FGHIJ+KLMNO/PQRST.UVWXY"), full);
  // Ten characters without dashes: 1-5, 7-10, then nothing.
  EXPECT_EQ(SplitProductKey("1234567890"), (KeyParts{"12345", "7890", "", "", ""}));
  // An empty key round-trips as empty boxes, not as "----" in the first box.
  EXPECT_EQ(SplitProductKey("----"), (KeyParts{"", "", "", "", ""}));
  EXPECT_EQ(SplitProductKey(""), (KeyParts{"", "", "", "", ""}));
  EXPECT_EQ(SplitProductKey("AB-CD-EF-GH-IJ"), (KeyParts{"AB", "CD", "EF", "GH", "IJ"}));
}

TEST(LenientText, NumbersAndTruth) {
  EXPECT_EQ(LenientNumber("12abc"), 12);
  EXPECT_EQ(LenientNumber("  -3"), -3);
  EXPECT_EQ(LenientNumber("abc"), 0);
  EXPECT_EQ(LenientNumber(""), 0);
  EXPECT_TRUE(IsTrueText("TRUE"));
  EXPECT_TRUE(IsTrueText("true"));
  EXPECT_TRUE(IsTrueText("-1"));
  EXPECT_TRUE(IsTrueText("2"));
  EXPECT_FALSE(IsTrueText("False"));
  EXPECT_FALSE(IsTrueText("0"));
  EXPECT_FALSE(IsTrueText(""));
  EXPECT_FALSE(IsTrueText("yes"));
}

TEST_F(SetupAnswerTest, Win9xKeyFileOrderUpperCaseAndReadBack) {
  Win9xInfo info{"Ann", "Org Ltd", "Microsoft Windows 98", "PC1", "WG", {"abcde", "fghij", "k", "", "xyz"}};
  ASSERT_TRUE(WriteWin9xKeyFile(P("keyfile2.txt"), info));
  const std::string text = Read("keyfile2.txt");
  // Documented key order within the section.
  const char* order[] = {"OwnerName", "Organization", "OptimizedFor", "ComputerName", "Workgroup", "ProductKey"};
  size_t last = 0;
  for (const char* k : order) {
    const size_t at = text.find(k);
    ASSERT_NE(at, std::string::npos) << k;
    EXPECT_GT(at, last) << k;
    last = at;
  }
  EXPECT_EQ(Key("keyfile2.txt", "Win9xInfo", "ProductKey"), "ABCDE-FGHIJ-K--XYZ");

  Win9xInfo back;
  back.OwnerName = "untouched?";
  ASSERT_TRUE(ReadWin9xKeyFile(P("keyfile2.txt"), back));
  EXPECT_EQ(back.OwnerName, "Ann");
  EXPECT_EQ(back.Organization, "Org Ltd");
  EXPECT_EQ(back.ProductKey, (KeyParts{"ABCDE", "FGHIJ", "K", "", "XYZ"}));

  // A missing key file changes nothing.
  Win9xInfo keep;
  keep.OwnerName = "keep";
  EXPECT_FALSE(ReadWin9xKeyFile(P("nokeyfile.txt"), keep));
  EXPECT_EQ(keep.OwnerName, "keep");
}

TEST_F(SetupAnswerTest, Win2KKeyFileJoinDomainAndOtherSectionKept) {
  Write("keyfile2.txt", "[Win9xInfo]\r\nOwnerName=Nine\r\n");
  Win2KInfo info{"/t/unattend.txt", "Bob", "Org", {"AAAAA", "BBBBB", "CCCCC", "DDDDD", "EEEEE"}, "PC", "CORP", true};
  ASSERT_TRUE(WriteWin2KKeyFile(P("keyfile2.txt"), info));
  EXPECT_EQ(Key("keyfile2.txt", "Win2KInfo", "JoinDomain"), "True");
  EXPECT_EQ(Key("keyfile2.txt", "Win9xInfo", "OwnerName"), "Nine");
  Win2KInfo back;
  ASSERT_TRUE(ReadWin2KKeyFile(P("keyfile2.txt"), back));
  EXPECT_TRUE(back.JoinDomain);
  EXPECT_EQ(back.TemplateFile, "/t/unattend.txt");
  EXPECT_EQ(back.Workgroup, "CORP");
  info.JoinDomain = false;
  ASSERT_TRUE(WriteWin2KKeyFile(P("keyfile2.txt"), info));
  EXPECT_EQ(Key("keyfile2.txt", "Win2KInfo", "JoinDomain"), "False");
}

TEST_F(SetupAnswerTest, FillKeyFileCopiesChosenSectionsOnly) {
  // No keyfile2.txt: nothing happens.
  EXPECT_TRUE(FillKeyFile(dir_.string(), true, true));
  EXPECT_FALSE(fs::exists(dir_ / "keyfile.txt"));

  Write("keyfile2.txt",
        "[Win9xInfo]\r\nOwnerName=Nine\r\nProductKey=11111-22222-33333-44444-55555\r\n"
        "[Win2KInfo]\r\nOwnerName=Two\r\nJoinDomain=True\r\n");
  Write("keyfile.txt", "[Win9xInfo]\r\nOwnerName=Old\r\nExtra=kept\r\n[Other]\r\nA=1\r\n");
  ASSERT_TRUE(FillKeyFile(dir_.string(), false, true));
  EXPECT_EQ(Key("keyfile.txt", "Win9xInfo", "OwnerName"), "Old");
  EXPECT_EQ(Key("keyfile.txt", "Win2KInfo", "OwnerName"), "Two");
  EXPECT_EQ(Key("keyfile.txt", "Win2KInfo", "JoinDomain"), "True");
  // Absent keys are copied as empty values.
  EXPECT_NE(Read("keyfile.txt").find("TemplateFile="), std::string::npos);

  ASSERT_TRUE(FillKeyFile(dir_.string(), true, false));
  EXPECT_EQ(Key("keyfile.txt", "Win9xInfo", "OwnerName"), "Nine");
  EXPECT_EQ(Key("keyfile.txt", "Win9xInfo", "ProductKey"), "11111-22222-33333-44444-55555");
  EXPECT_EQ(Key("keyfile.txt", "Win9xInfo", "Extra"), "kept");
  EXPECT_EQ(Key("keyfile.txt", "Other", "A"), "1");
}

TEST_F(SetupAnswerTest, MSBatchTemplateChoiceAndValues) {
  WriteTemplates();
  const std::string out = P("MSBATCH.INF");
  // No key file: nothing written, an old file stays.
  Write("MSBATCH.INF", "old");
  EXPECT_EQ(FillSetupDataFromKeyFileToMSBatch(dir_.string(), P("keyfile.txt"), out).status,
            AnswerFileResult::NoKeyFile);
  EXPECT_EQ(Read("MSBATCH.INF"), "old");

  Write("keyfile.txt",
        "[Win9xInfo]\r\nOwnerName=Ann\r\nOrganization=Org\r\nOptimizedFor=Microsoft Windows 98\r\n"
        "ComputerName=PC1\r\nWorkgroup=WG\r\nProductKey=AAAAA-BBBBB-CCCCC-DDDDD-EEEEE\r\n");
  auto r = FillSetupDataFromKeyFileToMSBatch(dir_.string(), P("keyfile.txt"), out);
  ASSERT_EQ(r.status, AnswerFileResult::Written);
  EXPECT_EQ(Key("MSBATCH.INF", "Setup", "ProductKey"), "AAAAA-BBBBB-CCCCC-DDDDD-EEEEE");
  EXPECT_EQ(Key("MSBATCH.INF", "Setup", "Express"), "1");
  EXPECT_EQ(Key("MSBATCH.INF", "NameAndOrg", "Name"), "Ann");
  EXPECT_EQ(Key("MSBATCH.INF", "NameAndOrg", "Org"), "Org");
  EXPECT_EQ(Key("MSBATCH.INF", "Network", "ComputerName"), "PC1");
  EXPECT_EQ(Key("MSBATCH.INF", "Network", "Workgroup"), "WG");

  // Windows Me, or an empty OS type, takes the Me template.
  for (const char* os : {"Microsoft Windows Me", ""}) {
    INIFile(P("keyfile.txt")).SetINIKey("Win9xInfo", "OptimizedFor", os);
    ASSERT_EQ(FillSetupDataFromKeyFileToMSBatch(dir_.string(), P("keyfile.txt"), out).status,
              AnswerFileResult::Written);
    EXPECT_EQ(Key("MSBATCH.INF", "Setup", "ProductType"), "ME") << os;
    EXPECT_EQ(Key("MSBATCH.INF", "Setup", "Express"), "") << os;
  }

  // Missing template: reported with its path, the old answer file is gone.
  fs::remove(dir_ / "files/inf_files/winme_template.inf");
  r = FillSetupDataFromKeyFileToMSBatch(dir_.string(), P("keyfile.txt"), out);
  EXPECT_EQ(r.status, AnswerFileResult::TemplateMissing);
  EXPECT_NE(r.path.find("winme_template.inf"), std::string::npos);
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(SetupAnswerTest, AnswerFilesAreInTheCodePageSetupReadsAndRefuseWhatItCannot) {
  WriteTemplates();
  Write("keyfile.txt",
        "[Win9xInfo]\r\nOwnerName=J\xC3\xBCrgen M\xC3\xBCller\r\nOrganization=\xC5\x92uvre \xE2\x82\xAC\r\n"
        "OptimizedFor=Windows 98\r\n"
        "[Win2KInfo]\r\nOwnerName=J\xC3\xBCrgen M\xC3\xBCller\r\nWorkgroup=B\xC3\x9CRO\r\n");
  ASSERT_EQ(FillSetupDataFromKeyFileToMSBatch(dir_.string(), P("keyfile.txt"), P("MSBATCH.INF")).status,
            AnswerFileResult::Written);
  const std::string msbatch = Read("MSBATCH.INF");
  EXPECT_NE(msbatch.find("Name=J\xFCrgen M\xFCller\r\n"), std::string::npos) << msbatch;
  EXPECT_NE(msbatch.find("Org=\x8Cuvre \x80\r\n"), std::string::npos) << msbatch;
  ASSERT_EQ(FillSetupDataFromKeyFileToUnattend(dir_.string(), P("keyfile.txt"), P("WINNT.SIF")).status,
            AnswerFileResult::Written);
  const std::string sif = Read("WINNT.SIF");
  EXPECT_NE(sif.find("FullName=\"J\xFCrgen M\xFCller\"\r\n"), std::string::npos) << sif;
  EXPECT_NE(sif.find("JoinWorkgroup=B\xDCRO\r\n"), std::string::npos) << sif;

  // A name the code page cannot hold: no answer file, the character named.
  INIFile(P("keyfile.txt")).SetINIKey("Win2KInfo", "ComputerName", "PC-\xE7\x8E\x8B");
  const AnswerFileResult r = FillSetupDataFromKeyFileToUnattend(dir_.string(), P("keyfile.txt"), P("WINNT.SIF"));
  EXPECT_EQ(r.status, AnswerFileResult::WriteFailed);
  EXPECT_NE(r.error.find("ComputerName \"PC-\xE7\x8E\x8B\" holds \"\xE7\x8E\x8B\""), std::string::npos) << r.error;
  EXPECT_FALSE(fs::exists(P("WINNT.SIF")));
  EXPECT_EQ(AnswerTextProblem("Computer Name", "PC-\xE7\x8E\x8B").rfind("The Computer Name holds \"\xE7\x8E\x8B\"", 0),
            0u);
  EXPECT_EQ(AnswerTextProblem("Owner Name", "J\xC3\xBCrgen"), "");
}

TEST_F(SetupAnswerTest, UnattendJoinModesTemplateFallbackAndQuoting) {
  WriteTemplates();
  Write("keyfile.txt",
        "[Win2KInfo]\r\nTemplateFile=" + P("missing.sif") +
            "\r\nOwnerName=  Ann Smith \r\nOrganization=\"Quoted Org\"\r\nProductKey=AAAAA-BBBBB-CCCCC-DDDDD-EEEEE\r\n"
            "ComputerName=PC1\r\nWorkgroup=CORP\r\nJoinDomain=True\r\n");
  const std::string out = P("WINNT.SIF");
  auto r = FillSetupDataFromKeyFileToUnattend(dir_.string(), P("keyfile.txt"), out);
  ASSERT_EQ(r.status, AnswerFileResult::Written);
  // Fallback template content is there, [Data] keys set.
  EXPECT_EQ(Key("WINNT.SIF", "Data", "AutoPartition"), "0");
  EXPECT_EQ(Key("WINNT.SIF", "Data", "MsDosInitiated"), "0");
  EXPECT_EQ(Key("WINNT.SIF", "Data", "UnattendedInstall"), "Yes");
  EXPECT_EQ(Key("WINNT.SIF", "UserData", "FullName"), "Ann Smith");
  EXPECT_EQ(Key("WINNT.SIF", "Identification", "JoinDomain"), "CORP");
  const std::string text = Read("WINNT.SIF");
  EXPECT_NE(text.find("JoinWorkgroup=\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("\"CORP\""), std::string::npos);
  // A name with a blank is quoted, or setup reads only its first word.
  EXPECT_NE(text.find("FullName=\"Ann Smith\"\r\n"), std::string::npos) << text;
  // The medium unknown: the key under both names, quoted, with its dashes.
  EXPECT_NE(text.find("ProductID=\"AAAAA-BBBBB-CCCCC-DDDDD-EEEEE\"\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("ProductKey=\"AAAAA-BBBBB-CCCCC-DDDDD-EEEEE\"\r\n"), std::string::npos) << text;
  // XP and Server 2003 read ProductKey only, Windows 2000 ProductID only.
  ASSERT_TRUE(FillSetupDataFromKeyFileToUnattend(dir_.string(), P("keyfile.txt"), out, UnattendStyle::CdBuilder,
                                                 WindowsFamily::XpOr2003)
                  .status == AnswerFileResult::Written);
  EXPECT_EQ(Key("WINNT.SIF", "UserData", "ProductKey"), "AAAAA-BBBBB-CCCCC-DDDDD-EEEEE");
  EXPECT_EQ(Read("WINNT.SIF").find("ProductID"), std::string::npos) << Read("WINNT.SIF");
  ASSERT_TRUE(FillSetupDataFromKeyFileToUnattend(dir_.string(), P("keyfile.txt"), out, UnattendStyle::CdBuilder,
                                                 WindowsFamily::Windows2000)
                  .status == AnswerFileResult::Written);
  EXPECT_EQ(Key("WINNT.SIF", "UserData", "ProductID"), "AAAAA-BBBBB-CCCCC-DDDDD-EEEEE");
  EXPECT_EQ(Read("WINNT.SIF").find("ProductKey"), std::string::npos) << Read("WINNT.SIF");
  // What it wrote reads back into the dialog, whichever name holds the key.
  Win2KInfo back;
  ASSERT_TRUE(FillSetupDataFromUnattend(out, back));
  EXPECT_EQ(JoinProductKey(back.ProductKey), "AAAAA-BBBBB-CCCCC-DDDDD-EEEEE");
  ASSERT_TRUE(FillSetupDataFromKeyFileToUnattend(dir_.string(), P("keyfile.txt"), out, UnattendStyle::CdBuilder,
                                                 WindowsFamily::XpOr2003)
                  .status == AnswerFileResult::Written);
  back = Win2KInfo{};
  ASSERT_TRUE(FillSetupDataFromUnattend(out, back));
  EXPECT_EQ(JoinProductKey(back.ProductKey), "AAAAA-BBBBB-CCCCC-DDDDD-EEEEE");

  INIFile(P("keyfile.txt")).SetINIKey("Win2KInfo", "JoinDomain", "False");
  ASSERT_EQ(FillSetupDataFromKeyFileToUnattend(dir_.string(), P("keyfile.txt"), out).status, AnswerFileResult::Written);
  EXPECT_EQ(Key("WINNT.SIF", "Identification", "JoinWorkgroup"), "CORP");
  // No empty JoinDomain line: setup would take it as a domain to join.
  EXPECT_EQ(Read("WINNT.SIF").find("JoinDomain"), std::string::npos) << Read("WINNT.SIF");

  // A template that exists is used instead of the shipped one.
  Write("mine.sif", "[Unattended]\r\nOemSkipEula=Yes\r\n");
  INIFile(P("keyfile.txt")).SetINIKey("Win2KInfo", "TemplateFile", P("mine.sif"));
  ASSERT_EQ(FillSetupDataFromKeyFileToUnattend(dir_.string(), P("keyfile.txt"), out).status, AnswerFileResult::Written);
  EXPECT_EQ(Key("WINNT.SIF", "Unattended", "OemSkipEula"), "Yes");
  EXPECT_EQ(Key("WINNT.SIF", "Data", "AutoPartition"), "");

  // Disk builder: names trimmed and quoted once, key quoted, no [Data]:
  // the shipped template's section goes too (winnt.exe must not read it).
  const std::string nt = P("unattend.txt");
  INIFile(P("keyfile.txt")).SetINIKey("Win2KInfo", "TemplateFile", P("files/inf_files/win2k_template.inf"));
  ASSERT_NE(Read("files/inf_files/win2k_template.inf").find("[Data]"), std::string::npos);
  ASSERT_EQ(FillSetupDataFromKeyFileToUnattend(dir_.string(), P("keyfile.txt"), nt, UnattendStyle::DiskBuilder).status,
            AnswerFileResult::Written);
  const std::string disk = Read("unattend.txt");
  EXPECT_NE(disk.find("FullName=\"Ann Smith\"\r\n"), std::string::npos) << disk;
  EXPECT_NE(disk.find("OrgName=\"Quoted Org\"\r\n"), std::string::npos) << disk;
  EXPECT_NE(disk.find("ComputerName=\"PC1\"\r\n"), std::string::npos) << disk;
  EXPECT_NE(disk.find("JoinWorkgroup=\"CORP\"\r\n"), std::string::npos) << disk;
  EXPECT_EQ(disk.find("JoinDomain"), std::string::npos) << disk;
  EXPECT_NE(disk.find("ProductID=\"AAAAA-BBBBB-CCCCC-DDDDD-EEEEE\"\r\n"), std::string::npos) << disk;
  EXPECT_EQ(disk.find("[Data]"), std::string::npos) << disk;
  EXPECT_EQ(disk.find("MsDosInitiated"), std::string::npos);
  EXPECT_EQ(disk.find("UnattendedInstall"), std::string::npos);
  INIFile(P("keyfile.txt")).SetINIKey("Win2KInfo", "TemplateFile", P("mine.sif"));

  // No template at all: the shipped name is reported.
  fs::remove(dir_ / "files/inf_files/win2k_template.inf");
  INIFile(P("keyfile.txt")).SetINIKey("Win2KInfo", "TemplateFile", "");
  r = FillSetupDataFromKeyFileToUnattend(dir_.string(), P("keyfile.txt"), out);
  EXPECT_EQ(r.status, AnswerFileResult::TemplateMissing);
  EXPECT_NE(r.path.find("win2k_template.inf"), std::string::npos);
}

TEST_F(SetupAnswerTest, FromUnattendJoinRules) {
  Win2KInfo info;
  info.Workgroup = "before";
  EXPECT_FALSE(FillSetupDataFromUnattend(P("none.sif"), info));
  EXPECT_EQ(info.Workgroup, "before");

  Write(
      "a.sif",
      "[UserData]\r\nFullName=\"Ann\"\r\nOrgName=Org\r\nComputerName=PC\r\nProductID=AAAAA-BBBBB-CCCCC-DDDDD-EEEEE\r\n"
      "[Identification]\r\nJoinWorkgroup=WG\r\n");
  ASSERT_TRUE(FillSetupDataFromUnattend(P("a.sif"), info));
  EXPECT_EQ(info.OwnerName, "Ann");
  EXPECT_EQ(info.ProductKey[4], "EEEEE");
  EXPECT_FALSE(info.JoinDomain);
  EXPECT_EQ(info.Workgroup, "WG");

  Write("b.sif", "[Identification]\r\nJoinDomain=CORP\r\n");
  ASSERT_TRUE(FillSetupDataFromUnattend(P("b.sif"), info));
  EXPECT_TRUE(info.JoinDomain);
  EXPECT_EQ(info.Workgroup, "CORP");

  // Both empty: domain mode with an empty name.
  Write("c.sif", "[Identification]\r\nJoinDomain=\r\nJoinWorkgroup=\r\n");
  ASSERT_TRUE(FillSetupDataFromUnattend(P("c.sif"), info));
  EXPECT_TRUE(info.JoinDomain);
  EXPECT_EQ(info.Workgroup, "");

  // Both set: mode and name stay.
  info.JoinDomain = false;
  info.Workgroup = "KEEP";
  Write("d.sif", "[Identification]\r\nJoinDomain=D\r\nJoinWorkgroup=W\r\n");
  ASSERT_TRUE(FillSetupDataFromUnattend(P("d.sif"), info));
  EXPECT_FALSE(info.JoinDomain);
  EXPECT_EQ(info.Workgroup, "KEEP");
}

TEST(SetupAnswerRegistry, ReadsTheDocumentedValuesAndEmptyOtherwise) {
  FakePlatform reg;
  reg.registry["Software\\Microsoft\\Windows\\CurrentVersion\\RegisteredOwner"] = "Owner";
  reg.registry["Software\\Microsoft\\Windows\\CurrentVersion\\ProductName"] = "Microsoft Windows 98";
  reg.registry["Software\\Microsoft\\Windows\\CurrentVersion\\ProductKey"] = "1234567890";
  reg.registry["System\\CurrentControlSet\\Services\\VxD\\VNETSUP\\Workgroup"] = "WG";
  const Win9xInfo info = ReadWin9xRegistry(reg);
  EXPECT_EQ(info.OwnerName, "Owner");
  EXPECT_EQ(info.Organization, "");
  EXPECT_EQ(info.OptimizedFor, "Microsoft Windows 98");
  EXPECT_EQ(info.ComputerName, "");
  EXPECT_EQ(info.Workgroup, "WG");
  EXPECT_EQ(info.ProductKey, (KeyParts{"12345", "7890", "", "", ""}));
}

}  // namespace
}  // namespace kiv
