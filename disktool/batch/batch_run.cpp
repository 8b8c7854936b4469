// RunBatch: the command line's target checked, the options made a request
// for the engine, each of its status lines shown in the wait window.
#include "disktool/batch/batch_run.h"

#include <cstdio>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/prompter.h"
#include "disktool/engine/floppy_builder.h"
#include "disktool/engine/floppy_events.h"
#include "disktool/output/image_target.h"
#include "disktool/workspace/wait_window.h"

namespace kiv {

std::string BatchSummaryText(const BatchOptions& o) {
  auto yes = [](bool b) { return std::string(b ? "True" : "False"); };
  return "There has been an invalid parameter,\r\n"
         "check your settings before starting the batch mode :\r\n"
         "\r\n"
         "Disk Name : " +
         o.DiskName + "\r\n" + "Target : " + o.Target + "\r\n" +
         "Plugin to Apply : " + (o.Plugin.empty() ? std::string("None") : o.Plugin) + "\r\n" +
         "Image Type : " + (o.ImageType == 2 ? "2.88 MB" : "1.44 MB") + "\r\n" +
         "Select Drivers : " + yes(o.SelectDrivers) + "\r\n" +
         "Load Product key from keyfile.txt : " + yes(o.UseKeyFile) + "\r\n";
}

std::string BatchDestination(const std::string& programFolder, const std::string& target) {
  return IsAbsolutePath(target) ? target : JoinPath(programFolder, NativePath(target));
}

FloppyRequest BatchRequest(const BatchOptions& o, const std::string& programFolder) {
  FloppyRequest request;
  request.disk = o.DiskName;
  // Batch mode always writes an image file, never a physical floppy.
  request.output = o.ImageType == 2 ? FloppyOutput::Image288 : FloppyOutput::Image144;
  if (!o.Target.empty()) request.image = BatchDestination(programFolder, o.Target);
  request.answerSource = o.UseKeyFile ? AnswerSource::KeyFile : AnswerSource::KeyFileOrSystem;
  request.chooseDrivers = o.SelectDrivers;
  request.plugin = o.Plugin;
  return request;
}

Message NoSuchDiskMessage(const std::string& name) {
  return Message{
      "The disk \"" + name + "\" doesn't exist", "Critical error", Icon::Critical, Buttons::OK, 0, std::nullopt};
}

namespace {

// The build as batch mode shows it: each new line of its status in the wait
// window, the window's events pumped, and -sel's lists in the driver window.
class WaitWindowEvents : public FloppyEvents {
 public:
  WaitWindowEvents(WaitWindow& wait, const ShowDriversModal& showDrivers) : wait_(wait), showDrivers_(showDrivers) {}
  void Progressed(const FloppyStatus& status) override {
    Say(status.line);
    wait_.Pump();
  }
  void ChooseDrivers(const DriverClasses& chosen) override {
    if (showDrivers_) showDrivers_(chosen);
  }
  void Say(const std::string& line) {
    if (line == shown_) return;
    shown_ = line;
    wait_.SetStatus(line);
  }

 private:
  WaitWindow& wait_;
  const ShowDriversModal& showDrivers_;
  std::string shown_;
};

}  // namespace

int RunBatch(FloppyBuilder& builder, BatchOptions& o, WaitWindow& wait, const ShowDriversModal& showDrivers) {
  Prompter& prompter = builder.prompter();
  if (o.HadError) {
    const Answer a = prompter.MsgBox(Message{BatchSummaryText(o), "Check your Command Line Parameters",
                                             Icon::Exclamation, Buttons::OKCancel, 0, Answer::Cancel});
    if (a != Answer::OK) return 1;
  }

  // A target that the build would destroy or lose is refused before
  // anything is prepared.
  if (!o.Target.empty()) {
    const std::string& folder = builder.ProgramFolder();
    const std::string problem = ImageTargetProblem(folder, BatchDestination(folder, o.Target));
    if (!problem.empty()) {
      prompter.MsgBox(Message{problem, kInvalidTargetTitle, Icon::Critical, Buttons::OK, 0, std::nullopt});
      return 1;
    }
    // A file that is not an earlier image of this kind (a document, an image
    // of the other size) is replaced only when the user says so; where nobody
    // can be asked, it is kept and the run refused.
    if (!builder.Output().ImageTargetAgreed(BatchDestination(folder, o.Target),
                                            o.ImageType == 2 ? FloppyOutput::Image288 : FloppyOutput::Image144))
      return 1;
  }

  WaitWindowEvents events(wait, showDrivers);
  struct Hearing {
    FloppyBuilder& builder;
    FloppyEvents* before;
    ~Hearing() { builder.SetEvents(before); }
  } hearing{builder, builder.SetEvents(&events)};

  wait.Show();
  events.Say(builder.Status().line);
  const FloppyRequest request = BatchRequest(o, builder.ProgramFolder());
  switch (builder.Build(request)) {
    case FloppyEnd::NoSuchDisk:
      wait.Hide();
      prompter.MsgBox(NoSuchDiskMessage(o.DiskName));
      return 1;
    case FloppyEnd::Made:
      break;
    case FloppyEnd::Open:
    case FloppyEnd::Cancelled:
      wait.Hide();
      return 1;
  }
  // The last line says where the image went (a relative target is taken
  // from the program folder, which a script may not expect).
  const std::string image = builder.ImageFile(request);
  events.Say("Image written: " + image + " (" + std::to_string(FileSize(image)) + " bytes)");
  wait.Hide();
  return 0;
}

}  // namespace kiv
