#pragma once
// Test fixtures for the CD builder models: a temporary program folder, a fake
// platform and a scripted prompter.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cdtool/wizard/frm_cd_build.h"
#include "common/platform.h"
#include "common/prompter.h"
#include "testsupport/scripted_prompter.h"

namespace kiv::testing {

class FakePlatform : public Platform {
 public:
  std::string programFolder;
  std::string cdrom;
  bool win9x = false;
  bool openResult = true;  // false: no desktop program can be started
  mutable std::vector<std::string> opened;
  std::string ProgramFolder() const override { return programFolder; }
  std::string WindowsFolder() const override { return ""; }
  std::string SystemFolder() const override { return ""; }
  std::string RegString(const std::string&, const std::string&) const override { return ""; }
  bool IsWinNT() const override { return false; }
  bool IsWin9x() const override { return win9x; }
  std::string FirstCdRomDrive() const override { return cdrom; }
  int64_t FreeSpace(const std::string&) const override { return -1; }
  bool OpenLink(const std::string& target) const override {
    opened.push_back(target);
    return openResult;
  }
  bool OpenFolder(const std::string& folder) const override {
    opened.push_back(folder);
    return openResult;
  }
};

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
    platform_.programFolder = dir_.string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string P(const std::string& rel) const { return (dir_ / rel).string(); }
  void Write(const std::string& rel, const std::string& text) const {
    std::filesystem::create_directories((dir_ / rel).parent_path());
    std::ofstream(dir_ / rel, std::ios::binary) << text;
  }
  std::string Read(const std::string& rel) const {
    std::ifstream in(dir_ / rel, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::unique_ptr<FrmCDBuild> MakeForm() {
    auto form = std::make_unique<FrmCDBuild>(dir_.string(), prompter_, platform_);
    form->Form_Load();
    return form;
  }

  std::filesystem::path dir_;
  FakePlatform platform_;
  ScriptedPrompter prompter_;
};

}  // namespace kiv::testing
