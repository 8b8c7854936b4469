#include "cdtool/bootmenu/efi_boot_image.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "cdtool/build/tree_dates.h"
#include "common/file_ops.h"
#include "common/process_runner.h"

namespace kiv {

namespace {

struct ImageFile {
  std::string from;  // on this machine
  std::string to;    // in the image
};

// Room for the file system's own tables and the folders, beyond the files.
constexpr int64_t kSlackBytes = 512 * 1024;
constexpr int64_t kSector = 512;

std::string Run(ProcessLauncher& tools, const std::vector<std::string>& argv, std::string* output = nullptr) {
  const RunResult r = tools.RunAndCapture(argv, RunOptions{"", 60000, {}});
  if (output) *output = r.output;
  if (r.started && r.ended && r.exitCode == 0) return "";
  return RenderCommandLine(argv) + " failed: " + RunOutputForMessage(r);
}

// A reproducible build (SOURCE_DATE_EPOCH) gets a volume serial from the
// epoch; otherwise mformat picks one.
std::vector<std::string> SerialArgs(std::optional<int64_t> epoch) {
  if (!epoch) return {};
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(static_cast<uint64_t>(*epoch) & 0xFFFFFFFFu));
  return {"-N", hex};
}

std::string Build(ProcessLauncher& tools, const std::vector<ImageFile>& files, const std::string& image,
                  std::optional<int64_t> epoch) {
  int64_t bytes = kSlackBytes;
  for (const ImageFile& f : files) bytes += (FileSize(f.from) + 4095) / 4096 * 4096;
  std::vector<std::string> format = {"mformat", "-i",     image, "-C", "-T", std::to_string(bytes / kSector),
                                     "-v",      "EFIBOOT"};
  for (const std::string& a : SerialArgs(epoch)) format.push_back(a);
  format.push_back("::");
  if (std::string e = Run(tools, format); !e.empty()) return e;
  // The folders come from an empty tree of the same shape, copied with its
  // dates: mmd would date them by the clock, so two reproducible builds a
  // few seconds apart would differ in the folders' entries.
  const std::string folders = image + ".folders";
  std::error_code ec;
  std::filesystem::remove_all(folders, ec);
  std::string why;
  for (const char* sub : {"/EFI/BOOT", "/boot/grub"})
    if (!std::filesystem::create_directories(folders + sub, ec) && ec)
      why = "cannot make the folder " + folders + sub + ": " + ec.message();
  if (why.empty() && epoch) why = ClampTreeDates(folders, *epoch);
  if (why.empty()) why = Run(tools, {"mcopy", "-s", "-m", "-i", image, folders + "/EFI", folders + "/boot", "::"});
  std::filesystem::remove_all(folders, ec);
  if (!why.empty()) return why;
  for (const ImageFile& f : files)
    if (std::string e = Run(tools, {"mcopy", "-i", image, "-m", f.from, "::" + f.to}); !e.empty()) return e;
  // Everything must be there, under the names firmware and GRUB look for.
  std::string listing;
  if (std::string e = Run(tools, {"mdir", "-i", image, "-/", "-b", "::"}, &listing); !e.empty()) return e;
  for (const ImageFile& f : files)
    if (listing.find("::" + f.to + "\n") == std::string::npos)
      return image + " lacks " + f.to + " after mcopy; mdir lists:\n" + listing;
  return "";
}

}  // namespace

EfiLoaders DebianEfiLoaders() {
  return {"/usr/lib/shim/shimx64.efi.signed", "/usr/lib/grub/x86_64-efi-signed/gcdx64.efi.signed",
          "/usr/lib/shim/mmx64.efi.signed"};
}

std::string MissingEfiLoader(const EfiLoaders& loaders) {
  for (const std::string* p : {&loaders.shim, &loaders.grub, &loaders.mokManager})
    if (!FileExists(*p)) return *p;
  return "";
}

std::string WriteEfiBootImage(ProcessLauncher& tools, const EfiLoaders& loaders, const std::string& grubStarter,
                              const std::string& imagePath, std::optional<int64_t> epoch) {
  if (const std::string missing = MissingEfiLoader(loaders); !missing.empty())
    return "the UEFI boot loader " + missing + " is missing";
  const std::string temp = imagePath + ".tmp";
  const std::string starter = imagePath + ".grub.cfg.tmp";
  std::remove(temp.c_str());
  if (!WriteFileAtomic(starter, grubStarter)) return "cannot write " + starter;
  // mcopy -m keeps the file's date in the image's folder entry; in a
  // reproducible build that date is the epoch, not the time of the build.
  if (epoch)
    if (std::string why = ClampFileDate(starter, *epoch); !why.empty()) {
      std::remove(starter.c_str());
      return why;
    }
  std::string error = Build(tools,
                            {{loaders.shim, "/EFI/BOOT/BOOTX64.EFI"},
                             {loaders.grub, "/EFI/BOOT/grubx64.efi"},
                             {loaders.mokManager, "/EFI/BOOT/mmx64.efi"},
                             {starter, "/boot/grub/grub.cfg"}},
                            temp, epoch);
  std::remove(starter.c_str());
  if (!error.empty()) {
    std::remove(temp.c_str());
    return error;
  }
  if (std::rename(temp.c_str(), imagePath.c_str()) != 0) {
    std::remove(temp.c_str());
    return "cannot rename " + temp + " to " + imagePath;
  }
  return "";
}

}  // namespace kiv
