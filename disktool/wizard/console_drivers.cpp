#include "disktool/wizard/console_drivers.h"

#include <cctype>
#include <cstdio>

#include "common/paths.h"
#include "common/prompter.h"
#include "disktool/wizard/frm_drivers.h"

namespace kiv {

std::vector<std::string> DriverListLines(const FrmDrivers& drivers) {
  std::vector<std::string> lines;
  lines.push_back(drivers.Caption + ": " + drivers.ColumnHeader[0] + " / " + drivers.ColumnHeader[1]);
  for (const DriverItem& item : drivers.LV) {
    lines.push_back(std::string(item.Checked ? "  \u2714 " : "  \u2718 ") + item.Name + "  " + item.Description);
  }
  return lines;
}

void ConsoleSelectDrivers(FrmDrivers& drivers) {
  for (const std::string& line : DriverListLines(drivers)) std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  drivers.CmdOK_Click();
}

std::vector<std::string> NumberedDriverLines(const FrmDrivers& drivers) {
  std::vector<std::string> lines;
  lines.push_back(drivers.Caption + ": " + drivers.ColumnHeader[0] + " / " + drivers.ColumnHeader[1]);
  for (size_t i = 0; i < drivers.LV.size(); ++i) {
    const DriverItem& item = drivers.LV[i];
    lines.push_back("  " + std::to_string(i + 1) + (item.Checked ? " \u2714 " : " \u2718 ") + item.Name + "  " +
                    item.Description);
  }
  return lines;
}

namespace {

// The numbers of a reply such as "1 3,4"; false when anything else is in it.
bool ParseNumbers(const std::string& reply, std::vector<size_t>& numbers) {
  numbers.clear();
  size_t i = 0;
  while (i < reply.size()) {
    const unsigned char c = static_cast<unsigned char>(reply[i]);
    if (c == ' ' || c == '\t' || c == ',') {
      ++i;
      continue;
    }
    if (!std::isdigit(c)) return false;
    size_t value = 0;
    while (i < reply.size() && std::isdigit(static_cast<unsigned char>(reply[i]))) {
      if (value < 1000000) value = value * 10 + static_cast<size_t>(reply[i] - '0');
      ++i;
    }
    numbers.push_back(value);
  }
  return !numbers.empty();
}

}  // namespace

void ChooseDriversOnConsole(FrmDrivers& drivers, ConsolePrompter& console) {
  if (!console.CanAsk()) {
    ConsoleSelectDrivers(drivers);
    return;
  }
  const std::string question = "Numbers toggle entries, a: Select/Unselect All, Enter: OK, c: Cancel\n> ";
  bool showList = true;
  for (;;) {
    if (showList) {
      for (const std::string& line : NumberedDriverLines(drivers)) console.Say(line);
    }
    showList = true;
    const std::optional<std::string> reply = console.AskLine(question);
    if (!reply) {  // end of input: the window closed
      drivers.CmdCancel_Click();
      return;
    }
    const std::string r = Trim(*reply);
    if (r.empty()) {
      drivers.CmdOK_Click();
      return;
    }
    if (EqualsNoCase(r, "c")) {
      drivers.CmdCancel_Click();
      return;
    }
    if (EqualsNoCase(r, "a")) {
      drivers.CmdSelAll_Click();
      continue;
    }
    std::vector<size_t> numbers;
    if (!ParseNumbers(r, numbers)) {
      console.Say("\"" + r + "\" is not an answer here.");
      showList = false;
      continue;
    }
    for (size_t n : numbers) {
      if (n >= 1 && n <= drivers.LV.size()) {
        drivers.LV[n - 1].Checked = !drivers.LV[n - 1].Checked;
      } else {
        console.Say("There is no entry " + std::to_string(n) + "; the list has " +
                    (drivers.LV.empty() ? std::string("none") : "1 to " + std::to_string(drivers.LV.size())) + ".");
      }
    }
  }
}

}  // namespace kiv
