#pragma once
// The staging tree cabs (the floppy's future root): the DOS files, the copy
// routine the disk definitions use, the ordered list of the floppy's files,
// the build's own folder below Temp, the plug-in copied into it, and the copy
// of the selected files into that folder or onto a floppy.
#include <deque>
#include <string>
#include <vector>

#include "disktool/floppy/file_list.h"

namespace kiv {

class FloppyDrive;
class FloppyWorkspace;

// The floppy's files as one build lists and stages them.
struct FloppyFiles {
  std::vector<FileListEntry> FileList;    // in the order they go onto the floppy
  std::deque<std::string> FoldersToList;  // folders of cabs still to be listed
  std::string WorkDir;                    // <program folder>/Temp/bootsmith<n>
};

// Each step that fails has shown its message (or asked) and returns false;
// ending the build is the caller's business.
class FloppyTree {
 public:
  explicit FloppyTree(const FloppyWorkspace& workspace);

  // The file list, the folders still to list and the build's folder.
  FloppyFiles& Files() { return files_; }
  const FloppyFiles& Files() const { return files_; }

  // files\dos from the DOS files (dos_files, or the imported dos folder);
  // false when its bin folder could not be copied.
  bool PrepareDosFiles();
  // How a copy meets a missing or uncopyable source: by asking (Abort, Retry,
  // Ignore), or silently as a success.
  struct CopyOptions {
    bool silent = false;
  };
  // Copies one file, or every file of a "folder\*.*" pattern, from the
  // program folder (or its dos folder) to Dest, which becomes a full path.
  bool CopyFilesToFolder(const std::string& Source, std::string& Dest, CopyOptions options);
  // Lists cabs into FileList, the three system files first, all selected.
  void FillInitialList();
  // A fresh Temp\bootsmith<n> (WorkDir) holding the selected files.
  bool CreateDiskAsDir();
  // Copies the selected files into DestDir, or onto `drive` when given.
  bool InjectFilesToDir(const std::string& DestDir, FloppyDrive* drive);
  // Runs the plug-in's preparation program, if it has one, then copies its
  // folder over WorkDir. Problems are shown; the build goes on.
  void InjectPlugin(const std::string& PluginName);

 private:
  void ListFolderIntoLists(const std::string& folder);

  const FloppyWorkspace& workspace_;
  FloppyFiles files_;
};

}  // namespace kiv
