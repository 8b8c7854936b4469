#include "cdtool/wizard/frm_win10_info.h"

#include "cdtool/settings/win10_checks.h"
#include "cdtool/win10/windows_region.h"
#include "common/paths.h"

namespace kiv {

FrmWin10Info::FrmWin10Info(std::string programFolder, Prompter& prompter)
    : AnswerDialog("Windows 10/11 Installation Info", std::move(programFolder), prompter) {
  // Empty names let Setup ask (and make up a computer name).
  TxtOwner.Text.clear();
  TxtOrg.Text.clear();
  TxtPCName.Text.clear();
  CboEdition.Items = {""};
  CboTimeZone.Items = WindowsTimeZones();
}

Win10Info FrmWin10Info::Record() const {
  Win10Info info;
  info.Edition = CboEdition.Text;
  info.ProductKey = KeyBoxes();
  info.ComputerName = TxtPCName.Text;
  info.OwnerName = TxtOwner.Text;
  info.Organization = TxtOrg.Text;
  info.LocalAccount = TxtAccount.Text;
  info.SkipHardwareChecks = ChkSkipHardwareChecks.Value;
  info.NoOnlineAccount = ChkNoOnlineAccount.Value;
  info.SkipPrivacy = ChkSkipPrivacy.Value;
  info.NoAutoEncryption = ChkNoAutoEncryption.Value;
  info.TimeZone = CboTimeZone.Text;
  info.Locale = TxtLocale.Text;
  return info;
}

void FrmWin10Info::SetRecord(const Win10Info& info) {
  CboEdition.Text = info.Edition;
  for (int i = 0; i < 5; ++i) SetKeyPart(i, info.ProductKey[i]);
  TxtPCName.Text = info.ComputerName;
  TxtOwner.Text = info.OwnerName;
  TxtOrg.Text = info.Organization;
  TxtAccount.Text = info.LocalAccount;
  ChkSkipHardwareChecks.Value = info.SkipHardwareChecks;
  ChkNoOnlineAccount.Value = info.NoOnlineAccount;
  ChkSkipPrivacy.Value = info.SkipPrivacy;
  ChkNoAutoEncryption.Value = info.NoAutoEncryption;
  CboTimeZone.Text = info.TimeZone;
  TxtLocale.Text = info.Locale;
}

void FrmWin10Info::SetEditions(const std::vector<std::string>& names) {
  CboEdition.Items = {""};
  CboEdition.Items.insert(CboEdition.Items.end(), names.begin(), names.end());
}

std::string FrmWin10Info::FieldsProblem() const {
  const Win10Info a = Record();
  if (std::string why = AnswerControlProblem({{"Edition", a.Edition},
                                              {"Owner Name", a.OwnerName},
                                              {"Organization", a.Organization},
                                              {"Time Zone", a.TimeZone},
                                              {"Locale", a.Locale}});
      !why.empty())
    return why;
  if (std::string why = ComputerNameProblem(a.ComputerName); !why.empty())
    return "The Computer Name \"" + Trim(a.ComputerName) + "\" " + why + ".";
  if (std::string why = AccountNameProblem(a.LocalAccount); !why.empty())
    return "The Local Account \"" + Trim(a.LocalAccount) + "\" " + why + ".";
  if (!Trim(a.LocalAccount).empty() && EqualsNoCase(Trim(a.LocalAccount), Trim(a.ComputerName)))
    return "The Local Account \"" + Trim(a.LocalAccount) +
           "\" has the computer's name, which Windows refuses for a user.";
  if (std::string why = TimeZoneProblem(a.TimeZone); !why.empty())
    return "The Time Zone \"" + Trim(a.TimeZone) + "\" " + why + ".";
  if (std::string why = LocaleProblem(a.Locale); !why.empty())
    return "The Locale \"" + Trim(a.Locale) + "\" " + why + ".";
  return "";
}

}  // namespace kiv
