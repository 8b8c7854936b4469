// The wizard's form: its pages' choices and what they show of the build.
#include "disktool/wizard/frm_wizard.h"

#include <algorithm>

#include "common/progress_sink.h"

namespace kiv {

FrmWizard::FrmWizard(std::string programFolder, Prompter& prompter, ProgressSink& progress, const BuildContext& context)
    : Drivers(programFolder, context.launcher), builder_(std::move(programFolder), prompter, progress, context) {
  builder_.SetEvents(&mirror_);
  Drivers.Pump = [&progress] { progress.PumpEvents(); };
  ShowStageTitles();
}

FrmWizard::FrmWizard(const BuilderStart& start)
    : FrmWizard(start.programFolder, start.prompter, start.progress, start.context) {}

void FrmWizard::InitApp() {
  builder_.Build(Request, FloppyPhase::Prepare, FloppyPhase::Prepare);
  Request.image = builder_.Disk().image;
}

void FrmWizard::Fill_DiskList() {
  LV_Disk = builder_.Catalogue().Rows();
  LV_Disk[0].Selected = true;
  Request.disk = LV_Disk[0].Name;
  Request.diskRow = 1;
  if (Changed) Changed();
}

void FrmWizard::TakeDisk() {
  const FloppyDisk& disk = builder_.Disk();
  Request.image = disk.image;
  Request.aspi = disk.offered.aspi;
  Request.network = disk.offered.network;
  if (disk.offered.network) {
    NetFamily = disk.offered.family;
    NetFamilyOffered = true;
  }
  if (Changed) Changed();
}

std::vector<FileListEntry> FrmWizard::FileList() const {
  std::vector<FileListEntry> list = builder_.Tree().Files().FileList;
  for (FileListEntry& entry : list) {
    entry.Selected = std::find(Request.leftOut.begin(), Request.leftOut.end(), entry.Path) == Request.leftOut.end();
  }
  return list;
}

void FrmWizard::SelectFile(size_t index, bool selected) {
  const std::vector<FileListEntry>& list = builder_.Tree().Files().FileList;
  if (index >= list.size()) return;
  const std::string& path = list[index].Path;
  std::erase(Request.leftOut, path);
  if (!selected) Request.leftOut.push_back(path);
}

void FrmWizard::ChooseOutput(FloppyOutput output) {
  Request.output = output;
  ShowStageTitles();
  if (Changed) Changed();
}

void FrmWizard::ShowStageTitles() {
  const std::array<FloppyStage, 4> stages = OutputStages(Request.output);
  for (int i = 0; i < 4; ++i) LblMsg[i] = stages[i].title;
}

void FrmWizard::Show(const FloppyStatus& status) {
  // Page 1's line: each section of the definition as it begins, then the
  // driver settings.
  if (status.section != shownSection_) {
    shownSection_ = status.section;
    if (!status.section.empty()) LblStatus = status.section;
  }
  if (status.step != shownStep_) {
    shownStep_ = status.step;
    if (status.step == FloppyStep::DriverSettings) LblStatus = "Please Wait ... Preparing Default Drivers Settings";
  }
  RunningStage = 0;
  for (int i = 0; i < 4; ++i) {
    LblRight[i] = status.stages[i].done;
    if (status.stages[i].running) RunningStage = i + 1;
  }
  if (status.end != FloppyEnd::Open) LblFinish = status.heading;
  LblImage = status.image;
  OutputMade = status.end == FloppyEnd::Made;
  if (Changed) Changed();
}

}  // namespace kiv
