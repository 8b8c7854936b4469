#include "cdtool/build/adv_tools.h"

#include <filesystem>
#include <stdexcept>

#include "cdtool/bootmenu/boot_menu_edits.h"
#include "cdtool/build/build_run.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/progress_copy.h"
#include "common/prompter.h"

namespace kiv {
namespace fs = std::filesystem;

bool MoveFolderContents(const std::string& fromFolder, const std::string& toFolder, std::string* error) {
  std::error_code ec;
  auto fail = [&](const std::string& text) {
    if (error) *error = text;
    return false;
  };
  fs::create_directories(toFolder, ec);
  for (const fs::directory_entry& entry : fs::directory_iterator(fromFolder, ec)) {
    // An entry of the same name in another letter case is the same entry on
    // the CD: merged into or replaced, never added beside it.
    const fs::path target = fs::path(toFolder) / ExistingNameIn(toFolder, entry.path().filename().string());
    const bool srcDir = entry.is_directory(ec) && !entry.is_symlink(ec);
    const bool dstDir = fs::is_directory(fs::symlink_status(target, ec));
    if (srcDir && dstDir) {
      if (!MoveFolderContents(entry.path().string(), target.string(), error)) return false;
      fs::remove(entry.path(), ec);
      continue;
    }
    if (fs::exists(fs::symlink_status(target, ec))) {
      fs::remove_all(target, ec);
      if (ec) return fail(target.string() + ": " + ec.message());
    }
    fs::rename(entry.path(), target, ec);
    if (ec) return fail(entry.path().string() + ": " + ec.message());
  }
  if (ec) return fail(fromFolder + ": " + ec.message());
  return true;
}

namespace {

struct ToolRow {
  const char* caption;
  const char* sector;  // boot sector file name
  const char* folder;  // folder name on the CD, upper case
  const char* lower;   // the same, lower case, for the loader and .sif patches
  bool patchUpperInLoader;
};

void AddOneTool(BuildRun& run, const ToolRow& tool, const std::string& sourceRoot) {
  Prompter& prompter = run.prompter();
  run.SetSubStep(tool.caption);

  std::string error;
  const std::string sectorFrom = ResolvePath(run.InProgram(std::string("files\\bootsect\\") + tool.sector));
  const std::string sectorTo = run.InProgram(std::string("kivcd\\boot\\images\\") + tool.sector);
  if (!CopyOneFile(sectorFrom, sectorTo, &error)) throw std::runtime_error(sectorFrom + ": " + error);

  const std::string temp = run.InProgram("advtemp");
  run.CopyTree(ResolvePath(sourceRoot), temp);

  const std::string loader = ResolvePath(JoinPath(temp, "I386/SETUPLDR.BIN"));
  PatchBinaryFile(loader, "i386", tool.lower, prompter);
  if (tool.patchUpperInLoader) PatchBinaryFile(loader, "I386", tool.lower, prompter);
  PatchBinaryFile(ResolvePath(JoinPath(temp, "I386/TXTSETUP.SIF")), "i386", tool.lower, prompter);
  PatchBinaryFile(sectorTo, "I386", tool.folder, prompter);

  // The rename's result is not examined: a tool CD without I386 just has
  // nothing to rename.
  const std::string i386 = ResolvePath(JoinPath(temp, "I386"));
  if (FolderExists(i386)) {
    std::error_code ec;
    fs::rename(i386, JoinPath(temp, tool.folder), ec);
  }
}

}  // namespace

void AddAdvTools(BuildRun& run, bool GetErdC, bool GetBCon, const std::string& ErdCLoc, const std::string& BConLoc) {
  static const ToolRow kErdc{"Adding ERD Commander 2002/2003 Files", "erdc.bin", "ERDC", "erdc", true};
  static const ToolRow kBcon{"Adding O&O BlueCon XXL Files", "oobc.bin", "OOBC", "oobc", false};
  try {
    if (!GetErdC && !GetBCon) return;
    const std::string temp = run.InProgram("advtemp");
    // A work folder left by an earlier failed run must not leak onto this CD.
    if (!DeleteTree(temp)) throw std::runtime_error("cannot delete " + temp);
    if (GetErdC) AddOneTool(run, kErdc, ErdCLoc);
    if (GetBCon) AddOneTool(run, kBcon, BConLoc);
    std::string error;
    if (FolderExists(temp)) MoveFolderContents(temp, run.InProgram("kivcd"), &error);
    DeleteTree(temp);
  } catch (const std::exception& e) {
    run.FatalStepError("A fatal Error occured while integrating the Windows 2000/XP installation, operation halted",
                       e.what());
  }
}

void AddKiv_Files(BuildRun& run, bool AddUtils, bool AddAddFiles, const std::string& Utils_Loc,
                  const std::string& AddFiles_Loc) {
  try {
    if (AddUtils) {
      run.SetSubStep("Copying Kiv Utilities");
      const std::string kiv = run.InProgram("kivcd\\kiv");
      if (!FolderExists(kiv) && !MakePath(kiv)) throw std::runtime_error("cannot create " + kiv);
      run.MapTree(ResolvePath(Utils_Loc), "kiv");
    }
    if (AddAddFiles) {
      run.SetSubStep("Copying Additional Files");
      run.MapTree(ResolvePath(AddFiles_Loc), "");
    }
  } catch (const std::exception& e) {
    run.FatalStepError("A fatal Error occured while integrating the Kiv Utilities, operation halted", e.what());
  }
}

}  // namespace kiv
