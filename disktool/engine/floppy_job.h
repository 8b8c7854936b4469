#pragma once
// One floppy built from start to end without a wizard: the job says which
// catalogue disk, where its image goes, how big, with which answers, drivers
// and plug-in; RunFloppyJob walks the builder through every step of it. Batch
// mode makes a job from its command line and shows the status lines in its
// wait window; the engine itself talks to the user only through the builder's
// prompter, progress sink and launcher.
#include <functional>
#include <string>

#include "common/prompter.h"

namespace kiv {

class FloppyBuilder;
class FrmDrivers;

struct FloppyJob {
  std::string DiskName;             // the catalogue entry's name, as it is listed
  std::string Image;                // full path of the image; empty: the entry's own file
  bool Image288 = false;            // a 2.88 MB image instead of 1.44 MB
  bool AnswersFromKeyFile = false;  // SetupWin answers from keyfile.txt, not the system, always
  std::string Plugin;               // plug-in to put on the floppy ("" for none)
  // The disk's driver lists are loaded for a choice (-sel) and shown to
  // ChooseDrivers, where there is one, before the build reads them.
  bool SelectDrivers = false;
  std::function<void(FrmDrivers&)> ChooseDrivers;
};

// Each step's status line, as it begins ("Getting Drivers Settings ...").
using JobStatus = std::function<void(const std::string& line)>;

enum class FloppyJobEnd {
  Made,        // the image file is there
  NoSuchDisk,  // the catalogue lists no disk of the job's name (nothing shown yet)
  Stopped,     // a step ended the build and has shown its message, or a cancel
};

// "The disk "<name>" doesn't exist", titled "Critical error": what a
// NoSuchDisk end tells the user, once the caller's windows let it be seen.
Message NoSuchDiskMessage(const std::string& name);

// Builds `job` with a fresh `builder`, from InitApp on. Whatever the end, the
// builder's work files are gone.
FloppyJobEnd RunFloppyJob(FloppyBuilder& builder, const FloppyJob& job, const JobStatus& status);

}  // namespace kiv
