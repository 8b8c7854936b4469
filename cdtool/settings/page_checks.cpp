#include "cdtool/settings/page_checks.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include "cdtool/bootmenu/password_hash.h"
#include "cdtool/build/iso_step.h"
#include "cdtool/build/program_folder_files.h"
#include "cdtool/rescue/rescue_recipe.h"
#include "cdtool/settings/cd_folder_check.h"
#include "cdtool/settings/cd_own_files.h"
#include "cdtool/settings/win10_checks.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/product_key.h"

namespace kiv {

namespace {

// The program's data and work folders in the program folder.
const char* const kProgramFolders[] = {"files", "drivers", "plugins",     "dos",        "help",      "Temp",
                                       "cabs",  "advtemp", kRescueFolder, "rescue.new", "rescue.old"};

// The program's own files, in the program folder itself: the programs, the
// tools they run and the settings (what a build writes there besides is
// BuildWrittenFiles()).
const char* const kProgramFiles[] = {"discsmith", "bootsmith", "kivmax.exe", "bfi",     "cabarc",
                                     "extract",   "expand",    "dfl",        "mkisofs", "kivcd.ini"};

// The folders a build empties or replaces as it goes: the CD tree, the
// tools' scratch folders and the rescue system's. A source inside one of them
// would be gone by the time it is copied.
const char* const kWorkFolders[] = {"kivcd", "advtemp", "Temp", kRescueFolder, "rescue.new", "rescue.old"};

// The work folder of the program folder that holds `source`, or "".
std::string WorkFolderHolding(const std::string& source, const PageContext& c) {
  if (Trim(source).empty()) return "";
  for (const char* name : kWorkFolders) {
    std::string work = JoinPath(c.programFolder, name);
    if (IsSameOrInside(source, work)) return work;
  }
  return "";
}

// The folders the build copies onto the CD, as the settings choose them.
std::vector<std::string> CopiedFolders(const SessionSettings& s) {
  std::vector<std::string> folders;
  if (On(s.Main.Windows2K)) folders.push_back(s.Win2K_Info.SourceDir);
  if (On(s.Main.Windows9x)) folders.push_back(s.Win9x_Info.SourceDir);
  if (On(s.Main.Windows10)) folders.push_back(s.Win10_Info.SourceDir);
  if (On(s.Main.AdvancedTools)) {
    if (On(s.AdvTools.Add_ERDCmdr)) folders.push_back(s.AdvTools.ERDCmdr_Dir);
    if (On(s.AdvTools.Add_BlueCon)) folders.push_back(s.AdvTools.BlueCon_Dir);
  }
  if (On(s.Locations.kivUtils)) folders.push_back(s.Locations.kivUtils_Dir);
  if (On(s.Locations.AddFiles)) folders.push_back(s.Locations.AddFiles_Dir);
  return folders;
}

// What an ISO at `iso` would overwrite that the builder needs or reads: its
// programs and data in the program folder, or a folder the build copies from.
// "" when nothing.
std::string GuardedPlace(const std::string& iso, const SessionSettings& s, const PageContext& c) {
  namespace fs = std::filesystem;
  fs::path programFolder = fs::path(c.programFolder).lexically_normal();
  if (!programFolder.has_filename()) programFolder = programFolder.parent_path();
  for (const char* data : kProgramFolders) {
    const std::string folder = JoinPath(c.programFolder, data);
    if (IsSameOrInside(iso, folder)) return "the program's own folder \"" + folder + "\"";
  }
  const fs::path path(iso);
  if (EqualsNoCase(path.parent_path().lexically_normal().string(), programFolder.string())) {
    for (const char* name : kProgramFiles)
      if (EqualsNoCase(path.filename().string(), name)) return "the program's own file \"" + iso + "\"";
    for (const std::string& name : BuildWrittenFiles())
      if (EqualsNoCase(path.filename().string(), name))
        return "\"" + iso + "\", a file every build writes in the program folder";
  }
  std::vector<std::string> read = CopiedFolders(s);
  if (On(s.Main.Windows2K)) read.push_back(s.Win2K_Info.SP_exe);
  for (const std::string& place : read)
    if (!place.empty() && IsSameOrInside(iso, place)) return "\"" + place + "\", which the build copies from";
  return "";
}

// Why no ISO can be written at `iso` ("" when it can): it is mastered under
// a temporary name in the same folder, so that folder must take a new file.
std::string IsoDestinationProblem(const std::string& iso) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (iso.empty() || iso.back() == '/') return "no file name";
  if (fs::exists(iso, ec) && !fs::is_regular_file(iso, ec)) return "it is not a file";
  const fs::path folder = fs::path(iso).parent_path();
  if (!folder.empty() && !MakePath(folder.string())) return "the folder \"" + folder.string() + "\" cannot be made";
  const std::string probe = PartialIsoPath(iso);
  if (std::string why = CreateNewFile(probe); !why.empty()) return why;
  fs::remove(probe, ec);
  return "";
}

}  // namespace

int64_t EstimatedCdBytes(const SessionSettings& s, const std::string& programFolder) {
  std::vector<std::string> copied = CopiedFolders(s);
  copied.push_back(JoinPath(programFolder, NativePath("files\\kivcd")));
  int64_t total = 0;
  for (const std::string& folder : copied)
    if (!folder.empty())
      // A Windows 10/11 ISO image goes onto the CD with what it holds.
      total += FileExists(ResolvePath(folder)) ? FileSize(ResolvePath(folder)) : FolderBytes(ResolvePath(folder));
  return total;
}

bool LooksLikeIsoImage(const std::string& path) {
  // An ISO 9660 volume descriptor at sector 16: "CD001" after its type byte.
  std::ifstream in(path, std::ios::binary);
  char id[5] = {};
  in.seekg(16 * 2048 + 1);
  return in.read(id, 5) && std::string(id, 5) == "CD001";
}

void FillPageDefaults(int step, SessionSettings& s, const PageContext& c) {
  // The setup folders are looked for on the first CD-ROM drive; with none
  // mounted the boxes stay empty, and the page's check says what to choose
  // (a bare "/I386" would only point at a folder that is not there).
  if (c.firstCdRom.empty() && step >= 1 && step <= 4) return;
  switch (step) {
    case 1:
      if (On(s.Main.Windows2K) && s.Win2K_Info.SourceDir.empty()) s.Win2K_Info.SourceDir = c.firstCdRom + kSep + "I386";
      break;
    case 3:
      if (On(s.Main.Windows9x) && s.Win9x_Info.SourceDir.empty())
        s.Win9x_Info.SourceDir = c.firstCdRom + kSep + "WIN98";
      break;
    case 4:
      // The Windows 10/11 page comes next: a mounted setup DVD is its medium.
      if (On(s.Main.Windows10) && s.Win10_Info.SourceDir.empty()) s.Win10_Info.SourceDir = c.firstCdRom;
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
  // A source folder inside a work folder is emptied before it is copied.
  auto inWorkFolder = [&](const std::string& what, const std::string& source) {
    const std::string holder = WorkFolderHolding(source, c);
    if (holder.empty()) return false;
    fail("The " + what + " \"" + source + "\" is inside the work folder \"" + holder +
         "\", which every build empties or replaces !\nSelect another Directory");
    return true;
  };
  // The key of the page's information dialog, as its OK checks it.
  auto productKey = [&](const KeyParts& key) {
    if (std::string why = ProductKeyMessage(key, "The Product Key of \"Set Windows Installation Info...\"");
        !why.empty())
      fail(why);
  };
  switch (step) {
    case 1:
      // A list the rescue system cannot be built from is named now, not
      // after the boot disks were made.
      if (On(s.Main.LinuxRescue)) {
        const PackageList list = ReadPackageList(JoinPath(c.programFolder, kRescuePackageList));
        if (!list.error.empty())
          fail("The Linux rescue system cannot be built from its package list:\n" + list.error +
               "\nCorrect the list, or untick \"Linux rescue system (Debian)\"");
      }
      break;
    case 2:
      if (!On(s.Main.Windows2K)) break;
      if (Trim(s.Win2K_Info.SourceDir).empty())
        fail(
            "No folder is chosen for the Windows 2000/XP setup files.\n"
            "Choose the I386 folder of a Windows 2000/XP setup CD (Browse), or untick \"Microsoft Windows "
            "2000/XP/2003 Setup Files\" on the Contents page");
      else if (inWorkFolder("Windows 2000/XP setup folder", s.Win2K_Info.SourceDir)) break;
      else if (!FileExists(JoinPath(s.Win2K_Info.SourceDir, "setupldr.bin")))
        fail(
            "The selected folder doesn't contain a Windows 2000/XP installation !\n"
            "Select your Windows setup source Directory");
      if (c.slipstream && !FileExists(s.Win2K_Info.SP_exe))
        fail("The selected Service pack file is not correct !\nSelect your Windows Service pack EXE file");
      break;
    case 3:
      if (On(s.Main.Windows2K)) productKey(s.Win2K_Info.ProductKey);
      break;
    case 4:
      if (On(s.Main.Windows9x)) productKey(s.Win9x_Info.ProductKey);
      if (On(s.Main.Windows9x) && Trim(s.Win9x_Info.SourceDir).empty())
        fail(
            "No folder is chosen for the Windows 98/Me setup files.\n"
            "Choose the folder of a Windows 98/Me setup CD that holds its cabinets (WIN98, with MINI.CAB) "
            "(Browse), or untick \"Microsoft Windows 98/98SE/Me Setup Files\" on the Contents page");
      else if (On(s.Main.Windows9x) && inWorkFolder("Windows 98/Me setup folder", s.Win9x_Info.SourceDir)) break;
      else if (On(s.Main.Windows9x) && !FileExists(JoinPath(s.Win9x_Info.SourceDir, "mini.cab")))
        fail(
            "The selected folder doesn't contain a Windows 98/Me installation !\n"
            "Select your Windows setup source Directory");
      break;
    case kWin10Page:
      if (On(s.Main.Windows10) && !inWorkFolder("Windows 10/11 setup source", s.Win10_Info.SourceDir)) {
        const std::vector<PageProblem> win10 = CheckWin10Page(s, c);
        problems.insert(problems.end(), win10.begin(), win10.end());
      }
      break;
    case 5:
      if (!On(s.Main.AdvancedTools)) break;
      if ((On(s.AdvTools.Add_ERDCmdr) && inWorkFolder("ERD Commander folder", s.AdvTools.ERDCmdr_Dir)) ||
          (On(s.AdvTools.Add_BlueCon) && inWorkFolder("Blue Con XXL folder", s.AdvTools.BlueCon_Dir)))
        break;
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
      // Each chosen folder must exist and must not hold the CD tree.
      auto checkFolder = [&](bool chosen, const std::string& name, const std::string& folder) {
        if (!chosen) return;
        if (!FolderExists(folder)) fail("The " + name + " doesn't exist !\nSelect a valid Directory");
        else if (IsSameOrInside(work, folder))
          fail("The " + name + " \"" + folder + "\" holds the CD tree \"" + work +
               "\" and cannot be copied onto the CD !\nSelect another Directory");
        else inWorkFolder(name, folder);
      };
      const std::string& utils = s.Locations.kivUtils_Dir;
      const std::string& add = s.Locations.AddFiles_Dir;
      checkFolder(On(s.Locations.kivUtils), "kiv Utilities folder", utils);
      checkFolder(On(s.Locations.AddFiles), "Additional files folder", add);
      // What passed so far is copied onto the CD: all of it must fit a CD,
      // and none of it may take the place of the CD's own files.
      if (problems.empty()) {
        const std::pair<bool, std::string> copied[] = {{On(s.Locations.kivUtils), utils},
                                                       {On(s.Locations.AddFiles), add}};
        for (const auto& [on, folder] : copied)
          if (on)
            if (auto problem = CdFolderProblem(folder)) fail(*problem);
      }
      if (problems.empty()) {
        CdOwnPaths own = CdOwnFiles(c.programFolder, On(s.Main.LinuxRescue));
        if (On(s.Locations.kivUtils))
          if (auto clash = CdOwnFileClash(utils, "kiv/", "kiv Utilities", own)) fail(*clash);
        if (problems.empty() && On(s.Locations.AddFiles))
          if (auto clash = CdOwnFileClash(add, "", "Additional files", own)) fail(*clash);
      }
      break;
    }
    case 7: {
      if (password.Protect && password.Password != password.Confirmation)
        fail("The Passwords don't Match - Reenter them");
      else if (auto problem = password.Protect ? PasswordProblem(password.Password) : std::nullopt) fail(*problem);
      const std::string& iso = s.Main.ISOLocation;
      const std::string guarded = GuardedPlace(iso, s, c);
      if (IsSameOrInside(iso, work))
        fail("The ISO file \"" + iso + "\" would be inside the work folder \"" + work +
             "\", which is rebuilt for every CD !\nSelect another destination");
      else if (!guarded.empty())
        fail("The ISO file \"" + iso + "\" would overwrite " + guarded + " !\nSelect another destination");
      else if (const std::string why = IsoDestinationProblem(iso); !why.empty())
        fail("ISO File destination is not correct, check again\n(" + why + ")");
      break;
    }
    default:
      break;
  }
  return problems;
}

PageProblem PageMessage(const std::vector<PageProblem>& problems) {
  if (problems.size() == 1) return problems.front();
  PageProblem message{"This page has " + std::to_string(problems.size()) + " problems:", Icon::Exclamation};
  for (size_t i = 0; i < problems.size(); ++i) {
    message.text += "\n\n" + std::to_string(i + 1) + ". " + problems[i].text;
    if (problems[i].icon == Icon::Critical) message.icon = Icon::Critical;
  }
  return message;
}

std::optional<PagesProblem> CheckAllPages(SessionSettings& settings, const BootPassword& password,
                                          const PageContext& context) {
  for (int page : kCheckedPages) {
    FillPageDefaults(page, settings, context);
    const std::vector<PageProblem> problems = CheckPage(page, settings, password, context);
    if (!problems.empty()) return PagesProblem{page, PageMessage(problems)};
  }
  return std::nullopt;
}

}  // namespace kiv
