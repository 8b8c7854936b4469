#include "tools/bfi/fat12_image.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <set>

#include "tools/bfi/fat12_names.h"
#include "tools/bfi/platform.h"

namespace kiv::fat12 {

namespace {

constexpr size_t kSlot = 32;  // bytes per directory entry
constexpr uint8_t kAttrLongName = 0x0F;

// Built-in boot code (placed at offset 62): prints the message that follows it
// through the BIOS and restarts the machine on a key press.
//   cli; xor ax,ax; mov ds,ax; mov ss,ax; mov sp,7C00h; sti; cld; mov si,msg
//   next: lodsb; test al,al; jz wait; mov ah,0Eh; mov bx,7; int 10h; jmp next
//   wait: xor ah,ah; int 16h; int 19h
constexpr uint8_t kBootCode[] = {0xFA, 0x31, 0xC0, 0x8E, 0xD8, 0x8E, 0xD0, 0xBC, 0x00, 0x7C, 0xFB, 0xFC,
                                 0xBE, 0x61, 0x7C, 0xAC, 0x84, 0xC0, 0x74, 0x09, 0xB4, 0x0E, 0xBB, 0x07,
                                 0x00, 0xCD, 0x10, 0xEB, 0xF2, 0x30, 0xE4, 0xCD, 0x16, 0xCD, 0x19};
constexpr char kBootMessage[] = "Non-system disk. Replace it and press a key.\r\n";

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

bool BrokenDownTime(int64_t seconds, bool localTime, std::tm& tm) {
  std::time_t t = static_cast<std::time_t>(seconds);
  return (localTime ? localtime_r(&t, &tm) : gmtime_r(&t, &tm)) != nullptr;
}

bool IsLabelChar(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ') return true;
  return c != 0 && std::strchr("!#$%&'()-@^_`{}~", c) != nullptr;
}

struct Dir;

struct Entry {
  const Node* node = nullptr;
  std::string path;  // relative path, for messages
  ShortName shortName{};
  std::u16string longName;  // empty: plain 8.3 entry
  uint8_t attr = 0;
  int64_t time = 0;
  uint32_t first = 0;
  uint32_t clusters = 0;
  std::unique_ptr<Dir> sub;

  size_t Slots() const { return 1 + (longName.size() + 12) / 13; }
};

struct Dir {
  bool isRoot = false;
  std::vector<Entry> entries;
  size_t bootFiles = 0;  // root: how many of IO.SYS / MSDOS.SYS lead the list
  bool hasLabel = false;
  uint32_t first = 0;  // subfolders: first cluster
  uint32_t clusters = 0;
  uint32_t parent = 0;  // subfolders: first cluster of the parent (0: root)
  int64_t time = 0;

  size_t Slots() const {
    size_t n = isRoot ? (hasLabel ? 1 : 0) : 2;
    for (const Entry& e : entries) n += e.Slots();
    return n;
  }
};

class Builder {
 public:
  Builder(const ImageOptions& o) : opt_(o), geo_(GeometryFor(o.size)) {}

  bool Run(const Node& root, uint8_t* image, size_t& used, std::string& error);

 private:
  bool Plan(const Node& node, const std::string& path, Dir& dir, std::string& error);
  void Allocate(Dir& dir);
  void WriteBootSector();
  void SetFat(uint32_t n, uint16_t value);
  void MarkChains(const Dir& dir);
  void WriteDir(const Dir& dir);
  bool WriteFiles(const Dir& dir, std::string& error);
  void PutShort(uint8_t* p, const ShortName& name, uint8_t attr, int64_t time, uint32_t cluster, uint32_t size) const;
  int64_t TimeOf(const Node& node) const { return opt_.fixedTime ? opt_.time : node.mtime; }

  const ImageOptions& opt_;
  Geometry geo_;
  uint8_t* img_ = nullptr;
  uint32_t next_ = 2;
  uint64_t neededClusters_ = 0;
};

bool Builder::Plan(const Node& node, const std::string& path, Dir& dir, std::string& error) {
  std::vector<const Node*> order;
  order.reserve(node.children.size());
  for (const Node& c : node.children) order.push_back(&c);
  std::sort(order.begin(), order.end(), [](const Node* a, const Node* b) {
    std::string fa = FoldCase(a->name), fb = FoldCase(b->name);
    return fa != fb ? fa < fb : a->name < b->name;
  });
  for (size_t i = 0; i < order.size(); ++i) {
    std::string reason = CheckLongName(order[i]->name);
    if (!reason.empty()) {
      error = path + order[i]->name + ": " + reason;
      return false;
    }
    if (i > 0 && FoldCase(order[i - 1]->name) == FoldCase(order[i]->name)) {
      error = path + order[i - 1]->name + " and " + order[i]->name +
              ": the names differ only in case; a FAT folder cannot hold both";
      return false;
    }
  }
  // DOS boot sectors load IO.SYS and MSDOS.SYS from the first two root entries.
  if (dir.isRoot) {
    for (const char* boot : {"IO.SYS", "MSDOS.SYS"}) {
      auto it = std::find_if(order.begin() + long(dir.bootFiles), order.end(),
                             [&](const Node* n) { return !n->isDirectory && FoldCase(n->name) == boot; });
      if (it == order.end()) continue;
      const Node* n = *it;
      order.erase(it);
      order.insert(order.begin() + long(dir.bootFiles), n);
      ++dir.bootFiles;
    }
    // COMMAND.COM follows them, so a directory listing of a boot floppy shows
    // the three DOS start-up files first (it is a normal file otherwise).
    auto shell = std::find_if(order.begin() + long(dir.bootFiles), order.end(),
                              [](const Node* n) { return !n->isDirectory && FoldCase(n->name) == "COMMAND.COM"; });
    if (shell != order.end()) {
      const Node* n = *shell;
      order.erase(shell);
      order.insert(order.begin() + long(dir.bootFiles), n);
    }
  }

  std::set<ShortName> taken;
  dir.entries.resize(order.size());
  for (size_t i = 0; i < order.size(); ++i) {
    Entry& e = dir.entries[i];
    e.node = order[i];
    e.path = path + order[i]->name;
    e.time = TimeOf(*e.node);
    if (i < dir.bootFiles || IsPlainShortName(e.node->name)) {
      e.shortName = PlainShortName(e.node->name);
      taken.insert(e.shortName);
    }
  }
  for (size_t i = 0; i < order.size(); ++i) {
    Entry& e = dir.entries[i];
    if (i < dir.bootFiles || IsPlainShortName(e.node->name)) continue;
    Utf8ToUtf16(e.node->name, e.longName);  // checked valid above
    if (!MakeShortAlias(
            e.node->name, [&](const ShortName& s) { return taken.count(s) > 0; }, e.shortName)) {
      error = e.path + ": no free short name left for it";
      return false;
    }
    taken.insert(e.shortName);
  }

  const uint64_t cb = geo_.ClusterBytes();
  const uint64_t capacity = uint64_t(geo_.ClusterCount()) * cb;
  for (size_t i = 0; i < dir.entries.size(); ++i) {
    Entry& e = dir.entries[i];
    if (e.node->isDirectory) {
      e.attr = uint8_t(kAttrDirectory | (e.node->attributes & (kAttrHidden | kAttrSystem | kAttrReadOnly)));
      e.sub = std::make_unique<Dir>();
      e.sub->time = e.time;
      if (!Plan(*e.node, e.path + "/", *e.sub, error)) return false;
      e.clusters = uint32_t((e.sub->Slots() * kSlot + cb - 1) / cb);
      e.sub->clusters = e.clusters;
    } else {
      uint64_t size = e.node->sourcePath.empty() ? e.node->bytes.size() : e.node->size;
      if (size > capacity) {
        error = e.path + ": " + std::to_string(size) + " bytes, larger than the " + std::to_string(capacity) +
                " bytes a " + SizeName(opt_.size) + " floppy holds";
        return false;
      }
      e.attr = i < dir.bootFiles ? uint8_t(kAttrReadOnly | kAttrHidden | kAttrSystem)
                                 : uint8_t(kAttrArchive | (e.node->attributes & 0x07));
      e.clusters = uint32_t((size + cb - 1) / cb);
    }
    neededClusters_ += e.clusters;
  }
  return true;
}

void Builder::Allocate(Dir& dir) {
  for (Entry& e : dir.entries) {
    e.first = e.clusters ? next_ : 0;
    next_ += e.clusters;
    if (e.sub) {
      e.sub->first = e.first;
      e.sub->parent = dir.isRoot ? 0 : dir.first;
    }
  }
  for (Entry& e : dir.entries)
    if (e.sub) Allocate(*e.sub);
}

void Builder::SetFat(uint32_t n, uint16_t value) {
  uint8_t* fat = img_ + size_t(geo_.reservedSectors) * geo_.bytesPerSector;
  size_t off = n + n / 2;
  if (n & 1) {
    fat[off] = uint8_t((fat[off] & 0x0F) | ((value << 4) & 0xF0));
    fat[off + 1] = uint8_t(value >> 4);
  } else {
    fat[off] = uint8_t(value);
    fat[off + 1] = uint8_t((fat[off + 1] & 0xF0) | ((value >> 8) & 0x0F));
  }
}

// Every chain is contiguous: each cluster points at the next, the last ends it.
void Builder::MarkChains(const Dir& dir) {
  for (const Entry& e : dir.entries) {
    for (uint32_t k = 0; k < e.clusters; ++k)
      SetFat(e.first + k, k + 1 < e.clusters ? uint16_t(e.first + k + 1) : 0xFFF);
    if (e.sub) MarkChains(*e.sub);
  }
}

void Builder::WriteBootSector() {
  uint8_t* b = img_;
  if (opt_.bootSector.empty()) {
    b[0] = 0xEB;
    b[1] = 0x3C;
    b[2] = 0x90;
    std::memcpy(b + 62, kBootCode, sizeof kBootCode);
    std::memcpy(b + 62 + sizeof kBootCode, kBootMessage, sizeof kBootMessage);
    b[510] = 0x55;
    b[511] = 0xAA;
  } else {
    std::memcpy(b, opt_.bootSector.data(), 512);
  }
  std::memcpy(b + 3, "MSWIN4.1", 8);
  Put16(b + 11, geo_.bytesPerSector);
  b[13] = geo_.sectorsPerCluster;
  Put16(b + 14, geo_.reservedSectors);
  b[16] = geo_.fatCount;
  Put16(b + 17, geo_.rootEntries);
  Put16(b + 19, geo_.totalSectors);
  b[21] = geo_.media;
  Put16(b + 22, geo_.sectorsPerFat);
  Put16(b + 24, geo_.sectorsPerTrack);
  Put16(b + 26, geo_.heads);
  Put32(b + 28, 0);  // hidden sectors
  Put32(b + 32, 0);  // large sector count: unused, the count fits 16 bits
  b[36] = 0;         // BIOS drive number: A:
  b[37] = 0;
  b[38] = 0x29;  // extended boot signature: serial, label and type follow
  Put32(b + 39, opt_.serial);
  std::string label = opt_.label.empty() ? std::string("NO NAME") : FoldCase(opt_.label);
  label.resize(11, ' ');
  std::memcpy(b + 43, label.data(), 11);
  std::memcpy(b + 54, "FAT12   ", 8);
}

void Builder::PutShort(uint8_t* p, const ShortName& name, uint8_t attr, int64_t time, uint32_t cluster,
                       uint32_t size) const {
  std::memcpy(p, name.data(), 11);
  if (p[0] == 0xE5) p[0] = 0x05;
  p[11] = attr;
  uint16_t d, t;
  DosDateTime(time, opt_.localTime, d, t);
  Put16(p + 14, t);  // created
  Put16(p + 16, d);
  Put16(p + 18, d);  // last access
  Put16(p + 22, t);  // written
  Put16(p + 24, d);
  Put16(p + 26, cluster);
  Put32(p + 28, size);
}

void Builder::WriteDir(const Dir& dir) {
  uint8_t* p =
      dir.isRoot ? img_ + size_t(geo_.FirstRootSector()) * geo_.bytesPerSector : img_ + geo_.ClusterOffset(dir.first);
  if (!dir.isRoot) {
    ShortName dot, dotdot;
    dot.fill(' ');
    dotdot.fill(' ');
    dot[0] = dotdot[0] = dotdot[1] = '.';
    PutShort(p, dot, kAttrDirectory, dir.time, dir.first, 0);
    PutShort(p + kSlot, dotdot, kAttrDirectory, dir.time, dir.parent, 0);
    p += 2 * kSlot;
  }
  for (size_t i = 0; i < dir.entries.size(); ++i) {
    if (dir.isRoot && dir.hasLabel && i == dir.bootFiles) {
      ShortName label;
      label.fill(' ');
      std::string text = FoldCase(opt_.label);
      std::copy(text.begin(), text.end(), label.begin());
      PutShort(p, label, kAttrVolume, opt_.time, 0, 0);
      p += kSlot;
    }
    const Entry& e = dir.entries[i];
    if (!e.longName.empty()) {
      const uint8_t sum = LfnChecksum(e.shortName);
      const size_t count = (e.longName.size() + 12) / 13;
      static const int kPos[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
      for (size_t seq = count; seq >= 1; --seq) {
        p[0] = uint8_t(seq | (seq == count ? 0x40 : 0));
        p[11] = kAttrLongName;
        p[13] = sum;
        for (size_t k = 0; k < 13; ++k) {
          size_t idx = (seq - 1) * 13 + k;
          uint16_t c = idx < e.longName.size() ? uint16_t(e.longName[idx]) : idx == e.longName.size() ? 0x0000 : 0xFFFF;
          Put16(p + kPos[k], c);
        }
        p += kSlot;
      }
    }
    uint32_t size = e.node->isDirectory          ? 0
                    : e.node->sourcePath.empty() ? uint32_t(e.node->bytes.size())
                                                 : uint32_t(e.node->size);
    PutShort(p, e.shortName, e.attr, e.time, e.first, size);
    p += kSlot;
  }
  if (dir.isRoot && dir.hasLabel && dir.entries.size() == dir.bootFiles) {
    // The label follows the boot files even when nothing else does.
    ShortName label;
    label.fill(' ');
    std::string text = FoldCase(opt_.label);
    std::copy(text.begin(), text.end(), label.begin());
    PutShort(p, label, kAttrVolume, opt_.time, 0, 0);
  }
  for (const Entry& e : dir.entries)
    if (e.sub) WriteDir(*e.sub);
}

bool Builder::WriteFiles(const Dir& dir, std::string& error) {
  for (const Entry& e : dir.entries) {
    if (e.sub) {
      if (!WriteFiles(*e.sub, error)) return false;
      continue;
    }
    if (e.clusters == 0) continue;
    uint8_t* dest = img_ + geo_.ClusterOffset(e.first);
    if (e.node->sourcePath.empty()) {
      std::memcpy(dest, e.node->bytes.data(), e.node->bytes.size());
      continue;
    }
    if (!ReadWholeSource(e.node->sourcePath, dest, e.node->size, error)) return false;
  }
  return true;
}

bool Builder::Run(const Node& root, uint8_t* image, size_t& used, std::string& error) {
  Dir top;
  top.isRoot = true;
  top.hasLabel = !opt_.label.empty();
  if (!Plan(root, "", top, error)) return false;

  size_t rootSlots = top.Slots();
  if (rootSlots > geo_.rootEntries) {
    error = "the root folder needs " + std::to_string(rootSlots) + " directory entries, a " + SizeName(opt_.size) +
            " floppy has " + std::to_string(geo_.rootEntries);
    return false;
  }
  const uint64_t cb = geo_.ClusterBytes();
  if (neededClusters_ > geo_.ClusterCount()) {
    error = "the tree needs " + std::to_string(neededClusters_ * cb) + " bytes (" + std::to_string(neededClusters_) +
            " clusters of " + std::to_string(cb) + " bytes), a " + SizeName(opt_.size) + " floppy has " +
            std::to_string(uint64_t(geo_.ClusterCount()) * cb) + " bytes (" + std::to_string(geo_.ClusterCount()) +
            " clusters)";
    return false;
  }

  img_ = image;
  WriteBootSector();
  Allocate(top);

  SetFat(0, uint16_t(0xF00 | geo_.media));
  SetFat(1, 0xFFF);
  MarkChains(top);
  const size_t fatBytes = size_t(geo_.sectorsPerFat) * geo_.bytesPerSector;
  uint8_t* fat1 = img_ + size_t(geo_.reservedSectors) * geo_.bytesPerSector;
  for (uint8_t f = 1; f < geo_.fatCount; ++f) std::memcpy(fat1 + f * fatBytes, fat1, fatBytes);

  WriteDir(top);
  if (!WriteFiles(top, error)) return false;
  used = size_t(geo_.ClusterOffset(next_));
  return true;
}

}  // namespace

std::string CheckBootSector(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 512) return "only " + std::to_string(bytes.size()) + " bytes; a boot sector has 512";
  if (bytes[510] != 0x55 || bytes[511] != 0xAA) return "no boot sector signature (55 AA) at offset 510";
  return {};
}

std::string CheckLabel(const std::string& label) {
  if (label.size() > 11) return "a volume label has at most 11 characters";
  if (!label.empty() && label[0] == ' ') return "a volume label cannot begin with a space";
  for (unsigned char c : label)
    if (!IsLabelChar(c)) return std::string("character '") + char(c) + "' is not allowed in a volume label";
  return {};
}

void DosDateTime(int64_t seconds, bool localTime, uint16_t& date, uint16_t& time) {
  std::tm tm{};
  bool ok = BrokenDownTime(seconds, localTime, tm);
  int year = tm.tm_year + 1900;
  if (!ok) year = seconds < 0 ? 1979 : 2108;
  if (year < 1980) {
    date = (1 << 5) | 1;
    time = 0;
  } else if (year > 2107) {
    date = uint16_t((127 << 9) | (12 << 5) | 31);
    time = uint16_t((23 << 11) | (59 << 5) | 29);
  } else {
    date = uint16_t(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    time = uint16_t((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
  }
}

uint32_t SerialFromTime(int64_t seconds, int hundredths) {
  std::tm tm{};
  BrokenDownTime(seconds, false, tm);
  uint32_t lo = uint32_t(((tm.tm_mon + 1) << 8) | tm.tm_mday) + uint32_t((tm.tm_sec << 8) | (hundredths & 0xFF));
  uint32_t hi = uint32_t((tm.tm_hour << 8) | tm.tm_min) + uint32_t(tm.tm_year + 1900);
  return ((hi & 0xFFFF) << 16) | (lo & 0xFFFF);
}

bool BuildImageInto(const ImageOptions& options, const Node& root, uint8_t* image, size_t imageSize, size_t& used,
                    std::string& error) {
  error.clear();
  used = 0;
  if (imageSize != GeometryFor(options.size).ImageBytes()) {
    error = "image memory of " + std::to_string(imageSize) + " bytes; a " + SizeName(options.size) + " floppy has " +
            std::to_string(GeometryFor(options.size).ImageBytes());
    return false;
  }
  if (!options.bootSector.empty()) {
    std::string why = CheckBootSector(options.bootSector);
    if (!why.empty()) {
      error = "boot sector: " + why;
      return false;
    }
  }
  std::string why = CheckLabel(options.label);
  if (!why.empty()) {
    error = "volume label \"" + options.label + "\": " + why;
    return false;
  }
  if (!root.isDirectory) {
    error = "the tree must be a folder";
    return false;
  }
  Builder b(options);
  return b.Run(root, image, used, error);
}

bool BuildImage(const ImageOptions& options, const Node& root, std::vector<uint8_t>& image, std::string& error) {
  image.assign(GeometryFor(options.size).ImageBytes(), 0);
  size_t used = 0;
  if (BuildImageInto(options, root, image.data(), image.size(), used, error)) return true;
  image.clear();
  return false;
}

}  // namespace kiv::fat12
