#pragma once
// SOURCE_DATE_EPOCH as a test needs it, restored afterwards. Header-only.
#include <cstdlib>
#include <string>

namespace kiv::testing {

class SourceDateEpoch {
 public:
  explicit SourceDateEpoch(const char* value) {
    if (const char* old = std::getenv("SOURCE_DATE_EPOCH")) old_ = old;
    if (value) ::setenv("SOURCE_DATE_EPOCH", value, 1);
    else ::unsetenv("SOURCE_DATE_EPOCH");
  }
  ~SourceDateEpoch() {
    if (old_.empty()) ::unsetenv("SOURCE_DATE_EPOCH");
    else ::setenv("SOURCE_DATE_EPOCH", old_.c_str(), 1);
  }
  SourceDateEpoch(const SourceDateEpoch&) = delete;
  SourceDateEpoch& operator=(const SourceDateEpoch&) = delete;

 private:
  std::string old_;
};

}  // namespace kiv::testing
