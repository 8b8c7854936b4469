#include "testsupport/fake_disk_tools.h"

#include <algorithm>
#include <filesystem>

#include "common/file_ops.h"
#include "common/paths.h"

namespace kiv::testing {

namespace fs = std::filesystem;

namespace {

constexpr const char* kMagic = "KIVFAKECAB\n";

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

FakeRun Failed(const std::string& said) {
  FakeRun run;
  run.exitCode = 1;
  if (!said.empty()) run.output.push_back(said + "\n");
  return run;
}

}  // namespace

std::string InWorkingFolder(const FakeCommand& command, const std::string& path) {
  if (path.empty() || path[0] == '/' || command.workingDir.empty()) return path;
  return command.workingDir + "/" + path;
}

bool WriteFakeCabinet(const std::string& path, const CabinetMembers& members) {
  std::string bytes = kMagic;
  for (const auto& [name, data] : members) bytes += name + "\n" + std::to_string(data.size()) + "\n" + data;
  const std::string folder = FolderOf(path);
  if (!folder.empty()) MakePath(folder);
  return WriteFileAtomic(path, bytes);
}

bool ReadFakeCabinet(const std::string& path, CabinetMembers& members) {
  members.clear();
  std::string bytes;
  if (!ReadWholeFile(path, bytes) || bytes.compare(0, std::string(kMagic).size(), kMagic) != 0) return false;
  size_t at = std::string(kMagic).size();
  while (at < bytes.size()) {
    const size_t nameEnd = bytes.find('\n', at);
    const size_t sizeEnd = nameEnd == std::string::npos ? nameEnd : bytes.find('\n', nameEnd + 1);
    if (sizeEnd == std::string::npos) return false;
    const std::string name = bytes.substr(at, nameEnd - at);
    const size_t size = std::stoul(bytes.substr(nameEnd + 1, sizeEnd - nameEnd - 1));
    if (sizeEnd + 1 + size > bytes.size()) return false;
    members.emplace_back(name, bytes.substr(sizeEnd + 1, size));
    at = sizeEnd + 1 + size;
  }
  return true;
}

FakeRun FakeCabarc(const FakeCommand& command) {
  const std::vector<std::string>& argv = command.argv;
  if (argv.size() == 5 && argv[1] == "-o" && argv[2] == "x") {
    CabinetMembers members;
    if (!ReadFakeCabinet(InWorkingFolder(command, argv[3]), members)) return Failed("cabarc: cannot open " + argv[3]);
    for (const auto& [name, data] : members) {
      if (!WildcardMatch(argv[4], FileNameOf(name))) continue;
      const std::string target = InWorkingFolder(command, name);
      if (!FolderOf(target).empty()) MakePath(FolderOf(target));
      WriteFileAtomic(target, data);
    }
    return {};
  }
  std::string prefix, cabinet;
  for (size_t i = 1; i + 1 < argv.size(); ++i) {
    if (argv[i] == "-P") prefix = argv[++i];
    else if (argv[i] == "n") cabinet = argv[++i];
  }
  const fs::path folder = InWorkingFolder(command, prefix);
  std::error_code ec;
  if (cabinet.empty() || !fs::is_directory(folder, ec)) return Failed("cabarc: cannot read " + prefix);
  CabinetMembers members;
  for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
    if (!entry.is_regular_file()) continue;
    std::string data;
    ReadWholeFile(entry.path().string(), data);
    members.emplace_back(entry.path().lexically_relative(folder).generic_string(), data);
  }
  if (!WriteFakeCabinet(InWorkingFolder(command, cabinet), members)) return Failed("cabarc: cannot write " + cabinet);
  return {};
}

FakeRun FakeBfi(const FakeCommand& command) {
  // As large as the real tool's image, so a later run sees an earlier image.
  size_t size = 1474560;
  for (const std::string& arg : command.argv)
    if (arg == "-t=288") size = 2949120;
  // It starts with a FAT12 boot sector, as the real tool's image does.
  std::string image(size, '\0');
  const std::string jump = "\xEB\x3C\x90";
  image.replace(0, 3, jump);
  image.replace(3, 8, "KIVFAKE ");
  image[11] = '\0';  // 512 bytes a sector
  image[12] = '\x02';
  image[13] = size == 2949120 ? '\x02' : '\x01';  // sectors a cluster
  image[14] = '\x01';                             // one reserved sector
  image[16] = '\x02';                             // two FATs
  image.replace(54, 8, "FAT12   ");
  image.replace(62, 6, "image\n");
  image[510] = '\x55';
  image[511] = '\xAA';
  for (const std::string& arg : command.argv) {
    if (arg.rfind("-f=", 0) == 0 && WriteFileAtomic(InWorkingFolder(command, arg.substr(3)), image)) return {};
  }
  return Failed("bfi: no image written");
}

FakeRun TreeListingBfi(const FakeCommand& command) {
  const fs::path tree = InWorkingFolder(command, command.argv.back());
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(tree))
    if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(tree).generic_string());
  std::sort(files.begin(), files.end());
  std::string list;
  for (const std::string& f : files) list += f + "\n";
  for (const std::string& arg : command.argv)
    if (arg.rfind("-f=", 0) == 0 && WriteFileAtomic(InWorkingFolder(command, arg.substr(3)), list)) return {};
  return Failed("bfi: no image written");
}

std::string FakeMsDos7IoSys(const std::string& tag) {
  std::string io = "MZ";
  io.resize(0x200, '\0');
  return io + "BJ" + tag;
}

std::string FakeDosFile(const std::string& name, const std::string& text) {
  return name == "IO.SYS" ? FakeMsDos7IoSys(text) : text;
}

FakeProgram FailingTool(std::string said) {
  return [said = std::move(said)](const FakeCommand&) { return Failed(said); };
}

void AddFakeDiskTools(FakeLauncher& launcher) {
  launcher.Add("cabarc", FakeCabarc);
  launcher.Add("bfi", FakeBfi);
}

}  // namespace kiv::testing
