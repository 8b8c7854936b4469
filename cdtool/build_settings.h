#pragma once
// The wizard values the build run reads, named after the controls they come
// from. A check box counts as set when it is checked or greyed (non-zero).
// The wizard form fills this when Finish is pressed; the headless build
// fills it the same way from the loaded form.
#include <string>

namespace kiv {

struct BuildSettings {
  // Page 1 and the boot disks.
  bool ChkGet_kivnetplus = true;
  bool ChkSelectDrivers = true;
  bool ChkGet_Win2k = false;
  bool ChkGet_Win9x = false;
  bool ChkGet_Advtools = false;
  // Windows 2000/XP.
  std::string Txt_i386_Loc;
  bool ChkSlipstream = false;
  std::string TxtSP_exe;
  bool ChkDelTree_Lang = false;
  bool ChkWin2KInfo_Assis = false;
  bool ChkWin2KInfo_Unattend = false;
  std::string Win2KProductKey;  // FrmWin2KInfo's five TxtKeyPart boxes joined with "-"
  // Windows 98/Me.
  std::string TxtWin9x_Loc;
  bool ChkWin9xInfo_MSBatch = false;
  bool ChkWin9xInfo_Assis = false;
  // Advanced tools.
  bool ChkERDC = false;
  bool ChkBCon = false;
  std::string TxtERDC;
  std::string TxtBCon;
  // Utilities and additional files.
  bool ChkKivUtils = false;
  bool ChkAddFiles = false;
  std::string TxtUtils_Loc;
  std::string TxtAddFiles_Loc;
  // ISO page.
  std::string TxtISOLoc;
  bool ChkOptimizeISO = false;
  bool ChkCleanSession = false;
  bool ChkPassProtect = false;
  std::string TxtPass1;
  std::string TxtPass2;
};

}  // namespace kiv
