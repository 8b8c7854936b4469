#include "cdtool/win10/win10_answers.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "common/process_runner.h"
#include "testsupport/test_files.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

Win10Info Nothing() {
  Win10Info a;
  a.SkipHardwareChecks = a.NoOnlineAccount = a.SkipPrivacy = a.NoAutoEncryption = 0;
  return a;
}

// Each answer by itself, and the lines only it writes.
struct Option {
  std::function<void(Win10Info&)> set;
  std::vector<std::string> lines;
};

const std::map<std::string, Option>& Options() {
  static const std::map<std::string, Option> options = {
      {"Edition",
       {[](Win10Info& a) { a.Edition = "Windows 11 Pro"; },
        {"<Key>/IMAGE/NAME</Key>", "<Value>Windows 11 Pro</Value>", "<ImageInstall>"}}},
      {"ProductKey",
       {[](Win10Info& a) {
          a.ProductKey = {"abcde", "FGHIJ", "KLMNO", "PQRST", "UVWXY"};
        },
        {"<Key>ABCDE-FGHIJ-KLMNO-PQRST-UVWXY</Key>", "<ProductKey>"}}},
      {"ComputerName", {[](Win10Info& a) { a.ComputerName = "ANNA-PC"; }, {"<ComputerName>ANNA-PC</ComputerName>"}}},
      {"OwnerName", {[](Win10Info& a) { a.OwnerName = "Anna"; }, {"<RegisteredOwner>Anna</RegisteredOwner>"}}},
      {"Organization",
       {[](Win10Info& a) { a.Organization = "Home"; }, {"<RegisteredOrganization>Home</RegisteredOrganization>"}}},
      {"LocalAccount",
       {[](Win10Info& a) { a.LocalAccount = "anna"; },
        {"<Name>anna</Name>", "<HideLocalAccountScreen>true</HideLocalAccountScreen>", "<LocalAccounts>",
         "<CommandLine>net user &quot;anna&quot; /logonpasswordchg:yes</CommandLine>"}}},
      {"SkipHardwareChecks",
       {[](Win10Info& a) { a.SkipHardwareChecks = 1; },
        {"/v BypassTPMCheck /t REG_DWORD /d 1 /f", "/v BypassSecureBootCheck", "/v BypassRAMCheck"}}},
      {"NoOnlineAccount",
       {[](Win10Info& a) { a.NoOnlineAccount = 1; },
        {"OOBE /v BypassNRO /t REG_DWORD /d 1 /f", "<HideOnlineAccountScreens>true</HideOnlineAccountScreens>"}}},
      {"SkipPrivacy",
       {[](Win10Info& a) { a.SkipPrivacy = 1; },
        {"<ProtectYourPC>3</ProtectYourPC>", "<HideEULAPage>true</HideEULAPage>", "<AcceptEula>true</AcceptEula>"}}},
      {"NoAutoEncryption",
       {[](Win10Info& a) { a.NoAutoEncryption = 1; },
        {"<PreventDeviceEncryption>true</PreventDeviceEncryption>", "/v PreventDeviceEncryption /t REG_DWORD"}}},
      {"TimeZone",
       {[](Win10Info& a) { a.TimeZone = "W. Europe Standard Time"; },
        {"<TimeZone>W. Europe Standard Time</TimeZone>"}}},
      {"Locale",
       {[](Win10Info& a) { a.Locale = "de-DE"; },
        {"<SystemLocale>de-DE</SystemLocale>", "Microsoft-Windows-International-Core-WinPE"}}},
  };
  return options;
}

class Win10AnswersTest : public ::testing::Test {
 protected:
  TestTempDir dir;
  // xmllint's verdict on the document ("" when well-formed).
  std::string NotWellFormed(const std::string& xml) {
    if (SystemLauncher().FindProgram("xmllint").empty()) return "";
    testing::WriteText(dir / "autounattend.xml", xml);
    const RunResult r = RunAndCapture({"xmllint", "--noout", dir / "autounattend.xml"});
    return r.exitCode == 0 ? "" : r.output;
  }
  std::string XPath(const std::string& xml, const std::string& element) {
    testing::WriteText(dir / "a.xml", xml);
    std::string value =
        RunAndCapture({"xmllint", "--xpath", "string(//*[local-name()='" + element + "'])", dir / "a.xml"}).output;
    if (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
  }
};

// Nothing chosen writes nothing; each answer alone writes its own lines and
// none of another's, in a well-formed document.
TEST_F(Win10AnswersTest, EachAnswerWritesItsLinesExactlyWhenChosen) {
  EXPECT_FALSE(HasWin10Answers(Nothing()));
  const std::string bare = AutounattendXml(Nothing(), "amd64");
  EXPECT_EQ(bare.find("<settings"), std::string::npos) << bare;
  for (const auto& [name, option] : Options()) {
    SCOPED_TRACE(name);
    Win10Info a = Nothing();
    option.set(a);
    EXPECT_TRUE(HasWin10Answers(a));
    const std::string xml = AutounattendXml(a, "amd64");
    EXPECT_EQ(NotWellFormed(xml), "");
    for (const auto& [other, otherOption] : Options())
      for (const std::string& line : otherOption.lines)
        EXPECT_EQ(xml.find(line) != std::string::npos, other == name) << other << ": " << line << "\n" << xml;
  }
}

// All of them together: the passes and components Setup reads, for the
// medium's architecture.
TEST_F(Win10AnswersTest, AllAnswersGoIntoTheirPassesAndComponents) {
  Win10Info a;
  for (const auto& [name, option] : Options()) option.set(a);
  const std::string xml = AutounattendXml(a, "arm64");
  EXPECT_EQ(NotWellFormed(xml), "");
  for (const char* pass : {"windowsPE", "specialize", "oobeSystem"})
    EXPECT_NE(xml.find("<settings pass=\"" + std::string(pass) + "\">"), std::string::npos) << pass;
  EXPECT_NE(xml.find("<component name=\"Microsoft-Windows-Setup\" processorArchitecture=\"arm64\" "
                     "publicKeyToken=\"31bf3856ad364e35\""),
            std::string::npos);
  EXPECT_EQ(xml.find("processorArchitecture=\"amd64\""), std::string::npos);
  // The LabConfig values come before Setup checks the PC: windowsPE.
  EXPECT_LT(xml.find("BypassTPMCheck"), xml.find("<settings pass=\"specialize\">"));
  EXPECT_GT(xml.find("BypassNRO"), xml.find("<settings pass=\"specialize\">"));
  EXPECT_GT(xml.find("<ProtectYourPC>"), xml.find("<settings pass=\"oobeSystem\">"));
}

// Names with the characters XML gives a meaning to are written escaped and
// read back as typed.
TEST_F(Win10AnswersTest, SpecialCharactersAreEscaped) {
  if (SystemLauncher().FindProgram("xmllint").empty()) GTEST_SKIP() << "xmllint is not installed";
  Win10Info a = Nothing();
  a.OwnerName = "Tom & Jerry <\"Home\"> 'Ltd'";
  a.Organization = "]]> <!-- x -->";
  a.Edition = "Windows 11 Pro & <N>";
  const std::string xml = AutounattendXml(a, "amd64");
  ASSERT_EQ(NotWellFormed(xml), "");
  EXPECT_NE(xml.find("Tom &amp; Jerry &lt;&quot;Home&quot;&gt; &apos;Ltd&apos;"), std::string::npos);
  EXPECT_EQ(XPath(xml, "RegisteredOwner"), a.OwnerName);
  EXPECT_EQ(XPath(xml, "RegisteredOrganization"), a.Organization);
  EXPECT_EQ(XPath(xml, "Value"), a.Edition);
}

}  // namespace
}  // namespace kiv
