// libFuzzer target for the profile reader and writer: any bytes as the file,
// then reads and writes that must neither crash nor lose the other lines.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/file_ops.h"
#include "common/ini_file.h"

namespace {

const std::string& Folder() {
  // Never destroyed, so the exit handler below can still read it.
  static const std::string* const folder = [] {
    // tmpfs: the writer syncs every file, which is slow on a disk.
    std::string templ = "/dev/shm/ini_fuzz.XXXXXX";
    char* made = mkdtemp(templ.data());
    if (!made) {
      templ = "/tmp/ini_fuzz.XXXXXX";
      made = mkdtemp(templ.data());
    }
    if (!made) abort();
    // libFuzzer ends a timed run with exit(): take the folder along.
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(Folder(), ec);
    });
    return new std::string(made);
  }();
  return *folder;
}

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = Folder() + "/f.ini";
  if (!kiv::WriteFileAtomic(path, bytes)) abort();
  kiv::INIFile ini(path);

  // Names taken from the input itself reach sections and keys that exist.
  std::string section = "Main", key = "Key";
  size_t open = bytes.find('['), close = bytes.find(']', open == std::string::npos ? 0 : open);
  if (open != std::string::npos && close != std::string::npos) section = bytes.substr(open + 1, close - open - 1);
  size_t eq = bytes.find('=');
  if (eq != std::string::npos) {
    size_t start = bytes.find_last_of("\r\n", eq);
    key = bytes.substr(start == std::string::npos ? 0 : start + 1, eq - (start == std::string::npos ? 0 : start + 1));
  }
  std::string v = ini.GetINIKey(section, key);
  Check(v.size() <= bytes.size(), "value longer than the file");
  ini.GetINIKey("Main", "Key");

  // A plain write reads back, and a second write of the same key neither adds
  // nor loses lines elsewhere: only the value's length changes the size.
  if (ini.SetINIKey("FuzzSection", "FuzzKey", "value1")) {
    Check(ini.GetINIKey("fuzzsection", "FUZZKEY") == "value1", "written value not read back");
    std::string once;
    Check(kiv::ReadWholeFile(path, once), "reread");
    Check(ini.SetINIKey("FuzzSection", "FuzzKey", "value22"), "second write");
    std::string twice;
    Check(kiv::ReadWholeFile(path, twice), "reread");
    Check(twice.size() == once.size() + 1, "rewrite changed other lines");
    Check(ini.GetINIKey("FuzzSection", "FuzzKey") == "value22", "rewritten value not read back");
  }
  // Names from the input: must not crash; content before the first line that
  // could change is kept.
  if (!section.empty() && !key.empty()) ini.SetINIKey(section, key, "x");
  return 0;
}
