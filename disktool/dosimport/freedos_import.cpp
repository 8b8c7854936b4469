// The FreeDOS side of the DOS import: which FreeDOS program stands for which
// of the names the disk definitions use, and the copy into the dos folder.
#include "disktool/dosimport/freedos_import.h"

#include <algorithm>
#include <cstdio>

#include "common/file_ops.h"
#include "common/paths.h"
#include "disktool/dosimport/dos_import.h"

namespace kiv {

namespace {

// Where the stand-in carries the name it stands for.
constexpr const char* kNamePlaceholder = "????????.???";

std::string NotInDosFor(std::string standIn, const std::string& name) {
  std::string padded = name;
  padded.resize(12, ' ');
  standIn.replace(standIn.find(kNamePlaceholder), padded.size(), padded);
  return standIn;
}

const FreeDosEquivalent* EquivalentOf(const std::string& name) {
  for (const FreeDosEquivalent& e : FreeDosEquivalents())
    if (name == e.name) return &e;
  return nullptr;
}

std::string Lines(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& entry : entries) text += "    " + entry + "\r\n";
  return text;
}

}  // namespace

const std::vector<FreeDosEquivalent>& FreeDosEquivalents() {
  // The names without an entry (EXTRACT.EXE, XCOPY32.EXE, XCOPY32.MOD) have
  // no FreeDOS counterpart.
  static const std::vector<FreeDosEquivalent> kList = {
      {"IO.SYS", {"KERNL386.SYS", "KERNEL.SYS", "KERNL86.SYS"}, {"kernel"}},
      {"COMMAND.COM", {"COMMAND.COM"}, {"freecom"}},
      {"ATTRIB.EXE", {"ATTRIB.COM", "ATTRIB.EXE"}, {"attrib"}},
      {"CHOICE.COM", {"CHOICE.EXE", "CHOICE.COM"}, {"choice"}},
      {"DELTREE.EXE", {"DELTREE.COM", "DELTREE.EXE"}, {"deltree"}},
      {"DISKCOPY.COM", {"DISKCOPY.EXE", "DISKCOPY.COM"}, {"diskcopy"}},
      {"EDIT.COM", {"EDIT.EXE", "EDIT.COM"}, {"edit"}},
      {"EMM386.EXE", {"JEMM386.EXE", "EMM386.EXE"}, {"jemm"}},
      {"FC.EXE", {"FC.EXE", "FC.COM"}, {"fc"}},
      {"FDISK.EXE", {"FDISK.EXE"}, {"fdisk"}},
      {"FORMAT.COM", {"FORMAT.EXE", "FORMAT.COM"}, {"format"}},
      {"HIMEM.SYS", {"HIMEMX.EXE", "HIMEM.EXE"}, {"himemx"}},
      {"LABEL.EXE", {"LABEL.EXE", "LABEL.COM"}, {"label"}},
      {"MEM.EXE", {"MEM.EXE"}, {"mem"}},
      {"MODE.COM", {"MODE.COM", "MODE.EXE"}, {"mode"}},
      {"MORE.COM", {"MORE.EXE", "MORE.COM"}, {"more"}},
      {"MOVE.EXE", {"MOVE.EXE"}, {"move"}},
      {"SCANDISK.EXE", {"DOSFSCK.EXE"}, {"dosfsck"}},
      {"SMARTDRV.EXE", {"LBACACHE.COM"}, {"lbacache"}},
      {"SORT.EXE", {"SORT.EXE", "SORT.COM"}, {"sort"}},
      {"SYS.COM", {"SYS.COM", "SYS.EXE"}, {"sys"}},
      {"XCOPY.EXE", {"XCOPY.EXE"}, {"xcopy"}},
      // CD-ROM access: the CD-ROM driver (device name from /D:, as with
      // OAKCDROM), the CD-ROM extension (takes MSCDEX's /D: and /L:), and a
      // RAM disk taking RAMDRIVE's size, sector size, root entries and /E.
      {"OAKCDROM.SYS", {"UDVD2.SYS", "ELTORITO.SYS"}, {"udvd2", "eltorito"}},
      {"MSCDEX.EXE", {"SHSUCDX.COM", "SHSUCDX.EXE"}, {"shsucdx"}},
      {"RAMDRIVE.SYS", {"TDSK.EXE"}, {"tdsk"}},
  };
  return kList;
}

FreeDosWanted FreeDosWantedFiles() {
  FreeDosWanted wanted;
  for (const FreeDosEquivalent& e : FreeDosEquivalents()) {
    for (const std::string& file : e.files) wanted.files.insert(ToUpper(file));
    for (const std::string& package : e.packages) wanted.packages.insert(ToLower(package));
  }
  return wanted;
}

bool LooksLikeFreeDosKernel(const std::string& bytes) {
  return bytes.size() > 8 && static_cast<unsigned char>(bytes[0]) == 0xEB && bytes.compare(2, 6, "CONFIG") == 0;
}

std::string DosKind(const std::string& dosFolder) {
  if (FileExists(JoinPath(dosFolder, kFreeDosManifest))) return "FreeDOS";
  std::string io;
  if (ReadWholeFile(ResolvePath(JoinPath(dosFolder, "IO.SYS")), io) &&
      io.substr(0, 512).find(kDosStandInMarker) != std::string::npos)
    return "stand-ins";
  return "MS-DOS 7";
}

std::string FreeDosImportResult::Report() const {
  std::string text = "Imported from FreeDOS:\r\n" + Lines(imported);
  if (!standIns.empty())
    text += "\r\nNot part of this FreeDOS; each is a stand-in that says so when run:\r\n" + Lines(standIns);
  return text;
}

FreeDosImportResult ImportFreeDos(const std::string& sourcePath, const std::string& dosFolder,
                                  const std::string& standIn, const std::string& workFolder,
                                  ProcessLauncher& launcher) {
  FreeDosImportResult result;
  std::string notInDos;
  if (!ReadWholeFile(standIn, notInDos) || notInDos.find(kNamePlaceholder) == std::string::npos) {
    result.error = "The stand-in " + standIn + " is missing or damaged; reinstall the program.";
    return result;
  }
  DeleteTree(workFolder);
  FreeDosSource source(launcher, workFolder);
  const bool opened = source.Open(sourcePath, FreeDosWantedFiles(), result.error);
  // Removes the unpacked copies whichever way the import ends.
  struct Cleanup {
    std::string folder;
    ~Cleanup() { DeleteTree(folder); }
  } cleanup{workFolder};
  if (!opened) return result;

  // Without a kernel and a shell no floppy starts: those two are required.
  const FreeDosEquivalent& kernelNames = *EquivalentOf("IO.SYS");
  const FreeDosFound kernel = source.Find(kernelNames.files);
  if (kernel.path.empty()) {
    result.error = sourcePath + " holds no FreeDOS kernel (KERNEL.SYS, KERNL386.SYS or KERNL86.SYS).";
    return result;
  }
  std::string kernelBytes;
  if (!ReadWholeFile(kernel.path, kernelBytes) || !LooksLikeFreeDosKernel(kernelBytes)) {
    result.error = kernel.origin + " in " + sourcePath +
                   " does not look like a FreeDOS kernel: it does not begin with a short jump followed by "
                   "\"CONFIG\".";
    return result;
  }
  if (source.Find(EquivalentOf("COMMAND.COM")->files).path.empty()) {
    result.error = sourcePath + " holds no FreeCOM (COMMAND.COM).";
    return result;
  }

  MakePath(dosFolder);
  std::vector<std::string> names(kDosFiles.begin(), kDosFiles.end());
  for (const DosCdFile& cd : kDosCdFiles) names.push_back(cd.name);
  for (const std::string& name : names) {
    const FreeDosEquivalent* equivalent = EquivalentOf(name);
    const FreeDosFound found = equivalent ? source.Find(equivalent->files) : FreeDosFound{};
    const std::string target = JoinPath(dosFolder, name);
    std::string error;
    const bool isCdFile =
        std::any_of(kDosCdFiles.begin(), kDosCdFiles.end(), [&](const DosCdFile& cd) { return name == cd.name; });
    if (!found.path.empty()) {
      if (!CopyOneFile(found.path, target, &error)) {
        result.error = "The file " + found.origin + " could not be copied to " + target + ": " + error;
        return result;
      }
      result.imported.push_back(name + " <- " + found.origin);
    } else if (isCdFile) {
      // An earlier import's copy would pretend the source had it.
      std::remove(JoinPath(dosFolder, ExistingNameIn(dosFolder, name)).c_str());
      result.missingCd.push_back(name);
    } else {
      if (!WriteFileAtomic(target, NotInDosFor(notInDos, name))) {
        result.error = "The stand-in for " + name + " could not be written to " + target + ".";
        return result;
      }
      result.standIns.push_back(name);
    }
  }
  const std::string manifest = "FreeDOS\r\nImported from " + sourcePath + "\r\n\r\n" + result.Report();
  if (!WriteFileAtomic(JoinPath(dosFolder, kFreeDosManifest), manifest)) {
    result.error = "The list " + JoinPath(dosFolder, kFreeDosManifest) + " could not be written.";
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace kiv
