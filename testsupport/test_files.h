#pragma once
// Whole-file helpers and fresh temporary folders for the tests. Header-only.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kiv::testing {

namespace fs = std::filesystem;

// A new empty folder under the system's temporary folder ("" when none could
// be made); the caller removes it.
inline std::string MakeTempDir(const std::string& tag) {
  std::string pattern = (fs::temp_directory_path() / ("kiv-" + tag + "-XXXXXX")).string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  const char* made = ::mkdtemp(buf.data());
  return made ? std::string(made) : std::string();
}

// Writes a whole file, making its folders first.
inline void WriteText(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A whole file's bytes ("" when it cannot be read).
inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// WriteText, then made executable.
inline void WriteScript(const std::string& path, const std::string& text) {
  WriteText(path, text);
  ::chmod(path.c_str(), 0755);
}

}  // namespace kiv::testing
