#include "common/ini_file.h"

#include <gtest/gtest.h>

#include "common/file_ops.h"
#include "testsupport/test_file_states.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

std::string Read(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
  return bytes;
}

void Write(const std::string& path, const std::string& bytes) { ASSERT_TRUE(WriteFileAtomic(path, bytes)) << path; }

TEST(IniJoin, CreateIniJoinsWithOneSeparator) {
  EXPECT_EQ(JoinIniPath("C:\\temp\\", "\\sub\\a.ini"), "C:/temp/sub/a.ini");
  EXPECT_EQ(JoinIniPath("C:\\", "a.ini"), "C:/a.ini");
  EXPECT_EQ(JoinIniPath("C:\\\\", "a.ini"), "C:/a.ini");
  EXPECT_EQ(JoinIniPath("", "a.ini"), "/a.ini");
  EXPECT_EQ(JoinIniPath("/opt/kiv/", "//files/disklist.ini"), "/opt/kiv/files/disklist.ini");
  INIFile f;
  EXPECT_EQ(f.FileName(), "");
  f.CreateIni("/opt/kiv", "kivcd.ini");
  EXPECT_EQ(f.FileName(), "/opt/kiv/kivcd.ini");
  f.SetFileName("x\\y.ini");
  EXPECT_EQ(f.FileName(), "x\\y.ini");  // taken as given
}

class IniTest : public ::testing::Test {
 protected:
  TestTempDir dir;
  std::string path = dir / "test.ini";
  INIFile ini{path};
};

TEST_F(IniTest, ReadRulesQuotesBlanksCaseAndLength) {
  std::string longValue(150, 'x');
  longValue[98] = 'y';
  Write(path,
        "[Main]\r\n"
        "  Quoted   =   \"C:\\Program Files\\kiv\"   \r\n"
        "Plain=value with  inner blanks \r\n"
        "Empty=\r\n"
        "Long=" +
            longValue +
            "\r\n"
            "TwoPairs=\"\"x\"\"\r\n"
            "OneSided=\"abc\r\n"
            "InnerBlankAt99=" +
            std::string(98, 'a') +
            " b\r\n"
            "QuotedLong=  \"" +
            longValue +
            " \"  \r\n"
            "Eq=a=b=c\r\n"
            "; Commented=1\r\n"
            "[ Other ]\r\n"
            "Plain=other\r\n");
  EXPECT_EQ(ini.GetINIKey("Main", "Quoted"), "C:\\Program Files\\kiv");
  EXPECT_EQ(ini.GetINIKey("MAIN", "quoted"), "C:\\Program Files\\kiv");
  EXPECT_EQ(ini.GetINIKey("main", "Plain"), "value with  inner blanks");
  EXPECT_EQ(ini.GetINIKey("Main", "Empty"), "");
  EXPECT_EQ(ini.GetINIKey("Main", "Missing"), "");
  EXPECT_EQ(ini.GetINIKey("Nowhere", "Plain"), "");
  // Values of any length are read whole.
  EXPECT_EQ(ini.GetINIKey("Main", "Long"), longValue);
  EXPECT_EQ(ini.GetINIKey("Main", "QuotedLong"), longValue);
  EXPECT_EQ(ini.GetINIKey("Main", "TwoPairs"), "\"x\"");
  EXPECT_EQ(ini.GetINIKey("Main", "OneSided"), "\"abc");
  EXPECT_EQ(ini.GetINIKey("Main", "InnerBlankAt99"), std::string(98, 'a') + " b");
  EXPECT_EQ(ini.GetINIKey("Main", "Eq"), "a=b=c");
  EXPECT_EQ(ini.GetINIKey("Main", "Commented"), "");
  EXPECT_EQ(ini.GetINIKey("other", "PLAIN"), "other");
  EXPECT_EQ(INIFile(dir / "missing.ini").GetINIKey("Main", "Plain"), "");
  EXPECT_EQ(INIFile().GetINIKey("Main", "Plain"), "");
}

TEST_F(IniTest, LongValuesWithMultiByteCharactersReadWhole) {
  Write(path, "[s]\nk=" + std::string(98, 'a') + "\xC3\xA9tail\n");
  EXPECT_EQ(ini.GetINIKey("s", "k"), std::string(98, 'a') + "\xC3\xA9tail");
}

TEST_F(IniTest, NulInsideAValueEndsIt) {
  Write(path, std::string("[s]\nk= abc\0def\nj=\0\n", 18));
  EXPECT_EQ(ini.GetINIKey("s", "k"), "abc");
  EXPECT_EQ(ini.GetINIKey("s", "j"), "");
}

TEST_F(IniTest, FirstSectionAndFirstKeyWin) {
  Write(path, "[s]\nk=1\nk=2\n[S]\nk=3\n");
  EXPECT_EQ(ini.GetINIKey("s", "k"), "1");
  ASSERT_TRUE(ini.SetINIKey("s", "K", "9"));
  EXPECT_EQ(Read(path), "[s]\nK=9\nk=2\n[S]\nk=3\n");
}

TEST_F(IniTest, NewFileGetsSectionAndKeyWithCrLf) {
  ASSERT_TRUE(ini.SetINIKey("Win2K", "Owner", "Jo Bloggs"));
  ASSERT_TRUE(ini.SetINIKey("Win2K", "Org", ""));
  ASSERT_TRUE(ini.SetINIKey("Win9x", "Owner", "x"));
  EXPECT_EQ(Read(path), "[Win2K]\r\nOwner=Jo Bloggs\r\nOrg=\r\n[Win9x]\r\nOwner=x\r\n");
  EXPECT_EQ(ini.GetINIKey("win2k", "owner"), "Jo Bloggs");
}

TEST_F(IniTest, DeletingAKeyOrASectionKeepsEveryOtherLine) {
  Write(path,
        "; answers\r\n[Data]\r\nA=1\r\nB=2\r\n\r\n[UserData]\r\nName=x\r\n"
        "[Identification]\r\nJoinWorkgroup=WG\r\nJoinDomain=\r\nKeep=1");
  ASSERT_TRUE(ini.DeleteINIKey("identification", "joindomain"));
  ASSERT_TRUE(ini.DeleteINISection("DATA"));
  EXPECT_EQ(Read(path), "; answers\r\n\r\n[UserData]\r\nName=x\r\n[Identification]\r\nJoinWorkgroup=WG\r\nKeep=1");
  // Nothing to delete: nothing changes, and that is no failure.
  ASSERT_TRUE(ini.DeleteINIKey("Identification", "JoinDomain"));
  ASSERT_TRUE(ini.DeleteINISection("Data"));
  ASSERT_TRUE(ini.DeleteINIKey("Nowhere", "x"));
  EXPECT_EQ(ini.GetINIKey("Identification", "Keep"), "1");
  // The last section, to the end of the file.
  ASSERT_TRUE(ini.DeleteINISection("Identification"));
  EXPECT_EQ(Read(path), "; answers\r\n\r\n[UserData]\r\nName=x\r\n");
}

TEST_F(IniTest, ReplaceInPlaceKeepsEveryOtherLine) {
  const std::string before =
      "; settings\n"
      "[A]\n"
      "x = 1\n"
      "junk line without equals\n"
      "y=2\n"
      "\n"
      "[B]\n"
      "x=3\n";
  Write(path, before);
  ASSERT_TRUE(ini.SetINIKey("a", "X", "first"));
  ASSERT_TRUE(ini.SetINIKey("a", "X", "second"));
  EXPECT_EQ(Read(path),
            "; settings\n"
            "[A]\n"
            "X=second\n"
            "junk line without equals\n"
            "y=2\n"
            "\n"
            "[B]\n"
            "x=3\n");
  ASSERT_TRUE(ini.SetINIKey("A", "z", "new"));  // appended after the last line of A
  ASSERT_TRUE(ini.SetINIKey("B", "w", "4"));
  EXPECT_EQ(Read(path),
            "; settings\n"
            "[A]\n"
            "X=second\n"
            "junk line without equals\n"
            "y=2\n"
            "z=new\n"
            "\n"
            "[B]\n"
            "x=3\n"
            "w=4\n");
}

TEST_F(IniTest, ByteOrderMarkNoFinalLineEndAndGarbageSurvive) {
  const std::string garbage("\x00\x01\xff\xfe[\x80=\x90\r", 9);
  Write(path, "\xEF\xBB\xBF[Main]\r\nk=v\r\n" + garbage + "\n[Tail]\r\nlast=1");
  EXPECT_EQ(ini.GetINIKey("Main", "k"), "v");
  EXPECT_EQ(ini.GetINIKey("Tail", "last"), "1");
  ASSERT_TRUE(ini.SetINIKey("Tail", "more", "2"));
  ASSERT_TRUE(ini.SetINIKey("Main", "k", "w"));
  ASSERT_TRUE(ini.SetINIKey("New", "n", "3"));
  EXPECT_EQ(Read(path), "\xEF\xBB\xBF[Main]\r\nk=w\r\n" + garbage + "\n[Tail]\r\nlast=1\r\nmore=2\r\n[New]\r\nn=3\r\n");
}

TEST_F(IniTest, BomOnTheReplacedFirstLineIsKept) {
  Write(path, "\xEF\xBB\xBFk=1\n[s]\nk=2\n");
  ASSERT_TRUE(ini.SetINIKey("s", "k", "3"));
  EXPECT_EQ(Read(path), "\xEF\xBB\xBFk=1\n[s]\nk=3\n");
}

TEST_F(IniTest, LineBreaksInAValueCannotAddLines) {
  ASSERT_TRUE(ini.SetINIKey("s", "k", "a\r\n[Evil]\r\nx=1"));
  EXPECT_EQ(ini.GetINIKey("Evil", "x"), "");
  EXPECT_EQ(ini.GetINIKey("s", "k"), "a  [Evil]  x=1");
}

TEST_F(IniTest, WriteIsAtomicReplace) {
  Write(path, "[s]\nk=old\n");
  // A second name for the old file keeps the old content: the new file was
  // written beside it and renamed over it, never rewritten in place.
  std::string alias = dir / "alias.ini";
  ASSERT_TRUE(MakeHardLink(path, alias));
  ASSERT_TRUE(SetMode(path, 0640));
  ASSERT_TRUE(ini.SetINIKey("s", "k", "new"));
  EXPECT_EQ(Read(alias), "[s]\nk=old\n");
  EXPECT_EQ(Read(path), "[s]\nk=new\n");
  EXPECT_EQ(ModeOf(path) & 0777, 0640);                                                         // mode carried over
  EXPECT_EQ(ListFolder(dir.Path(), "*"), (std::vector<std::string>{"alias.ini", "test.ini"}));  // no temp left
}

TEST_F(IniTest, SymbolicLinkStaysALink) {
  std::string real = dir / "real.ini";
  Write(real, "[s]\nk=1\n");
  ASSERT_TRUE(MakeSymlink("real.ini", path));
  ASSERT_TRUE(ini.SetINIKey("s", "k", "2"));
  EXPECT_TRUE(IsSymlink(path));
  EXPECT_EQ(Read(real), "[s]\nk=2\n");
}

TEST_F(IniTest, FailedWritesChangeNothing) {
  EXPECT_FALSE(INIFile(dir / "no/such/folder/a.ini").SetINIKey("s", "k", "v"));
  EXPECT_FALSE(FolderExists(dir / "no"));
  Write(path, "[s]\nk=1\n");
  ASSERT_TRUE(SetMode(path, 0444));
  EXPECT_FALSE(ini.SetINIKey("s", "k", "2"));
  EXPECT_EQ(Read(path), "[s]\nk=1\n");
  EXPECT_FALSE(ini.SetINIKey("", "k", "2"));
  EXPECT_FALSE(ini.SetINIKey("s", " ", "2"));
  EXPECT_FALSE(INIFile().SetINIKey("s", "k", "v"));
}

TEST_F(IniTest, WindowsStyleFileNameIsFoundCaseInsensitively) {
  ASSERT_TRUE(MakePath(dir / "Files"));
  Write(dir / "Files/DiskList.INI", "[Disks]\nCount=5\n");
  INIFile f(dir.Path() + "\\files\\disklist.ini");
  EXPECT_EQ(f.GetINIKey("disks", "count"), "5");
  ASSERT_TRUE(f.SetINIKey("Disks", "Count", "6"));
  EXPECT_EQ(Read(dir / "Files/DiskList.INI"), "[Disks]\nCount=6\n");
  // No second file in other letter case appeared beside the real one.
  EXPECT_EQ(ListFolder(dir.Path(), "*"), std::vector<std::string>{"Files"});
  EXPECT_EQ(ListFolder(dir / "Files", "*"), std::vector<std::string>{"DiskList.INI"});
}

}  // namespace
}  // namespace kiv
