// The staging tree cabs (the floppy's future root): start-up seeding, the copy
// routine of the definitions, the ordered file list, the per-build folder and
// the copy of the selected files onto the floppy or into that folder.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/progress_sink.h"
#include "common/prompter.h"
#include "disktool/dosimport/dos_import.h"
#include "disktool/engine/floppy_builder.h"
#include "disktool/floppy/module_folders.h"
#include "disktool/output/floppy_drive.h"

namespace kiv {

namespace {

bool EndsWithStarDotStar(const std::string& s) { return s.size() >= 3 && s.compare(s.size() - 3, 3, "*.*") == 0; }

std::string Backslashed(std::string s) {
  std::replace(s.begin(), s.end(), '/', '\\');
  return s;
}

}  // namespace

void FloppyBuilder::InitApp() {
  const std::string ini = Resolve("Drivers.ini");
  if (FileExists(ini)) std::remove(ini.c_str());
  static const char* const kKinds[][2] = {{"aspi", "ASPI"}, {"ndis", "NDIS"}, {"odi16", "ODI16"}, {"odi32", "ODI32"}};
  for (const auto& kind : kKinds) {
    if (FolderExists(Resolve(std::string("drivers\\") + kind[0]))) AddDriversToIni("Drivers.ini", kind[1], 1);
  }
  TxtDest = JoinPath(programFolder_, "BootDisk.img");
  PrepareDosFiles();
  DeleteTree(Resolve("cabs"));
  std::string cabs = "cabs";
  std::string cabsBin = "cabs\\bin";
  if (!CopyFilesToFolder("files\\base_files\\*.*", cabs, {.silent = false}) ||
      !CopyFilesToFolder("files\\base_files\\bin\\*.*", cabsBin, {.silent = false})) {
    CancelApp();
  }
}

bool FloppyBuilder::PrepareDosFiles() {
  DeleteTree(Resolve("files\\dos"));
  std::string dos = "files\\dos";
  std::string bin = "files\\dos\\bin";
  std::string help = "files\\dos\\help";
  std::string menu = "files\\dos\\menu";
  CopyFilesToFolder("files\\dos_files\\*.*", dos, {.silent = false});
  const bool binOk = CopyFilesToFolder("files\\dos_files\\bin\\*.*", bin, {.silent = false});
  CopyFilesToFolder("files\\dos_files\\help\\*.*", help, {.silent = true});
  CopyFilesToFolder("files\\dos_files\\menu\\*.*", menu, {.silent = true});
  return binOk;
}

bool FloppyBuilder::CopyFilesToFolder(const std::string& Source, std::string& Dest, CopyOptions options) {
  Dest = JoinPath(programFolder_, NativePath(Dest));
  // Answers what an error means: nullopt = retry, else the result to return.
  auto onError = [&]() -> std::optional<bool> {
    if (options.silent) return true;
    const Answer a = prompter_.MsgBox(Message{"Error while copying the file :\r\n" + Source, "Error While Copying",
                                              Icon::Critical, Buttons::AbortRetryIgnore, 0, std::nullopt});
    if (a == Answer::Abort) return false;
    if (a == Answer::Retry) return std::nullopt;
    return true;
  };

  for (;;) {  // Retry after a missing source repeats the lookup.
    std::string sourcePath;
    if (IsAbsolutePath(Source)) {
      sourcePath = NativePath(Source);
    } else {
      const std::string inDos = JoinPath(JoinPath(programFolder_, "dos"), NativePath(Source));
      const std::string inProgram = JoinPath(programFolder_, NativePath(Source));
      if (FileExists(inDos)) sourcePath = inDos;
      if (FileExists(inProgram)) sourcePath = inProgram;
    }
    const bool pattern = EndsWithStarDotStar(EndsWithStarDotStar(sourcePath) ? sourcePath : Source);

    if (sourcePath.empty() || (!pattern && !FileExists(sourcePath))) {
      const auto r = onError();
      if (r) return *r;
      continue;
    }

    if (pattern) {
      std::string target = Trim(Dest);
      if (EndsWithStarDotStar(target)) target.resize(target.size() - 3);
      target = ResolvePathPrefix(AddSlash(target));
      const std::string folder = ResolvePath(Trim(sourcePath.substr(0, sourcePath.size() - 3)));
      if (!MakePath(target)) {
        const auto r = onError();
        if (r) return *r;
        continue;
      }
      const std::vector<std::string> names = ListFolder(folder, "*.*", true, false);
      for (size_t i = 0; i < names.size();) {
        if (CopyOneFile(JoinPath(folder, names[i]), JoinPath(target, names[i]))) {
          ++i;
          continue;
        }
        const auto r = onError();
        if (r) return *r;  // Ignore leaves the remaining files uncopied
      }
      return true;
    }

    const std::string dest = ResolvePathPrefix(Trim(Dest));
    for (;;) {
      const std::string folder = FolderOf(dest);
      if (!folder.empty() && !FolderExists(folder)) MakePath(folder);
      if (CopyOneFile(ResolvePath(sourcePath), dest)) return true;
      const auto r = onError();
      if (r) return *r;
    }
  }
}

void FloppyBuilder::FillInitialList() {
  // Module cabinets are of use only where the floppy's DOS can unpack them.
  if (!DosHasCabinetExtractor(programFolder_)) UnpackModuleCabinets(programFolder_, Resolve("cabs"));
  FileList.clear();
  LstDirs.clear();
  LstDirs.push_back(AddSlash(Resolve("cabs")));
  while (!LstDirs.empty()) {
    ListFolderIntoLists(LstDirs.front());
    LstDirs.pop_front();
  }
  std::erase_if(FileList, [](const FileListEntry& e) {
    return e.Path == "COMMAND.COM" || e.Path == "MSDOS.SYS" || e.Path == "IO.SYS";
  });
  FileList.insert(FileList.begin(), {FileListEntry{"IO.SYS", true}, FileListEntry{"MSDOS.SYS", true},
                                     FileListEntry{"COMMAND.COM", true}});
  for (FileListEntry& e : FileList) e.Selected = true;
  Notify();
}

void FloppyBuilder::ListFolderIntoLists(const std::string& folderIn) {
  const std::string folder = AddSlash(Trim(folderIn));
  const std::string root = AddSlash(Resolve("cabs"));
  const std::string relativeFolder = folder.size() > root.size() ? folder.substr(root.size()) : "";
  for (const std::string& name : ListFolder(folder, "*.*", true, true)) {
    const std::string full = folder + name;
    if (FolderExists(full)) {
      if (name[0] == '.') continue;
      // Behind the folder being listed: the folders found last are listed first.
      LstDirs.insert(LstDirs.begin() + 1, AddSlash(full));
    } else {
      FileList.push_back(FileListEntry{Backslashed(relativeFolder + name), false});
    }
  }
}

bool FloppyBuilder::CreateDiskAsDir() {
  // Two random fractions in [0, 1) from the platform's random bytes.
  auto fraction = [this] {
    uint8_t bytes[4];
    platform_->FillRandom(bytes, sizeof bytes);
    const uint32_t n =
        uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
    return n / 4294967296.0;
  };
  do {
    const double r1 = fraction();
    const double r2 = fraction();
    const long n = static_cast<long>(r1 * r2 * 100000);
    WorkDir = JoinPath(JoinPath(programFolder_, "Temp"), "bootsmith" + std::to_string(n));
  } while (FolderExists(WorkDir));
  MakePath(WorkDir);
  if (!InjectFilesToDir(WorkDir)) {
    CancelApp();
    return false;
  }
  return true;
}

bool FloppyBuilder::InjectFilesToDir(const std::string& DestDir) {
  const bool floppy = DestDir == "A:";
  progress_.SetMaximum(static_cast<int64_t>(FileList.size()));
  progress_.SetValue(0);
  const std::string cabs = Resolve("cabs");
  for (const FileListEntry& entry : FileList) {
    if (!entry.Selected) continue;
    progress_.SetValue(progress_.Value() + 1);
    Notify();
    const std::string source = ResolvePath(JoinPath(cabs, NativePath(entry.Path)));
    const int64_t size = FileSize(source);
    if (size < 0) {
      prompter_.MsgBox(Message{"Error while copying the file from its Source :\r\n" + entry.Path, "Error",
                               Icon::Critical, Buttons::OK, 0, std::nullopt});
      return false;
    }
    if (floppy) {
      const int64_t free = Floppy().FreeSpace();
      if (free >= 0 && size > free) {
        prompter_.MsgBox(Message{"The Image file doesn't have enough free space for the file \r\n" + entry.Path +
                                     "\r\nThe file will not be copied to the floppy image.",
                                 "Not Enough Free Space", Icon::Exclamation, Buttons::OK, 0, std::nullopt});
        continue;
      }
    }
    for (;;) {
      std::string error;
      bool ok = false;
      if (floppy) {
        std::string bytes;
        const std::string folder =
            entry.Path.find('\\') != std::string::npos ? entry.Path.substr(0, entry.Path.rfind('\\')) : std::string();
        ok = ReadWholeFile(source, bytes) && (folder.empty() || Floppy().MakeFolder(folder, &error)) &&
             Floppy().WriteFile(entry.Path, bytes, &error);
        if (!ok && error.empty()) error = "The file could not be read";
      } else {
        const std::string dest = ResolvePathPrefix(JoinPath(DestDir, NativePath(entry.Path)));
        const std::string folder = FolderOf(dest);
        if (!FolderExists(folder)) MakePath(folder);
        ok = CopyOneFile(source, dest, &error);
      }
      if (ok) break;
      const Answer a =
          prompter_.MsgBox(Message{"The current Error has happend :\r\n" + error, "Error while Copying to Floppy",
                                   Icon::Critical, Buttons::AbortRetryIgnore, 0, std::nullopt});
      if (a == Answer::Abort) return false;
      if (a == Answer::Ignore) break;
    }
  }
  return true;
}

}  // namespace kiv
