#pragma once
// SOURCE_DATE_EPOCH as a test needs it (null: unset), restored afterwards.
#include <cstdlib>
#include <string>

namespace kiv::testing {

class Epoch {
 public:
  explicit Epoch(const char* value) {
    if (const char* old = std::getenv("SOURCE_DATE_EPOCH")) old_ = old;
    if (value)
      ::setenv("SOURCE_DATE_EPOCH", value, 1);
    else
      ::unsetenv("SOURCE_DATE_EPOCH");
  }
  ~Epoch() {
    if (old_.empty())
      ::unsetenv("SOURCE_DATE_EPOCH");
    else
      ::setenv("SOURCE_DATE_EPOCH", old_.c_str(), 1);
  }
  Epoch(const Epoch&) = delete;
  Epoch& operator=(const Epoch&) = delete;

 private:
  std::string old_;
};

}  // namespace kiv::testing
