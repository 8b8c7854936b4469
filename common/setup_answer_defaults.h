#pragma once
// The Windows setup answers before the user types any: the defaults both
// builders show (the CD builder's two answer dialogs, the floppy builder's
// Windows-setup page), and what the CD builder's dialogs load over them when
// they first open. A session without a window (--build, --set) starts from
// the same records the dialogs would show.
#include <string>

#include "common/setup_answer.h"

namespace kiv {

class Platform;

inline constexpr const char* kDefaultOwner = "kivUser";
inline constexpr const char* kDefaultOrg = "VANTO LTD.";
inline constexpr const char* kDefaultPCName = "kivPC";
inline constexpr const char* kDefaultWorkgroup = "VANTO_LTD";
inline constexpr const char* kDefaultOSType = "Microsoft Windows 98";
// A key box holds five characters; a longer group read from a file is cut.
inline constexpr int kKeyPartLength = 5;

// The records as the dialogs show them before loading: the defaults above,
// no key, no template, workgroup mode.
Win9xInfo DefaultWin9xInfo();
Win2KInfo DefaultWin2KInfo();

// Windows 98/Me: keyfile2.txt, else keyfile.txt, else this system's registry
// when it is Windows 9x, over `shown`; key groups cut to the box length.
Win9xInfo LoadedWin9xInfo(const std::string& programFolder, const Platform& platform, Win9xInfo shown);
// Windows 2000/XP: the template `shown` names, or the shipped one when it
// names none or a missing file; then the answers that template holds.
Win2KInfo LoadedWin2KInfo(const std::string& programFolder, Win2KInfo shown);

}  // namespace kiv
