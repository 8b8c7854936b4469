// Which Windows 2000/XP medium a setup folder comes from, told by the tag
// files in the medium's root (found whatever their letter case).
#include <string>

#include "cdtool/wizard/frm_cd_build.h"
#include "common/file_ops.h"
#include "common/paths.h"

namespace kiv {

namespace {

struct Edition {
  const char* tag;
  const char* caption;
};
struct ServicePack {
  const char* tag;
  const char* suffix;
};

const Edition kXpEditions[] = {{"WIN51IP", "Microsoft Windows XP Professional Edition"},
                               {"WIN51IC", "Microsoft Windows XP Home Edition"}};
const ServicePack kXpServicePacks[] = {{"WIN51IP.SP3", " SP3"}, {"WIN51IP.SP2", " SP2"}, {"WIN51IP.SP1", " SP1"}};
const Edition k2000Editions[] = {{"CDROM_IP.5", "Microsoft Windows 2000 Professional"},
                                 {"CDROM_IS.5", "Microsoft Windows 2000 Server"},
                                 {"CDROM_IA.5", "Microsoft Windows 2000 Advanced Server"}};
const ServicePack k2000ServicePacks[] = {{"CDROMSP5.TST", " SP5"},
                                         {"CDROMSP4.TST", " SP4"},
                                         {"CDROMSP3.TST", " SP3"},
                                         {"CDROMSP2.TST", " SP2"},
                                         {"CDROM_SP.TST", " SP1"}};

}  // namespace

std::string IdentifyWinVerCaption(const std::string& parentFolder) {
  auto present = [&](const char* tag) { return FileExists(parentFolder + kSep + tag); };
  std::string caption = "Unknown Windows Version";
  std::string version;
  bool servicePackFound = false;
  auto editions = [&](const auto& list, const char* ver) {
    for (const Edition& e : list)
      if (present(e.tag)) {
        caption = e.caption;
        version = ver;
      }
  };
  auto servicePacks = [&](const auto& list, const char* ver) {
    for (const ServicePack& sp : list)
      if (present(sp.tag) && version == ver && !servicePackFound) {
        caption += sp.suffix;
        servicePackFound = true;
      }
  };
  editions(kXpEditions, "5.1");
  servicePacks(kXpServicePacks, "5.1");
  editions(k2000Editions, "5");
  servicePacks(k2000ServicePacks, "5");
  return caption;
}

void FrmCDBuild::IdentifyWinVer(const std::string& ParentFolder) {
  LblWin2KOSVer.Caption = IdentifyWinVerCaption(ParentFolder);
}

}  // namespace kiv
