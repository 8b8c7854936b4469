#include "disktool/workspace/wait_window.h"

#include <cstdio>

namespace kiv {

void ConsoleWaitWindow::Show() {
  if (last_.empty()) SetStatus(kWaitInitialStatus);
}

void ConsoleWaitWindow::SetStatus(const std::string& text) {
  if (text == last_) return;  // a repaint of the same line shows nothing new
  last_ = text;
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

}  // namespace kiv
