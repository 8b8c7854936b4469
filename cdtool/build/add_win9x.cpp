#include "cdtool/build/add_win9x.h"

#include <stdexcept>

#include "cdtool/build/build_run.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/progress_copy.h"
#include "common/prompter.h"
#include "common/setup_answer.h"

namespace kiv {

std::string Win9xFolderName(const std::string& Source) {
  std::string name = "WINSETUP";
  if (FileExists(ResolvePath(JoinPath(Source, "base4.cab")))) name = "WIN98";
  if (FileExists(ResolvePath(JoinPath(Source, "base2.cab")))) name = "WINME";
  return name;
}

void AddWin9x(BuildRun& run, const std::string& Source, bool AddInfo_toMSBatch) {
  try {
    const std::string source = ResolvePath(Source);
    const std::string name = Win9xFolderName(source);
    run.SetSubStep("Copying Windows 9x Setup Files");
    const std::string target = run.InProgram("kivcd\\" + name);
    if (!FolderExists(target) && !MakePath(target)) throw std::runtime_error("cannot create " + target);
    run.MapTree(source, name);

    if (AddInfo_toMSBatch) {
      if (!FillKeyFile(run.ProgramFolder(), true, true))
        throw std::runtime_error("cannot write " + run.InProgram(kKeyFile));
      const std::string keyFile = run.InProgram(kKeyFile);
      if (FileExists(keyFile)) {
        AnswerFileResult r =
            FillSetupDataFromKeyFileToMSBatch(run.ProgramFolder(), keyFile, JoinPath(target, "MSBATCH.INF"));
        if (r.Failed()) throw std::runtime_error(r.path + ": " + r.error);
      }
    }
  } catch (const std::exception& e) {
    run.FatalStepError("A fatal Error occured while integrating the Windows 98/Me installation, operation halted",
                       e.what());
  }
}

}  // namespace kiv
