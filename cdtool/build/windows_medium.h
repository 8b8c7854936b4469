#pragma once
// Which Windows 2000/XP/2003 medium a setup folder comes from, told by the tag
// files in the medium's root (the folder above I386).
#include <string>

#include "common/setup_answer.h"

namespace kiv {

// The caption the wizard shows beside "Type:" for the medium rooted at
// `parentFolder` ("Unknown Windows Version" when no tag is there).
std::string IdentifyWinVerCaption(const std::string& parentFolder);
// Which answer-file names the medium's setup reads.
WindowsFamily IdentifyWindowsFamily(const std::string& parentFolder);
// The medium's root for a setup folder (its I386 folder): the folder above.
std::string MediumRoot(const std::string& setupFolder);

}  // namespace kiv
