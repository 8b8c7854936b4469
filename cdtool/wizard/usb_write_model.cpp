#include "cdtool/wizard/usb_write_model.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "common/paths.h"
#include "common/prompter.h"

namespace kiv {
namespace fs = std::filesystem;

namespace {

std::string FirstLine(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }

}  // namespace

UsbWriteModel::UsbWriteModel(std::string iso, UsbDeviceSetting where, Prompter& prompter)
    : Iso(std::move(iso)), where_(std::move(where)), prompter_(prompter) {
  BarWrite.Visible = false;
  LblStatus.Caption = "The ISO " + Iso + " is written to the disk you choose; everything on that disk is lost.";
  CmdRefresh_Click();
}

void UsbWriteModel::CmdRefresh_Click() {
  Disks = ListUsbDisks(where_);
  Describe();
}

std::vector<std::string> UsbWriteModel::Choices() const {
  std::vector<std::string> out;
  for (const UsbTarget& d : Disks) {
    std::string line = d.device + "  -  " + (d.model.empty() ? "disk" : d.model) + ", " + HumanSize(d.sizeBytes);
    if (!d.problem.empty()) line += "  (" + d.problem + ")";
    out.push_back(line);
  }
  return out;
}

void UsbWriteModel::CboDevice_Click(int index) {
  if (Writing || index < 0 || index >= static_cast<int>(Disks.size())) return;
  TxtDevice.Text = Disks[static_cast<size_t>(index)].device;
  Describe();
}

void UsbWriteModel::TxtDevice_Change(const std::string& text) {
  if (Writing) return;
  TxtDevice.Text = text;
  Describe();
}

void UsbWriteModel::Describe() {
  const std::string device = Trim(TxtDevice.Text);
  ChoiceIndex = -1;
  for (size_t i = 0; i < Disks.size(); ++i)
    if (Disks[i].device == device) ChoiceIndex = static_cast<int>(i);
  LblDevice.Red = false;
  if (device.empty()) {
    LblDevice.Caption = Disks.empty() ? "No removable disk found: plug in a USB stick and press Refresh, or type "
                                        "the device path (/dev/sdX)."
                                      : "Choose a disk, or type its device path (/dev/sdX).";
  } else {
    UsbTarget t = InspectUsbTarget(device, where_.sysRoot, where_.mountsFile);
    LblDevice.Red = !t.problem.empty();
    LblDevice.Caption = t.problem.empty()
                            ? t.path + ": " + (t.model.empty() ? "disk" : t.model) + ", " + HumanSize(t.sizeBytes)
                            : t.problem;
  }
  Enable();
}

void UsbWriteModel::Enable() {
  CmdWrite.Enabled = !Writing && !Trim(TxtDevice.Text).empty();
  CmdRefresh.Enabled = !Writing;
  CmdClose.Enabled = !Writing;
  TxtDevice.Enabled = !Writing;
}

void UsbWriteModel::SetCaption(const std::string& text) {
  MemoryProgressSink::SetCaption(text);
  LblStatus.Caption = text;
}

void UsbWriteModel::PumpEvents() {
  MemoryProgressSink::PumpEvents();
  BarWrite.Min = 0;
  BarWrite.Max = maximum;
  BarWrite.Value = value;
  BarWrite.Visible = barVisible;
  if (OnPumpEvents) OnPumpEvents();
}

void UsbWriteModel::CmdWrite_Click() {
  if (Writing || Trim(TxtDevice.Text).empty()) return;
  Writing = true;
  Succeeded = false;
  LblStatus.Red = false;
  Enable();
  UsbWriteRequest request{Iso, Trim(TxtDevice.Text), where_.sysRoot, where_.mountsFile, Access};
  const std::string why = WriteIsoToUsb(request, prompter_, *this);
  Writing = false;
  Succeeded = why.empty();
  BarWrite.Visible = barVisible = false;
  if (Succeeded) {
    LblStatus.Caption =
        "Written and verified: " + InspectUsbTarget(request.device, where_.sysRoot, where_.mountsFile).path +
        ". The stick starts the Kiv Rescue CD.";
  } else if (why.rfind("not written", 0) == 0) {
    LblStatus.Caption = "N" + why.substr(1) + ".";
  } else {
    LblStatus.Caption = "Not written: " + FirstLine(why);
    LblStatus.Red = true;
  }
  Enable();
}

void UsbWriteModel::CmdClose_Click() {
  if (!Writing) Visible = false;
}

}  // namespace kiv
