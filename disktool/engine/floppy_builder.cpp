// The engine's construction, the order of a build's steps, the stages of its
// output and its end (made or cancelled).
#include "disktool/engine/floppy_builder.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/progress_sink.h"
#include "common/prompter.h"
#include "disktool/dosimport/freedos_import.h"
#include "disktool/output/floppy_drive.h"
#include "disktool/output/image_made.h"
#include "disktool/output/image_target.h"

namespace kiv {

std::array<FloppyStage, 4> OutputStages(FloppyOutput output) {
  const bool image = IsImage(output);
  return {FloppyStage{"Preparing selected Drivers"}, FloppyStage{"Preparing pre-built drivers cache"},
          FloppyStage{image ? "Preparing new floppy image" : "Formating Floppy Disk"},
          FloppyStage{image ? "Copying files to floppy image" : "Copying files to floppy disk"}};
}

FloppyBuilder::FloppyBuilder(std::string programFolder, Prompter& prompter, ProgressSink& progress,
                             const BuildContext& context)
    : workspace_(std::move(programFolder), prompter, progress, context),
      catalogue_(workspace_.ProgramFolder()),
      cabinets_(workspace_),
      tree_(workspace_),
      drivers_(workspace_, cabinets_.Tool()),
      modules_(workspace_, cabinets_),
      output_(workspace_) {
  workspace_.changed = [this] { events_->Progressed(status_); };
  workspace_.stopped = [this] { return status_.end == FloppyEnd::Cancelled; };
  disk_.image = JoinPath(ProgramFolder(), "BootDisk.img");
}

FloppyBuilder::FloppyBuilder(const BuilderStart& start)
    : FloppyBuilder(start.programFolder, start.prompter, start.progress, start.context) {}

FloppyBuilder::~FloppyBuilder() = default;

void FloppyBuilder::Changed() { workspace_.Notify(); }

void FloppyBuilder::Announce(FloppyStep step, const std::string& line) {
  status_.step = step;
  status_.line = line;
  Changed();
}

// The whole order of a build. A step that fails has said why; the build ends
// there (a disk the catalogue lacks ends it without a word: the caller says
// so once its windows let the message be seen).
FloppyEnd FloppyBuilder::Build(const FloppyRequest& request, FloppyPhase first, FloppyPhase last) {
  const auto runs = [&](FloppyPhase phase) {
    return status_.end == FloppyEnd::Open && first <= phase && phase <= last;
  };
  const auto step = [this](FloppyStep which, const std::string& line, const std::function<bool()>& work) {
    if (status_.end != FloppyEnd::Open) return false;
    Announce(which, line);
    if (work() && status_.end == FloppyEnd::Open) return true;
    if (status_.end == FloppyEnd::Open) CancelApp();
    return false;
  };

  // A build from its first phase is a build of its own: whatever an earlier
  // one came to is forgotten.
  if (first == FloppyPhase::Prepare) {
    status_ = FloppyStatus{};
    disk_ = FloppyDisk{};
  }
  if (runs(FloppyPhase::Prepare)) step(FloppyStep::Prepare, status_.line, [this] { return InitApp(); });

  if (runs(FloppyPhase::Disk)) {
    status_.section.clear();
    std::vector<DiskRow> rows;  // what a request without a row looks its disk up in
    step(FloppyStep::ListDisks, "Getting a list of Disks Configuration ...",
         [&] {
           if (request.diskRow == 0) rows = catalogue_.Rows();
           return true;
         }) &&
        step(FloppyStep::FindDisk, "Getting Disk Configuration INI file ...",
             [&] { return FindDisk(request, rows) && !RefuseCatalogueFile() && DefaultImageAgreed(request); }) &&
        step(FloppyStep::RunDefinition, "Processing " + ToLower(disk_.name) + ".ini file ...",
             [this] { return Init_Lists(); }) &&
        step(FloppyStep::DriverSettings, "Getting Drivers Settings ...", [this] {
          GetDiskAndDriverSettings();
          return true;
        });
  }

  if (runs(FloppyPhase::Files)) {
    const auto setupWin = [&] { return modules_.CreateSetupInf(AnswersFor(request.answerSource, request.answers)); };
    (!disk_.needSetupWin || step(FloppyStep::SetupWin, "Creating the SetupWin module ...", setupWin)) &&
        (!disk_.needSetupNT ||
         step(FloppyStep::SetupNT, "Creating the SetupNT module ...", [this] { return modules_.CreateSetupNT(); })) &&
        step(FloppyStep::ListFiles, "Getting files list to be copied to the floppy image ...", [this] {
          tree_.FillInitialList();
          return true;
        });
  }

  if (runs(FloppyPhase::Output)) {
    (!request.chooseDrivers || step(FloppyStep::ChooseDrivers, "Getting Drivers List ...",
                                    [&] {
                                      events_->ChooseDrivers(Chosen(request));
                                      return true;
                                    })) &&
        step(FloppyStep::NameDos, DosLine(), [] { return true; }) &&
        step(FloppyStep::MakeOutput, "Creating the floppy image file ...", [&] { return FinishApp(request); });
  }
  return status_.end;
}

void FloppyBuilder::RemoveWorkFiles() {
  const std::string ini = workspace_.Resolve("Drivers.ini");
  if (FileExists(ini)) std::remove(ini.c_str());
  const std::string cabs = workspace_.Resolve("cabs");
  if (FolderExists(cabs)) DeleteTree(cabs);
  const std::string temp = workspace_.Resolve("Temp");
  if (FolderExists(temp)) DeleteTree(temp);
}

bool FloppyBuilder::InitApp() {
  const std::string ini = workspace_.Resolve("Drivers.ini");
  if (FileExists(ini)) std::remove(ini.c_str());
  static const char* const kKinds[][2] = {{"aspi", "ASPI"}, {"ndis", "NDIS"}, {"odi16", "ODI16"}, {"odi32", "ODI32"}};
  for (const auto& kind : kKinds) {
    if (FolderExists(workspace_.Resolve(std::string("drivers\\") + kind[0])))
      drivers_.AddDriversToIni("Drivers.ini", kind[1], 1);
  }
  disk_.image = JoinPath(ProgramFolder(), "BootDisk.img");
  tree_.PrepareDosFiles();
  DeleteTree(workspace_.Resolve("cabs"));
  std::string cabs = "cabs";
  std::string cabsBin = "cabs\\bin";
  return tree_.CopyFilesToFolder("files\\base_files\\*.*", cabs, {.silent = false}) &&
         tree_.CopyFilesToFolder("files\\base_files\\bin\\*.*", cabsBin, {.silent = false});
}

Win9xInfo FloppyBuilder::AnswersFor(AnswerSource source, const Win9xInfo& shown) const {
  switch (source) {
    case AnswerSource::Given:
      return shown;
    case AnswerSource::KeyFile:
      return modules_.FillSetupDataFromKeyFile(shown);
    case AnswerSource::KeyFileOrSystem:
      break;
  }
  return FileExists(workspace_.Resolve(kKeyFile)) ? modules_.FillSetupDataFromKeyFile(shown)
                                                  : modules_.FillSetupDataFromReg();
}

DriverClasses FloppyBuilder::Chosen(const FloppyRequest& request) const {
  DriverClasses chosen = disk_.offered;
  chosen.aspi = chosen.aspi && request.aspi;
  chosen.network = chosen.network && request.network;
  return chosen;
}

std::string FloppyBuilder::ImageFile(const FloppyRequest& request) const {
  return output_.ImageFile(request.image.empty() ? disk_.image : request.image);
}

// Which DOS the floppy starts: the import's record tells FreeDOS from the
// files of Windows 98.
std::string FloppyBuilder::DosLine() const {
  const std::string dos = DosKind(ResolvePath(JoinPath(ProgramFolder(), "dos")));
  return dos == "stand-ins" ? std::string("The floppy's DOS: the stand-ins (no real DOS imported)")
                            : "The floppy's DOS: " + dos;
}

bool FloppyBuilder::RunStage(int stage, const std::function<bool()>& work) {
  FloppyStage& line = status_.stages[stage - 1];
  status_.line = line.title + " ...";
  line.running = true;
  Changed();
  // A build cancelled meanwhile (Changed pumps events) starts no further stage.
  if (status_.end != FloppyEnd::Open) {
    line.running = false;
    return false;
  }
  const bool ok = work();
  line.running = false;
  if (ok) line.done = true;
  Changed();
  return ok;
}

bool FloppyBuilder::FinishApp(const FloppyRequest& request) {
  status_.stages = OutputStages(request.output);
  status_.image.clear();
  const bool image = IsImage(request.output);
  const std::string file = ImageFile(request);
  if (image) {
    const std::string problem = ImageTargetProblem(ProgramFolder(), file);
    if (!problem.empty()) {
      prompter().MsgBox(Message{problem, kInvalidTargetTitle, Icon::Critical, Buttons::OK, 0, std::nullopt});
      return false;
    }
  }
  // The files the user left off the list stay off the floppy.
  for (FileListEntry& entry : tree_.Files().FileList) {
    if (std::find(request.leftOut.begin(), request.leftOut.end(), entry.Path) != request.leftOut.end())
      entry.Selected = false;
  }
  const DriverClasses chosen = Chosen(request);
  std::vector<FileListEntry>& files = tree_.Files().FileList;
  if (!RunStage(1, [&] { return drivers_.PrepareDrivers(files, chosen); })) return false;
  if (!RunStage(2, [&] {
        drivers_.CreatePrebuiltFiles(files, chosen);
        return true;
      }))
    return false;
  if (!image) {
    if (!RunStage(3, [this] { return output_.FormatFloppy(); }) ||
        !RunStage(4, [this] { return tree_.InjectFilesToDir("A:", &output_.Floppy()); }))
      return false;
  } else {
    const auto makeTree = [&] {
      if (!tree_.CreateDiskAsDir()) return false;
      if (!request.plugin.empty()) tree_.InjectPlugin(request.plugin);
      return true;
    };
    if (!RunStage(3, makeTree) ||
        !RunStage(4, [&] { return output_.CreateImageFromDir(file, tree_.Files().WorkDir, request.output); }))
      return false;
  }
  status_.end = FloppyEnd::Made;
  status_.heading = "Operation completed successfully";
  if (image) {
    std::error_code ec;
    const std::uintmax_t bytes = std::filesystem::file_size(file, ec);
    status_.image = ImageMadeText(file, ec ? 0 : bytes);
  }
  RemoveWorkFiles();
  Changed();
  return true;
}

void FloppyBuilder::CancelApp() {
  status_.end = FloppyEnd::Cancelled;
  status_.heading = "Operation canceled";
  status_.image.clear();
  RemoveWorkFiles();
  Changed();
  // Which page follows is the wizard's business; batch mode shows none.
  events_->BuildStopped();
}

}  // namespace kiv
