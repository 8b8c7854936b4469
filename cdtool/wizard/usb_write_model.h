#pragma once
// The finish page's "Write to a USB stick..." window as a model: it lists the
// removable whole disks sysfs knows, lets the user choose one or type a
// device path, describes the chosen device (size and model, or why it cannot
// be written), and writes the ISO through WriteIsoToUsb (question, progress,
// verification). The Qt dialog only mirrors these members and forwards clicks.
#include <functional>
#include <string>
#include <vector>

#include "cdtool/usb/usb_disks.h"
#include "cdtool/usb/usb_writer.h"
#include "cdtool/wizard/form_controls.h"
#include "common/progress_sink.h"

namespace kiv {

class Prompter;

inline constexpr const char* kWriteUsbCaption = "Write to a USB stick...";

class UsbWriteModel : public MemoryProgressSink {
 public:
  UsbWriteModel(std::string iso, UsbDeviceSetting where, Prompter& prompter);

  // The list of disks, read again.
  void CmdRefresh_Click();
  // One entry per disk: "/dev/sdb  -  KIV Stick, 8.0 GB" (and its problem).
  std::vector<std::string> Choices() const;
  // A disk of the list chosen: its path goes into the device box.
  void CboDevice_Click(int index);
  // The device box edited (a path typed).
  void TxtDevice_Change(const std::string& text);
  void CmdWrite_Click();
  void CmdClose_Click();

  // The progress sink: the bar and caption below are what the view shows.
  void SetCaption(const std::string& text) override;
  void PumpEvents() override;

  std::string Iso;
  std::vector<UsbTarget> Disks;
  int ChoiceIndex = -1;
  TextBox TxtDevice;
  Label LblDevice;  // size and model of the device in the box, or its problem
  Label LblStatus;  // what is being done, then the result
  ProgressBar BarWrite;
  Button CmdRefresh{"Refresh"};
  Button CmdWrite{"Write"};
  Button CmdClose{"Close"};
  bool Writing = false;
  bool Succeeded = false;
  bool Visible = true;
  // The view's event pump, called while the ISO is written.
  std::function<void()> OnPumpEvents;
  // The right to open the device (tests replace it: as root every open succeeds).
  std::function<int(const std::string&)> Access = WriteAccess;

 private:
  void Describe();
  void Enable();

  UsbDeviceSetting where_;
  Prompter& prompter_;
};

}  // namespace kiv
