#include "cdtool/build/build_outcome.h"

namespace kiv {

std::string MediumWarning(int64_t bytes) {
  const std::string mb = std::to_string((bytes + 1024 * 1024 - 1) / (1024 * 1024)) + " MB";
  if (bytes > kDvdBytes)
    return "The CD's files take " + mb +
           ", more than a single-layer DVD (4.7 GB) holds: write the image to a USB stick or a double-layer DVD.";
  if (bytes > kCdBytes)
    return "The CD's files take " + mb +
           ", more than a CD (700 MB) holds: burn the image on a DVD or write it to "
           "a USB stick.";
  return "";
}

std::string BuildStepName(int step) {
  static const char* const kNames[] = {"Preparing the work folder",
                                       "Creating kiv Boot Disks",
                                       "Inserting Windows 2000/XP/2003 Setup Files",
                                       "Inserting Windows 9x Setup Files",
                                       "Adding kiv Utilities/Advanced Tools",
                                       "Creating Final ISO File"};
  return step >= 0 && step <= 5 ? kNames[step] : "step " + std::to_string(step);
}

std::string BuildOutcome::StepName() const { return stepTitle.empty() ? BuildStepName(step) : stepTitle; }

std::string BuildOutcome::Summary() const {
  switch (kind) {
    case Kind::NotRun:
      return "Nothing built";
    case Kind::Made:
      return "ISO image made: " + isoPath + " (" + std::to_string(isoSize) + " bytes)" +
             (note.empty() ? "" : ". " + note);
    case Kind::Cancelled:
      return "Build cancelled; no ISO image made";
    case Kind::Failed:
      break;
  }
  std::string text = "Build failed at step " + std::to_string(step) + " (" + StepName() + ")";
  return reason.empty() ? text : text + ": " + reason;
}

}  // namespace kiv
