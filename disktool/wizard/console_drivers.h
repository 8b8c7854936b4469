#pragma once
// The "Select Drivers" window of -sel on the console. A person at a terminal
// sees the list numbered with its marks and answers line by line: numbers
// toggle those entries, "a" is the Select/Unselect All button, Enter is OK
// and "c" (or the end of input) is Cancel. Without a terminal the list is
// printed and kept as it stands (ConsoleSelectDrivers), so scripts never
// wait for an answer.
#include <string>
#include <vector>

namespace kiv {

class ConsolePrompter;
class FrmDrivers;

void ChooseDriversOnConsole(FrmDrivers& drivers, ConsolePrompter& console);

// Without a terminal: prints the loaded driver list with its check marks to
// stderr and keeps the selection as OK without changes would (the marks go
// to Drivers.ini).
void ConsoleSelectDrivers(FrmDrivers& drivers);
// The lines ConsoleSelectDrivers prints (without line ends).
std::vector<std::string> DriverListLines(const FrmDrivers& drivers);

// The list as the terminal shows it: a header, then "  <n> ✔|✘ NAME  description".
std::vector<std::string> NumberedDriverLines(const FrmDrivers& drivers);

}  // namespace kiv
