#include "cdtool/wizard/page_checks.h"

#include <utility>

#include "cdtool/wizard/cd_folder_check.h"
#include "common/file_ops.h"
#include "common/paths.h"

namespace kiv {

void FillPageDefaults(int step, SessionSettings& s, const PageContext& c) {
  switch (step) {
    case 1:
      if (On(s.Main.Windows2K) && s.Win2K_Info.SourceDir.empty())
        s.Win2K_Info.SourceDir = c.firstCdRom + kSep + "I386";
      break;
    case 3:
      if (On(s.Main.Windows9x) && s.Win9x_Info.SourceDir.empty())
        s.Win9x_Info.SourceDir = c.firstCdRom + kSep + "WIN98";
      break;
    case 4:
      if (On(s.Main.AdvancedTools)) {
        const std::string root = c.firstCdRom + kSep;
        if (s.AdvTools.ERDCmdr_Dir.empty()) s.AdvTools.ERDCmdr_Dir = root;
        if (s.AdvTools.BlueCon_Dir.empty()) s.AdvTools.BlueCon_Dir = root;
      }
      break;
    case 5:
      if (s.Locations.kivUtils_Dir.empty()) s.Locations.kivUtils_Dir = JoinPath(c.programFolder, "kiv_utilities");
      if (s.Locations.AddFiles_Dir.empty()) s.Locations.AddFiles_Dir = JoinPath(c.programFolder, "Additional Files");
      break;
    default:
      break;
  }
}

std::vector<PageProblem> CheckPage(int step, const SessionSettings& s, const BootPassword& password,
                                   const PageContext& c) {
  std::vector<PageProblem> problems;
  auto fail = [&](const std::string& text, Icon icon = Icon::Critical) { problems.push_back({text, icon}); };
  // A folder that holds the CD tree would be copied into itself, and an image
  // inside the work folder would be lost or copied onto the next CD.
  const std::string work = JoinPath(c.programFolder, "kivcd");
  switch (step) {
    case 2:
      if (!On(s.Main.Windows2K)) break;
      if (!FileExists(JoinPath(s.Win2K_Info.SourceDir, "setupldr.bin")))
        fail(
            "The selected folder doesn't contain a Windows 2000/XP installation !\n"
            "Select your Windows setup source Directory");
      if (c.slipstream && !FileExists(s.Win2K_Info.SP_exe))
        fail("The selected Service pack file is not correct !\nSelect your Windows Service pack EXE file");
      break;
    case 4:
      if (On(s.Main.Windows9x) && !FileExists(JoinPath(s.Win9x_Info.SourceDir, "mini.cab")))
        fail(
            "The selected folder doesn't contain a Windows 98/Me installation !\n"
            "Select your Windows setup source Directory");
      break;
    case 5:
      if (!On(s.Main.AdvancedTools)) break;
      if (On(s.AdvTools.Add_ERDCmdr) &&
          !FileExists(JoinPath(s.AdvTools.ERDCmdr_Dir, NativePath("I386\\SYSTEM32\\CONFIG\\SOFTWARE"))))
        fail(
            "ERD Commander 2002/2003 doesn't seem to be located in the selected directory\n"
            "Select ERD Commader 2002/2003 location",
            Icon::Exclamation);
      if (On(s.AdvTools.Add_BlueCon) &&
          !FileExists(JoinPath(s.AdvTools.BlueCon_Dir, NativePath("I386\\SYSTEM32\\OOBC*.*"))))
        fail("O&O Blue Con XXL doesn't seem to be located in the selected directory\nSelect Blue Con XXL location",
             Icon::Exclamation);
      break;
    case 6: {
      const std::string& utils = s.Locations.kivUtils_Dir;
      const std::string& add = s.Locations.AddFiles_Dir;
      if (On(s.Locations.kivUtils) && !FolderExists(utils))
        fail("The kiv Utilities folder doesn't exist !\nSelect a valid Directory");
      else if (On(s.Locations.kivUtils) && IsSameOrInside(work, utils))
        fail("The kiv Utilities folder \"" + utils + "\" holds the CD tree \"" + work +
             "\" and cannot be copied onto the CD !\nSelect another Directory");
      if (On(s.Locations.AddFiles) && !FolderExists(add))
        fail("The Additional files folder doesn't exist !\nSelect a valid Directory");
      else if (On(s.Locations.AddFiles) && IsSameOrInside(work, add))
        fail("The Additional files folder \"" + add + "\" holds the CD tree \"" + work +
             "\" and cannot be copied onto the CD !\nSelect another Directory");
      // What passed so far is copied onto the CD: all of it must fit a CD.
      if (problems.empty()) {
        const std::pair<bool, std::string> copied[] = {{On(s.Locations.kivUtils), utils},
                                                       {On(s.Locations.AddFiles), add}};
        for (const auto& [on, folder] : copied)
          if (on)
            if (auto problem = CdFolderProblem(folder)) fail(*problem);
      }
      break;
    }
    case 7: {
      if (password.Protect && password.Password != password.Confirmation)
        fail("The Passwords don't Match - Reenter them");
      const std::string& iso = s.Main.ISOLocation;
      if (IsSameOrInside(iso, work))
        fail("The ISO file \"" + iso + "\" would be inside the work folder \"" + work +
             "\", which is rebuilt for every CD !\nSelect another destination");
      else if (!CanCreateFile(iso))
        fail("ISO File destination is not correct, check again");
      break;
    }
    default:
      break;
  }
  return problems;
}

std::optional<PagesProblem> CheckAllPages(SessionSettings& settings, const BootPassword& password,
                                          const PageContext& context) {
  for (int page = kFirstCheckedPage; page <= kLastCheckedPage; ++page) {
    FillPageDefaults(page, settings, context);
    const std::vector<PageProblem> problems = CheckPage(page, settings, password, context);
    if (!problems.empty()) return PagesProblem{page, problems.front()};
  }
  return std::nullopt;
}

}  // namespace kiv
