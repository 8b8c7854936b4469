#include "cdtool/win10/win10_answers.h"

#include <vector>

#include "common/paths.h"

namespace kiv {

namespace {

bool On(int flag) { return flag != 0; }

bool HasKey(const KeyParts& key) {
  for (const std::string& part : key)
    if (!Trim(part).empty()) return true;
  return false;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        // XML cannot hold control characters (the page refuses them).
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
    }
  }
  return out;
}

// The document as lines with their depth: each answer adds its lines.
class Writer {
 public:
  explicit Writer(std::string architecture) : architecture_(std::move(architecture)) {}
  void Open(const std::string& tag, const std::string& attributes = "") {
    Line("<" + tag + (attributes.empty() ? "" : " " + attributes) + ">");
    ++depth_;
  }
  void Close(const std::string& tag) {
    --depth_;
    Line("</" + tag + ">");
  }
  void Element(const std::string& tag, const std::string& text) {
    Line("<" + tag + ">" + Escaped(text) + "</" + tag + ">");
  }
  void Line(const std::string& text) { out_ += std::string(2 * depth_, ' ') + text + "\n"; }
  void Component(const std::string& name) {
    Open("component", "name=\"" + name + "\" processorArchitecture=\"" + Escaped(architecture_) +
                          "\" publicKeyToken=\"31bf3856ad364e35\" language=\"neutral\" versionScope=\"nonSxS\" "
                          "xmlns:wcm=\"http://schemas.microsoft.com/WMIConfig/2002/State\" "
                          "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"");
  }
  // RunSynchronous (windowsPE, specialize) and FirstLogonCommands share a form.
  void Commands(const std::string& list, const std::string& item, const std::string& pathTag,
                const std::vector<std::string>& commands) {
    Open(list);
    int order = 0;
    for (const std::string& command : commands) {
      Open(item, "wcm:action=\"add\"");
      Element("Order", std::to_string(++order));
      Element(pathTag, command);
      Close(item);
    }
    Close(list);
  }
  const std::string& Text() const { return out_; }

 private:
  std::string architecture_;
  std::string out_;
  int depth_ = 0;
};

std::string RegDword(const std::string& key, const std::string& value) {
  return "reg add " + key + " /v " + value + " /t REG_DWORD /d 1 /f";
}

// The password of a local account that has none: the answer file's encoding
// (base64 of the UTF-16LE text followed by "Password") of an empty password.
constexpr const char* kEmptyPassword = "UABhAHMAcwB3AG8AcgBkAA==";

void International(Writer& w, const std::string& component, const std::string& locale) {
  w.Component(component);
  w.Element("InputLocale", locale);
  w.Element("SystemLocale", locale);
  w.Element("UserLocale", locale);
  w.Close("component");
}

}  // namespace

bool HasWin10Answers(const Win10Info& a) {
  for (const std::string* text :
       {&a.Edition, &a.ComputerName, &a.OwnerName, &a.Organization, &a.LocalAccount, &a.TimeZone, &a.Locale})
    if (!Trim(*text).empty()) return true;
  return HasKey(a.ProductKey) || On(a.SkipHardwareChecks) || On(a.NoOnlineAccount) || On(a.SkipPrivacy) ||
         On(a.NoAutoEncryption);
}

std::string AutounattendXml(const Win10Info& a, const std::string& architecture) {
  const std::string edition = Trim(a.Edition), computer = Trim(a.ComputerName), owner = Trim(a.OwnerName),
                    organization = Trim(a.Organization), account = Trim(a.LocalAccount), zone = Trim(a.TimeZone),
                    locale = Trim(a.Locale);
  const bool key = HasKey(a.ProductKey);
  Writer w(architecture);
  w.Line("<?xml version=\"1.0\" encoding=\"utf-8\"?>");
  w.Line("<!-- Windows Setup answers written by the kiv CD builder. -->");
  w.Open("unattend", "xmlns=\"urn:schemas-microsoft-com:unattend\"");

  // windowsPE: Setup's own questions, before anything is installed.
  const bool setup = On(a.SkipHardwareChecks) || !edition.empty() || key || On(a.SkipPrivacy);
  if (!locale.empty() || setup) {
    w.Open("settings", "pass=\"windowsPE\"");
    if (!locale.empty()) International(w, "Microsoft-Windows-International-Core-WinPE", locale);
    if (setup) {
      w.Component("Microsoft-Windows-Setup");
      // Windows 11's Setup looks for these before it checks the PC.
      if (On(a.SkipHardwareChecks))
        w.Commands("RunSynchronous", "RunSynchronousCommand", "Path",
                   {RegDword("HKLM\\SYSTEM\\Setup\\LabConfig", "BypassTPMCheck"),
                    RegDword("HKLM\\SYSTEM\\Setup\\LabConfig", "BypassSecureBootCheck"),
                    RegDword("HKLM\\SYSTEM\\Setup\\LabConfig", "BypassRAMCheck")});
      if (!edition.empty()) {
        w.Open("ImageInstall");
        w.Open("OSImage");
        w.Open("InstallFrom");
        w.Open("MetaData", "wcm:action=\"add\"");
        w.Element("Key", "/IMAGE/NAME");
        w.Element("Value", edition);
        w.Close("MetaData");
        w.Close("InstallFrom");
        w.Element("WillShowUI", "OnError");
        w.Close("OSImage");
        w.Close("ImageInstall");
      }
      if (key || On(a.SkipPrivacy)) {
        w.Open("UserData");
        if (key) {
          w.Open("ProductKey");
          w.Element("Key", ToUpper(JoinProductKey(a.ProductKey)));
          w.Element("WillShowUI", "OnError");
          w.Close("ProductKey");
        }
        if (On(a.SkipPrivacy)) w.Element("AcceptEula", "true");
        w.Close("UserData");
      }
      w.Close("component");
    }
    w.Close("settings");
  }

  // specialize: the installed Windows' own settings, before its first start.
  const bool shell = !computer.empty() || !owner.empty() || !organization.empty();
  if (shell || On(a.NoOnlineAccount) || On(a.NoAutoEncryption)) {
    w.Open("settings", "pass=\"specialize\"");
    if (shell) {
      w.Component("Microsoft-Windows-Shell-Setup");
      if (!computer.empty()) w.Element("ComputerName", computer);
      if (!owner.empty()) w.Element("RegisteredOwner", owner);
      if (!organization.empty()) w.Element("RegisteredOrganization", organization);
      w.Close("component");
    }
    std::vector<std::string> commands;
    if (On(a.NoOnlineAccount))
      commands.push_back(RegDword("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\OOBE", "BypassNRO"));
    if (On(a.NoAutoEncryption))
      commands.push_back(RegDword("HKLM\\SYSTEM\\CurrentControlSet\\Control\\BitLocker", "PreventDeviceEncryption"));
    if (!commands.empty()) {
      w.Component("Microsoft-Windows-Deployment");
      w.Commands("RunSynchronous", "RunSynchronousCommand", "Path", commands);
      w.Close("component");
    }
    if (On(a.NoAutoEncryption)) {
      w.Component("Microsoft-Windows-SecureStartup-FilterDriver");
      w.Element("PreventDeviceEncryption", "true");
      w.Close("component");
    }
    w.Close("settings");
  }

  // oobeSystem: the questions of Windows' first start.
  const bool oobe = On(a.SkipPrivacy) || On(a.NoOnlineAccount) || !account.empty();
  if (!locale.empty() || oobe || !zone.empty()) {
    w.Open("settings", "pass=\"oobeSystem\"");
    if (!locale.empty()) International(w, "Microsoft-Windows-International-Core", locale);
    if (oobe || !zone.empty()) {
      w.Component("Microsoft-Windows-Shell-Setup");
      if (oobe) {
        w.Open("OOBE");
        if (On(a.SkipPrivacy)) w.Element("HideEULAPage", "true");
        if (!account.empty()) w.Element("HideLocalAccountScreen", "true");
        if (On(a.NoOnlineAccount)) w.Element("HideOnlineAccountScreens", "true");
        if (On(a.SkipPrivacy)) w.Element("ProtectYourPC", "3");
        w.Close("OOBE");
      }
      if (!zone.empty()) w.Element("TimeZone", zone);
      if (!account.empty()) {
        w.Open("UserAccounts");
        w.Open("LocalAccounts");
        w.Open("LocalAccount", "wcm:action=\"add\"");
        w.Element("Name", account);
        w.Element("DisplayName", account);
        w.Element("Group", "Administrators");
        w.Open("Password");
        w.Element("Value", kEmptyPassword);
        w.Element("PlainText", "false");
        w.Close("Password");
        w.Close("LocalAccount");
        w.Close("LocalAccounts");
        w.Close("UserAccounts");
        // The account starts without a password; Windows asks for one at
        // its first sign-in.
        w.Commands("FirstLogonCommands", "SynchronousCommand", "CommandLine",
                   {"net user \"" + account + "\" /logonpasswordchg:yes"});
      }
      w.Close("component");
    }
    w.Close("settings");
  }
  w.Close("unattend");
  return w.Text();
}

}  // namespace kiv
