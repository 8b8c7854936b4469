#pragma once
// Test support: a temporary program folder for bootsmith, and the wizard form
// (with its engine) over it, the outside tools (cabarc, bfi) answered
// in-process by the stand-ins of fake_disk_tools.h. The commands the form
// started are in Wizard::tools.commands_ran.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/environment.h"
#include "common/progress_sink.h"
#include "common/prompter.h"
#include "disktool/wizard/frm_wizard.h"
#include "testsupport/fake_disk_tools.h"
#include "testsupport/fake_launcher.h"
#include "testsupport/fake_platform.h"
#include "testsupport/scripted_prompter.h"
#include "testsupport/test_files.h"
#include "testsupport/test_temp_dir.h"

namespace kiv::test {

namespace fs = std::filesystem;

class ProgramFolder {
 public:
  ProgramFolder() = default;

  // The minimum InitApp copies without a prompt: base files and DOS files.
  void SeedBase() const {
    Write("files/base_files/AUTOEXEC.BAT", "@ECHO OFF\r\n");
    Write("files/base_files/MSDOS.SYS", "[Options]\r\n");
    Write("files/base_files/bin/START.BAT", "@ECHO start\r\n");
    Write("files/dos_files/README.TXT", "dos\r\n");
    Write("files/dos_files/bin/HELP.BAT", "help\r\n");
    Write("dos/IO.SYS", "io");
    Write("dos/COMMAND.COM", "command");
  }

  std::string Path(const std::string& rel) const { return root + "/" + rel; }

  void Write(const std::string& rel, const std::string& text) const { testing::WriteText(Path(rel), text); }
  std::string Read(const std::string& rel) const { return testing::ReadText(Path(rel)); }

  bool Exists(const std::string& rel) const { return fs::exists(Path(rel)); }

  // A program file with its execute bit (plugin preparation programs).
  void WriteTool(const std::string& name, const std::string& script) const {
    Write(name, script);
    fs::permissions(Path(name), fs::perms::owner_all, fs::perm_options::add);
  }

  // A stand-in driver cabinet holding the given files.
  void MakeDriverCab(const std::string& rel, const kiv::testing::CabinetMembers& files) const {
    EXPECT_TRUE(kiv::testing::WriteFakeCabinet(Path(rel), files)) << rel;
  }

  TestTempDir dir;
  const std::string root = dir.Path();
};

// A prompter that runs a hook before answering, e.g. to repair what failed.
class HookPrompter : public ScriptedPrompter {
 public:
  std::function<void(const Message&)> before;
  Answer MsgBox(const Message& m) override {
    if (before) before(m);
    return ScriptedPrompter::MsgBox(m);
  }
};

// The form over a program folder. Its outside tools are the stand-ins in
// `tools` unless another launcher is given (the system's, for the real tools).
struct Wizard {
  explicit Wizard(const ProgramFolder& pf) : Wizard(pf, tools) {}
  Wizard(const ProgramFolder& pf, ProcessLauncher& launcher) : form(pf.root, prompter, progress, {launcher, platform}) {
    kiv::testing::AddFakeDiskTools(tools);
  }
  // Started with these variables (KIV_FLOPPY_DEVICE, SOURCE_DATE_EPOCH).
  Wizard(const ProgramFolder& pf, const Environment& environment)
      : form(pf.root, prompter, progress, {tools, platform, environment}) {
    kiv::testing::AddFakeDiskTools(tools);
  }
  kiv::testing::FakeLauncher tools;
  HookPrompter prompter;
  MemoryProgressSink progress;
  kiv::FakePlatform platform;
  FrmWizard form;
  // The form's engine, for the tests that drive its phases and parts.
  FloppyBuilder& builder = form.Builder();
};

}  // namespace kiv::test
