#pragma once
// A pseudo-terminal for tests of what a console program asks a person: the
// program side reads `In()`, a real terminal (isatty is true), and the test
// types its lines into the other end beforehand. Echo is off, so nothing
// piles up unread on the test's side. Header-only; for tests.
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace kiv {

class TestTerminal {
 public:
  TestTerminal() {
    if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) return;
    termios mode{};
    if (::tcgetattr(slave_, &mode) == 0) {
      mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      ::tcsetattr(slave_, TCSANOW, &mode);
    }
    in_ = ::fdopen(slave_, "r");
  }
  ~TestTerminal() {
    if (in_) std::fclose(in_);
    else if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
  }
  TestTerminal(const TestTerminal&) = delete;
  TestTerminal& operator=(const TestTerminal&) = delete;

  bool Opened() const { return in_ != nullptr; }
  std::FILE* In() const { return in_; }
  // Types `text` (lines end in "\n"); EndOfInput types the end-of-file key.
  void Type(const std::string& text) const {
    if (master_ >= 0 && ::write(master_, text.data(), text.size()) < 0) return;
  }
  void EndOfInput() const { Type("\x04"); }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::FILE* in_ = nullptr;
};

}  // namespace kiv
