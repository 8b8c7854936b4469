#pragma once
// Batch mode: the build of one named disk without the wizard: the command
// line made a request for the disk builder's engine, whose status lines the
// wait window shows.
#include <functional>
#include <string>

#include "common/prompter.h"
#include "disktool/batch/command_line.h"
#include "disktool/drivers/driver_set.h"
#include "disktool/engine/floppy_request.h"

namespace kiv {

class FloppyBuilder;
class Prompter;
class WaitWindow;

// The driver selection window shown modal for -sel, over the lists of the
// classes the disk takes; the marks kept are in Drivers.ini when it returns.
// Qt shows the dialog; the console asks at a terminal and otherwise prints
// the list and keeps it as it stands (ConsoleSelectDrivers).
using ShowDriversModal = std::function<void(const DriverClasses& chosen)>;

// The parameter summary shown when an argument was rejected.
std::string BatchSummaryText(const BatchOptions& o);

// The image file a batch target names: a full path as it stands, anything
// else below the program folder.
std::string BatchDestination(const std::string& programFolder, const std::string& target);

// The floppy the command line asks for: the disk, its size, the target, the
// answers' source (-keyfile), the driver choice (-sel) and the plug-in.
FloppyRequest BatchRequest(const BatchOptions& o, const std::string& programFolder);

// "The disk "<name>" doesn't exist", titled "Critical error": what a build
// of a disk the catalogue lacks tells the user, once the wait window has gone.
Message NoSuchDiskMessage(const std::string& name);

// Builds o.DiskName. Returns the process exit code: 0 when the image file was
// made, 1 otherwise (declined summary, unknown disk, a cancelled step - a
// step that cancels ends the run there).
int RunBatch(FloppyBuilder& builder, BatchOptions& o, WaitWindow& wait, const ShowDriversModal& showDrivers);

}  // namespace kiv
