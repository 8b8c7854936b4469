#include "cdtool/build/makecd_script.h"

#include "cdtool/usb/hybrid_iso.h"
#include "common/paths.h"

namespace kiv {

// The boot files are hidden by their own paths (the loader's in the tree the
// tool reads, the catalogue's in the image it makes), never by their names
// alone: a user's tools/loader.bin stays on the CD.
std::string MasteringSwitches(bool efiImage) {
  const std::string efi = efiImage ? std::string(" -eltorito-alt-boot -e ") + kEfiBootImage + " -no-emul-boot" +
                                         " -isohybrid-mbr " + kIsoHybridMbr + " -isohybrid-gpt-basdat"
                                   : std::string();
  return std::string(" -volid \"KIV_RESCUE\"") + " -preparer \"Verlanth\"" + " -publisher \"VANTO LTD\"" +
         " -appid \"Kiv CD Creator\"" + " -iso-level 4" + " -omit-period" + " -no-emul-boot" + " -boot-load-size 4" +
         " -eltorito-boot boot/loader.bin" + efi + " -hide kivcd/boot/loader.bin" + " -hide /boot.catalog" +
         " -follow-links -cache-inodes" +
         // File names in the volume as they are in the tree (lower case, long,
         // without ";1"), as -iso-level 4 gives them from genisoimage; xorriso
         // keeps its level 4 for an additional tree and needs this for the
         // primary one.
         " -untranslated-filenames";
}

namespace {

// What follows " -output <iso>": the work tree, or the path list with the
// date commands after it.
std::string Pathspecs(const std::string& pathList, const std::string& dateCommands,
                      std::string (*quote)(const std::string&)) {
  if (pathList.empty()) return " kivcd";
  std::string text = " -graft-points -path-list " + quote(pathList);
  if (!dateCommands.empty()) text += " -- -iso_rr_pattern off -options_from_file " + quote(dateCommands);
  return text;
}

std::string AsIs(const std::string& text) { return text; }

// The words of a switch text as a shell splits it: blanks between words, a
// double-quoted value (which may hold blanks) without its quotes.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, inWord = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (c == ' ' && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

}  // namespace

std::vector<std::string> LinkDuplicatesArgv(const std::string& tool) { return {tool, "kivcd", "link"}; }

std::vector<std::string> MasteringArgv(const std::string& tool, const std::string& isoPath, bool efiImage,
                                       const std::string& sortList, const std::string& pathList,
                                       const std::string& dateCommands) {
  std::vector<std::string> argv = Words(MasteringSwitches(efiImage));
  argv.insert(argv.begin(), tool);
  if (!sortList.empty()) argv.insert(argv.end(), {"--sort-weight-list", sortList});
  argv.insert(argv.end(), {"-output", isoPath});
  const std::vector<std::string> specs = Words(Pathspecs(pathList, dateCommands, AsIs));
  argv.insert(argv.end(), specs.begin(), specs.end());
  return argv;
}

std::string RenderMakeCdBat(const std::string& programFolder, const std::string& isoLocation, bool optimizeISO,
                            bool efiImage, const std::string& sortList, const std::string& pathList,
                            const std::string& dateCommands) {
  const std::string eol = "\r\n";
  std::string text = "@echo off" + eol;
  text += programFolder.substr(0, 2) + eol;
  text += "cd " + ToLower(programFolder) + eol;
  if (optimizeISO) text += "dfl.exe kivcd link" + eol;
  text += "mkisofs.exe " + MasteringSwitches(efiImage) + (sortList.empty() ? "" : " --sort-weight-list " + sortList) +
          " -output " + ToLower(isoLocation) + Pathspecs(pathList, dateCommands, AsIs) + eol;
  return text;
}

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  out += "'";
  return out;
}

std::string RenderMakeCdSh(const std::string& programFolder, const std::string& isoLocation, bool optimizeISO,
                           bool efiImage, const std::string& sortList, const std::string& pathList,
                           const std::string& dateCommands) {
  std::string text = "#!/bin/sh\n";
  // A folder that cannot be entered must not let the tools run elsewhere.
  text += "cd " + ShellQuote(programFolder) + " || exit 1\n";
  if (optimizeISO) text += "./dfl kivcd link\n";
  text += "./mkisofs " + MasteringSwitches(efiImage) +
          (sortList.empty() ? "" : " --sort-weight-list " + ShellQuote(sortList)) + " -output " +
          ShellQuote(isoLocation) + Pathspecs(pathList, dateCommands, ShellQuote) + "\n";
  return text;
}

}  // namespace kiv
