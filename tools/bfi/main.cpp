// bfi: makes a FAT12 floppy image from a folder tree.
//   bfi -b=<boot sector file> -l=<label> -t=144|288 -f=<image> <tree>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>

#include "common/source_date_epoch.h"
#include "tools/bfi/bfi_args.h"
#include "tools/bfi/bfi_output.h"
#include "tools/bfi/fat12_image.h"
#include "tools/bfi/fat12_names.h"

namespace {

int Fail(const std::string& message) {
  std::cerr << "bfi: " << message << "\n";
  return 1;
}

bool ReadBootSector(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot open the boot sector file (" + std::strerror(errno) + ")";
    return false;
  }
  bytes.resize(512);
  in.read(reinterpret_cast<char*>(bytes.data()), 512);
  bytes.resize(size_t(in.gcount()));
  std::string why = kiv::fat12::CheckBootSector(bytes);
  if (!why.empty()) {
    error = path + ": not a usable boot sector: " + why;
    return false;
  }
  return true;
}

// SOURCE_DATE_EPOCH: a decimal count of seconds; anything else is refused
// rather than silently giving a non-reproducible image.
bool ReadSourceDateEpoch(bool& set, int64_t& seconds, std::string& error) {
  const std::optional<int64_t> epoch = kiv::SourceDateEpochOfThisProcess(&error);
  set = epoch.has_value();
  if (set) seconds = *epoch;
  return error.empty();
}

bool HasIoSys(const kiv::fat12::Node& root) {
  for (const auto& c : root.children)
    if (!c.isDirectory && kiv::fat12::FoldCase(c.name) == "IO.SYS") return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kiv;
  bfi::Arguments args;
  std::string error;
  std::vector<std::string> list(argv + 1, argv + argc);
  if (!bfi::ParseArguments(list, args, error)) {
    std::cerr << "bfi: " << error << "\n" << bfi::UsageText();
    return 2;
  }
  if (args.help) {
    std::cout << bfi::UsageText();
    return 0;
  }

  fat12::ImageOptions options;
  options.size = args.type == "288" ? fat12::FloppySize::k2880 : fat12::FloppySize::k1440;
  if (!args.bootSector.empty()) {
    std::string bootPath = bfi::ResolveDosPath(args.bootSector);
    if (!ReadBootSector(bootPath, options.bootSector, error)) return Fail(error);
  }
  std::string why = fat12::CheckLabel(args.label);
  if (!why.empty()) return Fail("-l=" + args.label + ": " + why);
  options.label = args.label;

  bool fixed = false;
  int64_t epoch = 0;
  if (!ReadSourceDateEpoch(fixed, epoch, error)) return Fail(error);
  if (fixed) {
    options.fixedTime = true;
    options.time = epoch;
    options.serial = fat12::SerialFromTime(epoch);
  } else {
    using namespace std::chrono;
    const auto now = duration_cast<microseconds>(system_clock::now().time_since_epoch());
    const auto seconds = duration_cast<std::chrono::seconds>(now);
    options.localTime = true;
    options.time = seconds.count();
    options.serial = fat12::SerialFromTime(seconds.count(), int((now - seconds).count() / 10000));
  }

  std::string tree = bfi::ResolveDosPath(args.tree);
  fat12::Node root;
  if (!fat12::ScanTree(tree, root, error)) return Fail(error);
  if (!options.bootSector.empty() && !HasIoSys(root))
    std::cerr << "bfi: warning: " << tree << " holds no IO.SYS; the floppy will not start DOS\n";

  bfi::ImageMemory image(fat12::GeometryFor(options.size).ImageBytes());
  size_t used = 0;
  if (!fat12::BuildImageInto(options, root, image.data(), image.size(), used, error)) return Fail(tree + ": " + error);

  // The image name is kept as given; only its folder is looked up DOS-style.
  std::string target = args.image;
  for (char& c : target)
    if (c == '\\') c = '/';
  size_t slash = target.rfind('/');
  if (slash != std::string::npos && slash > 0)
    target = bfi::ResolveDosPath(target.substr(0, slash)) + target.substr(slash);
  if (!bfi::WriteFileAtomic(target, image.data(), used, image.size(), error)) return Fail(error);
  return 0;
}
