#pragma once
// What a floppy build shows of itself, as plain values: the step at work with
// its line, the disk definition's section, the four stages of the output with
// their marks, and how the build ended. The builder writes them; the wizard's
// pages, the "Please Wait" window and the console read them (see
// FloppyEvents::Progressed).
#include <array>
#include <string>

#include "disktool/output/image_output.h"
#include "disktool/workspace/wait_window.h"

namespace kiv {

// A build's steps, in their order.
enum class FloppyStep {
  None,
  Prepare,         // Drivers.ini seeded, files\dos and cabs staged
  ListDisks,       // the catalogue read
  FindDisk,        // the disk found in it, its image file checked
  RunDefinition,   // files\<disk>.ini executed into cabs
  DriverSettings,  // the disk's destination and driver classes taken
  SetupWin,        // the SetupWin module made
  SetupNT,         // the SetupNT module made
  ListFiles,       // the floppy's file list made from cabs
  ChooseDrivers,   // the driver lists shown for a choice (-sel)
  NameDos,         // which DOS the floppy starts
  MakeOutput,      // the four stages below: the image or the floppy made
};

// One of the four stages of the output.
struct FloppyStage {
  std::string title;
  bool running = false;  // the stage being worked on
  bool done = false;     // finished (a check mark)
};

// The stages' titles for an output: the last two name the image or the
// floppy they make.
std::array<FloppyStage, 4> OutputStages(FloppyOutput output);

enum class FloppyEnd {
  Open,        // not ended: the phases asked for are done, the build goes on later
  Made,        // the image or the floppy was made
  NoSuchDisk,  // the catalogue lists no disk of the request's name (nothing shown yet)
  Cancelled,   // a step failed (its message shown) or Cancel: the work files are gone
};

struct FloppyStatus {
  FloppyStep step = FloppyStep::None;
  // The step at work as one line ("Getting Drivers Settings ...", a stage's
  // title with " ..."), the line of the "Please Wait" window.
  std::string line = kWaitInitialStatus;
  // The section of the disk definition being executed ("Please Wait ...
  // Copying files from sources"); "" until one begins.
  std::string section;
  std::array<FloppyStage, 4> stages = OutputStages(FloppyOutput::Image144);
  FloppyEnd end = FloppyEnd::Open;
  // The finish page's heading: "Operation completed successfully" or, once
  // cancelled, "Operation canceled".
  std::string heading = "Operation completed successfully";
  // The image made, with its size ("The floppy image is ... (1440 KB)"); ""
  // when none was (a floppy, a cancel).
  std::string image;
};

}  // namespace kiv
