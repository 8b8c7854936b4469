// The first run of the CD builder on the installed program folder: no settings
// file, so the wizard starts from its defaults, and those defaults must pass
// its own page checks. The wizard only reads here (nothing is written before
// the ISO page), so the installed folder is used in place.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "cdtool/wizard/frm_cd_build.h"
#include "common/platform.h"
#include "common/process_runner.h"
#include "common/prompter.h"
#include "testsupport/fake_platform.h"
#include "testsupport/scripted_prompter.h"

namespace kiv {
namespace {

std::string InstalledFolder() {
  const char* prefix = std::getenv("KIV_E2E_PREFIX");
  return prefix ? prefix : "";
}

TEST(FirstRun, UtilitiesPageAcceptsItsDefaultFolders) {
  const std::string folder = InstalledFolder();
  ASSERT_FALSE(folder.empty()) << "KIV_E2E_PREFIX is not set (run through ctest)";
  ASSERT_TRUE(std::filesystem::exists(std::filesystem::path(folder) / "discsmith")) << folder;
  ASSERT_FALSE(std::filesystem::exists(std::filesystem::path(folder) / "kivcd.ini")) << "not a first run";

  FakePlatform platform;
  platform.programFolder = folder;
  ScriptedPrompter prompter;
  FrmCDBuild form(folder, prompter, {SystemLauncher(), platform});
  form.Form_Load();
  // Without a Windows setup CD the user leaves the Windows files out.
  form.ClickCheck(form.ChkGet_Win2k);
  form.ClickCheck(form.ChkGet_Win9x);
  form.CmdNext_Click();
  form.CmdNext_Click();
  ASSERT_EQ(form.Step, 6);
  EXPECT_TRUE(form.ChkKivUtils.Checked());
  EXPECT_TRUE(form.ChkAddFiles.Checked());
  EXPECT_EQ(form.TxtUtils_Loc.Text, folder + "/kiv_utilities");
  EXPECT_EQ(form.TxtAddFiles_Loc.Text, folder + "/Additional Files");

  form.CmdNext_Click();
  for (const Message& m : prompter.messages) ADD_FAILURE() << m.title << ": " << m.text;
  EXPECT_EQ(form.Step, 7);
}

}  // namespace
}  // namespace kiv
