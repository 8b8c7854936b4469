// The shipped start-up files of the floppies against each other and against
// the disk definitions: what CONFIG.SYS loads, in which order, and that every
// file a start-up script relies on is put on every floppy.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "common/ini_file.h"
#include "common/paths.h"

namespace kiv {
namespace {

std::string ReadShipped(const std::string& rel) {
  std::ifstream in(std::string(KIV_DISK_SRC_DIR) + "/" + rel, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

struct Device {
  std::string file;  // upper case, below the floppy's root: BIN\HIMEM.SYS
  std::string args;
};

std::vector<Device> ConfigDevices(const std::string& file = "base_files/CONFIG.SYS") {
  std::vector<Device> devices;
  for (const std::string& line : Lines(ReadShipped(file))) {
    if (ToUpper(line).rfind("DEVICE=", 0) != 0) continue;
    std::string rest = line.substr(7);
    const size_t blank = rest.find(' ');
    Device d{ToUpper(rest.substr(0, blank)), blank == std::string::npos ? "" : rest.substr(blank + 1)};
    if (!d.file.empty() && d.file[0] == '\\') d.file.erase(0, 1);
    devices.push_back(d);
  }
  return devices;
}

size_t IndexOf(const std::vector<Device>& devices, const std::string& file) {
  for (size_t i = 0; i < devices.size(); ++i)
    if (devices[i].file == file) return i;
  return devices.size();
}

// The right-hand sides of every entry of the given sections, upper case.
std::vector<std::string> Targets(const std::string& disk, const std::vector<std::string>& sections) {
  std::vector<std::string> targets;
  std::string section;
  for (const std::string& line : Lines(ReadShipped(disk + ".ini"))) {
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      section = line;
      continue;
    }
    if (std::find(sections.begin(), sections.end(), section) == sections.end()) continue;
    const size_t eq = line.find('=');
    if (eq != std::string::npos)
      targets.push_back(ToUpper(Trim(line.substr(0, eq))) + "=" + ToUpper(Trim(line.substr(eq + 1))));
  }
  return targets;
}

bool PutsOnFloppy(const std::string& disk, const std::string& target) {
  for (const std::string& entry : Targets(disk, {"[Copy_Files]", "[Copy_CABs]"}))
    if (entry.substr(entry.find('=') + 1) == target) return true;
  return false;
}

std::vector<std::string> ShippedDisks() {
  std::vector<std::string> disks{"custom"};
  const INIFile catalogue(std::string(KIV_DISK_SRC_DIR) + "/disklist.ini");
  const int count = std::stoi(catalogue.GetINIKey("Disks_List", "Count"));
  for (int i = 1; i <= count; ++i) disks.push_back(catalogue.GetINIKey(std::to_string(i), "Name"));
  return disks;
}

TEST(FloppyStartFiles, ConfigSysLoadsMemoryFirstThenTheCdDriverAndTheRamDrive) {
  const std::vector<Device> devices = ConfigDevices();
  ASSERT_FALSE(devices.empty());
  // HIMEM before anything that uses extended memory: the RAM drive (/E).
  EXPECT_EQ(devices[0].file, "BIN\\HIMEM.SYS");
  const size_t ram = IndexOf(devices, "BIN\\RAMDRIVE.SYS");
  ASSERT_LT(ram, devices.size()) << "no RAM drive";
  EXPECT_NE(ToUpper(devices[ram].args).find("/E"), std::string::npos) << devices[ram].args;
  const size_t cd = IndexOf(devices, "BIN\\OAKCDROM.SYS");
  ASSERT_LT(cd, devices.size()) << "no CD-ROM driver";

  // The CD-ROM module starts the extension on the device CONFIG.SYS named.
  std::smatch m;
  ASSERT_TRUE(std::regex_search(devices[cd].args, m, std::regex("/D:([A-Za-z0-9_$]+)"))) << devices[cd].args;
  const std::string device = ToUpper(m[1].str());
  const std::string cdrom = ReadShipped("cdrom/CDROM.BAT");
  EXPECT_NE(cdrom.find("MSCDEX.EXE /D:" + device + " "), std::string::npos) << cdrom;
}

// FreeDOS reads FDCONFIG.SYS instead of CONFIG.SYS; the DOS import puts the
// FreeDOS programs under the MS-DOS names, so both load the same files.
TEST(FloppyStartFiles, FreeDosConfigLoadsWhatConfigSysLoadsWithCommandsItsKernelKnows) {
  const std::vector<Device> msdos = ConfigDevices();
  const std::vector<Device> freedos = ConfigDevices("base_files/FDCONFIG.SYS");
  ASSERT_EQ(freedos.size(), msdos.size());
  for (size_t i = 0; i < msdos.size(); ++i) {
    EXPECT_EQ(freedos[i].file, msdos[i].file);
    // HIMEMX knows no MS-DOS HIMEM switches; the others take the same ones.
    if (msdos[i].file != "BIN\\HIMEM.SYS") {
      EXPECT_EQ(freedos[i].args, msdos[i].args) << msdos[i].file;
    }
  }
  EXPECT_EQ(freedos[0].args.find("/TESTMEM"), std::string::npos) << freedos[0].args;
  // The commands of the FreeDOS kernel's CONFIG.SYS reader that the floppies
  // use; anything else stops there with an error. Besides the drivers, both
  // set the same memory, files, buffers, drives and shell.
  const std::vector<std::string> known = {"REM",       "DEVICE", "DEVICEHIGH", "DOS",   "FILES", "BUFFERS",
                                          "LASTDRIVE", "SHELL",  "STACKS",     "BREAK", "FCBS",  "SET"};
  const auto settings = [&](const std::string& file) {
    std::vector<std::string> lines;
    for (const std::string& line : Lines(ReadShipped(file))) {
      if (Trim(line).empty()) continue;
      const std::string word = ToUpper(line.substr(0, line.find_first_of(" =")));
      EXPECT_NE(std::find(known.begin(), known.end(), word), known.end()) << file << ": " << line;
      if (word != "REM" && word != "DEVICE") lines.push_back(ToUpper(line));
    }
    return lines;
  };
  EXPECT_EQ(settings("base_files/FDCONFIG.SYS"), settings("base_files/CONFIG.SYS"));
}

TEST(FloppyStartFiles, EveryDiskCarriesWhatItsStartUpRunsFromTheFloppy) {
  const std::vector<Device> devices = ConfigDevices();
  for (const std::string& disk : ShippedDisks()) {
    SCOPED_TRACE(disk);
    // No "Error in CONFIG.SYS" from a file the floppy's own data left out.
    for (const Device& d : devices) EXPECT_TRUE(PutsOnFloppy(disk, d.file)) << d.file;
    // The kernel module runs before there is a RAM drive to unpack into: it
    // is on the floppy as files; the loader needs EXTRACT.EXE on the PATH.
    bool kernelUnpacked = false;
    for (const std::string& e : Targets(disk, {"[Copy_Files]"})) kernelUnpacked |= e == "FILES\\KERNEL\\*.*=BIN";
    EXPECT_TRUE(kernelUnpacked);
    EXPECT_TRUE(PutsOnFloppy(disk, "BIN\\EXTRACT.EXE"));
    const std::vector<std::string> modules = Targets(disk, {"[Create_CABs]"});
    // Every module is loaded by KIVSTART's list, in its order, kernel aside.
    const std::string kivstart = ReadShipped("base_files/bin/KIVSTART.BAT");
    const std::string call = "LOADMOD.BAT ";
    const size_t list = kivstart.find(call);
    ASSERT_NE(list, std::string::npos);
    const size_t from = list + call.size();
    const std::string named = " " + kivstart.substr(from, kivstart.find('\r', from) - from) + " ";
    for (const std::string& e : modules) {
      const std::string name = e.substr(0, e.find('='));
      EXPECT_NE(name, "KERNEL");
      EXPECT_NE(named.find(" " + name + " "), std::string::npos) << name << " is not in" << named;
    }
    // A disk with the CD-ROM module carries the CD-ROM extension it starts.
    const bool cd =
        std::any_of(modules.begin(), modules.end(), [](const std::string& e) { return e.rfind("CDROM=", 0) == 0; });
    if (cd) {
      EXPECT_TRUE(PutsOnFloppy(disk, "BIN\\MSCDEX.EXE"));
    }
  }
}

TEST(FloppyStartFiles, NoRemarkOfABatchFileRedirects) {
  // COMMAND.COM acts on < > and | in a REM line too: it would make files on
  // the floppy (or stop at a write-protected one) and read missing ones.
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(KIV_DISK_SRC_DIR)) {
    if (ToUpper(entry.path().extension().string()) != ".BAT") continue;
    ++files;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    for (const std::string& line : Lines(text.str())) {
      const std::string upper = ToUpper(Trim(line));
      if (upper.rfind("REM", 0) != 0 && upper.rfind("@REM", 0) != 0) continue;
      EXPECT_EQ(line.find_first_of("<>|"), std::string::npos) << entry.path() << ": " << line;
    }
  }
  EXPECT_GT(files, 10);
}

}  // namespace
}  // namespace kiv
