#pragma once
// Helpers the FAT12 tests share: run a program and collect its output, make
// and read files. The images are judged only by outside tools (fsck.fat,
// mtools), never by our own reader.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace kiv::fat12_test {

namespace fs = std::filesystem;

struct RunResult {
  int code = -1;
  std::string out;
  std::string err;
};

inline std::string ReadAll(FILE* f) {
  std::string s;
  rewind(f);
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  return s;
}

// Runs argv[0] (looked up in PATH) with extra environment settings, in `cwd`
// when given; stdout and stderr are collected separately.
inline RunResult Exec(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
              const std::string& cwd = {}) {
  FILE* out = tmpfile();
  FILE* err = tmpfile();
  pid_t pid = fork();
  if (pid == 0) {
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    dup2(fileno(out), 1);
    dup2(fileno(err), 2);
    setenv("MTOOLS_SKIP_CHECK", "1", 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  RunResult r;
  int status = 0;
  waitpid(pid, &status, 0);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = ReadAll(out);
  r.err = ReadAll(err);
  fclose(out);
  fclose(err);
  return r;
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
