#pragma once
// What one floppy is to be: the disk of the catalogue, what it is written as
// and where, the drivers it takes, where the Windows 98 answers of its
// SetupWin module come from, the files left off it and the plug-in put on it.
// The wizard's pages fill it as the user chooses, batch mode from its command
// line (the CD builder's call among them); the builder makes every decision of
// a build from it.
#include <string>
#include <vector>

#include "common/setup_answer.h"
#include "common/setup_answer_defaults.h"
#include "disktool/output/image_output.h"

namespace kiv {

// Where the SetupWin module's answers come from.
enum class AnswerSource {
  KeyFileOrSystem,  // keyfile.txt when the program folder has one, else this system's registry
  KeyFile,          // keyfile.txt, always (-keyfile)
  Given,            // the request's own answers (the wizard's Windows-setup page)
};

struct FloppyRequest {
  // The catalogue entry's name, as it is listed ("custom" is the first row).
  std::string disk;
  // The disk list's row of that entry (1-based; 1 is "custom") where a list
  // chose it; 0: the last row of that name.
  int diskRow = 0;
  FloppyOutput output = FloppyOutput::Image144;
  // The image file; empty: the disk's own (the catalogue entry's "file").
  std::string image;
  // The driver classes taken where the disk offers them.
  bool aspi = true;
  bool network = true;
  // The lists of those classes are shown for a choice before the build
  // reads them (-sel).
  bool chooseDrivers = false;
  AnswerSource answerSource = AnswerSource::KeyFileOrSystem;
  Win9xInfo answers = DefaultWin9xInfo();  // with AnswerSource::Given
  // Files of the list (as it names them: "bin\\EDIT.COM") not to copy.
  std::vector<std::string> leftOut;
  // The plug-in put into the image ("" for none; never onto a floppy).
  std::string plugin;
};

}  // namespace kiv
