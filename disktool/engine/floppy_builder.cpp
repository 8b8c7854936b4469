// The engine's construction, the order of a build's steps, its stages and
// its end (made or cancelled).
#include "disktool/engine/floppy_builder.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "common/environment.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/progress_sink.h"
#include "common/prompter.h"
#include "disktool/output/floppy_drive.h"
#include "disktool/output/image_made.h"
#include "disktool/output/image_target.h"

namespace kiv {

FloppyBuilder::FloppyBuilder(std::string programFolder, Prompter& prompter, ProgressSink& progress,
                             const BuildContext& context)
    : Drivers(programFolder, context.launcher),
      Catalogue(programFolder),
      workspace_(std::move(programFolder), prompter, progress, context),
      cabinets_(workspace_),
      tree_(workspace_, *this),
      drivers_(workspace_, *this, Drivers, cabinets_.Tool()),
      modules_(workspace_, *this, cabinets_),
      output_(workspace_, *this) {
  Drivers.Pump = [this] { workspace_.Pump(); };
  workspace_.changed = [this] {
    if (Changed) Changed();
  };
  workspace_.stopped = [this] { return BuildCancelled; };
}

FloppyBuilder::FloppyBuilder(const BuilderStart& start)
    : FloppyBuilder(start.programFolder, start.prompter, start.progress, start.context) {
  WindowsDir = start.windowsDir;
  SystemDir = start.systemDir;
}

FloppyBuilder::~FloppyBuilder() = default;

void FloppyBuilder::SetFloppyDrive(std::unique_ptr<FloppyDrive> drive) { output_.SetFloppyDrive(std::move(drive)); }

void FloppyBuilder::SetStatus(const std::string& text) {
  LblStatus = text;
  Notify();
}

void FloppyBuilder::RemoveWorkFiles() {
  const std::string ini = Resolve("Drivers.ini");
  if (FileExists(ini)) std::remove(ini.c_str());
  const std::string cabs = Resolve("cabs");
  if (FolderExists(cabs)) DeleteTree(cabs);
  const std::string temp = Resolve("Temp");
  if (FolderExists(temp)) DeleteTree(temp);
}

std::string FloppyBuilder::SelectedDiskName() const {
  if (SelectedDisk < 1 || SelectedDisk > static_cast<int>(LV_Disk.size())) return "";
  return LV_Disk[SelectedDisk - 1].Name;
}

void FloppyBuilder::InitApp() {
  const std::string ini = Resolve("Drivers.ini");
  if (FileExists(ini)) std::remove(ini.c_str());
  static const char* const kKinds[][2] = {{"aspi", "ASPI"}, {"ndis", "NDIS"}, {"odi16", "ODI16"}, {"odi32", "ODI32"}};
  for (const auto& kind : kKinds) {
    if (FolderExists(Resolve(std::string("drivers\\") + kind[0]))) drivers_.AddDriversToIni("Drivers.ini", kind[1], 1);
  }
  TxtDest = JoinPath(ProgramFolder(), "BootDisk.img");
  tree_.PrepareDosFiles();
  DeleteTree(Resolve("cabs"));
  std::string cabs = "cabs";
  std::string cabsBin = "cabs\\bin";
  if (!CopyFilesToFolder("files\\base_files\\*.*", cabs, {.silent = false}) ||
      !CopyFilesToFolder("files\\base_files\\bin\\*.*", cabsBin, {.silent = false})) {
    CancelApp();
  }
}

bool FloppyBuilder::EndUnless(bool done) {
  if (!done) CancelApp();
  return done;
}

bool FloppyBuilder::CreateDiskAsDir() { return EndUnless(tree_.CreateDiskAsDir()); }

// "A:" is the floppy drive, as the disk definitions name it.
bool FloppyBuilder::InjectFilesToDir(const std::string& DestDir) {
  return tree_.InjectFilesToDir(DestDir, DestDir == "A:" ? &output_.Floppy() : nullptr);
}

bool FloppyBuilder::PrepareDrivers() { return EndUnless(drivers_.PrepareDrivers(FileList)); }

void FloppyBuilder::LoadDriverLists() {
  WaitStatus = "Getting Drivers List ...";
  Notify();
  drivers_.LoadDriverLists();
}

bool FloppyBuilder::CreateSetupInf() { return EndUnless(modules_.CreateSetupInf()); }

bool FloppyBuilder::CreateSetupNT() { return EndUnless(modules_.CreateSetupNT()); }

void FloppyBuilder::FloppyImageLabels(bool EnableImageLabels) {
  LblMsg[2] = EnableImageLabels ? "Preparing new floppy image" : "Formating Floppy Disk";
  LblMsg[3] = EnableImageLabels ? "Copying files to floppy image" : "Copying files to floppy disk";
  Notify();
}

void FloppyBuilder::ChooseOutput(FloppyOutput output) {
  OptImage14 = output == FloppyOutput::Image144;
  OptImage28 = output == FloppyOutput::Image288;
  OptFloppy = output == FloppyOutput::Floppy;
  FloppyImageLabels(!OptFloppy);
}

bool FloppyBuilder::RunStage(int stage, const std::function<bool()>& step) {
  WaitStatus = LblMsg[stage - 1] + " ...";
  progress().SetCaption(WaitStatus);
  RunningStage = stage;
  Notify();
  // A build cancelled meanwhile (Notify pumps events) starts no further stage.
  if (BuildCancelled) {
    RunningStage = 0;
    return false;
  }
  const bool ok = step();
  RunningStage = 0;
  if (ok) LblRight[stage - 1] = true;
  Notify();
  return ok;
}

bool FloppyBuilder::FinishApp(const std::string& Plugin) {
  BuildCancelled = false;
  OutputMade = false;
  LblImage.clear();
  if (OptImage14 || OptImage28) {
    const std::string problem = ImageTargetProblem(ProgramFolder(), ImageFile());
    if (!problem.empty()) {
      prompter().MsgBox(Message{problem, kInvalidTargetTitle, Icon::Critical, Buttons::OK, 0, std::nullopt});
      CancelApp();
      return false;
    }
  }
  // A step that cancels ends the build there.
  if (!RunStage(1, [this] { return PrepareDrivers(); }) || BuildCancelled) return false;
  RunStage(2, [this] {
    CreatePrebuiltFiles();
    return true;
  });
  if (BuildCancelled) return false;

  // Stages 3 and 4 make the output: one that fails ends the build.
  auto mustRun = [this](int stage, const std::function<bool()>& step) {
    if (RunStage(stage, step)) return true;
    if (!BuildCancelled) CancelApp();
    return false;
  };
  if (!OptImage14 && !OptImage28) {
    if (!mustRun(3, [this] { return FormatFloppy(); }) || !mustRun(4, [this] { return InjectFilesToDir("A:"); }))
      return false;
  } else {
    const auto makeTree = [&] {
      if (!CreateDiskAsDir()) return false;
      if (!Plugin.empty()) InjectPlugin(Plugin);
      return true;
    };
    if (!mustRun(3, makeTree) || !mustRun(4, [this] { return CreateImageFromDir(ImageFile()); })) return false;
  }
  LblFinish = "Operation completed successfully";
  OutputMade = true;
  if (OptImage14 || OptImage28) {
    const std::string image = ImageFile();
    std::error_code ec;
    const std::uintmax_t bytes = std::filesystem::file_size(image, ec);
    LblImage = ImageMadeText(image, ec ? 0 : bytes);
  }
  RemoveWorkFiles();
  Notify();
  return true;
}

void FloppyBuilder::CancelApp() {
  Cancelled = true;
  BuildCancelled = true;
  OutputMade = false;
  LblImage.clear();
  LblFinish = "Operation canceled";
  RemoveWorkFiles();
  Notify();
  // Which page follows is the wizard's business; batch mode shows none.
  if (BuildStopped) BuildStopped();
}

}  // namespace kiv
