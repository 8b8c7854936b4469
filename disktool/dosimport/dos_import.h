#pragma once
// The DOS system files every boot floppy needs, kept in <program folder>/dos.
// At every start ImportDOS makes sure the copy is complete: from the running
// Windows 9x installation when there is one, otherwise from a Windows 98 setup
// CD's cabinets or from a FreeDOS (folder, distribution or disk image; see
// freedos_import.h). The program cannot go on without them.
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/process_runner.h"

namespace kiv {

class Prompter;
class WaitWindow;

inline constexpr std::array<const char*, 25> kDosFiles = {
    "IO.SYS",     "COMMAND.COM", "ATTRIB.EXE",  "CHOICE.COM", "DELTREE.EXE",  "DISKCOPY.COM", "EDIT.COM",
    "EMM386.EXE", "EXTRACT.EXE", "FC.EXE",      "FDISK.EXE",  "FORMAT.COM",   "HIMEM.SYS",    "LABEL.EXE",
    "MEM.EXE",    "MODE.COM",    "MORE.COM",    "MOVE.EXE",   "SCANDISK.EXE", "SMARTDRV.EXE", "SORT.EXE",
    "SYS.COM",    "XCOPY.EXE",   "XCOPY32.EXE", "XCOPY32.MOD"};

inline constexpr int kDosHelpTopic = 1420;

// What the boot floppies need beside the 25 for CD-ROM access: the ATAPI
// CD-ROM driver and the CD-ROM extension, and the RAM drive the modules are
// unpacked to. A Windows 98 CD keeps them in its setup cabinets and in its
// boot-disk cabinet EBD.CAB; an installed Windows 98 in COMMAND and
// COMMAND\EBD. A source without them still gives floppies that start (without
// CD-ROM access); the import says so and goes on.
struct DosCdFile {
  const char* name;
  const char* role;
};
inline constexpr std::array<DosCdFile, 3> kDosCdFiles = {{{"OAKCDROM.SYS", "the ATAPI CD-ROM driver"},
                                                          {"MSCDEX.EXE", "the CD-ROM extension"},
                                                          {"RAMDRIVE.SYS", "the RAM drive for the modules"}}};

// Kept in <program folder>/dos when the user chose to go on without the
// CD-ROM access files (or the source chosen lacked them), so that a dos
// folder complete in the 25 is not questioned at every start. A whole new
// import removes it.
inline constexpr const char* kDosNoCdRecord = "NOCDROM.TXT";

// The marker near the start of each stand-in that takes the place of a DOS
// file which cannot be shipped or has no equivalent in the source.
inline constexpr const char* kDosStandInMarker = "KIV STAND-IN FILE";

// True when <program folder>/dos/EXTRACT.EXE is there and is not a marked
// stand-in: the floppies' DOS can unpack module cabinets.
bool DosHasCabinetExtractor(const std::string& programFolder);

class DosImport {
 public:
  // windowsDir / systemDir with a trailing separator, "" where there is none.
  // The extraction tools are started through `launcher`.
  DosImport(std::string programFolder, std::string windowsDir, std::string systemDir, Prompter& prompter,
            WaitWindow& wait, ProcessLauncher& launcher);

  // The whole check-and-import. False when the program has to end (the user
  // declined, or a file is still missing; the message has been shown). A
  // dos folder it made for an import that did not come about is removed.
  bool ImportDOS();
  // True when every required file is in the dos folder and can be used: not
  // empty, and IO.SYS a DOS kernel the floppies start. A file missing or
  // unusable with reportMissing shows the critical message naming it (and
  // answers false, upon which the program ends).
  bool CheckImport(bool reportMissing);
  // What the last ImportDOS found missing or unusable, as the line its
  // question names it in ("Not found: <dos> (...)", "Not usable in <dos>:
  // IO.SYS (empty), COMMAND.COM (missing)"); "" when the folder was complete.
  const std::string& Missing() const { return missing_; }

  // The three methods; `folder` gets a trailing separator if it lacks one.
  void ImportFromFolder(const std::string& folder);
  void ImportWithExtract(const std::string& folder);
  void ImportWithExpand(const std::string& folder);
  // The CD-ROM access files (kDosCdFiles) from the same source, the way the
  // method chosen for the 25 reaches it.
  enum class Method { Folder, Extract, Expand };
  void ImportCdFiles(const std::string& folder, Method method);

  std::string DosFolder() const;
  // The command lines the two cabinet methods run (argv form, for tests and
  // messages). `cab` is the first cabinet of the set; without `followSet`
  // only that cabinet is searched.
  std::vector<std::string> ExtractArgv(const std::string& cab, const std::string& name, bool followSet = true) const;
  std::vector<std::string> ExpandArgv(const std::string& name) const;

 private:
  bool ImportMissing();
  std::string MissingLine() const;
  void Status(int index);
  void Finish();
  // Gives every required file found in another letter case its listed name.
  void NormaliseNames();
  bool ExpandAvailable() const;
  // Runs `method` for the 25 and the CD-ROM access files, checks the 25 and
  // tells which CD-ROM access files the source lacked.
  bool Import(Method method, const std::string& folder);
  void ReportMissingCdFiles();
  // The CD-ROM access files kDosCdFiles lacks in the dos folder, as
  // "    NAME, role\r\n" lines ("" when all are there).
  std::string MissingCdFileLines() const;
  // A dos folder complete in the 25 but without the CD-ROM access files (an
  // import made before they were taken): asks once whether to add them from
  // a Windows 98 setup CD; going on without them is recorded (kDosNoCdRecord).
  void OfferCdFiles();
  void RecordNoCdFiles(const std::string& why);
  // Imports from a FreeDOS folder or image and lists what came from where.
  // nullopt when the source was refused (the message has been shown), so
  // another can be chosen.
  std::optional<bool> ImportFromFreeDos(const std::string& source);
  // Runs an extraction tool hidden: its output is kept for the message that
  // names `name` if that file is still missing afterwards, never printed.
  void RunHidden(const std::string& name, const std::vector<std::string>& argv, const RunOptions& options);

  std::string programFolder_, windowsDir_, systemDir_;
  Prompter& prompter_;
  WaitWindow& wait_;
  ProcessLauncher& launcher_;
  std::map<std::string, std::string> toolSaid_;
  std::string missing_;
};

}  // namespace kiv
