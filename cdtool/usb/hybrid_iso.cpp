#include "cdtool/usb/hybrid_iso.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>

#include "common/failure_cause.h"
#include "common/platform.h"
#include "common/prompter.h"

namespace kiv {
namespace fs = std::filesystem;

namespace {

constexpr uint64_t kIsoSector = 2048;
constexpr uint64_t kDiskSector = 512;
constexpr size_t kBootstrapSize = 432;

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Reads ISO sectors of one image file; every failure is a text naming it.
class IsoReader {
 public:
  explicit IsoReader(const std::string& path) : path_(path), in_(path, std::ios::binary) {
    std::error_code ec;
    size_ = fs::file_size(path, ec);
    if (ec) size_ = 0;
  }
  bool Open() const { return in_.is_open(); }
  uint64_t Size() const { return size_; }

  bool Read(uint64_t offset, size_t count, std::vector<uint8_t>& out) {
    out.assign(count, 0);
    if (offset + count > size_) return false;
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset));
    in_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(count));
    return static_cast<size_t>(in_.gcount()) == count;
  }
  bool Sector(uint32_t lba, std::vector<uint8_t>& out) { return Read(lba * kIsoSector, kIsoSector, out); }

 private:
  std::string path_;
  std::ifstream in_;
  uint64_t size_ = 0;
};

// An ISO 9660 name without its version and trailing dot, upper-cased.
std::string PlainName(const uint8_t* name, size_t length) {
  std::string s(reinterpret_cast<const char*>(name), length);
  if (auto semi = s.find(';'); semi != std::string::npos) s.resize(semi);
  if (!s.empty() && s.back() == '.') s.pop_back();
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

struct Extent {
  uint32_t lba = 0;
  uint32_t size = 0;
};

// A directory record found by name: where it lies inside its directory's
// extent, and the extent it names.
struct Record {
  uint32_t offset = 0;
  Extent extent;
};

// Finds `name` in the directory at `dir`.
std::optional<Record> FindRecord(IsoReader& iso, Extent dir, const std::string& name) {
  std::string wanted = name;
  for (char& c : wanted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::vector<uint8_t> sector;
  for (uint32_t done = 0; done < dir.size; done += kIsoSector) {
    if (!iso.Sector(dir.lba + done / kIsoSector, sector)) return std::nullopt;
    size_t at = 0;
    while (at + 34 <= kIsoSector) {
      uint8_t length = sector[at];
      if (length < 34 || at + length > kIsoSector) break;  // rest of the sector unused
      uint8_t nameLength = sector[at + 32];
      if (33u + nameLength <= length && PlainName(&sector[at + 33], nameLength) == wanted)
        return Record{static_cast<uint32_t>(done + at), Extent{Le32(&sector[at + 2]), Le32(&sector[at + 10])}};
      at += length;
    }
  }
  return std::nullopt;
}

std::optional<Extent> FindInDirectory(IsoReader& iso, Extent dir, const std::string& name) {
  std::optional<Record> r = FindRecord(iso, dir, name);
  if (!r) return std::nullopt;
  return r->extent;
}

uint32_t Sectors(uint32_t bytes) { return static_cast<uint32_t>((bytes + kIsoSector - 1) / kIsoSector); }

// A directory record's extent, in both byte orders as ISO 9660 keeps it.
void SetExtent(uint8_t* record, Extent e) {
  Put32(record + 2, e.lba);
  for (int i = 0; i < 4; ++i) record[6 + i] = static_cast<uint8_t>(e.lba >> (24 - 8 * i));
  Put32(record + 10, e.size);
  for (int i = 0; i < 4; ++i) record[14 + i] = static_cast<uint8_t>(e.size >> (24 - 8 * i));
}

// The volume space size, in both byte orders, at offset 80 of a primary or
// supplementary volume descriptor.
void SetVolumeSize(uint8_t* field, uint32_t sectors) {
  Put32(field, sectors);
  for (int i = 0; i < 4; ++i) field[4 + i] = static_cast<uint8_t>(sectors >> (24 - 8 * i));
}

constexpr char kStickViewTag[] = "KIVUSBV1";

// The stick's view of the tree: copies of the primary volume descriptor and
// of the root, \boot and \boot\isolinux directories, in which
// \boot\isolinux\isolinux.cfg names the extent of usbstick.cfg. Everything
// else they name is the CD's own data. The loader tells isolinux of this
// descriptor when it starts from a stick, so isolinux reads the stick's menu
// under its usual name; on a CD nothing reads these sectors.
struct StickView {
  uint32_t lba = 0;            // of the copied descriptor; the rest follows it
  std::vector<uint8_t> bytes;  // whole sectors
};

std::optional<StickView> BuildStickView(IsoReader& iso, const std::vector<uint8_t>& pvd, Extent root,
                                        uint32_t firstFreeLba, std::string& why) {
  std::optional<Record> boot = FindRecord(iso, root, "boot");
  std::optional<Record> isolinuxDir = boot ? FindRecord(iso, boot->extent, "isolinux") : std::nullopt;
  if (!isolinuxDir) return std::nullopt;
  std::optional<Record> cdConfig = FindRecord(iso, isolinuxDir->extent, "isolinux.cfg");
  std::optional<Record> stickConfig = FindRecord(iso, isolinuxDir->extent, "usbstick.cfg");
  if (!cdConfig || !stickConfig) return std::nullopt;  // a menu written by hand: the stick shows it too

  StickView view;
  view.lba = firstFreeLba;
  const Extent rootCopy{view.lba + 1, root.size};
  const Extent bootCopy{rootCopy.lba + Sectors(root.size), boot->extent.size};
  const Extent isolinuxCopy{bootCopy.lba + Sectors(boot->extent.size), isolinuxDir->extent.size};
  const uint32_t total = 1 + Sectors(root.size) + Sectors(boot->extent.size) + Sectors(isolinuxDir->extent.size);
  view.bytes.assign(uint64_t{total} * kIsoSector, 0);

  std::copy(pvd.begin(), pvd.end(), view.bytes.begin());
  SetExtent(&view.bytes[156], rootCopy);
  std::vector<uint8_t> dir;
  auto copyDirectory = [&](Extent from, Extent to, Extent parent) {
    if (!iso.Read(uint64_t{from.lba} * kIsoSector, Sectors(from.size) * kIsoSector, dir)) return false;
    if (dir.size() < kIsoSector) return false;
    // "." and ".." come first in every directory. A record is at most 255
    // bytes, so ".." starts inside the first sector; under 34 there is none.
    SetExtent(dir.data(), to);
    if (dir[0] >= 34) SetExtent(&dir[dir[0]], parent);
    std::copy(dir.begin(), dir.end(),
              view.bytes.begin() + static_cast<std::ptrdiff_t>((to.lba - view.lba) * kIsoSector));
    return true;
  };
  if (!copyDirectory(root, rootCopy, rootCopy) || !copyDirectory(boot->extent, bootCopy, rootCopy) ||
      !copyDirectory(isolinuxDir->extent, isolinuxCopy, bootCopy)) {
    why = "the directories of \\boot\\isolinux cannot be read";
    return std::nullopt;
  }
  auto at = [&](Extent copy, const Record& r) { return &view.bytes[(copy.lba - view.lba) * kIsoSector + r.offset]; };
  SetExtent(at(rootCopy, *boot), bootCopy);
  SetExtent(at(bootCopy, *isolinuxDir), isolinuxCopy);
  SetExtent(at(isolinuxCopy, *cdConfig), stickConfig->extent);
  return view;
}

// The view an earlier run left at `lba` (what the loader names) inside the
// volume it grew: a copy of the primary volume descriptor there. The volume
// as mastered ended where the view starts.
std::optional<uint32_t> EarlierStickView(IsoReader& iso, uint32_t lba, uint32_t pvdLba, uint32_t volumeSectors) {
  std::vector<uint8_t> sector;
  if (lba <= pvdLba || lba >= volumeSectors || !iso.Sector(lba, sector)) return std::nullopt;
  if (sector[0] != 1 || std::string(sector.begin() + 1, sector.begin() + 6) != "CD001") return std::nullopt;
  return lba;
}

// Where the loader keeps the sector of the stick's view: just after its tag.
std::optional<size_t> StickViewField(const std::vector<uint8_t>& loader) {
  const std::string tag = kStickViewTag;
  auto it = std::search(loader.begin(), loader.end(), tag.begin(), tag.end());
  if (it == loader.end() || static_cast<size_t>(loader.end() - it) < tag.size() + 4) return std::nullopt;
  return static_cast<size_t>(it - loader.begin()) + tag.size();
}

uint32_t Fnv1a(const std::vector<uint8_t>& bytes) {
  uint32_t h = 2166136261u;
  for (uint8_t b : bytes) h = (h ^ b) * 16777619u;
  return h ? h : 1;
}

bool HasHybridSignature(const std::vector<uint8_t>& head) {
  return head.size() >= 0x44 && Le32(&head[0x40]) == kHybridSignature;
}

}  // namespace

uint32_t BootFileChecksum(const std::vector<uint8_t>& file) {
  uint32_t sum = 0;
  for (size_t at = 64; at < file.size(); at += 4) {
    uint8_t dword[4] = {0, 0, 0, 0};
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(at), std::min<size_t>(4, file.size() - at), dword);
    sum += Le32(dword);
  }
  return sum;
}

std::array<uint8_t, 56> BootInfoTable(uint32_t pvdLba, uint32_t fileLba, uint32_t fileSize, uint32_t checksum) {
  std::array<uint8_t, 56> table{};
  Put32(&table[0], pvdLba);
  Put32(&table[4], fileLba);
  Put32(&table[8], fileSize);
  Put32(&table[12], checksum);
  return table;
}

uint64_t HybridPaddedSize(uint64_t imageBytes) {
  const uint64_t cylinder = uint64_t{kHybridHeads} * kHybridSectors * kDiskSector;
  return (imageBytes + cylinder - 1) / cylinder * cylinder;
}

std::array<uint8_t, 512> HybridMbr(const std::vector<uint8_t>& bootstrap, uint32_t bootFileLba, uint64_t paddedBytes,
                                   uint32_t diskSignature, const std::optional<MbrEntry>& efiPartition) {
  std::array<uint8_t, 512> mbr{};
  std::copy_n(bootstrap.begin(), std::min(bootstrap.size(), kBootstrapSize), mbr.begin());
  // 432: the boot file's first 512-byte sector, a 64-bit number.
  uint64_t bootSector = uint64_t{bootFileLba} * (kIsoSector / kDiskSector);
  Put32(&mbr[432], static_cast<uint32_t>(bootSector));
  Put32(&mbr[436], static_cast<uint32_t>(bootSector >> 32));
  Put32(&mbr[440], diskSignature);
  // 446: partition 1 from sector 0 to the end of the last cylinder. The CHS
  // end stops at cylinder 1023, the most CHS can say; the LBA fields count.
  const uint64_t cylinders = paddedBytes / (uint64_t{kHybridHeads} * kHybridSectors * kDiskSector);
  const uint64_t lastCylinder = std::min<uint64_t>(cylinders ? cylinders - 1 : 0, 1023);
  uint8_t* entry = &mbr[446];
  entry[0] = 0x80;  // active
  entry[1] = 0;     // start: head 0, sector 1, cylinder 0
  entry[2] = 1;
  entry[3] = 0;
  entry[4] = efiPartition ? 0 : kHybridPartitionType;
  entry[5] = kHybridHeads - 1;
  entry[6] = static_cast<uint8_t>(kHybridSectors | ((lastCylinder & 0x300) >> 2));
  entry[7] = static_cast<uint8_t>(lastCylinder & 0xFF);
  Put32(&entry[8], 0);
  Put32(&entry[12], static_cast<uint32_t>(std::min<uint64_t>(paddedBytes / kDiskSector, 0xFFFFFFFFu)));
  if (efiPartition) std::copy(efiPartition->begin(), efiPartition->end(), &mbr[446 + 16]);
  mbr[510] = 0x55;
  mbr[511] = 0xAA;
  return mbr;
}

std::optional<MbrEntry> EfiPartitionEntry(const std::vector<uint8_t>& mbr) {
  if (mbr.size() < 512 || mbr[510] != 0x55 || mbr[511] != 0xAA) return std::nullopt;
  for (size_t at = 446; at < 510; at += 16) {
    if (mbr[at + 4] != kEfiPartitionType) continue;
    MbrEntry entry{};
    std::copy_n(mbr.begin() + static_cast<std::ptrdiff_t>(at), entry.size(), entry.begin());
    return entry;
  }
  return std::nullopt;
}

std::string MakeIsoHybrid(const std::string& isoPath, const std::string& mbrPath) {
  std::vector<uint8_t> bootstrap;
  {
    std::ifstream in(mbrPath, std::ios::binary);
    if (!in) return "the MBR boot code " + mbrPath + " is missing (Debian package isolinux)";
    bootstrap.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (bootstrap.size() != kBootstrapSize)
      return "the MBR boot code " + mbrPath + " has " + std::to_string(bootstrap.size()) + " bytes, not 432";
  }

  IsoReader iso(isoPath);
  if (!iso.Open()) return "cannot open " + isoPath;
  const std::string notIso = isoPath + " is not an ISO 9660 image";

  // The volume descriptors: the primary one and the El Torito boot record;
  // the ones that give the volume's size (primary and supplementary).
  std::optional<uint32_t> pvdLba, catalogLba;
  std::vector<uint32_t> sizedDescriptors;
  Extent root;
  std::vector<uint8_t> sector;
  for (uint32_t lba = 16; lba < 16 + 64; ++lba) {
    if (!iso.Sector(lba, sector) || std::string(sector.begin() + 1, sector.begin() + 6) != "CD001") break;
    if (sector[0] == 1 || sector[0] == 2) sizedDescriptors.push_back(lba);
    if (sector[0] == 1 && !pvdLba) {
      pvdLba = lba;
      root = Extent{Le32(&sector[156 + 2]), Le32(&sector[156 + 10])};
    } else if (sector[0] == 0 && std::string(sector.begin() + 7, sector.begin() + 30) == "EL TORITO SPECIFICATION") {
      catalogLba = Le32(&sector[0x47]);
    } else if (sector[0] == 255) {
      break;
    }
  }
  if (!pvdLba) return notIso + " (no primary volume descriptor)";
  if (!catalogLba) return isoPath + " is not bootable: it has no El Torito boot record";
  if (!iso.Sector(*catalogLba, sector) || sector[0] != 1 || sector[30] != 0x55 || sector[31] != 0xAA ||
      sector[32] != 0x88)
    return isoPath + ": the El Torito boot catalog has no bootable entry";
  const uint32_t bootLba = Le32(&sector[32 + 8]);
  std::vector<uint8_t> bootImage;
  if (!iso.Sector(bootLba, bootImage)) return isoPath + ": the El Torito boot image lies outside the file";
  if (!HasHybridSignature(bootImage))
    return isoPath +
           ": the CD's boot image (boot/loader.bin) has no entry for a start from a disk; "
           "it comes from an older CD template";

  // isolinux.bin, through the directories.
  Extent at = root;
  for (const char* name : {"boot", "isolinux", "isolinux.bin"}) {
    std::optional<Extent> next = FindInDirectory(iso, at, name);
    if (!next) return isoPath + ": " + std::string("\\boot\\isolinux\\isolinux.bin") + " not found on the CD";
    at = *next;
  }
  std::vector<uint8_t> isolinux;
  if (at.size < 64 + 4 || !iso.Read(uint64_t{at.lba} * kIsoSector, at.size, isolinux))
    return isoPath + ": \\boot\\isolinux\\isolinux.bin is damaged (" + std::to_string(at.size) + " bytes)";
  if (!HasHybridSignature(isolinux))
    return isoPath + ": \\boot\\isolinux\\isolinux.bin has no entry for a start from a disk";

  std::vector<uint8_t> pvd;
  iso.Sector(*pvdLba, pvd);

  // The stick's view goes right after the volume the mastering tool
  // described, and the volume then takes it in: readers of the image (7-Zip,
  // xorriso) see one volume and nothing after it but zeros. A second run
  // finds the view the first one left (the loader names it) and puts the new
  // one in the same place.
  uint32_t volumeSectors = Le32(&pvd[80]);
  if (volumeSectors < 16 + 2 || uint64_t{volumeSectors} * kIsoSector > iso.Size())
    return notIso + " (its primary volume descriptor gives " + std::to_string(volumeSectors) +
           " sectors for a file of " + std::to_string(iso.Size()) + " bytes)";
  std::optional<StickView> view;
  const std::optional<size_t> viewField = StickViewField(bootImage);
  if (viewField) {
    if (std::optional<uint32_t> earlier = EarlierStickView(iso, Le32(&bootImage[*viewField]), *pvdLba, volumeSectors))
      volumeSectors = *earlier;
    SetVolumeSize(&pvd[80], volumeSectors);  // as mastered: the disk signature is its hash
    std::string why;
    view = BuildStickView(iso, pvd, root, volumeSectors, why);
    if (!why.empty()) return isoPath + ": " + why;
  }
  const uint32_t newVolumeSectors =
      view ? volumeSectors + static_cast<uint32_t>(view->bytes.size() / kIsoSector) : volumeSectors;
  const uint64_t viewEnd = view ? uint64_t{view->lba} * kIsoSector + view->bytes.size() : 0;
  const uint64_t padded = HybridPaddedSize(std::max<uint64_t>(iso.Size(), viewEnd));
  const std::array<uint8_t, 56> table = BootInfoTable(*pvdLba, at.lba, at.size, BootFileChecksum(isolinux));
  // The EFI system partition the mastering tool made for a UEFI boot image
  // (it lies inside the ISO; a second run finds it in our own MBR).
  std::vector<uint8_t> mastered;
  iso.Read(0, kDiskSector, mastered);
  const std::array<uint8_t, 512> mbr = HybridMbr(bootstrap, bootLba, padded, Fnv1a(pvd), EfiPartitionEntry(mastered));

  // The table, the padding, and the MBR last. Written directly, so a write
  // that fails (a full disk) says why.
  RawFile out;
  auto writeFailed = [&out, &isoPath](const std::string& what) {
    return CannotWriteText(what + isoPath, std::error_code(out.Error(), std::generic_category()));
  };
  if (!out.Open(isoPath, RawFile::Access::Write)) return writeFailed("");
  if (!out.WriteAt(reinterpret_cast<const char*>(table.data()), table.size(),
                   static_cast<int64_t>(uint64_t{at.lba} * kIsoSector + 8)))
    return writeFailed("");
  std::error_code ec;
  if (padded != iso.Size()) fs::resize_file(isoPath, padded, ec);
  if (ec) return "cannot extend " + isoPath + " to whole cylinders: " + WriteFailureCause(ec);
  if (viewField) {
    // The view, the volume's new size in every descriptor that gives it, then
    // the loader's pointer to the view (0: the stick sees the CD's tree).
    if (view) {
      SetVolumeSize(&view->bytes[80], newVolumeSectors);
      if (!out.WriteAt(reinterpret_cast<const char*>(view->bytes.data()), view->bytes.size(),
                       static_cast<int64_t>(uint64_t{view->lba} * kIsoSector)))
        return writeFailed("");
    }
    for (uint32_t lba : sizedDescriptors) {
      uint8_t field[8];
      SetVolumeSize(field, newVolumeSectors);
      if (!out.WriteAt(reinterpret_cast<const char*>(field), sizeof field,
                       static_cast<int64_t>(uint64_t{lba} * kIsoSector + 80)))
        return writeFailed("");
    }
    uint8_t field[4];
    Put32(field, view ? view->lba : 0);
    if (!out.WriteAt(reinterpret_cast<const char*>(field), 4,
                     static_cast<int64_t>(uint64_t{bootLba} * kIsoSector + *viewField)))
      return writeFailed("");
  }
  // Everything before the MBR is on the disk before the MBR says the image
  // is whole.
  if (!out.Sync() && out.Error() != EINVAL) return writeFailed("");
  if (!out.WriteAt(reinterpret_cast<const char*>(mbr.data()), mbr.size(), 0) ||
      (!out.Sync() && out.Error() != EINVAL) || !out.Close())
    return writeFailed("the MBR of ");
  return "";
}

bool IsHybridIso(const std::string& isoPath) {
  IsoReader iso(isoPath);
  std::vector<uint8_t> mbr;
  if (!iso.Open() || !iso.Read(0, 512, mbr)) return false;
  const uint8_t type = mbr[446 + 4];
  return mbr[510] == 0x55 && mbr[511] == 0xAA && mbr[446] == 0x80 &&
         (type == kHybridPartitionType || (type == 0 && EfiPartitionEntry(mbr)));
}

}  // namespace kiv
