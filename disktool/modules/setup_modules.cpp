// The SetupWin (Windows 98/Me) and SetupNT (Windows 2000/XP) modules: answer
// files written into files\setupwin and files\setupnt from the answer data,
// then each folder packed into a cabinet in cabs\lib.
#include <string>

#include "common/file_ops.h"
#include "common/ini_file.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/prompter.h"
#include "common/setup_answer.h"
#include "disktool/engine/floppy_builder.h"

namespace kiv {

namespace {

std::string Quoted(const std::string& value) { return "\"" + value + "\""; }

}  // namespace

// The Windows-setup page shows the answers it was given; an answer that is
// empty (a key file saved with blank fields, or a machine without a
// registry) shows the page's own default instead, so the page is never blank
// and the module never falls back to the Windows Me templates by accident.
void FloppyBuilder::ShowSetupData(const Win9xInfo& info) {
  auto orDefault = [](const std::string& value, const char* fallback) {
    return Trim(value).empty() ? std::string(fallback) : value;
  };
  TxtOwner = orDefault(info.OwnerName, kDefaultOwner);
  TxtOrg = orDefault(info.Organization, kDefaultOrg);
  LblOSType = orDefault(info.OptimizedFor, kDefaultOSType);
  TxtPCName = orDefault(info.ComputerName, kDefaultPCName);
  TxtWorkgroup = orDefault(info.Workgroup, kDefaultWorkgroup);
  for (int i = 0; i < 5; ++i) TxtKeyPart[i] = info.ProductKey[i];
  Notify();
}

void FloppyBuilder::FillSetupDataFromKeyFile() {
  Win9xInfo info;
  if (!ReadWin9xKeyFile(Resolve(kKeyFile), info)) return;
  ShowSetupData(info);
}

void FloppyBuilder::FillSetupDataFromReg() { ShowSetupData(ReadWin9xRegistry(*platform_)); }

bool FloppyBuilder::ProcessSetupInfFile(const std::string& relativeFile, int mode) {
  const INIFile inf(Resolve(relativeFile));
  const std::string key =
      Quoted(JoinProductKey({TxtKeyPart[0], TxtKeyPart[1], TxtKeyPart[2], TxtKeyPart[3], TxtKeyPart[4]}));
  bool ok = inf.SetINIKey("Setup", "ProductKey", key);
  if (mode != 2) {
    const std::string modeText = std::to_string(mode);
    ok &= inf.SetINIKey("Setup", "Express", mode == 0 ? "1" : "0");
    ok &= inf.SetINIKey("NameAndOrg", "Name", Quoted(TxtOwner));
    ok &= inf.SetINIKey("NameAndOrg", "Org", Quoted(TxtOrg));
    ok &= inf.SetINIKey("NameAndOrg", "Display", modeText);
    ok &= inf.SetINIKey("Network", "ComputerName", Quoted(TxtPCName));
    ok &= inf.SetINIKey("Network", "Workgroup", Quoted(TxtWorkgroup));
    ok &= inf.SetINIKey("VREDIR", "LogonDomain", Quoted(TxtWorkgroup));
    ok &= inf.SetINIKey("Network", "Display", modeText);
  }
  return ok;
}

bool FloppyBuilder::CreateSetupInf() {
  const std::string os = LblOSType.find("98") != std::string::npos ? "win98" : "winme";
  const struct {
    std::string from, to;
  } copies[] = {
      {"files\\inf_files\\key_template.inf", "files\\setupwin\\bin\\key.inf"},
      {"files\\inf_files\\" + os + "_template.inf", "files\\setupwin\\bin\\def.inf"},
      {"files\\inf_files\\" + os + "_template.inf", "files\\setupwin\\bin\\auto.inf"},
  };
  MakePath(Resolve("files\\setupwin\\bin"));
  for (const auto& c : copies) {
    const std::string from = ResolvePath(Resolve(c.from));
    std::string error;
    if (!FileExists(from) || !CopyOneFile(from, Resolve(c.to), &error)) {
      prompter_.MsgBox(Message{"The answer file template " + from + " could not be copied to " + Resolve(c.to) +
                                   (error.empty() ? std::string() : " :\r\n" + error) +
                                   "\r\n\r\nThe Kiv Disk Builder Can't Continue !",
                               "Error While Copying", Icon::Critical, Buttons::OK, 0, std::nullopt});
      CancelApp();
      return false;
    }
  }
  bool ok = ProcessSetupInfFile("files\\setupwin\\bin\\key.inf", 2);
  ok &= ProcessSetupInfFile("files\\setupwin\\bin\\def.inf", 1);
  ok &= ProcessSetupInfFile("files\\setupwin\\bin\\auto.inf", 0);
  ok &= WriteFileAtomic(Resolve("files\\setupwin\\bin\\os.bat"), "@set OSVersion= " + LblOSType + "\r\n");
  if (!ok) {
    prompter_.MsgBox(Message{"The SetupWin answer files in " + Resolve("files\\setupwin\\bin") +
                                 " could not be written.\r\n\r\nThe Kiv Disk Builder Can't Continue !",
                             "Error While Copying", Icon::Critical, Buttons::OK, 0, std::nullopt});
    CancelApp();
    return false;
  }
  std::string name = "setupwin", source = "files\\setupwin", cabs = "cabs\\lib";
  if (!MakeCab(name, source, cabs)) {
    CancelApp();
    return false;
  }
  return true;
}

bool FloppyBuilder::CreateSetupNT() {
  const AnswerFileResult r = FillSetupDataFromKeyFileToUnattend(
      programFolder_, Resolve(kKeyFile), Resolve("files\\setupnt\\bin\\unattend.txt"), UnattendStyle::DiskBuilder);
  if (r.Failed()) {
    const std::string what = r.status == AnswerFileResult::TemplateMissing
                                 ? "The answer file template " + r.path + " was not found."
                                 : "The answer file " + r.path + " could not be written" +
                                       (r.error.empty() ? std::string(".") : " :\r\n" + r.error);
    prompter_.MsgBox(Message{what + "\r\n\r\nThe Kiv Disk Builder Can't Continue !", "Error While Copying",
                             Icon::Critical, Buttons::OK, 0, std::nullopt});
    CancelApp();
    return false;
  }
  std::string name = "setupnt", source = "files\\setupnt", cabs = "cabs\\lib";
  if (!MakeCab(name, source, cabs)) {
    CancelApp();
    return false;
  }
  return true;
}

}  // namespace kiv
