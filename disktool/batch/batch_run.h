#pragma once
// Batch mode: the build of one named disk without the wizard, driven through
// the disk builder's engine, with the wait window showing each step.
#include <functional>
#include <string>

#include "disktool/batch/command_line.h"

namespace kiv {

class FrmDrivers;
class FloppyBuilder;
class Prompter;
class WaitWindow;

// The driver selection window shown modal for -sel. Qt shows the dialog; the
// console prints the list and keeps it as it stands (ConsoleSelectDrivers).
using ShowDriversModal = std::function<void(FrmDrivers&)>;

// The parameter summary shown when an argument was rejected.
std::string BatchSummaryText(const BatchOptions& o);

// The image file a batch target names: a full path as it stands, anything
// else below the program folder.
std::string BatchDestination(const std::string& programFolder, const std::string& target);

// Builds o.DiskName. Returns the process exit code: 0 when the image file was
// made, 1 otherwise (declined summary, unknown disk, a cancelled step - a
// step that cancels ends the run there).
int RunBatch(FloppyBuilder& builder, BatchOptions& o, WaitWindow& wait, const ShowDriversModal& showDrivers);

}  // namespace kiv
