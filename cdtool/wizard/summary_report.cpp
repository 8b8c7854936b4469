// The review text of page 8: every choice of the wizard, one per line.
#include <ctime>
#include <string>
#include <vector>

#include "cdtool/rescue/rescue_builder.h"
#include "cdtool/wizard/frm_cd_build.h"
#include "common/clock.h"
#include "common/paths.h"
#include "common/platform.h"

namespace kiv {

namespace {

const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

std::string TwoDigits(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

// "ddd mm, dd, yyyy": weekday, month, day, year.
std::string SummaryDate(const std::tm& t) {
  const int wday = (t.tm_wday >= 0 && t.tm_wday < 7) ? t.tm_wday : 0;
  return std::string(kWeekdays[wday]) + " " + TwoDigits(t.tm_mon + 1) + ", " + TwoDigits(t.tm_mday) + ", " +
         std::to_string(t.tm_year + 1900);
}

std::string Bool(const CheckBox& box) { return box.Checked() ? "True" : "False"; }

struct Section {
  std::string head;
  std::vector<std::string> items;
};

}  // namespace

std::string FrmCDBuild::RescueSummary() const {
  std::string error;
  const RescueRecipe recipe = ProgramFolderRecipe(programFolder_, LinuxRescueMirror, &error);
  if (!error.empty()) return "Package list :  " + error;
  const int64_t bytes = KeptRescueSystemSize(programFolder_, recipe);
  if (bytes > 0)
    return "Size :  " + std::to_string((bytes + 999999) / 1000000) + " MB (built before from the same packages)";
  return "Size :  about 250 MB, built from Debian's packages by this build (a few minutes, and the download)";
}

std::string FrmCDBuild::GenerateSummery(const std::tm& now) const {
  std::vector<Section> sections;
  sections.push_back(
      {"[Contents of the CD]",
       {"kiv Boot Disks (kiv Software - kiv Net) :  " + Bool(ChkGet_kivdisks),
        "Microsoft Windows 2000/XP/2003 Setup Files :  " + Bool(ChkGet_Win2k),
        "Microsoft Windows 98/98SE/Me Setup Files :  " + Bool(ChkGet_Win9x),
        "Microsoft Windows 10/11 Setup Files :  " + Bool(ChkGet_Win10), "Advanced Tools :  " + Bool(ChkGet_Advtools),
        "Linux rescue system (Debian) :  " + Bool(ChkGet_LinuxRescue)}});
  sections.push_back({"[ISO File Options]",
                      {"Save the generated ISO file to :  " + Trim(TxtISOLoc.Text),
                       "Clean Session's temporary files after completing :  " + Bool(ChkCleanSession),
                       "Password Protect the created CD :  " + Bool(ChkPassProtect)}});
  sections.push_back({"[BootDisk Images Options]",
                      {"Use the Lorva Plus disk for Network Access :  " + Bool(ChkGet_kivnetplus),
                       "Accept default list of Network drivers :  " + Bool(ChkSelectDrivers)}});
  if (ChkGet_Win2k.Checked())
    sections.push_back({"[Windows 2000/XP/2003 Details]",
                        {"Location of Windows Setup Files :  " + QuotedText(Txt_i386_Loc.Text),
                         "Integrate Service Pack :  " + Bool(ChkSlipstream),
                         "Location of Service Pack exe file :  " + QuotedText(TxtSP_exe.Text),
                         "Store this info in the kiv Win2K Setup Assistant :  " + Bool(ChkWin2KInfo_Assis),
                         "Store this info in the Windows 2000/XP Installation :  " + Bool(ChkWin2KInfo_Unattend),
                         "Remove Extra Languages Files :  " + Bool(ChkDelTree_Lang)}});
  if (ChkGet_Win9x.Checked())
    sections.push_back({"[Windows 98/98SE/Me Details]",
                        {"Location of Windows Setup Files :  " + QuotedText(TxtWin9x_Loc.Text),
                         "Store this info in the kiv Setup Assistant :  " + Bool(ChkWin9xInfo_Assis),
                         "Store this info in the Windows Installation :  " + Bool(ChkWin9xInfo_MSBatch)}});
  if (ChkGet_Win10.Checked())
    sections.push_back(
        {"[Windows 10/11 Details]",
         {"Location of Windows Setup Files :  " + QuotedText(TxtWin10_Loc.Text), "Type :  " + LblWin10OSVer.Caption,
          "Store this info in the Windows 10/11 Installation :  " +
              std::string(HasWin10Answers(Win10Info().Record()) ? "True" : "False")}});
  if (ChkGet_Advtools.Checked())
    sections.push_back({"[Advanced Tools]",
                        {"ERD Commander 2002/2003 Location :  " + QuotedText(TxtERDC.Text),
                         "O&O BlueCon XXL Pro Location :  " + QuotedText(TxtBCon.Text)}});
  if (ChkGet_LinuxRescue.Checked()) sections.push_back({"[Linux rescue system (Debian)]", {RescueSummary()}});
  sections.push_back({"[kiv Utilities / Additional Files]",
                      {"Location of the kiv Utilities :  " + QuotedText(TxtUtils_Loc.Text),
                       "Location of the Additional Files Folder :  " + QuotedText(TxtAddFiles_Loc.Text)}});

  std::string text;
  auto line = [&](const std::string& l) { text += l + "\r\n"; };
  line("Review you options and Settings below...");
  line("Press Back if there is any option you need to change...");
  line("");
  line("Generated at : " + SummaryDate(now));
  line("");
  line("");
  for (size_t i = 0; i < sections.size(); ++i) {
    line(sections[i].head);
    for (const auto& item : sections[i].items) line(item);
    if (i + 1 < sections.size()) {
      line("");
      line("");
    }
  }
  return text;
}

std::string FrmCDBuild::GenerateSummery() const { return GenerateSummery(LocalTime(platform_.Now())); }

}  // namespace kiv
