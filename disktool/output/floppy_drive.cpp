// A 1.44 MB FAT12 floppy on a device (or an image file standing in for one):
// format, free space, folders and files written straight into the file system.
// The whole volume is read once; changed sectors are written back after every
// operation, so a real floppy is not rewritten in full for each file.
#include "disktool/output/floppy_drive.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "common/environment.h"
#include "common/file_ops.h"
#include "common/platform.h"

namespace kiv {

namespace {

constexpr int kSectorSize = 512;
constexpr int kSectors = 2880;
constexpr int kFatSectors = 9;
constexpr int kRootEntries = 224;
constexpr int kRootStart = 1 + 2 * kFatSectors;                           // 19
constexpr int kDataStart = kRootStart + kRootEntries * 32 / kSectorSize;  // 33
constexpr int kClusters = kSectors - kDataStart;                          // 2847 (clusters 2..2848)
constexpr size_t kNpos = static_cast<size_t>(-1);

void Put16(std::string& b, size_t at, unsigned v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& b, size_t at, unsigned long v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, (v >> 16) & 0xFFFF);
}
unsigned Get16(const std::string& b, size_t at) {
  return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
}

bool ShortName(const std::string& name, std::string& out) {
  static const char* kAllowed = "!#$%&'()-@^_`{}~";
  std::string base = name, ext;
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) {
    base = name.substr(0, dot);
    ext = name.substr(dot + 1);
  }
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  out.assign(11, ' ');
  for (size_t i = 0; i < base.size() + ext.size(); ++i) {
    char c = i < base.size() ? base[i] : ext[i - base.size()];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || std::strchr(kAllowed, c) != nullptr) || c == 0)
      return false;
    out[i < base.size() ? i : 8 + (i - base.size())] = c;
  }
  return true;
}

std::vector<std::string> SplitComponents(const std::string& path) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

class Fat12FloppyDrive : public FloppyDrive {
 public:
  Fat12FloppyDrive(std::string device, const std::string& label, std::optional<int64_t> epoch, const Clock& clock)
      : device_(std::move(device)), epoch_(epoch), clock_(clock) {
    std::string upper = label.substr(0, 11);
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    label11_ = upper.empty() ? std::string() : upper + std::string(11 - upper.size(), ' ');
  }

  std::string DeviceName() const override { return device_; }

  bool Format(const std::string& bootSector, std::string* error) override {
    image_.assign(static_cast<size_t>(kSectors) * kSectorSize, '\0');
    std::string boot;
    if (ReadWholeFile(bootSector, boot) && boot.size() >= 512 && static_cast<unsigned char>(boot[510]) == 0x55 &&
        static_cast<unsigned char>(boot[511]) == 0xAA) {
      image_.replace(0, 512, boot.substr(0, 512));
    } else {
      image_[0] = static_cast<char>(0xEB);
      image_[1] = 0x3C;
      image_[2] = static_cast<char>(0x90);
      image_[62] = static_cast<char>(0xF4);  // hlt: a data disk boots nothing
      image_[510] = 0x55;
      image_[511] = static_cast<char>(0xAA);
    }
    image_.replace(3, 8, "MSWIN4.1");
    Put16(image_, 11, kSectorSize);
    image_[13] = 1;  // sectors per cluster
    Put16(image_, 14, 1);
    image_[16] = 2;
    Put16(image_, 17, kRootEntries);
    Put16(image_, 19, kSectors);
    image_[21] = static_cast<char>(0xF0);
    Put16(image_, 22, kFatSectors);
    Put16(image_, 24, 18);
    Put16(image_, 26, 2);
    Put32(image_, 28, 0);
    Put32(image_, 32, 0);
    image_[36] = 0;
    image_[37] = 0;
    image_[38] = 0x29;
    Put32(image_, 39, static_cast<unsigned long>(Now()) & 0xFFFFFFFFUL);
    image_.replace(43, 11, label11_.empty() ? "NO NAME    " : label11_);
    labelPending_ = !label11_.empty();
    image_.replace(54, 8, "FAT12   ");
    for (int f = 0; f < 2; ++f) {
      const size_t at = static_cast<size_t>(1 + f * kFatSectors) * kSectorSize;
      image_[at] = static_cast<char>(0xF0);
      image_[at + 1] = static_cast<char>(0xFF);
      image_[at + 2] = static_cast<char>(0xFF);
    }
    loaded_ = true;
    dirty_.assign(kSectors, true);
    return Store(error);
  }

  int64_t FreeSpace() override {
    if (!Load(nullptr)) return -1;
    int64_t free = 0;
    for (int c = 2; c < 2 + kClusters; ++c)
      if (GetFat(c) == 0) ++free;
    return free * kSectorSize;
  }

  bool MakeFolder(const std::string& path, std::string* error) override {
    if (!Load(error)) return false;
    int cluster = 0;
    for (const std::string& part : SplitComponents(path)) {
      if (!Descend(cluster, part, true, error)) return false;
    }
    return Store(error);
  }

  bool WriteFile(const std::string& path, const std::string& bytes, std::string* error) override {
    if (!Load(error)) return false;
    std::vector<std::string> parts = SplitComponents(path);
    if (parts.empty()) return Fail(error, "Path Not found");
    const std::string fileName = parts.back();
    parts.pop_back();
    int dir = 0;
    for (const std::string& part : parts)
      if (!Descend(dir, part, true, error)) return false;
    std::string name11;
    if (!ShortName(fileName, name11)) return Fail(error, "The name " + fileName + " is not a valid DOS file name");
    size_t entry = Find(dir, name11);
    if (entry != kNpos) {
      if (image_[entry + 11] & 0x10) return Fail(error, "Path Not found");
      FreeChain(Get16(image_, entry + 26));
    } else {
      if (dir == 0 && !PlaceLabel(name11, error)) return false;
      entry = FreeSlot(dir, error);
      if (entry == kNpos) return false;
    }
    const int needed = static_cast<int>((bytes.size() + kSectorSize - 1) / kSectorSize);
    int free = 0;
    for (int c = 2; c < 2 + kClusters && free < needed; ++c)
      if (GetFat(c) == 0) ++free;
    if (free < needed) return Fail(error, "Disk Full");
    int first = 0, prev = 0;
    for (int i = 0; i < needed; ++i) {
      const int c = Allocate();
      if (prev) SetFat(prev, c);
      else first = c;
      prev = c;
      const size_t at = ClusterOffset(c);
      const std::string chunk = bytes.substr(static_cast<size_t>(i) * kSectorSize, kSectorSize);
      image_.replace(at, chunk.size(), chunk);
      Touch(at);
    }
    SetEntry(entry, name11, dir == 0 && IsBootFile(name11) ? kBootFileAttributes : kArchive, first,
             static_cast<uint32_t>(bytes.size()));
    return Store(error);
  }

 private:
  static bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
  }

  // The system files a DOS boot sector loads: the first two root entries.
  static bool IsBootFile(const std::string& name11) { return name11 == "IO      SYS" || name11 == "MSDOS   SYS"; }

  // The label's root entry goes behind the system files, as the image tool
  // lays it out: it is placed when the first other root entry is made.
  bool PlaceLabel(const std::string& name11, std::string* error) {
    if (!labelPending_ || IsBootFile(name11)) return true;
    const size_t slot = FreeSlot(0, error);
    if (slot == kNpos) return false;
    SetEntry(slot, label11_, kVolumeLabel, 0, 0);
    labelPending_ = false;
    return true;
  }

  // The time the files and the volume serial get: the fixed date of a
  // reproducible build, else the clock's.
  time_t Now() const {
    if (epoch_) return static_cast<time_t>(*epoch_);
    return clock_.Now();
  }

  bool Load(std::string* error) {
    if (loaded_) return true;
    RawFile disk;
    if (!disk.Open(device_, RawFile::Access::Read)) return Fail(error, disk.ErrorText());
    image_.assign(static_cast<size_t>(kSectors) * kSectorSize, '\0');
    const int64_t done = disk.ReadFull(image_.data(), image_.size());
    disk.Close();
    if (done < static_cast<int64_t>(image_.size()) || Get16(image_, 11) != kSectorSize || Get16(image_, 19) != kSectors)
      return Fail(error, "The floppy in " + device_ + " is not a formatted 1.44 MB disk");
    loaded_ = true;
    dirty_.assign(kSectors, false);
    return true;
  }

  bool Store(std::string* error) {
    RawFile disk;
    if (!disk.Open(device_, RawFile::Access::Write)) return Fail(error, disk.ErrorText());
    bool ok = true;
    for (int s = 0; s < kSectors && ok; ++s) {
      if (!dirty_[s]) continue;
      const int64_t at = static_cast<int64_t>(s) * kSectorSize;
      ok = disk.WriteAt(image_.data() + at, kSectorSize, at);
    }
    if (ok) ok = disk.Sync() || disk.Error() == EINVAL;
    if (!ok) return Fail(error, disk.ErrorText());
    dirty_.assign(kSectors, false);
    return true;
  }

  void Touch(size_t byteOffset) { dirty_[byteOffset / kSectorSize] = true; }

  int GetFat(int c) const {
    const size_t at = kSectorSize + static_cast<size_t>(c) * 3 / 2;
    const unsigned v = Get16(image_, at);
    return (c & 1) ? static_cast<int>(v >> 4) : static_cast<int>(v & 0xFFF);
  }

  void SetFat(int c, int value) {
    for (int f = 0; f < 2; ++f) {
      const size_t at = static_cast<size_t>(1 + f * kFatSectors) * kSectorSize + static_cast<size_t>(c) * 3 / 2;
      unsigned v = Get16(image_, at);
      v = (c & 1) ? ((v & 0x000F) | (static_cast<unsigned>(value) << 4)) : ((v & 0xF000) | (value & 0xFFF));
      Put16(image_, at, v);
      Touch(at);
      Touch(at + 1);
    }
  }

  int Allocate() {
    for (int c = 2; c < 2 + kClusters; ++c) {
      if (GetFat(c) == 0) {
        SetFat(c, 0xFFF);
        return c;
      }
    }
    return 0;
  }

  void FreeChain(int c) {
    while (c >= 2 && c < 2 + kClusters) {
      const int next = GetFat(c);
      SetFat(c, 0);
      c = next;
    }
  }

  static size_t ClusterOffset(int c) { return static_cast<size_t>(kDataStart + c - 2) * kSectorSize; }

  // Byte offsets of the directory's 32-byte slots.
  std::vector<size_t> Slots(int dir) const {
    std::vector<size_t> slots;
    if (dir == 0) {
      for (int i = 0; i < kRootEntries; ++i) slots.push_back(static_cast<size_t>(kRootStart) * kSectorSize + i * 32);
      return slots;
    }
    for (int c = dir; c >= 2 && c < 2 + kClusters; c = GetFat(c))
      for (int i = 0; i < kSectorSize / 32; ++i) slots.push_back(ClusterOffset(c) + i * 32);
    return slots;
  }

  size_t Find(int dir, const std::string& name11) const {
    for (size_t at : Slots(dir)) {
      if (image_[at] == 0) break;
      if (static_cast<unsigned char>(image_[at]) == 0xE5 || (image_[at + 11] & 0x08)) continue;
      if (image_.compare(at, 11, name11) == 0) return at;
    }
    return kNpos;
  }

  size_t FreeSlot(int dir, std::string* error) {
    for (size_t at : Slots(dir))
      if (image_[at] == 0 || static_cast<unsigned char>(image_[at]) == 0xE5) return at;
    if (dir == 0) {
      Fail(error, "Disk Full");
      return kNpos;
    }
    int last = dir;
    while (GetFat(last) >= 2 && GetFat(last) < 0xFF8) last = GetFat(last);
    const int c = Allocate();
    if (!c) {
      Fail(error, "Disk Full");
      return kNpos;
    }
    SetFat(last, c);
    image_.replace(ClusterOffset(c), kSectorSize, std::string(kSectorSize, '\0'));
    Touch(ClusterOffset(c));
    return ClusterOffset(c);
  }

  void SetEntry(size_t at, const std::string& name11, char attr, int cluster, uint32_t size) {
    image_.replace(at, 32, std::string(32, '\0'));
    image_.replace(at, 11, name11);
    image_[at + 11] = attr;
    const time_t now = Now();
    std::tm tm{};
    gmtime_r(&now, &tm);
    const unsigned time = (tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2);
    const unsigned date =
        ((tm.tm_year + 1900 < 1980 ? 0 : tm.tm_year + 1900 - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday;
    Put16(image_, at + 14, time);
    Put16(image_, at + 16, date);
    Put16(image_, at + 18, date);
    Put16(image_, at + 22, time);
    Put16(image_, at + 24, date);
    Put16(image_, at + 26, static_cast<unsigned>(cluster));
    Put32(image_, at + 28, size);
    Touch(at);
  }

  // Moves `dir` into its subfolder `name`, creating it when `create`.
  bool Descend(int& dir, const std::string& name, bool create, std::string* error) {
    std::string name11;
    if (!ShortName(name, name11)) return Fail(error, "The name " + name + " is not a valid DOS folder name");
    const size_t found = Find(dir, name11);
    if (found != kNpos) {
      if (!(image_[found + 11] & 0x10)) return Fail(error, "Path Not found");
      dir = static_cast<int>(Get16(image_, found + 26));
      return true;
    }
    if (!create) return Fail(error, "Path Not found");
    if (dir == 0 && !PlaceLabel(name11, error)) return false;
    const size_t slot = FreeSlot(dir, error);
    if (slot == kNpos) return false;
    const int c = Allocate();
    if (!c) return Fail(error, "Disk Full");
    image_.replace(ClusterOffset(c), kSectorSize, std::string(kSectorSize, '\0'));
    SetEntry(ClusterOffset(c), ".          ", 0x10, c, 0);
    SetEntry(ClusterOffset(c) + 32, "..         ", 0x10, dir, 0);
    SetEntry(slot, name11, 0x10, c, 0);
    dir = c;
    return true;
  }

  static constexpr char kArchive = 0x20;
  static constexpr char kBootFileAttributes = 0x07;  // read-only, hidden, system
  static constexpr char kVolumeLabel = 0x08;

  std::string device_;
  std::optional<int64_t> epoch_;
  const Clock& clock_;
  std::string label11_;  // padded to 11; empty: no label
  bool labelPending_ = false;
  std::string image_;
  std::vector<bool> dirty_;
  bool loaded_ = false;
};

}  // namespace

std::unique_ptr<FloppyDrive> MakeFat12FloppyDrive(const std::string& device, std::optional<int64_t> epoch,
                                                  const Clock& clock, const std::string& label) {
  return std::make_unique<Fat12FloppyDrive>(device, label, epoch, clock);
}

std::string DefaultFloppyDevice(const Environment& environment) {
  const std::string named = environment.Get("KIV_FLOPPY_DEVICE");
  return named.empty() ? "/dev/fd0" : named;
}

}  // namespace kiv
