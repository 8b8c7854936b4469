#include "disktool/catalogue/disk_definition.h"

#include <optional>
#include <string>
#include <vector>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/prompter.h"
#include "disktool/catalogue/data_files.h"
#include "disktool/drivers/cabinet_maker.h"
#include "disktool/floppy/floppy_tree.h"
#include "disktool/workspace/floppy_workspace.h"

namespace kiv {

namespace {

enum class Section { None, Unknown, CopyCABs, CopyFiles, CopyFilesForCABs, CreateCABs };

struct Header {
  const char* line;
  Section section;
  const char* status;
};

constexpr Header kHeaders[] = {
    {"[Copy_CABs]", Section::CopyCABs, "Please Wait ... Copying found RadIvav modules"},
    {"[Copy_Files]", Section::CopyFiles, "Please Wait ... Copying files from sources"},
    {"[Copy_Files_for_CABs]", Section::CopyFilesForCABs, "Please Wait ... Preparing files for CABs creation"},
    {"[Create_CABs]", Section::CreateCABs, "Please Wait ... Creating CAB files"},
};

}  // namespace

DiskDefinition::DiskDefinition(const FloppyWorkspace& workspace, FloppyTree& tree, CabinetMaker& cabinets)
    : workspace_(workspace), tree_(tree), cabinets_(cabinets) {}

// A destination or cabinet folder of a definition must stay below the folder
// it is joined to; anything else could write over the user's files. The text
// is checked first, then where the path really leads: a symbolic link below
// the folder ("files\linkout -> /elsewhere") must not carry a copy out of it.
bool DiskDefinition::RefuseOutside(const std::string& value, const std::string& root, const std::string& file,
                                   int line) {
  if (StaysInside(value)) {
    const std::string rootPath = workspace_.Resolve(root);
    const std::string target =
        Trim(value).empty() ? rootPath : ResolvePathPrefix(JoinPath(rootPath, NativePath(Trim(value))));
    if (!RealPathWithin(rootPath, target).empty()) return false;
  }
  workspace_.prompter().MsgBox(Message{"The path \"" + value + "\" in " + file + ", line " + std::to_string(line) +
                                           ", leaves the " + root + " folder." + "\r\n\r\n" +
                                           "The Kiv Disk Builder Can't Continue !",
                                       "Invalid Disk Definition", Icon::Critical, Buttons::OK, 0, std::nullopt});
  return true;
}

bool DiskDefinition::Init_Lists(const std::string& InitFile, const Status& status) {
  NeedSetupWin = false;
  NeedSetupNT = false;
  // The name comes from the catalogue: a plain file name below files\.
  if (InitFile.find_first_of("\\/") != std::string::npos || !StaysInside(InitFile)) {
    workspace_.prompter().MsgBox(Message{"The disk definition file name \"" + InitFile + "\" is not valid." +
                                             "\r\n\r\n" + "The Kiv Disk Builder Can't Continue !",
                                         "Critical Error", Icon::Critical, Buttons::OK, 0, std::nullopt});
    return false;
  }
  const std::string path = workspace_.Resolve("files\\" + InitFile);
  std::vector<std::string> lines;
  if (!FileExists(path) || !ReadLines(path, lines)) {
    workspace_.prompter().MsgBox(Message{"The disk definition file " + path + " could not be read." + "\r\n\r\n" +
                                             "The Kiv Disk Builder Can't Continue !",
                                         "Critical Error", Icon::Critical, Buttons::OK, 0, std::nullopt});
    return false;
  }

  Section section = Section::None;
  // Outcome of the most recent copy or cabinet step; before the first one the
  // state counts as success.
  bool lastOutcome = true;
  int lineNo = 0;
  for (const std::string& line : lines) {
    ++lineNo;
    if (line.empty() || line[0] == ';') continue;
    bool isHeader = false;
    for (const Header& h : kHeaders) {
      if (line == h.line) {
        section = h.section;
        status(h.status);
        isHeader = true;
        break;
      }
    }
    if (isHeader) continue;
    if (line[0] == '[') {
      section = Section::Unknown;
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string left = Trim(line.substr(0, eq));
    const size_t eq2 = line.find('=', eq + 1);
    const std::string right = Trim(eq2 == std::string::npos ? line.substr(eq + 1) : line.substr(eq + 1, eq2 - eq - 1));

    switch (section) {
      case Section::CopyCABs:
      case Section::CopyFiles:
      case Section::CopyFilesForCABs: {
        const bool toFiles = section == Section::CopyFilesForCABs;
        if (RefuseOutside(right, toFiles ? "files" : "cabs", InitFile, lineNo)) {
          return false;
        }
        std::string dest = (toFiles ? "files\\" : "cabs\\") + right;
        const bool ok = tree_.CopyFilesToFolder(left, dest, {.silent = section == Section::CopyCABs});
        lastOutcome = section == Section::CopyCABs ? true : ok;
        break;
      }
      case Section::CreateCABs: {
        const std::string word = ToLower(left);
        if (word == "setupwin") {
          NeedSetupWin = true;
        } else if (word == "setupnt") {
          NeedSetupNT = true;
        } else {
          if (RefuseOutside(left, "files", InitFile, lineNo) || RefuseOutside(right, "cabs", InitFile, lineNo)) {
            return false;
          }
          std::string name = left;
          std::string source = "files\\" + left;
          std::string cabFolder = "cabs\\" + right;
          lastOutcome = cabinets_.MakeCab(name, source, cabFolder);
        }
        break;
      }
      case Section::None:
      case Section::Unknown:
        break;
    }
    if (!lastOutcome) {
      return false;
    }
  }
  return true;
}

}  // namespace kiv
