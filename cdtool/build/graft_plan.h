#pragma once
// The CD as the build lays it out. The work tree `kivcd` holds what the build
// writes (boot files, menus, answer files, the tag file) and the folders of
// every source; the files of a source the build only puts on the CD stay
// where they lie, and the mastering tool maps them into the image
// ("/I386/TXTSETUP.SIF=/media/cd/I386/TXTSETUP.SIF"). They are read once, by
// the mastering tool, and take no room in the program folder.
//
// The order of the build is kept: a source mapped later takes the place of a
// file the work tree held at its path (as a copy would overwrite it), and a
// file the build writes into the work tree later takes the place of a mapped
// one (letter case aside).
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kiv {

class ProgressSink;

// One file of the image that the mastering tool reads from where it lies.
struct Graft {
  std::string cdPath;    // "/I386/TXTSETUP.SIF", in the letter case the CD shows
  std::string diskPath;  // absolute
  bool operator==(const Graft&) const = default;
};

class GraftPlan {
 public:
  explicit GraftPlan(std::string workTree = "") : workTree_(std::move(workTree)) {}
  // Forgets every mapped file; the work tree is `workTree` from now on.
  void Reset(std::string workTree);
  const std::string& WorkTree() const { return workTree_; }

  // Maps the files at or below the folder `source` into the CD folder
  // `cdFolder` ("" for the root, "I386", "kiv/tools") as the build's tree copy
  // copies them: folders whose names begin with '.' and special files are
  // left out, links are followed (one back up the tree is not followed again), an
  // entry named like one already there in another letter case goes into that
  // one, and a tree holding no data maps nothing. Folders are made in the
  // work tree; a file there at a mapped path is removed. A file whose path
  // cannot be handed to the mastering tool (a line break in it) is copied.
  // False with `error` (the cause) and `failedPath` (the file or folder) when
  // an entry cannot be read or would take the place of a folder (or a file
  // that of a file); nothing is mapped then.
  bool Map(const std::string& source, const std::string& cdFolder, ProgressSink& progress, std::string* error,
           std::string* failedPath);

  // Maps the one file `diskPath` at `cdPath` ("/BOOTMGR", "/sources/x"): a
  // second name for a file the CD has already (the mastering tool stores
  // its data once). Its folders are made in the work tree, in the letter
  // case they have there; a file the work tree holds at that path goes.
  // False with `error` when a folder of that name is in the way.
  bool MapFile(const std::string& diskPath, const std::string& cdPath, std::string* error);

  // Drops the mapped files at or below `cdPath` (a folder the build removes).
  void Drop(const std::string& cdPath);

  // The file on the disk behind a CD path ("/I386/winnt.sif"), letter case
  // aside: the work tree's when it holds one, else the mapped one; nothing
  // when the CD has no such file.
  std::optional<std::string> DiskFile(const std::string& cdPath) const;

  // The mapped files the work tree has not replaced, in CD path order. A
  // work tree file that replaced one under another letter case takes the
  // mapped file's name first: a name on the CD keeps the case it came with,
  // as with a copy into the tree.
  std::vector<Graft> Effective();
  bool Empty() const { return files_.empty(); }

 private:
  std::string workTree_;
  // Keyed by the lower-case CD path.
  std::map<std::string, Graft> files_;
};

// The mapped files with every duplicate led to one file on the disk, so the
// mastering tool stores the content once (it shares the data of files that
// are one file on the disk): files of the same size, permission mode and
// modification time and the same bytes, among the mapped files and the work
// tree's own (a work tree file is preferred, the first in path order). The
// dates are those the CD shows: with `epoch`, none later than it.
std::vector<Graft> ShareDuplicates(const std::vector<Graft>& grafts, const std::string& workTree,
                                   std::optional<int64_t> epoch);

// The mastering tool's path list (-path-list, one pathspec a line): the work
// tree `workTreeArg` as the image's root first, then each mapped file as
// "<cd path>=<disk path>", with '=' and '\' escaped on both sides.
std::string RenderPathList(const std::string& workTreeArg, const std::vector<Graft>& grafts);

// The mastering tool's commands that date the mapped files later than
// `epoch` back to it, as the work tree's dates are clamped; "" when none is.
std::string RenderDateCommands(const std::vector<Graft>& grafts, int64_t epoch);

}  // namespace kiv
