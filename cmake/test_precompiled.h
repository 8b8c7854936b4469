// The headers nearly every test includes, compiled once per test program
// instead of once per test file: parsing GoogleTest, the standard library and,
// in the view tests, Qt Widgets took most of a test file's compile time.
// A test program whose include path has no Qt Widgets (or no QtTest) gets
// only the rest.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#if __has_include(<QApplication>)
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#endif
#if __has_include(<QTest>)
#include <QTest>
#endif
