#pragma once
// What a build run came to, as a value: the finish page, the window title,
// `--build`'s exit status and last line and the ISO's follow-ups (USB stick,
// virtual machine) all decide from it, never from a caption.
#include <cstdint>
#include <string>

namespace kiv {

struct BuildOutcome {
  enum class Kind {
    NotRun,     // Finish has not been pressed
    Made,       // the ISO was made by this run: `isoPath`, `isoSize`
    Cancelled,  // the user cancelled, or a stop request ended the run
    Failed,     // a step failed: `step` (0 the work folder, 1-5 the step lines) and `reason`
  };
  Kind kind = Kind::NotRun;
  std::string isoPath;  // absolute; also set for a run that failed
  int64_t isoSize = 0;
  int step = 0;
  // The step line's title as the run showed it ("" for the step's usual
  // name), and whether step 2 failed in its Windows 10/11 part.
  std::string stepTitle;
  bool windows10 = false;
  std::string reason;
  std::string note;  // for a made ISO: a word on the medium it needs, if not a CD

  bool Made() const { return kind == Kind::Made; }
  // The failed step's name: its title as shown, or BuildStepName.
  std::string StepName() const;
  // One line for a console or a log: "ISO image made: <path> (<size> bytes)",
  // "Build cancelled", or "Build failed at step N (<step name>): <reason>".
  std::string Summary() const;
};

// What a medium holds: a CD of 80 minutes, a single-layer DVD.
inline constexpr int64_t kCdBytes = 700ll * 1024 * 1024;
inline constexpr int64_t kDvdBytes = 4700ll * 1000 * 1000;

// What to tell the user about an image of `bytes`: "" when it fits a CD;
// otherwise which medium it needs.
std::string MediumWarning(int64_t bytes);

// Names of the step lines 1-5 (step 0: preparing the work folder).
std::string BuildStepName(int step);

}  // namespace kiv
