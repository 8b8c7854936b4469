#include "disktool/modules/setup_modules.h"

#include <string>

#include "common/file_ops.h"
#include "common/ini_file.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/prompter.h"
#include "common/setup_answer.h"
#include "common/setup_answer_defaults.h"
#include "disktool/drivers/cabinet_maker.h"
#include "disktool/workspace/floppy_workspace.h"

namespace kiv {

namespace {

std::string Quoted(const std::string& value) { return "\"" + value + "\""; }

}  // namespace

SetupModules::SetupModules(const FloppyWorkspace& workspace, CabinetMaker& cabinets)
    : workspace_(workspace), cabinets_(cabinets) {}

Win9xInfo SetupModules::ShowSetupData(const Win9xInfo& info) {
  auto orDefault = [](const std::string& value, const char* fallback) {
    return Trim(value).empty() ? std::string(fallback) : value;
  };
  Win9xInfo shown = info;
  shown.OwnerName = orDefault(info.OwnerName, kDefaultOwner);
  shown.Organization = orDefault(info.Organization, kDefaultOrg);
  shown.OptimizedFor = orDefault(info.OptimizedFor, kDefaultOSType);
  shown.ComputerName = orDefault(info.ComputerName, kDefaultPCName);
  shown.Workgroup = orDefault(info.Workgroup, kDefaultWorkgroup);
  return shown;
}

Win9xInfo SetupModules::FillSetupDataFromKeyFile(const Win9xInfo& current) const {
  Win9xInfo info;
  if (!ReadWin9xKeyFile(workspace_.Resolve(kKeyFile), info)) return current;
  return ShowSetupData(info);
}

Win9xInfo SetupModules::FillSetupDataFromReg() const { return ShowSetupData(ReadWin9xRegistry(workspace_.platform())); }

bool SetupModules::ProcessSetupInfFile(const std::string& relativeFile, int mode, const Win9xInfo& answers) {
  const INIFile inf(workspace_.Resolve(relativeFile));
  const std::string key = Quoted(JoinProductKey(answers.ProductKey));
  bool ok = inf.SetINIKey("Setup", "ProductKey", key);
  if (mode != 2) {
    const std::string modeText = std::to_string(mode);
    ok &= inf.SetINIKey("Setup", "Express", mode == 0 ? "1" : "0");
    ok &= inf.SetINIKey("NameAndOrg", "Name", Quoted(answers.OwnerName));
    ok &= inf.SetINIKey("NameAndOrg", "Org", Quoted(answers.Organization));
    ok &= inf.SetINIKey("NameAndOrg", "Display", modeText);
    ok &= inf.SetINIKey("Network", "ComputerName", Quoted(answers.ComputerName));
    ok &= inf.SetINIKey("Network", "Workgroup", Quoted(answers.Workgroup));
    ok &= inf.SetINIKey("VREDIR", "LogonDomain", Quoted(answers.Workgroup));
    ok &= inf.SetINIKey("Network", "Display", modeText);
  }
  return ok;
}

bool SetupModules::CreateSetupInf(const Win9xInfo& answers) {
  const std::string os = answers.OptimizedFor.find("98") != std::string::npos ? "win98" : "winme";
  const struct {
    std::string from, to;
  } copies[] = {
      {"files\\inf_files\\key_template.inf", "files\\setupwin\\bin\\key.inf"},
      {"files\\inf_files\\" + os + "_template.inf", "files\\setupwin\\bin\\def.inf"},
      {"files\\inf_files\\" + os + "_template.inf", "files\\setupwin\\bin\\auto.inf"},
  };
  MakePath(workspace_.Resolve("files\\setupwin\\bin"));
  for (const auto& c : copies) {
    const std::string from = ResolvePath(workspace_.Resolve(c.from));
    std::string error;
    if (!FileExists(from) || !CopyOneFile(from, workspace_.Resolve(c.to), &error)) {
      workspace_.prompter().MsgBox(Message{
          "The answer file template " + from + " could not be copied to " + workspace_.Resolve(c.to) +
              (error.empty() ? std::string() : " :\r\n" + error) + "\r\n\r\nThe Kiv Disk Builder Can't Continue !",
          "Error While Copying", Icon::Critical, Buttons::OK, 0, std::nullopt});
      return false;
    }
  }
  bool ok = ProcessSetupInfFile("files\\setupwin\\bin\\key.inf", 2, answers);
  ok &= ProcessSetupInfFile("files\\setupwin\\bin\\def.inf", 1, answers);
  ok &= ProcessSetupInfFile("files\\setupwin\\bin\\auto.inf", 0, answers);
  ok &= WriteFileAtomic(workspace_.Resolve("files\\setupwin\\bin\\os.bat"),
                        "@set OSVersion= " + answers.OptimizedFor + "\r\n");
  if (!ok) {
    workspace_.prompter().MsgBox(Message{"The SetupWin answer files in " + workspace_.Resolve("files\\setupwin\\bin") +
                                             " could not be written.\r\n\r\nThe Kiv Disk Builder Can't Continue !",
                                         "Error While Copying", Icon::Critical, Buttons::OK, 0, std::nullopt});
    return false;
  }
  std::string name = "setupwin", source = "files\\setupwin", cabs = "cabs\\lib";
  return cabinets_.MakeCab(name, source, cabs);
}

bool SetupModules::CreateSetupNT() {
  const AnswerFileResult r = FillSetupDataFromKeyFileToUnattend(
      workspace_.ProgramFolder(), workspace_.Resolve(kKeyFile), workspace_.Resolve("files\\setupnt\\bin\\unattend.txt"),
      UnattendStyle::DiskBuilder);
  if (r.Failed()) {
    const std::string what = r.status == AnswerFileResult::TemplateMissing
                                 ? "The answer file template " + r.path + " was not found."
                                 : "The answer file " + r.path + " could not be written" +
                                       (r.error.empty() ? std::string(".") : " :\r\n" + r.error);
    workspace_.prompter().MsgBox(Message{what + "\r\n\r\nThe Kiv Disk Builder Can't Continue !", "Error While Copying",
                                         Icon::Critical, Buttons::OK, 0, std::nullopt});
    return false;
  }
  std::string name = "setupnt", source = "files\\setupnt", cabs = "cabs\\lib";
  return cabinets_.MakeCab(name, source, cabs);
}

}  // namespace kiv
