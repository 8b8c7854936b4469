#pragma once
// A fresh folder under the system's temporary folder for one test, removed
// (read-only entries included) when the test ends. Header-only; for tests.
#include <stdlib.h>

#include <string>

#include "common/file_ops.h"

namespace kiv {

class TestTempDir {
 public:
  TestTempDir() {
    const char* base = getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/kivtest.XXXXXX";
    if (char* made = mkdtemp(templ.data())) path_ = made;
  }
  ~TestTempDir() {
    if (!path_.empty()) DeleteTree(path_);
  }
  TestTempDir(const TestTempDir&) = delete;
  TestTempDir& operator=(const TestTempDir&) = delete;

  const std::string& Path() const { return path_; }
  // path + "/" + relative
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

}  // namespace kiv
