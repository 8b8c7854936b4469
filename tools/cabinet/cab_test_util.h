#pragma once
// Helpers for the cabinet tools' tests: temporary folders, files, running a
// program with an argv in a given folder and comparing trees.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "testsupport/run_program.h"

namespace kiv::cab::test {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "cabtest.XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    path_ = ::mkdtemp(buf.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }
  std::string str() const { return path_.string(); }

 private:
  fs::path path_;
};

inline void WriteFile(const fs::path& path, const std::string& data) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << data;
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Text that compresses somewhat (words) mixed with random bytes.
inline std::string MakeData(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  static const char* words[] = {"cabinet ", "floppy ", "driver ", "LZX ", "\r\n", "IO.SYS ", "0123 "};
  std::string s;
  while (s.size() < size) {
    if (rng() % 4 == 0) {
      s += char(rng());
    } else {
      s += words[rng() % 7];
    }
  }
  s.resize(size);
  return s;
}

struct RunResult {
  int exitCode = -1;
  std::string out;  // stdout and stderr together
};

// Runs argv in `cwd`, with the extra environment entries, and waits.
inline RunResult RunTool(const std::vector<std::string>& argv, const fs::path& cwd = {},
                         const std::vector<std::string>& env = {}) {
  const ProgramRun run = RunProgram(argv, cwd.string(), env, true);
  return {run.code, run.out};
}

// Relative path -> content of every regular file below `root`.
inline std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) out[fs::relative(e.path(), root).string()] = ReadFile(e.path());
  return out;
}

// Every entry below `root` (files and folders), relative.
inline std::vector<std::string> Entries(const fs::path& root) {
  std::vector<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) out.push_back(fs::relative(e.path(), root).string());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace kiv::cab::test
