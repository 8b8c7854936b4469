#pragma once
// Helpers the FAT12 tests share: run a program and collect its output, make
// and read files. The images are judged only by outside tools (fsck.fat,
// mtools), never by our own reader.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "testsupport/run_program.h"

namespace kiv::fat12_test {

namespace fs = std::filesystem;

struct RunResult {
  int code = -1;
  std::string out;
  std::string err;
};

// Runs argv[0] (looked up in PATH) with extra environment settings, in `cwd`
// when given; stdout and stderr are collected separately.
inline RunResult Exec(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                      const std::string& cwd = {}) {
  std::vector<std::string> all = {"MTOOLS_SKIP_CHECK=1", "LC_ALL=C.UTF-8"};
  all.insert(all.end(), env.begin(), env.end());
  const ProgramRun run = RunProgram(argv, cwd, all);
  return {run.code, run.out, run.err};
}

inline std::string Bytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = char(gen());
  return s;
}

inline std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

}  // namespace kiv::fat12_test
