#pragma once
// The answers for Windows 10/11 Setup the CD builder stores ([Win10_Info] of
// kivcd.ini) and writes into the medium's autounattend.xml. Each choice left
// unset (an empty text, a flag of 0, no product key) lets Setup ask as it
// does without an answer file.
#include <string>

#include "common/setup_answer.h"

namespace kiv {

struct Win10Info {
  std::string Edition;  // the edition's name as the install image lists it ("Windows 11 Pro")
  KeyParts ProductKey;
  std::string ComputerName;
  std::string OwnerName;
  std::string Organization;
  std::string LocalAccount;    // the user name of a local account Setup makes
  int SkipHardwareChecks = 1;  // no TPM 2.0, Secure Boot or RAM check
  int NoOnlineAccount = 1;     // no Microsoft account (and no network) needed
  int SkipPrivacy = 1;         // the licence and privacy pages answered
  int NoAutoEncryption = 1;    // BitLocker does not switch itself on
  std::string TimeZone;        // Windows' name ("W. Europe Standard Time")
  std::string Locale;          // Windows' name ("de-DE")
  bool operator==(const Win10Info&) const = default;
};

// The answer file for Windows Setup of the processor architecture
// `architecture` ("amd64", "x86", "arm64"): the passes windowsPE, specialize
// and oobeSystem with the components the answers need, each answer's lines
// present exactly when it is set, every text XML-escaped.
std::string AutounattendXml(const Win10Info& answers, const std::string& architecture);

// Whether any answer is set: without one there is nothing to write.
bool HasWin10Answers(const Win10Info& answers);

}  // namespace kiv
