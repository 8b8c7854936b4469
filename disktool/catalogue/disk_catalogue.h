#pragma once
// The disk catalogue files\disklist.ini of a program folder: the rows of the
// disk list, and what one entry says about its disk (default image file,
// driver classes). Every read goes to the file as it is then.
#include <string>
#include <vector>

namespace kiv {

// One row of the disk list: the catalogue entry's description and name.
struct DiskRow {
  std::string Text;   // "Desc" column
  std::string Name;   // "bootsmith_file" column (SubItems(1))
  int SmallIcon = 1;  // image number of the "Icon" key (greater than 8 -> 1)
  bool Selected = false;
};

// What the entry "[n]" sets up; flags are leading numbers, 0 when absent.
struct DiskEntry {
  std::string File;  // "file": the default image, as written
  long Aspi = 0;     // uses SCSI (ASPI) drivers
  long Ndis = 0;     // uses NDIS network drivers
  long Netw = 0;     // uses ODI network drivers (wins over NDIS)
};

class DiskCatalogue {
 public:
  explicit DiskCatalogue(std::string programFolder);

  // The catalogue's path, found in any letter case.
  std::string Path() const;
  // The custom row first, then a row per entry [1]..[Count]; the list ends
  // with the last entry the file holds, whatever Count says.
  std::vector<DiskRow> Rows() const;
  // The entry of section `section` ("0" is the custom entry).
  DiskEntry Entry(int section) const;

 private:
  std::string programFolder_;
};

}  // namespace kiv
