// Which Windows 2000/XP medium a setup folder comes from, told by the tag
// files in the medium's root (found whatever their letter case).
#include "cdtool/build/windows_medium.h"

#include <string>

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
// The Professional tags first (a Home root is looked at under them too), then
// Home's own: a Home CD with its service pack carries WIN51IC.SPn.
const ServicePack kXpServicePacks[] = {{"WIN51IP.SP3", " SP3"}, {"WIN51IP.SP2", " SP2"}, {"WIN51IP.SP1", " SP1"},
                                       {"WIN51IC.SP3", " SP3"}, {"WIN51IC.SP2", " SP2"}, {"WIN51IC.SP1", " SP1"}};
// Server 2003 (NT 5.2) keeps the WIN51 names, one letter per edition; each
// edition's service-pack tag is its own name with .SPn.
const Edition k2003Editions[] = {{"WIN51IS", "Microsoft Windows Server 2003 Standard Edition"},
                                 {"WIN51IA", "Microsoft Windows Server 2003 Enterprise Edition"},
                                 {"WIN51IB", "Microsoft Windows Server 2003 Web Edition"},
                                 {"WIN51ID", "Microsoft Windows Server 2003 Datacenter Edition"}};
const ServicePack k2003ServicePacks[] = {{"WIN51IS.SP2", " SP2"}, {"WIN51IA.SP2", " SP2"}, {"WIN51IB.SP2", " SP2"},
                                         {"WIN51ID.SP2", " SP2"}, {"WIN51IS.SP1", " SP1"}, {"WIN51IA.SP1", " SP1"},
                                         {"WIN51IB.SP1", " SP1"}, {"WIN51ID.SP1", " SP1"}};
const Edition k2000Editions[] = {{"CDROM_IP.5", "Microsoft Windows 2000 Professional"},
                                 {"CDROM_IS.5", "Microsoft Windows 2000 Server"},
                                 {"CDROM_IA.5", "Microsoft Windows 2000 Advanced Server"}};
const ServicePack k2000ServicePacks[] = {{"CDROMSP5.TST", " SP5"},
                                         {"CDROMSP4.TST", " SP4"},
                                         {"CDROMSP3.TST", " SP3"},
                                         {"CDROMSP2.TST", " SP2"},
                                         {"CDROM_SP.TST", " SP1"}};

}  // namespace

std::string MediumRoot(const std::string& setupFolder) {
  std::string folder = ResolvePath(setupFolder);
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  const size_t cut = folder.find_last_of("/\\");
  return cut == std::string::npos ? std::string(".") : folder.substr(0, cut == 0 ? 1 : cut);
}

WindowsFamily IdentifyWindowsFamily(const std::string& parentFolder) {
  auto present = [&](const auto& list) {
    for (const Edition& e : list)
      if (FileExists(parentFolder + kSep + e.tag)) return true;
    return false;
  };
  // As the caption: a 2000 tag wins over an XP or 2003 one.
  if (present(k2000Editions)) return WindowsFamily::Windows2000;
  if (present(kXpEditions) || present(k2003Editions)) return WindowsFamily::XpOr2003;
  return WindowsFamily::Unknown;
}

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
  editions(k2003Editions, "5.2");
  servicePacks(k2003ServicePacks, "5.2");
  editions(k2000Editions, "5");
  servicePacks(k2000ServicePacks, "5");
  return caption;
}

}  // namespace kiv
