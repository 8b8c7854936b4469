#include "cdtool/usb/usb_writer.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "cdtool/usb/hybrid_iso.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/progress_sink.h"
#include "common/prompter.h"

namespace kiv {
namespace fs = std::filesystem;

namespace {

constexpr size_t kBlock = 1 << 20;
constexpr const char* kTitle = "Write to a USB stick";

std::string ReadLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return Trim(line);
}

std::string Fail(Prompter& prompter, const std::string& why) {
  prompter.MsgBox(Message{why, kTitle, Icon::Critical, Buttons::OK, 0, std::nullopt});
  return why;
}

// A path as a shell reads it back: single-quoted where needed.
std::string ShellWord(const std::string& word) {
  if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+") ==
                           std::string::npos)
    return word;
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

int WriteAccess(const std::string& path) {
  RawFile file;
  return file.Open(path, RawFile::Access::Write) ? 0 : file.Error();
}

std::string NoAccessText(const std::string& path, const std::string& iso, int err) {
  std::string group = OwningGroupName(path);
  if (group.empty()) group = "disk";
  std::string user = UserName();
  if (user.empty()) user = "$USER";
  return "You may not write to " + path + " (" + std::strerror(err) + ").\r\n" +
         "Write it as root:\r\n  sudo discsmith --write-usb " + ShellWord(path) + " " + ShellWord(iso) +
         "\r\nor add your user to the group " + group + " (sudo adduser " + user + " " + group +
         "), log in again and try once more.";
}

std::string HumanSize(uint64_t bytes) {
  std::ostringstream s;
  s.setf(std::ios::fixed);
  s.precision(1);
  if (bytes >= 1000ull * 1000 * 1000) s << static_cast<double>(bytes) / 1e9 << " GB";
  else s << static_cast<double>(bytes) / 1e6 << " MB";
  return s.str();
}

UsbTarget InspectUsbTarget(const std::string& device, const std::string& sysRoot, const std::string& mountsFile) {
  UsbTarget t;
  t.device = device;
  std::error_code ec;
  fs::path resolved = fs::canonical(device, ec);
  if (ec) {
    t.problem = device + ": no such device";
    return t;
  }
  t.path = resolved.string();
  t.name = resolved.filename().string();
  const fs::file_type type = fs::status(t.path, ec).type();
  if (ec) {
    t.problem = device + ": " + ec.message();
    return t;
  }
  const fs::path entry = fs::path(sysRoot) / "class/block" / t.name;
  if (!fs::exists(entry, ec)) {
    t.problem = device + " is not a disk";
    return t;
  }
  if (type == fs::file_type::block) {
    // The sysfs entry must be this very device.
    if (ReadLine(entry / "dev") != DeviceNumbers(t.path)) {
      t.problem = device + " is not a disk";
      return t;
    }
  } else if (type != fs::file_type::regular) {
    t.problem = device + " is not a disk";
    return t;
  }
  std::string vendor = ReadLine(entry / "device/vendor"), model = ReadLine(entry / "device/model");
  t.model = Trim(vendor + " " + model);
  t.sizeBytes = static_cast<uint64_t>(std::strtoull(ReadLine(entry / "size").c_str(), nullptr, 10)) * 512;
  if (fs::exists(entry / "partition", ec)) {
    t.problem = device + " is a partition; name the whole disk (" + t.name + " is part of it)";
    return t;
  }
  if (ReadLine(entry / "removable") != "1") {
    t.problem = device + " is not a removable disk" + (t.model.empty() ? "" : " (" + t.model + ")") +
                "; only USB sticks and other removable disks are written";
    return t;
  }
  // Mounted, itself or through one of its partitions (subfolders of its entry).
  std::ifstream mounts(mountsFile);
  std::string source, point, rest;
  while (mounts >> source >> point && std::getline(mounts, rest)) {
    if (source.rfind("/dev/", 0) != 0) continue;
    std::string sourceName = fs::path(source).filename().string();
    fs::path real = fs::canonical(source, ec);
    if (!ec) sourceName = real.filename().string();
    if (sourceName == t.name || (fs::exists(entry / sourceName, ec) && !sourceName.empty())) {
      t.problem = device + " is mounted (" + source + " on " + point + "); unmount it first";
      return t;
    }
  }
  if (t.sizeBytes == 0) t.problem = device + " has no medium (size 0)";
  return t;
}

std::string WriteIsoToUsb(const UsbWriteRequest& request, Prompter& prompter, ProgressSink& progress) {
  std::error_code ec;
  if (!fs::is_regular_file(request.iso, ec)) return Fail(prompter, request.iso + ": no such ISO file");
  if (!IsHybridIso(request.iso))
    return Fail(prompter, request.iso +
                              " cannot start from a USB stick: it was not made by this version of the "
                              "CD builder (build the CD again)");
  const uint64_t isoSize = fs::file_size(request.iso, ec);
  UsbTarget target = InspectUsbTarget(request.device, request.sysRoot, request.mountsFile);
  if (!target.problem.empty()) return Fail(prompter, target.problem);
  if (isoSize > target.sizeBytes)
    return Fail(prompter, request.device + " (" + HumanSize(target.sizeBytes) + ") is too small for " + request.iso +
                              " (" + HumanSize(isoSize) + ")");
  // Checked before the question: a Yes that cannot be carried out helps nobody.
  if (int err = request.writeAccess ? request.writeAccess(target.path) : 0; err == EACCES || err == EPERM)
    return Fail(prompter, NoAccessText(target.path, request.iso, err));

  Message ask{"Write " + request.iso + " (" + HumanSize(isoSize) + ") to " + target.path + ", " +
                  (target.model.empty() ? "a disk" : target.model) + " of " + HumanSize(target.sizeBytes) +
                  "?\r\nEverything on it will be lost.",
              kTitle,
              Icon::Exclamation,
              Buttons::YesNo,
              0,
              Answer::No};
  if (prompter.MsgBox(ask) != Answer::Yes) return "not written: the question was answered No";

  RawFile in;
  if (!in.Open(request.iso, RawFile::Access::Read))
    return Fail(prompter, "cannot read " + request.iso + ": " + in.ErrorText());
  // Exclusive on a block device: refused while anything else holds it open.
  const bool isBlock = fs::is_block_file(target.path, ec);
  RawFile out;
  if (!out.Open(target.path, isBlock ? RawFile::Access::WriteExclusive : RawFile::Access::Write)) {
    const int err = out.Error();
    if (err == EACCES || err == EPERM) return Fail(prompter, NoAccessText(target.path, request.iso, err));
    return Fail(prompter, "cannot open " + target.path + " for writing: " + out.ErrorText());
  }

  std::vector<char> buffer(kBlock), back(kBlock);
  progress.SetMaximum(static_cast<int64_t>(isoSize));
  progress.SetValue(0);
  progress.SetBarVisible(true);
  progress.SetCaption("Writing " + target.path);
  for (uint64_t done = 0; done < isoSize;) {
    const int64_t n = in.ReadFull(buffer.data(), kBlock);
    if (n <= 0) return Fail(prompter, "cannot read " + request.iso + ": " + in.ErrorText());
    if (!out.WriteFull(buffer.data(), static_cast<size_t>(n)))
      return Fail(prompter, "writing " + target.path + " failed: " + out.ErrorText());
    done += static_cast<uint64_t>(n);
    progress.SetValue(static_cast<int64_t>(done));
    progress.PumpEvents();
  }
  progress.SetCaption("Syncing " + target.path);
  if (!out.Sync()) return Fail(prompter, "syncing " + target.path + " failed: " + out.ErrorText());
  // What is read back must come from the device, not from the page cache.
  out.DropCache();

  progress.SetCaption("Verifying " + target.path);
  progress.SetValue(0);
  RawFile check;
  if (!check.Open(target.path, RawFile::Access::Read))
    return Fail(prompter, "cannot read back " + target.path + ": " + check.ErrorText());
  if (!in.Rewind()) return Fail(prompter, "cannot read back " + target.path + ": " + in.ErrorText());
  check.DropCache();
  for (uint64_t done = 0; done < isoSize;) {
    const int64_t n = in.ReadFull(buffer.data(), kBlock);
    const int64_t m = n > 0 ? check.ReadFull(back.data(), static_cast<size_t>(n)) : -1;
    if (n <= 0 || m != n || std::memcmp(buffer.data(), back.data(), static_cast<size_t>(n)) != 0)
      return Fail(prompter, target.path + " does not hold what was written (differs after " +
                                std::to_string(done / kBlock) + " MiB): the stick may be faulty");
    done += static_cast<uint64_t>(n);
    progress.SetValue(static_cast<int64_t>(done));
    progress.PumpEvents();
  }
  progress.SetBarVisible(false);
  progress.SetCaption("Written and verified: " + target.path);
  return "";
}

}  // namespace kiv
