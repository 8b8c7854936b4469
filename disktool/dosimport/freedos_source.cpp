// Reading a FreeDOS folder, distribution or disk image for the DOS import.
#include "disktool/dosimport/freedos_source.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "common/file_ops.h"
#include "common/paths.h"
#include "disktool/output/fat_boot_sector.h"

namespace kiv {

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kKernelNames = {"KERNEL.SYS", "KERNL386.SYS", "KERNL86.SYS"};

// An existing file of `folder` by case-insensitive name ("" when none).
std::string FileIn(const std::string& folder, const std::string& name) {
  const std::string path = ResolvePath(JoinPath(folder, name));
  return FileExists(path) && !FolderExists(path) ? path : std::string();
}

// Where a FreeDOS keeps its programs: the kernel at the top, the programs in
// BIN\ of an installed system (FREEDOS\BIN\ or FDOS\BIN\) or of a package.
std::vector<std::string> ProgramPlaces(const std::string& folder) {
  std::vector<std::string> places;
  for (const char* sub : {"", "BIN", "FREEDOS/BIN", "FDOS/BIN"}) {
    const std::string place = *sub ? ResolvePath(JoinPath(folder, sub)) : folder;
    if (FolderExists(place)) places.push_back(place);
  }
  return places;
}

bool HasAny(const std::vector<std::string>& places, const std::vector<std::string>& names) {
  for (const std::string& place : places)
    for (const std::string& name : names)
      if (!FileIn(place, name).empty()) return true;
  return false;
}

// The zip packages below the folder's packages\ (any depth), sorted.
std::vector<std::string> Packages(const std::string& folder) {
  std::vector<std::string> zips;
  const std::string packages = ResolvePath(JoinPath(folder, "packages"));
  if (!FolderExists(packages)) return zips;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(packages, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec) && EqualsNoCase(it->path().extension().string(), ".zip"))
      zips.push_back(it->path().string());
  }
  std::sort(zips.begin(), zips.end());
  return zips;
}

std::string Stem(const std::string& path) { return ToLower(fs::path(path).stem().string()); }

std::string Relative(const std::string& path, const std::string& folder) {
  std::error_code ec;
  const fs::path rel = fs::relative(path, folder, ec);
  return ec ? path : rel.generic_string();
}

// "BIN/" for a sub-folder of `folder`, "" for the folder itself.
std::string SubFolderLabel(const std::string& place, const std::string& folder) {
  const std::string rel = Relative(place, folder);
  return rel == "." ? "" : rel + "/";
}

uint32_t Le32(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

// A FAT boot sector: a jump, a sensible parameter block and the file
// system's name where FAT12/16 or FAT32 keep it.
std::string ToolOutput(const RunResult& run) {
  const std::string said = RunOutputForMessage(run);
  return said.empty() ? "" : "\r\n\r\n" + said;
}

}  // namespace

bool IsFreeDosFolder(const std::string& folder) {
  const std::vector<std::string> places = ProgramPlaces(folder);
  if (HasAny(places, kKernelNames) && HasAny(places, {"COMMAND.COM"})) return true;
  for (const std::string& zip : Packages(folder))
    if (Stem(zip) == "kernel") return true;
  return false;
}

std::optional<uint64_t> FatImageOffset(const std::string& imagePath) {
  std::ifstream in(imagePath, std::ios::binary);
  std::string sector(512, '\0');
  if (!in.read(sector.data(), 512)) return std::nullopt;
  if (static_cast<unsigned char>(sector[510]) != 0x55 || static_cast<unsigned char>(sector[511]) != 0xAA)
    return std::nullopt;
  if (IsFatBootSector(sector)) return 0;
  for (size_t entry = 446; entry < 510; entry += 16) {
    const unsigned type = static_cast<unsigned char>(sector[entry + 4]);
    const bool fat = type == 0x01 || type == 0x04 || type == 0x06 || type == 0x0B || type == 0x0C || type == 0x0E;
    const uint32_t first = Le32(sector, entry + 8);
    if (fat && first != 0) return static_cast<uint64_t>(first) * 512;
  }
  return std::nullopt;
}

FreeDosSource::FreeDosSource(ProcessLauncher& launcher, std::string workFolder)
    : launcher_(launcher), work_(std::move(workFolder)) {}

bool FreeDosSource::Open(const std::string& path, const FreeDosWanted& wanted, std::string& error) {
  roots_.clear();
  if (FolderExists(path)) return OpenFolder(path, "", wanted, error);
  const std::optional<uint64_t> offset = FatImageOffset(path);
  if (!offset) {
    error = path + " is neither a folder nor a FAT disk image (a floppy image, or a USB image with a FAT partition).";
    return false;
  }
  return OpenImage(path, *offset, wanted, error);
}

bool FreeDosSource::OpenFolder(const std::string& folder, const std::string& label, const FreeDosWanted& wanted,
                               std::string& error) {
  for (const std::string& place : ProgramPlaces(folder))
    roots_.push_back({place, label + SubFolderLabel(place, folder)});
  int n = 0;
  for (const std::string& zip : Packages(folder)) {
    if (!wanted.packages.count(Stem(zip))) continue;
    const std::string into = JoinPath(work_, "package" + std::to_string(++n));
    if (!Unpack(zip, into, error)) return false;
    const std::string name = label + Relative(zip, folder) + ": ";
    for (const std::string& place : ProgramPlaces(into)) roots_.push_back({place, name + SubFolderLabel(place, into)});
  }
  return true;
}

bool FreeDosSource::Unpack(const std::string& zip, const std::string& into, std::string& error) {
  MakePath(into);
  // The programs are what the import wants: the sources and documentation of
  // a package stay packed.
  const RunResult run = launcher_.RunAndCapture(
      {"unzip", "-o", "-qq", "-C", zip, "-x", "SOURCE/*", "DOC/*", "NLS/*", "HELP/*", "-d", into}, RunOptions{});
  // 0: unpacked, 1: unpacked with warnings, 11: nothing but the left-out
  // folders in it.
  if (run.started && run.ended && (run.exitCode == 0 || run.exitCode == 1 || run.exitCode == 11)) return true;
  error = "The FreeDOS package " + zip + " could not be unpacked with unzip." + ToolOutput(run);
  return false;
}

bool FreeDosSource::OpenImage(const std::string& image, uint64_t offset, const FreeDosWanted& wanted,
                              std::string& error) {
  // mtools reads a partition of an image as image@@offset.
  const std::string drive = offset ? image + "@@" + std::to_string(offset) : image;
  const RunResult list =
      launcher_.RunAndCapture({"env", "MTOOLS_SKIP_CHECK=1", "mdir", "-/", "-b", "-i", drive, "::/"}, RunOptions{});
  if (!list.started || !list.ended || list.exitCode != 0) {
    error = "The disk image " + image + " could not be read with mtools (mdir)." + ToolOutput(list);
    return false;
  }
  const std::string copy = JoinPath(work_, "image");
  size_t start = 0;
  while (start < list.output.size()) {
    size_t end = list.output.find('\n', start);
    if (end == std::string::npos) end = list.output.size();
    std::string line = TrimRight(list.output.substr(start, end - start));
    start = end + 1;
    if (line.rfind("::/", 0) != 0 || line.back() == '/') continue;
    const std::string rel = line.substr(3);
    const fs::path relPath(rel);
    const std::string name = ToUpper(relPath.filename().string());
    bool want = wanted.files.count(name) > 0;
    if (!want && EqualsNoCase(relPath.extension().string(), ".zip") && wanted.packages.count(Stem(rel))) {
      for (const fs::path& part : relPath.parent_path())
        if (EqualsNoCase(part.string(), "packages")) want = true;
    }
    if (!want) continue;
    const std::string local = JoinPath(copy, rel);
    MakePath(FolderOf(local));
    const RunResult run = launcher_.RunAndCapture(
        {"env", "MTOOLS_SKIP_CHECK=1", "mcopy", "-n", "-i", drive, "::/" + rel, local}, RunOptions{});
    if (!run.started || !run.ended || run.exitCode != 0 || !FileExists(local)) {
      error = "The file " + rel + " could not be copied out of the disk image " + image + " with mtools (mcopy)." +
              ToolOutput(run);
      return false;
    }
  }
  if (!FolderExists(copy)) MakePath(copy);
  return OpenFolder(copy, fs::path(image).filename().string() + ": ", wanted, error);
}

FreeDosFound FreeDosSource::Find(const std::vector<std::string>& names) const {
  for (const std::string& name : names) {
    for (const Root& root : roots_) {
      const std::string path = FileIn(root.folder, name);
      if (path.empty()) continue;
      return {path, root.label + fs::path(path).filename().string()};
    }
  }
  return {};
}

}  // namespace kiv
