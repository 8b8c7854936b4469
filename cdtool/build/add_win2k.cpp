#include "cdtool/build/add_win2k.h"

#include <stdexcept>

#include "cdtool/bootmenu/boot_menu_edits.h"
#include "cdtool/build/build_run.h"
#include "cdtool/build/windows_medium.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/process_runner.h"
#include "common/progress_copy.h"
#include "common/prompter.h"
#include "common/setup_answer.h"

namespace kiv {

std::vector<std::string> ServicePackArgv(const std::string& wine, const std::string& spExe, const std::string& cdTree) {
  std::vector<std::string> argv;
  if (!wine.empty()) argv.push_back(wine);
#ifdef _WIN32
  argv.push_back(spExe);
  argv.push_back("-s:" + ShortPath(cdTree));
#else
  // wine maps the POSIX root to drive Z:.
  argv.push_back(spExe);
  argv.push_back("-s:Z:" + WindowsPath(cdTree));
#endif
  return argv;
}

void AddWin2K(BuildRun& run, const Win2KOptions& options) {
  const std::string& Source = options.Source;
  const std::string& SP_exe = options.SP_exe;
  Prompter& prompter = run.prompter();
  try {
    run.SetSubStep("Copying Windows 2000/XP Files");

    std::string error;
    const std::string sector = ResolvePath(run.InProgram("files\\bootsect\\w2ksect.bin"));
    if (!CopyOneFile(sector, run.InProgram("kivcd\\boot\\images\\w2ksect.bin"), &error))
      throw StepFailure(sector + ": " + error);

    const std::string source = ResolvePath(Source);
    // The service pack's installer changes the CD's I386 folder in place: it
    // gets a copy of its own. Otherwise the files stay where they lie.
    const std::string wine = SP_exe.empty() ? std::string() : run.Launcher().FindProgram("wine");
    const bool slipstream = !wine.empty() && FileExists(ResolvePath(SP_exe));
    if (slipstream) run.CopyTree(source, run.InProgram("kivcd\\I386"));
    else run.MapTree(source, "I386");

    // Tag files of the medium's root (the folder above I386).
    std::string trimmed = source;
    while (trimmed.size() > 1 && (trimmed.back() == '/' || trimmed.back() == '\\')) trimmed.pop_back();
    const std::string root = FolderOf(trimmed);
    for (const char* pattern : {"win51*.*", "cdrom*.*"}) {
      if (ListFolder(root, pattern, true, false).empty()) continue;
      if (!CopyFiles(JoinPath(root, pattern), JoinPath(run.InProgram("kivcd"), pattern), &error))
        throw StepFailure(JoinPath(root, pattern) + ": " + error);
    }

    if (!SP_exe.empty()) {
      if (wine.empty()) {
        prompter.MsgBox(Message{"Can't integrate the Windows Service Pack without wine installed",
                                "Can't Slipstream Service Pack", Icon::Exclamation, Buttons::OK, 0, std::nullopt});
      } else {
        run.SetSubStep("Slipstreaming Windows 2000/XP Service Pack");
        const std::string spExe = ResolvePath(SP_exe);
        if (FileExists(spExe)) {
          run.ASyncShell(ServicePackArgv(wine, spExe, run.InProgram("kivcd")));
          run.WaitForASyncApp();
        }
      }
    }

    if (options.AddInfo_toUnattend) {
      if (!FillKeyFile(run.ProgramFolder(), true, true)) throw StepFailure("cannot write " + run.InProgram(kKeyFile));
      const std::string keyFile = run.InProgram(kKeyFile);
      if (FileExists(keyFile)) {
        // The key goes under the name this medium's setup reads.
        const std::string medium = MediumRoot(Source);
        AnswerFileResult r =
            FillSetupDataFromKeyFileToUnattend(run.ProgramFolder(), keyFile, run.InProgram("kivcd\\I386\\WINNT.SIF"),
                                               UnattendStyle::CdBuilder, IdentifyWindowsFamily(medium));
        if (r.Failed()) throw StepFailure(r.path + ": " + r.error);
      }
    }

    if (options.DelTreeLang) {
      run.SetSubStep("Removing Extra Languages files");
      const std::string lang = ResolvePath(run.InProgram("kivcd\\I386\\LANG"));
      if (!DeleteTree(lang)) throw StepFailure("cannot delete " + lang);
      run.grafts.Drop("I386/LANG");
    }

    if (options.ProductKey) {
      run.SetSubStep("Injecting Product Key in the Boot Menu");
      InjectProductKey(run.InProgram("kivcd\\boot\\scripts\\main.cds"), JoinProductKey(*options.ProductKey), prompter);
      // The menu shows the key from here, not from the patched script.
      run.menuData.productKey = *options.ProductKey;
    }
  } catch (const std::exception& e) {
    run.FatalStepError("A fatal Error occured while integrating the Windows 2000/XP installation, operation halted",
                       e.what());
  }
}

}  // namespace kiv
