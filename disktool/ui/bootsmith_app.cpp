#include "disktool/ui/bootsmith_app.h"

#include <QApplication>
#include <QPointer>
#include <QProgressBar>

#include "common/platform.h"
#include "common/process_runner.h"
#include "common/progress_sink.h"
#include "common/ui/qt_prompter.h"
#include "disktool/batch/program_main.h"
#include "disktool/ui/drivers_dialog.h"
#include "disktool/ui/qt_wait_window.h"
#include "disktool/ui/wizard_window.h"
#include "disktool/wizard/frm_drivers.h"
#include "disktool/wizard/frm_wizard.h"
#include "disktool/wizard/wizard_flow.h"

namespace kiv {

namespace {

// Progress of the build, shown on the wizard's bar once the window exists;
// pumping lets the windows repaint and take clicks while a step runs.
class WizardProgress : public MemoryProgressSink {
 public:
  void SetMaximum(int64_t max) override {
    MemoryProgressSink::SetMaximum(max);
    Show();
  }
  void SetValue(int64_t v) override {
    MemoryProgressSink::SetValue(v);
    Show();
  }
  void PumpEvents() override { QApplication::processEvents(); }
  QPointer<QProgressBar> bar;

 private:
  void Show() {
    if (!bar) return;
    // The bar takes int; large ranges are scaled down.
    int64_t scale = 1;
    while (maximum / scale > 1000000) scale *= 10;
    bar->setMaximum(static_cast<int>(std::max<int64_t>(maximum / scale, 1)));
    bar->setValue(static_cast<int>(std::min(value, maximum) / scale));
  }
};

}  // namespace

int RunBootsmithGui(int argc, char** argv, const std::string& programFolder, const std::vector<std::string>& args,
                    const Environment& environment) {
  QApplication app(argc, argv);
  QtPrompter prompter(programFolder);
  prompter.SetHelpTitle(kDiskHelpTitle);  // the DOS import's message boxes have Help
  WizardProgress progress;
  QtWaitWindow wait;
  MainViews views;
  views.prompter = &prompter;
  views.progress = &progress;
  views.wait = &wait;
  views.showDrivers = [&programFolder](const DriverClasses& chosen) {
    FrmDrivers model(programFolder, SystemLauncher());
    model.Pump = [] { QApplication::processEvents(); };
    model.LoadDriverLists(chosen);
    DriversDialog dialog(model);
    dialog.ShowAsModel();
  };
  views.runWizard = [&](const BuilderStart& start) {
    FrmWizard form(start);
    form.InitApp();
    WizardWindow window(form);
    prompter.SetOwner(&window);
    wait.SetWizard(&window);
    progress.bar = window.WorkProgress();
    window.Ended = [] { QApplication::quit(); };
    window.show();
    const int code = app.exec();
    prompter.SetOwner(nullptr);
    return code;
  };
  return BootsmithMain(programFolder, args, views, {SystemLauncher(), CurrentPlatform(), environment});
}

}  // namespace kiv
