// kivmax: asks for the Kiv server name and writes the kivmax plugin's
// network start-up file. Takes no arguments; works in the folder that holds
// the program. A Qt input dialog when a display is available, otherwise (or
// with KIVCD_UI=console) a prompt on stderr answered on stdin.
#include <QApplication>

#include "common/environment.h"
#include "common/platform.h"
#include "common/ui_mode.h"
#include "preparer/server_name_preparer.h"
#include "preparer/ui/input_prompter.h"

int main(int argc, char** argv) {
  const std::string folder = kiv::CurrentPlatform().ProgramFolder();
  if (kiv::DetectUiMode(kiv::Environment::OfThisProcess()) == kiv::UiMode::Gui) {
    QApplication app(argc, argv);
    kiv::QtInputPrompter prompter;
    return kiv::RunKivmax(folder, prompter);
  }
  kiv::ConsolePrompter prompter;
  return kiv::RunKivmax(folder, prompter);
}
