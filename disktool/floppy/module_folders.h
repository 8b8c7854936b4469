#pragma once
// Modules on a floppy whose DOS cannot unpack cabinets. The floppy's loader
// unpacks each module cabinet lib\<name>.cab with the EXTRACT.EXE of the DOS
// files; when the dos folder has no such extractor (missing, or a marked
// stand-in), a module made from a staged folder files\<name> goes onto the
// floppy unpacked instead, as the folder lib\<name>, which the loader runs in
// place from the floppy.
#include <string>
#include <vector>

namespace kiv {

// Replaces each <cabs>/lib/<name>.cab made from <program folder>/files/<name>
// by a copy of that folder at <cabs>/lib/<name>. A cabinet without a staged
// folder (a module the user added) stays as it is. Answers the names of the
// modules replaced.
std::vector<std::string> UnpackModuleCabinets(const std::string& programFolder, const std::string& cabs);

}  // namespace kiv
