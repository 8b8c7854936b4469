#pragma once
// kivmax's window side: the input box as a Qt input dialog and failures as Qt
// message boxes; the rest as the console prompter does it.
#include "common/prompter.h"

namespace kiv {

class QtInputPrompter : public ConsolePrompter {
 public:
  Answer MsgBox(const Message& message) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) override;
  // The box is on the screen: its Cancel is the person's answer, whatever
  // standard input is.
  bool CanAsk() const override { return true; }
};

}  // namespace kiv
