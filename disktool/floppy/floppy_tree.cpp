#include "disktool/floppy/floppy_tree.h"

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
#include "disktool/floppy/module_folders.h"
#include "disktool/output/floppy_drive.h"
#include "disktool/workspace/floppy_workspace.h"

namespace kiv {

namespace {

bool EndsWithStarDotStar(const std::string& s) { return s.size() >= 3 && s.compare(s.size() - 3, 3, "*.*") == 0; }

std::string Backslashed(std::string s) {
  std::replace(s.begin(), s.end(), '/', '\\');
  return s;
}

}  // namespace

FloppyTree::FloppyTree(const FloppyWorkspace& workspace) : workspace_(workspace) {}

bool FloppyTree::PrepareDosFiles() {
  DeleteTree(workspace_.Resolve("files\\dos"));
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

bool FloppyTree::CopyFilesToFolder(const std::string& Source, std::string& Dest, CopyOptions options) {
  Dest = JoinPath(workspace_.ProgramFolder(), NativePath(Dest));
  // Answers what an error means: nullopt = retry, else the result to return.
  // A copy that failed names where it went and why (a full disk, say); a
  // missing source is named as written.
  auto onError = [&](const std::string& where = "", const std::string& cause = "") -> std::optional<bool> {
    if (options.silent) return true;
    const std::string why = cause.empty() ? std::string() : "\r\n\r\n" + where + ": " + cause;
    const Answer a =
        workspace_.prompter().MsgBox(Message{"Error while copying the file :\r\n" + Source + why, "Error While Copying",
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
      const std::string inDos = JoinPath(JoinPath(workspace_.ProgramFolder(), "dos"), NativePath(Source));
      const std::string inProgram = JoinPath(workspace_.ProgramFolder(), NativePath(Source));
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
        const auto r = onError(target, "the folder cannot be created");
        if (r) return *r;
        continue;
      }
      const std::vector<std::string> names = ListFolder(folder, "*.*", true, false);
      for (size_t i = 0; i < names.size();) {
        std::string error;
        if (CopyOneFile(JoinPath(folder, names[i]), JoinPath(target, names[i]), &error)) {
          ++i;
          continue;
        }
        const auto r = onError(JoinPath(target, names[i]), error);
        if (r) return *r;  // Ignore leaves the remaining files uncopied
      }
      return true;
    }

    const std::string dest = ResolvePathPrefix(Trim(Dest));
    for (;;) {
      const std::string folder = FolderOf(dest);
      if (!folder.empty() && !FolderExists(folder)) MakePath(folder);
      std::string error;
      if (CopyOneFile(ResolvePath(sourcePath), dest, &error)) return true;
      const auto r = onError(dest, error);
      if (r) return *r;
    }
  }
}

void FloppyTree::FillInitialList() {
  // Module cabinets are of use only where the floppy's DOS can unpack them.
  if (!DosHasCabinetExtractor(workspace_.ProgramFolder()))
    UnpackModuleCabinets(workspace_.ProgramFolder(), workspace_.Resolve("cabs"));
  files_.FileList.clear();
  files_.FoldersToList.clear();
  files_.FoldersToList.push_back(AddSlash(workspace_.Resolve("cabs")));
  while (!files_.FoldersToList.empty()) {
    ListFolderIntoLists(files_.FoldersToList.front());
    files_.FoldersToList.pop_front();
  }
  std::erase_if(files_.FileList, [](const FileListEntry& e) {
    return e.Path == "COMMAND.COM" || e.Path == "MSDOS.SYS" || e.Path == "IO.SYS";
  });
  files_.FileList.insert(files_.FileList.begin(), {FileListEntry{"IO.SYS", true}, FileListEntry{"MSDOS.SYS", true},
                                                   FileListEntry{"COMMAND.COM", true}});
  for (FileListEntry& e : files_.FileList) e.Selected = true;
  workspace_.Notify();
}

void FloppyTree::ListFolderIntoLists(const std::string& folderIn) {
  const std::string folder = AddSlash(Trim(folderIn));
  const std::string root = AddSlash(workspace_.Resolve("cabs"));
  const std::string relativeFolder = folder.size() > root.size() ? folder.substr(root.size()) : "";
  for (const std::string& name : ListFolder(folder, "*.*", true, true)) {
    const std::string full = folder + name;
    if (FolderExists(full)) {
      if (name[0] == '.') continue;
      // Behind the folder being listed: the folders found last are listed first.
      files_.FoldersToList.insert(files_.FoldersToList.begin() + 1, AddSlash(full));
    } else {
      files_.FileList.push_back(FileListEntry{Backslashed(relativeFolder + name), false});
    }
  }
}

bool FloppyTree::CreateDiskAsDir() {
  // Two random fractions in [0, 1) from the platform's random bytes.
  auto fraction = [this] {
    uint8_t bytes[4];
    workspace_.platform().FillRandom(bytes, sizeof bytes);
    const uint32_t n =
        uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
    return n / 4294967296.0;
  };
  do {
    const double r1 = fraction();
    const double r2 = fraction();
    const long n = static_cast<long>(r1 * r2 * 100000);
    files_.WorkDir = JoinPath(JoinPath(workspace_.ProgramFolder(), "Temp"), "bootsmith" + std::to_string(n));
  } while (FolderExists(files_.WorkDir));
  MakePath(files_.WorkDir);
  return InjectFilesToDir(files_.WorkDir, nullptr);
}

bool FloppyTree::InjectFilesToDir(const std::string& DestDir, FloppyDrive* drive) {
  const bool floppy = drive != nullptr;
  workspace_.progress().SetMaximum(static_cast<int64_t>(files_.FileList.size()));
  workspace_.progress().SetValue(0);
  const std::string cabs = workspace_.Resolve("cabs");
  for (const FileListEntry& entry : files_.FileList) {
    if (!entry.Selected) continue;
    workspace_.progress().SetValue(workspace_.progress().Value() + 1);
    workspace_.Notify();
    const std::string source = ResolvePath(JoinPath(cabs, NativePath(entry.Path)));
    const int64_t size = FileSize(source);
    if (size < 0) {
      workspace_.prompter().MsgBox(Message{"Error while copying the file from its Source :\r\n" + entry.Path, "Error",
                                           Icon::Critical, Buttons::OK, 0, std::nullopt});
      return false;
    }
    if (floppy) {
      const int64_t free = drive->FreeSpace();
      if (free >= 0 && size > free) {
        workspace_.prompter().MsgBox(Message{"The Image file doesn't have enough free space for the file \r\n" +
                                                 entry.Path + "\r\nThe file will not be copied to the floppy image.",
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
        ok = ReadWholeFile(source, bytes) && (folder.empty() || drive->MakeFolder(folder, &error)) &&
             drive->WriteFile(entry.Path, bytes, &error);
        if (!ok && error.empty()) error = "The file could not be read";
      } else {
        const std::string dest = ResolvePathPrefix(JoinPath(DestDir, NativePath(entry.Path)));
        const std::string folder = FolderOf(dest);
        if (!FolderExists(folder)) MakePath(folder);
        ok = CopyOneFile(source, dest, &error);
      }
      if (ok) break;
      const Answer a = workspace_.prompter().MsgBox(Message{"The current Error has happend :\r\n" + error,
                                                            "Error while Copying to Floppy", Icon::Critical,
                                                            Buttons::AbortRetryIgnore, 0, std::nullopt});
      if (a == Answer::Abort) return false;
      if (a == Answer::Ignore) break;
    }
  }
  return true;
}

}  // namespace kiv
