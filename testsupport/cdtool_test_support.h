#pragma once
// Test fixtures for the CD builder models: a temporary program folder, a fake
// platform and a scripted prompter.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cdtool/commands/settings_command.h"
#include "cdtool/wizard/frm_cd_build.h"
#include "common/platform.h"
#include "common/process_runner.h"
#include "common/prompter.h"
#include "testsupport/fake_platform.h"
#include "testsupport/scripted_prompter.h"
#include "testsupport/test_files.h"

namespace kiv::testing {

// The platform the CD builder's tests run on.
using kiv::FakePlatform;

class ProgramFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kiv_cdtool_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "files" / "inf_files");
    Write("files/inf_files/win2k_template.inf",
          "[UserData]\r\nFullName=\"Template Owner\"\r\nOrgName=\"Template Org\"\r\nComputerName=TPLPC\r\n"
          "ProductID=\r\n[Identification]\r\nJoinWorkgroup=TPLWG\r\n");
    Write("files/rescue/packages.txt", "ntfs-3g\n");
    platform_.programFolder = dir_.string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string P(const std::string& rel) const { return (dir_ / rel).string(); }
  void Write(const std::string& rel, const std::string& text) const { WriteText(P(rel), text); }
  std::string Read(const std::string& rel) const { return ReadText(P(rel)); }
  std::unique_ptr<FrmCDBuild> MakeForm() {
    auto form = std::make_unique<FrmCDBuild>(dir_.string(), prompter_, BuildContext{SystemLauncher(), platform_});
    form->Form_Load();
    return form;
  }

  std::filesystem::path dir_;
  FakePlatform platform_;
  ScriptedPrompter prompter_;
};

// Runs `discsmith --set <args>` in the platform's program folder as the
// command line does; its exit status, and what it wrote to stderr in `err`.
inline int RunSet(const FakePlatform& platform, const std::vector<std::string>& args, std::string* err = nullptr) {
  char* buf = nullptr;
  size_t size = 0;
  std::FILE* e = open_memstream(&buf, &size);
  std::FILE* out = std::fopen("/dev/null", "w");
  const int status = RunSetCommand(args, platform.programFolder, platform, Environment(), out, e);
  std::fclose(e);
  std::fclose(out);
  if (err) *err = std::string(buf, size);
  std::free(buf);
  return status;
}

}  // namespace kiv::testing
