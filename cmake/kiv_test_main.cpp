// The main() of every GoogleTest executable. It fixes the environment the
// tests run in - Qt offscreen, console prompter, the build folder for tests
// that look for built programs - so a test behaves the same under ctest, when
// started by hand, and on a desktop (no window ever opens).
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("KIVCD_UI", "console", 1);
  setenv("KIV_BUILD_DIR", KIV_BUILD_DIR, 0);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
