#pragma once
// The QApplication the view tests of one test program share (offscreen
// platform under CTest).
#include <QApplication>

namespace kiv::test {

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "kiv_view_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace kiv::test
