#pragma once
// The checks the wizard's Next makes when it leaves a page, on the settings
// value, so the window and `--build` decide alike. Leaving a page may also
// fill fields the next page shows with their defaults (the CD-ROM drive's
// I386 or WIN98 folder, the program folder's utilities folders).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cdtool/settings/session_settings.h"
#include "common/prompter.h"

namespace kiv {

class ProcessLauncher;

struct PageContext {
  std::string programFolder;
  std::string firstCdRom;  // mount point of the first CD-ROM drive, or ""
  // "Integrate Service Pack" (the window's check box; without a window: a
  // service-pack path is stored).
  bool slipstream = false;
  // What reads a Windows 10/11 medium (7z, wiminfo); null: the system's.
  ProcessLauncher* tools = nullptr;
};

struct PageProblem {
  std::string text;  // shown under the title "Error"
  Icon icon = Icon::Critical;
};

// Wizard pages 1 to 7 (0 is the welcome page, 8 the summary), and the
// Windows 10/11 page, which the wizard shows after page 4 (it came after
// the progress and finish pages, 10 and 9).
inline constexpr int kFirstCheckedPage = 1;
inline constexpr int kLastCheckedPage = 7;
inline constexpr int kWin10Page = 11;
// The checked pages in the order Next walks them.
inline constexpr int kCheckedPages[] = {1, 2, 3, 4, kWin10Page, 5, 6, 7};

// The defaults leaving page `step` puts into empty fields.
void FillPageDefaults(int step, SessionSettings& settings, const PageContext& context);

// The problems that keep Next on page `step`; none when
// the page passes. A page whose part of the CD is not chosen has nothing to
// check.
std::vector<PageProblem> CheckPage(int step, const SessionSettings& settings, const BootPassword& password,
                                   const PageContext& context);

// The one message Next shows for the problems of a page (at least one): a
// single problem as it is; several numbered in one text, under the gravest
// of their icons, so none is lost behind another box.
PageProblem PageMessage(const std::vector<PageProblem>& problems);

// About how many bytes the CD of these settings will take: the template and
// every folder the build copies (the boot images are left out: a few MB).
int64_t EstimatedCdBytes(const SessionSettings& settings, const std::string& programFolder);

// Whether the file at `path` is an ISO image (an ISO 9660 volume descriptor
// where one belongs). An existing file that is not one is not replaced by the
// CD's image without asking.
bool LooksLikeIsoImage(const std::string& path);

// Pages 1 to 7 in turn, as Next walks them: the defaults filled in, and the
// first page with problems, with its message (PageMessage).
struct PagesProblem {
  int page = 0;
  PageProblem problem;
};
std::optional<PagesProblem> CheckAllPages(SessionSettings& settings, const BootPassword& password,
                                          const PageContext& context);

}  // namespace kiv
