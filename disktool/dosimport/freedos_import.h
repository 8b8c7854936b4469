#pragma once
// Filling <program folder>/dos from a FreeDOS source: each of the 25 DOS
// files and the CD-ROM access files is taken from the FreeDOS program of the
// same job (IO.SYS from the kernel, COMMAND.COM from FreeCOM, HIMEM.SYS from
// HIMEMX, ...), so every disk definition works unchanged. A name FreeDOS has
// no program for gets the marked stand-in NOTINDOS.EXE, which says so when
// run or loaded as a driver. dos\FREEDOS.TXT records what came from where.
#include <string>
#include <vector>

#include "common/process_runner.h"
#include "disktool/dosimport/freedos_source.h"

namespace kiv {

// The file in dos\ that says it holds FreeDOS, with the import's list.
inline constexpr const char* kFreeDosManifest = "FREEDOS.TXT";
// The stand-in below <program folder>\files.
inline constexpr const char* kNotInDosStandIn = "dosimport/NOTINDOS.EXE";

// One name of the dos folder and the FreeDOS files that can take its place,
// best first, with the packages that hold them.
struct FreeDosEquivalent {
  const char* name;
  std::vector<std::string> files;
  std::vector<std::string> packages;
};
const std::vector<FreeDosEquivalent>& FreeDosEquivalents();
// Everything FreeDosEquivalents names, as FreeDosSource::Open wants it.
FreeDosWanted FreeDosWantedFiles();

// A FreeDOS kernel starts with a short jump over its configuration area,
// which begins with the text "CONFIG" at offset 2.
bool LooksLikeFreeDosKernel(const std::string& bytes);

// "FreeDOS" when dos\ holds an imported FreeDOS, "MS-DOS 7" when it holds
// real files from Windows, "stand-ins" for the shipped stand-ins.
std::string DosKind(const std::string& dosFolder);

struct FreeDosImportResult {
  bool ok = false;
  std::string error;                   // why nothing was imported
  std::vector<std::string> imported;   // "IO.SYS <- packages/base/kernel.zip: BIN/KERNL386.SYS"
  std::vector<std::string> standIns;   // names given the stand-in
  std::vector<std::string> missingCd;  // CD-ROM access files the source lacks
  std::string Report() const;          // the lists, one entry a line
};

// Imports from `sourcePath` (folder or image) into `dosFolder`. `standIn` is
// NOTINDOS.EXE; `workFolder` is used for unpacked packages and removed.
FreeDosImportResult ImportFreeDos(const std::string& sourcePath, const std::string& dosFolder,
                                  const std::string& standIn, const std::string& workFolder, ProcessLauncher& launcher);

}  // namespace kiv
