#include "common/process_runner.h"

#include <cstdlib>

#include "common/platform.h"
#include "common/stop_request.h"

namespace kiv {

std::string RenderCommandLine(const std::vector<std::string>& argv) {
  // The quoting the Windows C runtime undoes: quotes around arguments with
  // blanks or quotes, backslashes doubled only where a quote follows them.
  std::string out;
  for (size_t i = 0; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (i) out += ' ';
    if (!a.empty() && a.find_first_of(" \t\n\v\"") == std::string::npos) {
      out += a;
      continue;
    }
    out += '"';
    size_t backslashes = 0;
    for (char c : a) {
      if (c == '\\') {
        ++backslashes;
      } else if (c == '"') {
        out.append(backslashes * 2 + 1, '\\');
        out += '"';
        backslashes = 0;
      } else {
        out.append(backslashes, '\\');
        out += c;
        backslashes = 0;
      }
    }
    out.append(backslashes * 2, '\\');
    out += '"';
  }
  return out;
}

std::string FindOnPath(const std::string& program, const std::string& path) {
  if (program.empty()) return "";
  auto executable = [](const std::string& p) { return IsExecutableFile(p); };
  if (program.find('/') != std::string::npos) return executable(program) ? program : "";
  size_t i = 0;
  for (;;) {
    size_t j = path.find(':', i);
    std::string dir = path.substr(i, j == std::string::npos ? std::string::npos : j - i);
    if (dir.empty()) dir = ".";
    std::string candidate = dir + "/" + program;
    if (executable(candidate)) return candidate;
    if (j == std::string::npos) break;
    i = j + 1;
  }
  return "";
}

RunResult RunAndCapture(const std::vector<std::string>& argv, const RunOptions& options) {
  RunResult r;
  AsyncProcess p;
  p.DataReceived = [&r](const std::string& chunk) { r.output += chunk; };
  bool ended = false;
  p.ProcessEnded = [&ended] { ended = true; };
  if (!p.Start(argv, options.workingDir)) {
    r.error = p.Error();
    return r;
  }
  r.started = true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.timeoutMs);
  while (p.Poll(std::chrono::milliseconds(20))) {
    if (StopRequested()) {
      p.Kill();
      p.ProcessEnded = nullptr;
      while (p.Poll(std::chrono::milliseconds(20))) {
      }
      r.error = "stopped";
      // The caller's cancel runs before it looks at what the program left.
      if (options.pump) options.pump();
      return r;
    }
    if (options.pump) options.pump();
    if (options.timeoutMs > 0 && std::chrono::steady_clock::now() >= deadline) {
      p.Kill();
      // Collect what it wrote before it was ended; its end is not reported.
      p.ProcessEnded = nullptr;
      while (p.Poll(std::chrono::milliseconds(20))) {
      }
      r.error = "did not end within " + std::to_string(options.timeoutMs) + " ms";
      return r;
    }
  }
  r.ended = ended;
  r.exitCode = p.ExitCode();
  return r;
}

std::string RunOutputForMessage(const RunResult& result) {
  const std::string& text = result.started ? result.output : result.error;
  const char* const kSpace = " \t\r\n";
  const size_t first = text.find_first_not_of(kSpace);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

}  // namespace kiv

namespace kiv {

namespace {

class SystemProcessLauncher : public ProcessLauncher {
 public:
  std::unique_ptr<ChildProcess> NewChild() override { return std::make_unique<AsyncProcess>(); }
  bool ShellAndWait(const std::vector<std::string>& argv, const RunOptions& options) override {
    return kiv::ShellAndWait(argv, options);
  }
  RunResult RunAndCapture(const std::vector<std::string>& argv, const RunOptions& options) override {
    return kiv::RunAndCapture(argv, options);
  }
  RunResult RunOnTerminal(const std::vector<std::string>& argv) override { return kiv::RunOnTerminal(argv); }
  // The search path as it is at the moment of the look-up: the operating
  // system's processes are this launcher's business, and so is its PATH.
  std::string FindProgram(const std::string& program) override {
    const char* path = std::getenv("PATH");
    return FindOnPath(program, path ? path : "/usr/local/bin:/usr/bin:/bin");
  }
};

}  // namespace

ProcessLauncher& SystemLauncher() {
  static SystemProcessLauncher launcher;
  return launcher;
}

}  // namespace kiv
