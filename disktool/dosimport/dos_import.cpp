// Filling <program folder>/dos with the 25 DOS system files.
#include "disktool/dosimport/dos_import.h"

#include <cstdio>
#include <filesystem>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/process_runner.h"
#include "common/prompter.h"
#include "disktool/dosimport/freedos_import.h"
#include "disktool/dosimport/freedos_source.h"
#include "disktool/workspace/wait_window.h"

namespace kiv {

namespace {

constexpr const char* kSetupTitle = "Specify the Windows Setup files or FreeDOS Location";

std::string CdFileRole(const std::string& name) {
  for (const DosCdFile& file : kDosCdFiles)
    if (name == file.name) return file.role;
  return "";
}

bool LiesInSetupFolder(const std::string& upperName) {
  return upperName == "SCANDISK.EXE" || upperName == "FORMAT.COM" || upperName == "SMARTDRV.EXE";
}

// An existing file of `folder` by case-insensitive name ("" when none).
std::string FindIn(const std::string& folder, const std::string& name) {
  const std::string path = ResolvePath(JoinPath(folder, name));
  return FileExists(path) && !FolderExists(path) ? path : std::string();
}

std::string Tool(const std::string& programFolder, const std::string& name) {
#ifdef _WIN32
  return JoinPath(programFolder, name + ".exe");
#else
  return JoinPath(programFolder, name);
#endif
}

// What keeps a required DOS file from the floppies: "" when nothing does. An
// IO.SYS must be a kernel the floppy's boot sector starts: MS-DOS 7's ("MZ",
// and "BJ" at 200h), a FreeDOS kernel, or the stand-in that says what it is.
std::string Unusable(const std::string& dos, const std::string& name) {
  const std::string path = JoinPath(dos, name);
  if (!FileExists(path) || FolderExists(path)) return "missing";
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return "unreadable";
  if (bytes.empty()) return "empty";
  if (name != "IO.SYS") return "";
  const bool msDos7 = bytes.size() >= 0x202 && bytes.compare(0, 2, "MZ") == 0 && bytes.compare(0x200, 2, "BJ") == 0;
  if (msDos7 || LooksLikeFreeDosKernel(bytes) || bytes.substr(0, 512).find(kDosStandInMarker) != std::string::npos)
    return "";
  return "no DOS kernel, " + std::to_string(bytes.size()) + " bytes";
}

}  // namespace

bool DosHasCabinetExtractor(const std::string& programFolder) {
  const std::string extract = FindIn(ResolvePath(JoinPath(programFolder, "dos")), "EXTRACT.EXE");
  std::string bytes;
  if (extract.empty() || !ReadWholeFile(extract, bytes)) return false;
  return bytes.substr(0, 512).find(kDosStandInMarker) == std::string::npos;
}

DosImport::DosImport(std::string programFolder, std::string windowsDir, std::string systemDir, Prompter& prompter,
                     WaitWindow& wait, ProcessLauncher& launcher)
    : programFolder_(std::move(programFolder)),
      windowsDir_(std::move(windowsDir)),
      systemDir_(std::move(systemDir)),
      prompter_(prompter),
      wait_(wait),
      launcher_(launcher) {}

std::string DosImport::DosFolder() const { return ResolvePathPrefix(JoinPath(programFolder_, "dos")); }

void DosImport::NormaliseNames() {
  const std::string dos = DosFolder();
  if (!FolderExists(dos)) return;
  for (const char* name : kDosFiles) {
    const std::string exact = JoinPath(dos, name);
    std::error_code ec;
    if (std::filesystem::exists(exact, ec)) continue;  // spelled exactly so
    const std::string found = FindIn(dos, name);
    if (!found.empty()) std::rename(found.c_str(), exact.c_str());
  }
}

bool DosImport::CheckImport(bool reportMissing) {
  NormaliseNames();
  const std::string dos = DosFolder();
  for (const char* name : kDosFiles) {
    if (Unusable(dos, name).empty()) continue;
    if (reportMissing) {
      const auto said = toolSaid_.find(name);
      const std::string detail = said == toolSaid_.end() || said->second.empty() ? "" : "\r\n\r\n" + said->second;
      prompter_.MsgBox(Message{std::string("The file ") + name + " couldn't be extracted successfully" + detail,
                               "Critical Error", Icon::Critical, Buttons::OK, kDosHelpTopic, std::nullopt});
    }
    return false;
  }
  return true;
}

void DosImport::RunHidden(const std::string& name, const std::vector<std::string>& argv, const RunOptions& options) {
  const RunResult run = launcher_.RunAndCapture(argv, options);
  toolSaid_[name] = RunOutputForMessage(run);
}

bool DosImport::ExpandAvailable() const {
  for (const std::string& folder : {systemDir_, windowsDir_}) {
    if (!folder.empty() && !FindIn(folder, "expand.exe").empty()) return true;
  }
  return false;
}

std::string DosImport::MissingLine() const {
  const std::string dos = DosFolder();
  if (!FolderExists(dos)) return "Not found: " + dos + " (the folder of the DOS system files)";
  std::string list;
  for (const char* name : kDosFiles) {
    const std::string why = Unusable(dos, name);
    if (!why.empty()) list += (list.empty() ? "" : ", ") + std::string(name) + " (" + why + ")";
  }
  return list.empty() ? "" : "Not usable in " + dos + ": " + list;
}

bool DosImport::ImportDOS() {
  missing_.clear();
  if (CheckImport(false)) {
    OfferCdFiles();
    return true;
  }
  missing_ = MissingLine();
  // A run that ends without the files leaves no empty folder of its own.
  const bool hadFolder = FolderExists(DosFolder());
  MakePath(DosFolder());
  const bool done = ImportMissing();
  std::error_code ec;
  if (!done && !hadFolder && std::filesystem::is_empty(DosFolder(), ec)) std::filesystem::remove(DosFolder(), ec);
  return done;
}

bool DosImport::ImportMissing() {
  if (!windowsDir_.empty() && FolderExists(ResolvePath(JoinPath(windowsDir_, "Command"))))
    return Import(Method::Folder, windowsDir_);

  const Answer a = prompter_.MsgBox(
      Message{"Your current windows installation doesn't contain the required\r\n"
              "DOS files needed for the Kiv Disk Builder to funtion properly.\r\n"
              "Press OK to import the needed files from the Windows 98/98SE Setup CD,\r\n"
              "or from FreeDOS 1.3/1.4 (an installed FreeDOS, a distribution folder\r\n"
              "with its packages, or a FreeDOS floppy or USB image).\r\n\r\n" +
                  missing_,
              "DOS Files no found", Icon::Exclamation, Buttons::OKCancel, kDosHelpTopic, Answer::Cancel});
  if (a != Answer::OK) return false;

  for (;;) {
    const std::string chosen = prompter_.OpenFileDialog(
        kSetupTitle,
        {FileFilter{
            "Windows 98 setup folder (WIN.COM or BASE5.CAB in it) or FreeDOS (KERNEL.SYS, COMMAND.COM, disk image)",
            "WIN.COM; BASE5.CAB; KERNEL.SYS; KERNL386.SYS; COMMAND.COM; *.img; *.IMG; *.ima; *.IMA"}},
        "BASE5.CAB");
    if (chosen.empty()) {
      // Without the files nothing can be built; asking again would trap the
      // user in the dialog.
      prompter_.MsgBox(
          Message{"The Kiv Disk Builder cannot work without the DOS system files.\r\n"
                  "No Windows 98/98SE Setup files or FreeDOS location was chosen; the program ends now.",
                  "DOS Files no found", Icon::Critical, Buttons::OK, kDosHelpTopic, std::nullopt});
      return false;
    }
    const std::string folder = FolderExists(chosen) ? chosen : FolderOf(chosen);
    if (!FindIn(folder, "win.com").empty()) return Import(Method::Folder, folder);
    if (!FindIn(folder, "BASE5.CAB").empty())
      return Import(ExpandAvailable() ? Method::Expand : Method::Extract, folder);
    // A FreeDOS: the image file itself, or the folder.
    std::string freedos;
    if (!FolderExists(chosen) && FatImageOffset(chosen)) {
      freedos = chosen;
    } else if (IsFreeDosFolder(folder)) {
      freedos = folder;
    } else {
      prompter_.MsgBox(Message{chosen + " is neither a Windows 98/98SE setup folder (WIN.COM or BASE5.CAB) nor a "
                                        "FreeDOS (a kernel and COMMAND.COM, FreeDOS packages, or a FAT disk image).",
                               kSetupTitle, Icon::Exclamation, Buttons::OK, kDosHelpTopic, std::nullopt});
      continue;
    }
    const std::optional<bool> done = ImportFromFreeDos(freedos);
    if (done) return *done;
  }
}

std::optional<bool> DosImport::ImportFromFreeDos(const std::string& source) {
  wait_.Show();
  wait_.SetStatus("Please wait ... Importing the DOS files from FreeDOS");
  wait_.Pump();
  const FreeDosImportResult result =
      ImportFreeDos(source, DosFolder(), JoinPath(JoinPath(programFolder_, "files"), kNotInDosStandIn),
                    JoinPath(programFolder_, "freedos_import.tmp"), launcher_);
  wait_.Hide();
  if (!result.ok) {
    // The user may choose another source.
    prompter_.MsgBox(
        Message{result.error, "FreeDOS Import Failed", Icon::Critical, Buttons::OK, kDosHelpTopic, std::nullopt});
    return std::nullopt;
  }
  std::string text = result.Report();
  if (!result.missingCd.empty()) {
    text += "\r\nNot in this FreeDOS, so the boot floppies start without them and say so on the screen:\r\n";
    for (const std::string& name : result.missingCd) text += "    " + name + ", " + CdFileRole(name) + "\r\n";
  }
  prompter_.MsgBox(Message{"The boot floppies get FreeDOS from " + source + ".\r\n\r\n" + text, "FreeDOS Imported",
                           Icon::Information, Buttons::OK, kDosHelpTopic, std::nullopt});
  return CheckImport(true);
}

bool DosImport::Import(Method method, const std::string& folder) {
  // The files come from Windows now, whatever an earlier import recorded.
  std::remove(JoinPath(DosFolder(), kFreeDosManifest).c_str());
  std::remove(JoinPath(DosFolder(), kDosNoCdRecord).c_str());
  switch (method) {
    case Method::Folder:
      ImportFromFolder(folder);
      break;
    case Method::Expand:
      ImportWithExpand(folder);
      break;
    case Method::Extract:
      ImportWithExtract(folder);
      break;
  }
  ImportCdFiles(folder, method);
  if (!CheckImport(true)) return false;
  ReportMissingCdFiles();
  return true;
}

std::string DosImport::MissingCdFileLines() const {
  std::string list;
  for (const DosCdFile& file : kDosCdFiles)
    if (FindIn(DosFolder(), file.name).empty()) list += std::string("    ") + file.name + ", " + file.role + "\r\n";
  return list;
}

void DosImport::ReportMissingCdFiles() {
  const std::string list = MissingCdFileLines();
  if (list.empty()) return;
  prompter_.MsgBox(Message{"These files for CD-ROM access were not found in the Windows setup files:\r\n" + list +
                               "\r\nThe boot floppies are made without them: they start without CD-ROM access "
                               "and say so on the screen.",
                           "CD-ROM Files Not Found", Icon::Exclamation, Buttons::OK, kDosHelpTopic, std::nullopt});
}

void DosImport::RecordNoCdFiles(const std::string& why) {
  const std::string list = MissingCdFileLines();
  if (list.empty()) return;
  WriteFileAtomic(JoinPath(DosFolder(), kDosNoCdRecord),
                  "The boot floppies start without CD-ROM access: " + why + "\r\nMissing here:\r\n" + list +
                      "Delete this file to be asked for a Windows 98/98SE setup CD again.\r\n");
}

void DosImport::OfferCdFiles() {
  const std::string dos = DosFolder();
  // A FreeDOS import already said what its source lacked; an answer given
  // before stands; without anyone to ask, the floppies say it on the screen.
  if (FileExists(JoinPath(dos, kFreeDosManifest)) || FileExists(JoinPath(dos, kDosNoCdRecord))) return;
  // The shipped stand-ins start no DOS: CD-ROM files would change nothing.
  std::string ioSys;
  if (ReadWholeFile(JoinPath(dos, "IO.SYS"), ioSys) &&
      ioSys.substr(0, 512).find(kDosStandInMarker) != std::string::npos)
    return;
  const std::string list = MissingCdFileLines();
  if (list.empty() || !prompter_.CanAsk()) return;
  const Answer a = prompter_.MsgBox(
      Message{"The DOS files in " + dos + " lack the files for CD-ROM access:\r\n" + list +
                  "\r\nPress OK to add them from the Windows 98/98SE Setup CD, or Cancel to make the boot "
                  "floppies without CD-ROM access (you will not be asked again).",
              "CD-ROM Files Not Found", Icon::Exclamation, Buttons::OKCancel, kDosHelpTopic, Answer::Cancel});
  if (a != Answer::OK) {
    RecordNoCdFiles("the user chose to go on without them");
    return;
  }
  for (;;) {
    const std::string chosen = prompter_.OpenFileDialog(
        kSetupTitle, {FileFilter{"Windows 98 setup (WIN.COM, BASE5.CAB, EBD.CAB)", "WIN.COM; BASE5.CAB; EBD.CAB"}},
        "BASE5.CAB");
    if (chosen.empty()) {
      RecordNoCdFiles("no Windows 98/98SE setup files were chosen");
      return;
    }
    const std::string folder = FolderExists(chosen) ? chosen : FolderOf(chosen);
    std::optional<Method> method;
    if (!FindIn(folder, "win.com").empty()) method = Method::Folder;
    else if (!FindIn(folder, "BASE5.CAB").empty() || !FindIn(folder, "EBD.CAB").empty())
      method = ExpandAvailable() ? Method::Expand : Method::Extract;
    if (!method) {
      prompter_.MsgBox(Message{chosen + " is not a Windows 98/98SE setup folder (WIN.COM, BASE5.CAB or EBD.CAB).",
                               kSetupTitle, Icon::Exclamation, Buttons::OK, kDosHelpTopic, std::nullopt});
      continue;
    }
    ImportCdFiles(folder, *method);
    ReportMissingCdFiles();
    RecordNoCdFiles("the setup files in " + folder + " lack them");
    return;
  }
}

void DosImport::ImportCdFiles(const std::string& folderIn, Method method) {
  const std::string folder = AddSlash(folderIn);
  const std::string dos = DosFolder();
  const std::string root = std::filesystem::path(folder).root_path().string();
  RunOptions options;
  options.workingDir = method == Method::Expand ? folder : programFolder_;
  options.pump = [this] { wait_.Pump(); };
  wait_.Show();
  for (const DosCdFile& file : kDosCdFiles) {
    const std::string name = file.name;
    wait_.SetStatus("Please wait ... Importing " + name + " (" + file.role + ")");
    wait_.Pump();
    // A loose copy wins: an installed Windows keeps these in COMMAND and
    // COMMAND\EBD, a setup folder may hold them uncompressed.
    std::string source;
    for (const std::string& place : {root, folder, JoinPath(folder, "command"), JoinPath(folder, "command/ebd")}) {
      const std::string found = FindIn(ResolvePath(place), name);
      if (!found.empty()) source = found;
    }
    if (!source.empty()) {
      CopyOneFile(source, JoinPath(dos, name));
      continue;
    }
    // What the cabinets give replaces a copy left by an earlier import.
    const std::string earlier = FindIn(dos, name);
    if (method != Method::Folder && !earlier.empty()) std::remove(earlier.c_str());
    if (method == Method::Expand) {
      RunHidden(name, ExpandArgv(name), options);
    } else if (method == Method::Extract) {
      // Not one set: the setup cabinets and EBD.CAB are searched one by one.
      for (const std::string& cab : ListFolder(folder, "*.cab", true, false)) {
        RunHidden(name, ExtractArgv(ShortPath(JoinPath(folder, cab)), name, false), options);
        if (!FindIn(dos, name).empty()) break;
      }
    }
    const std::string found = FindIn(dos, name);
    if (!found.empty() && found != JoinPath(dos, name)) std::rename(found.c_str(), JoinPath(dos, name).c_str());
  }
  wait_.Hide();
}

void DosImport::Status(int index) {
  wait_.SetStatus("Please wait ... Importing " + std::string(kDosFiles[index]) + " (" + std::to_string(index + 1) +
                  "/" + std::to_string(kDosFiles.size()) + ")");
  wait_.Pump();
}

void DosImport::Finish() {
  wait_.SetStatus("Please wait ... Checking import process");
  wait_.Hide();
}

void DosImport::ImportFromFolder(const std::string& folderIn) {
  const std::string folder = AddSlash(folderIn);
  const std::string root = std::filesystem::path(folder).root_path().string();
  const std::string dos = DosFolder();
  wait_.Show();
  for (size_t i = 0; i < kDosFiles.size(); ++i) {
    Status(static_cast<int>(i));
    const std::string name = kDosFiles[i];
    // The last of these that exists wins: the drive's root, the folder, its
    // command subfolder.
    std::string source;
    for (const std::string& place : {root, folder, JoinPath(folder, "command")}) {
      const std::string found = FindIn(ResolvePath(place), name);
      if (!found.empty()) source = found;
    }
    if (!source.empty()) CopyOneFile(source, JoinPath(dos, name));
  }
  Finish();
}

std::vector<std::string> DosImport::ExtractArgv(const std::string& cab, const std::string& name, bool followSet) const {
  if (!followSet) return {Tool(programFolder_, "extract"), "/y", cab, name, "/l", "DOS\\"};
  return {Tool(programFolder_, "extract"), "/y", "/a", cab, name, "/l", "DOS\\"};
}

std::vector<std::string> DosImport::ExpandArgv(const std::string& name) const {
  return {Tool(programFolder_, "expand"), "*.cab", "-f:" + name, DosFolder()};
}

void DosImport::ImportWithExtract(const std::string& folderIn) {
  const std::string folder = AddSlash(folderIn);
  const std::string dos = DosFolder();
  wait_.Show();
  const std::string setupExtract = FindIn(folder, "EXTRACT.EXE");
  if (!setupExtract.empty()) CopyOneFile(setupExtract, JoinPath(dos, "EXTRACT.EXE"));
  // The first cabinet of the set; real CDs spell it BASE4.CAB or base4.cab.
  std::string cab = FindIn(folder, "BASE4.CAB");
  if (cab.empty()) cab = JoinPath(folder, "BASE4.CAB");
  cab = ShortPath(cab);
#ifdef _WIN32
  cab = ToUpper(cab);
#endif
  RunOptions options;
  options.workingDir = programFolder_;
  options.pump = [this] { wait_.Pump(); };
  for (size_t i = 0; i < kDosFiles.size(); ++i) {
    Status(static_cast<int>(i));
    const std::string name = kDosFiles[i];
    if (LiesInSetupFolder(name)) {
      const std::string source = FindIn(folder, name);
      if (!source.empty()) CopyOneFile(source, JoinPath(dos, name));
    } else if (name == "IO.SYS") {
      std::remove(JoinPath(dos, "IO.SYS").c_str());
      RunHidden(name, ExtractArgv(cab, "WINBOOT.SYS"), options);
      const std::string winboot = FindIn(dos, "winboot.sys");
      if (!winboot.empty()) std::rename(winboot.c_str(), JoinPath(dos, "IO.SYS").c_str());
    } else {
      RunHidden(name, ExtractArgv(cab, name), options);
    }
  }
  Finish();
}

void DosImport::ImportWithExpand(const std::string& folderIn) {
  const std::string folder = AddSlash(folderIn);
  const std::string dos = DosFolder();
  wait_.Show();
  RunOptions options;
  options.workingDir = folder;
  options.pump = [this] { wait_.Pump(); };
  for (size_t i = 0; i < kDosFiles.size(); ++i) {
    Status(static_cast<int>(i));
    const std::string name = kDosFiles[i];
    const std::string source = LiesInSetupFolder(name) ? FindIn(folder, name) : std::string();
    if (!source.empty()) {
      CopyOneFile(source, JoinPath(dos, ToLower(name)));
    } else if (name == "IO.SYS") {
      std::remove(JoinPath(dos, "IO.SYS").c_str());
      RunHidden(name, ExpandArgv("WINBOOT.SYS"), options);
      const std::string winboot = FindIn(dos, "winboot.sys");
      if (!winboot.empty()) std::rename(winboot.c_str(), JoinPath(dos, "io.sys").c_str());
    } else {
      RunHidden(name, ExpandArgv(name), options);
    }
  }
  Finish();
}

}  // namespace kiv
