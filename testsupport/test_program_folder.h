#pragma once
// Test support: a temporary program folder with fake outside tools. The fake
// cabarc and bfi are shell scripts that append "<working folder>|<argv...>" to
// tools.log and write the file the real tool would write (a tar archive stands
// in for a cabinet). A file cabarc.fail / bfi.fail in the folder makes the
// tool fail without output.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/progress_sink.h"
#include "common/prompter.h"
#include "disktool/wizard/builder_session.h"
#include "testsupport/scripted_prompter.h"

namespace kiv::test {

namespace fs = std::filesystem;

class ProgramFolder {
 public:
  ProgramFolder() {
    char pattern[] = "/tmp/kivdisk_XXXXXX";
    root = mkdtemp(pattern);
    WriteTool("cabarc", R"(#!/bin/sh
here=$(dirname "$0")
printf '%s|' "$PWD" >> "$here/tools.log"
for a in "$@"; do printf '%s ' "$a" >> "$here/tools.log"; done
echo >> "$here/tools.log"
[ -e "$here/cabarc.fail" ] && exit 1
if [ "$1" = "-o" ] && [ "$2" = "x" ]; then
  tar -xf "$3" --wildcards --no-anchored "$4" 2>/dev/null
  exit 0
fi
prefix=""; out=""
while [ $# -gt 0 ]; do
  case "$1" in
    -P) prefix="$2"; shift ;;
    n) out="$2"; shift ;;
  esac
  shift
done
tar -cf "$out" -C "$prefix" .
)");
    WriteTool("bfi", R"(#!/bin/sh
here=$(dirname "$0")
printf '%s|' "$PWD" >> "$here/tools.log"
for a in "$@"; do printf '%s ' "$a" >> "$here/tools.log"; done
echo >> "$here/tools.log"
if [ -e "$here/bfi.fail" ]; then echo "bfi: the tree does not fit" >&2; exit 1; fi
for a in "$@"; do
  case "$a" in -f=*) img="${a#-f=}" ;; esac
done
echo image > "$img"
)");
  }
  ~ProgramFolder() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }

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

  void Write(const std::string& rel, const std::string& text) const {
    fs::create_directories(fs::path(Path(rel)).parent_path());
    std::ofstream(Path(rel), std::ios::binary) << text;
  }

  std::string Read(const std::string& rel) const {
    std::ifstream in(Path(rel), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  bool Exists(const std::string& rel) const { return fs::exists(Path(rel)); }

  void WriteTool(const std::string& name, const std::string& script) const {
    Write(name, script);
    chmod(Path(name).c_str(), 0755);
  }

  // A driver "cabinet" (tar) holding the given files.
  void MakeDriverCab(const std::string& rel, const std::vector<std::pair<std::string, std::string>>& files) const {
    const std::string stage = Path("stage_tmp");
    fs::remove_all(stage);
    fs::create_directories(stage);
    std::string names;
    for (const auto& [name, text] : files) {
      std::ofstream(stage + "/" + name, std::ios::binary) << text;
      names += " '" + name + "'";
    }
    fs::create_directories(fs::path(Path(rel)).parent_path());
    const std::string cmd = "tar -cf '" + Path(rel) + "' -C '" + stage + "'" + (names.empty() ? " --files-from=/dev/null" : names);
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    fs::remove_all(stage);
  }

  // Lines of tools.log, each "<working folder>|<args> ".
  std::vector<std::string> ToolCalls() const {
    std::vector<std::string> calls;
    std::istringstream in(Read("tools.log"));
    for (std::string line; std::getline(in, line);) calls.push_back(line);
    return calls;
  }

  std::string root;
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

struct Wizard {
  explicit Wizard(const ProgramFolder& pf) : form(pf.root, prompter, progress) {}
  HookPrompter prompter;
  MemoryProgressSink progress;
  FrmWizard form;
};

}  // namespace kiv::test
