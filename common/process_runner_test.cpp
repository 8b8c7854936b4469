#include "common/process_runner.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "common/file_ops.h"
#include "common/stop_request.h"
#include "testsupport/test_file_states.h"
#include "testsupport/test_files.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// Runs argv to its end through the asynchronous runner and records the events.
struct Recorded {
  std::string output;
  int chunks = 0;
  int ends = 0;
  bool dataAfterEnd = false;
};

Recorded RunToEnd(AsyncProcess& p, const std::vector<std::string>& argv, const std::string& dir = "") {
  Recorded r;
  p.DataReceived = [&r](const std::string& chunk) {
    if (r.ends) r.dataAfterEnd = true;
    r.output += chunk;
    ++r.chunks;
  };
  p.ProcessEnded = [&r] { ++r.ends; };
  EXPECT_TRUE(p.Start(argv, dir)) << p.Error();
  p.WaitForEnd();
  // Further polls deliver nothing and never a second end.
  EXPECT_FALSE(p.Poll(milliseconds(0)));
  EXPECT_FALSE(p.Poll(milliseconds(0)));
  return r;
}

TEST(RenderCommandLine, QuotesLikeTheWindowsRuntimeParses) {
  EXPECT_EQ(RenderCommandLine({"bootsmith.exe", "-t", "144", "kivsoftware"}), "bootsmith.exe -t 144 kivsoftware");
  EXPECT_EQ(RenderCommandLine({"C:\\Program Files\\kiv\\bfi.exe", "-f=\"a b.img\""}),
            "\"C:\\Program Files\\kiv\\bfi.exe\" \"-f=\\\"a b.img\\\"\"");
  EXPECT_EQ(RenderCommandLine({"a", ""}), "a \"\"");
  EXPECT_EQ(RenderCommandLine({"C:\\dir\\"}), "C:\\dir\\");              // no quotes needed: backslashes stay
  EXPECT_EQ(RenderCommandLine({"C:\\my dir\\"}), "\"C:\\my dir\\\\\"");  // doubled before the closing quote
  EXPECT_EQ(RenderCommandLine({"a\\\\\"b"}), "\"a\\\\\\\\\\\"b\"");
  EXPECT_EQ(RenderCommandLine({}), "");
}

TEST(AsyncProcess, MergedOutputInOrderThenOneEnd) {
  AsyncProcess p;
  Recorded r = RunToEnd(p, {"/bin/sh", "-c", "echo one; echo two >&2; printf three; exit 3"});
  EXPECT_EQ(r.output, "one\ntwo\nthree");
  EXPECT_EQ(r.ends, 1);
  EXPECT_FALSE(r.dataAfterEnd);
  EXPECT_EQ(p.ExitCode(), 3);
  EXPECT_FALSE(p.Running());
}

TEST(AsyncProcess, LotsOfOutputArrivesWholeAndInOrder) {
  AsyncProcess p;
  Recorded r = RunToEnd(p, {"seq", "1", "200000"});
  std::string expected;
  for (int i = 1; i <= 200000; ++i) expected += std::to_string(i) + "\n";
  EXPECT_EQ(r.output.size(), expected.size());
  EXPECT_TRUE(r.output == expected);
  EXPECT_GT(r.chunks, 1);
  EXPECT_EQ(r.ends, 1);
  EXPECT_FALSE(r.dataAfterEnd);
  EXPECT_EQ(p.ExitCode(), 0);
}

TEST(AsyncProcess, ProgramThatExitsAtOnce) {
  AsyncProcess p;
  const auto t0 = Clock::now();
  Recorded r = RunToEnd(p, {"true"});
  EXPECT_EQ(r.output, "");
  EXPECT_EQ(r.chunks, 0);
  EXPECT_EQ(r.ends, 1);
  EXPECT_EQ(p.ExitCode(), 0);
  EXPECT_LT(Clock::now() - t0, milliseconds(2000));
}

TEST(AsyncProcess, ProgramThatCannotStart) {
  TestTempDir dir;
  ASSERT_TRUE(WriteFileAtomic(dir / "not-executable", "#!/bin/sh\necho hi\n"));
  for (const std::vector<std::string>& argv : std::vector<std::vector<std::string>>{
           {dir / "no-such-program"}, {"kiv-no-such-program-on-path"}, {dir / "not-executable"}, {""}, {}}) {
    AsyncProcess p;
    int events = 0;
    p.DataReceived = [&](const std::string&) { ++events; };
    p.ProcessEnded = [&] { ++events; };
    EXPECT_FALSE(p.Start(argv));
    EXPECT_FALSE(p.Error().empty());
    if (!argv.empty() && !argv[0].empty()) {
      EXPECT_NE(p.Error().find(argv[0]), std::string::npos) << p.Error();
    }
    EXPECT_FALSE(p.Poll(milliseconds(0)));
    p.WaitForEnd();
    EXPECT_EQ(events, 0);
    EXPECT_FALSE(p.Running());
    EXPECT_FALSE(ShellAndWait(argv));
    RunResult rr = RunAndCapture(argv);
    EXPECT_FALSE(rr.started);
    EXPECT_FALSE(rr.error.empty());
  }
  AsyncProcess p;
  EXPECT_FALSE(p.Start({"true"}, dir / "missing-folder"));
  EXPECT_FALSE(p.Error().empty());
}

TEST(AsyncProcess, WorkingFolderArgumentsAndNoLeakedDescriptors) {
  TestTempDir dir;
  AsyncProcess other;  // its pipe must not reach the next child
  ASSERT_TRUE(other.Start({"sleep", "5"}));
  AsyncProcess p;
  // Arguments reach the program untouched: no shell sees them.
  Recorded r = RunToEnd(
      p, {"/bin/sh", "-c", "pwd; printf '%s|' \"$@\"; ls /proc/self/fd | wc -l", "sh", "a b", "$(touch x)", "*", "'q'"},
      dir.Path());
  EXPECT_EQ(r.output, dir.Path() + "\n" + "a b|$(touch x)|*|'q'|" + "4\n");  // 0, 1, 2 and ls's own
  EXPECT_FALSE(FileExists(dir / "x"));
  other.Kill();
}

TEST(AsyncProcess, OutputLeftBehindByAGrandchildDoesNotHoldTheEnd) {
  AsyncProcess p;
  const auto t0 = Clock::now();
  Recorded r = RunToEnd(p, {"/bin/sh", "-c", "sleep 3 & echo started"});
  EXPECT_EQ(r.output, "started\n");
  EXPECT_EQ(r.ends, 1);
  EXPECT_LT(Clock::now() - t0, milliseconds(2500));
}

TEST(AsyncProcess, KillEndsAProgramThatRunsOn) {
  AsyncProcess p;
  int ends = 0;
  p.ProcessEnded = [&] { ++ends; };
  ASSERT_TRUE(p.Start({"/bin/sh", "-c", "echo up; sleep 30"}));
  std::string out;
  p.DataReceived = [&](const std::string& c) { out += c; };
  while (out.empty() && p.Poll(milliseconds(50))) {
  }
  EXPECT_EQ(out, "up\n");
  EXPECT_TRUE(p.Running());
  const auto t0 = Clock::now();
  p.Kill();
  p.WaitForEnd();
  EXPECT_LT(Clock::now() - t0, milliseconds(3000));
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(p.ExitCode(), -1);
  EXPECT_FALSE(p.Start({"true"}));  // one program per runner
}

// "Z" while a zombie, '\0' once it is gone for good.
char ProcessState(int pid) {
  std::string stat;
  if (!ReadWholeFile("/proc/" + std::to_string(pid) + "/stat", stat)) return '\0';
  size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() ? stat[close + 2] : '?';
}

TEST(AsyncProcess, ChildrenAreReapedEvenWhenLeftRunning) {
  int pid = -1;
  {
    AsyncProcess p;
    ASSERT_TRUE(p.Start({"sleep", "0.2"}));
    pid = p.Pid();
    ASSERT_GT(pid, 0);
  }  // dropped while running
  char state = 'R';
  for (int i = 0; i < 200 && (state = ProcessState(pid)) != '\0'; ++i) std::this_thread::sleep_for(milliseconds(10));
  EXPECT_EQ(state, '\0') << "still there, state " << state;
  AsyncProcess ended;
  ASSERT_TRUE(ended.Start({"true"}));
  pid = ended.Pid();
  ended.WaitForEnd();
  EXPECT_EQ(ProcessState(pid), '\0');
}

TEST(AsyncProcess, EndHandlerMayDropTheRunner) {
  auto p = std::make_unique<AsyncProcess>();
  int ends = 0;
  p->ProcessEnded = [&] {
    ++ends;
    p.reset();  // as a caller replacing its runner does
  };
  ASSERT_TRUE(p->Start({"true"}));
  while (p && p->Poll(milliseconds(20))) {
  }
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(p, nullptr);
}

TEST(AsyncProcess, EndlessOutputStillLetsPollReturn) {
  AsyncProcess p;
  size_t bytes = 0;
  p.DataReceived = [&](const std::string& c) { bytes += c.size(); };
  ASSERT_TRUE(p.Start({"yes"}));
  for (int i = 0; i < 3; ++i) {
    const auto t0 = Clock::now();
    EXPECT_TRUE(p.Poll(milliseconds(20)));
    EXPECT_LT(Clock::now() - t0, milliseconds(1000));
  }
  EXPECT_GT(bytes, 0u);
  p.Kill();
  p.WaitForEnd();
  EXPECT_FALSE(p.Running());
}

TEST(AsyncProcess, PollWaitsWithoutSpinning) {
  AsyncProcess p;
  ASSERT_TRUE(p.Start({"sleep", "0.3"}));
  int polls = 0;
  while (p.Poll(milliseconds(50))) ++polls;
  EXPECT_GE(polls, 3);
  EXPECT_LE(polls, 12);  // each poll really waited
}

TEST(ShellAndWait, WaitsForTheEndAndPumps) {
  TestTempDir dir;
  int pumps = 0;
  RunOptions o;
  o.pump = [&] { ++pumps; };
  o.workingDir = dir.Path();
  EXPECT_TRUE(ShellAndWait({"/bin/sh", "-c", "sleep 0.2; echo done > marker"}, o));
  EXPECT_TRUE(FileExists(dir / "marker"));
  EXPECT_GT(pumps, 3);
  EXPECT_LT(pumps, 300);
  o.timeoutMs = 0;  // 0 and negative: no limit
  EXPECT_TRUE(ShellAndWait({"sleep", "0.1"}, o));
  o.timeoutMs = -5;
  EXPECT_TRUE(ShellAndWait({"sleep", "0.1"}, o));
}

TEST(ShellAndWait, TimeOutGivesFalse) {
  RunOptions o;
  o.timeoutMs = 150;
  const auto t0 = Clock::now();
  EXPECT_FALSE(ShellAndWait({"sleep", "1"}, o));  // left running, as callers expect
  const auto took = Clock::now() - t0;
  EXPECT_GE(took, milliseconds(150));
  EXPECT_LT(took, milliseconds(1500));
}

TEST(RunAndCapture, ExitCodeOutputAndTimeOut) {
  RunResult r = RunAndCapture({"/bin/sh", "-c", "echo out; echo err >&2; exit 7"});
  EXPECT_TRUE(r.started);
  EXPECT_TRUE(r.ended);
  EXPECT_EQ(r.exitCode, 7);
  EXPECT_EQ(r.output, "out\nerr\n");
  RunOptions o;
  o.timeoutMs = 200;
  const auto t0 = Clock::now();
  r = RunAndCapture({"/bin/sh", "-c", "echo before; sleep 5"}, o);
  EXPECT_TRUE(r.started);
  EXPECT_FALSE(r.ended);
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_EQ(r.output, "before\n");
  EXPECT_LT(Clock::now() - t0, milliseconds(3000));
}

// A program run on the terminal reads the keys typed at ours and writes to
// our screen; only how it ended comes back.
TEST(RunOnTerminal, TheProgramHasOurStreamsAndItsExitStatusComesBack) {
  TestTempDir dir;
  testing::WriteText(dir / "keys", "ctrl-a x\n");
  RunResult r;
  {
    StdinFrom keys(dir / "keys");
    StdoutTo screen(dir / "screen");
    r = RunOnTerminal({"/bin/sh", "-c", "read k; echo \"got $k\"; exit 3"});
  }
  EXPECT_TRUE(r.started);
  EXPECT_TRUE(r.ended);
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.output, "");
  std::string screen;
  ASSERT_TRUE(ReadWholeFile(dir / "screen", screen));
  EXPECT_EQ(screen, "got ctrl-a x\n");

  r = RunOnTerminal({dir / "no-such-qemu"});
  EXPECT_FALSE(r.started);
  EXPECT_FALSE(r.ended);
  EXPECT_NE(r.error.find(dir / "no-such-qemu"), std::string::npos) << r.error;
}

// A stop request (Ctrl-C, SIGTERM) ends the waited-for program and whatever
// it started, and the caller's pump runs once after that so its cancel comes
// first. Stdin is /dev/null here, as in a batch run started by the CD builder.
class StopRequestTest : public ::testing::Test {
 protected:
  TestTempDir dir;
  std::optional<StdinFrom> stdinNull;
  void SetUp() override {
    ClearStopRequest();
    stdinNull.emplace("/dev/null");
  }
  void TearDown() override {
    ClearStopRequest();
    stdinNull.reset();
  }
  // A shell that starts a long sleep in the background, notes its pid and
  // waits for it.
  std::vector<std::string> SleeperArgv() const {
    return {"/bin/sh", "-c", "sleep 30 & echo $! > '" + (dir / "sleeper.pid") + "'; wait"};
  }
  // The sleeper still runs (a killed one may linger a moment as a zombie).
  bool SleeperAlive() const {
    std::string text;
    if (!ReadWholeFile(dir / "sleeper.pid", text) || text.empty()) return false;
    const int pid = std::stoi(text);
    std::string stat;
    if (!ProcessExists(pid) || !ReadWholeFile("/proc/" + std::to_string(pid) + "/stat", stat)) return false;
    const size_t close = stat.rfind(')');
    return close != std::string::npos && stat.compare(close, 3, ") Z") != 0;
  }
};

TEST_F(StopRequestTest, ShellAndWaitEndsTheProgramAndWhatItStarted) {
  int pumps = 0, pumpsAfterStop = 0;
  RunOptions o;
  o.pump = [&] {
    ++pumps;
    if (StopRequested()) ++pumpsAfterStop;
    // Once the sleeper is there, the user presses Ctrl-C.
    if (FileExists((dir / "sleeper.pid")) && FileSize((dir / "sleeper.pid")) > 0) std::raise(SIGTERM);
  };
  InstallStopSignals();
  const auto t0 = Clock::now();
  EXPECT_FALSE(ShellAndWait(SleeperArgv(), o));
  EXPECT_LT(Clock::now() - t0, milliseconds(10000));
  EXPECT_TRUE(StopRequested());
  EXPECT_EQ(pumpsAfterStop, 1);
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_FALSE(SleeperAlive());
}

TEST_F(StopRequestTest, RunAndCaptureEndsTheProgramAndWhatItStarted) {
  RunOptions o;
  bool stopSeenByPump = false;
  o.pump = [&] {
    if (StopRequested()) stopSeenByPump = true;
    if (FileSize((dir / "sleeper.pid")) > 0) RequestStop();
  };
  RunResult r = RunAndCapture(SleeperArgv(), o);
  EXPECT_TRUE(r.started);
  EXPECT_FALSE(r.ended);
  EXPECT_EQ(r.error, "stopped");
  EXPECT_TRUE(stopSeenByPump);
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_FALSE(SleeperAlive());
}

TEST_F(StopRequestTest, RunOnTerminalEndsTheProgram) {
  // Once started, the program has us sent the signal a Ctrl-C sends.
  InstallStopSignals();
  const auto t0 = Clock::now();
  const RunResult r = RunOnTerminal({"/bin/sh", "-c", "kill -INT $PPID; exec sleep 30"});
  EXPECT_TRUE(r.started);
  EXPECT_FALSE(r.ended);
  EXPECT_EQ(r.error, "stopped");
  EXPECT_LT(Clock::now() - t0, milliseconds(10000));
}

TEST_F(StopRequestTest, WithoutARequestTheProgramRunsToItsEnd) {
  RunOptions o;
  EXPECT_TRUE(ShellAndWait({"/bin/sh", "-c", "sleep 0.2; echo done > '" + (dir / "done") + "'"}, o));
  EXPECT_TRUE(FileExists((dir / "done")));
}

TEST(FindOnPath, FindsProgramsInTheSearchPathInOrderAndTakesPathsAsTheyAre) {
  TestTempDir dir;
  for (const char* folder : {"a", "b"}) {
    std::filesystem::create_directories(dir / folder);
    ASSERT_TRUE(WriteFileAtomic(dir / (std::string(folder) + "/tool"), "#!/bin/sh\n"));
  }
  namespace fs = std::filesystem;
  fs::permissions(dir / "a/tool", fs::perms::owner_read | fs::perms::owner_write);  // not executable: skipped
  fs::permissions(dir / "b/tool", fs::perms::owner_all);
  const std::string path = dir / "missing" + ":" + dir / "a" + ":" + dir / "b";
  EXPECT_EQ(FindOnPath("tool", path), dir / "b/tool");
  EXPECT_EQ(FindOnPath("tool", dir / "a"), "");
  EXPECT_EQ(FindOnPath("kiv-no-such-program-on-path", "/usr/bin:/bin"), "");
  EXPECT_EQ(FindOnPath("/bin/sh", ""), "/bin/sh");
  EXPECT_EQ(FindOnPath("/etc/hostname-not-a-program", "/etc"), "");
  EXPECT_EQ(FindOnPath("", "/bin"), "");
  EXPECT_NE(SystemLauncher().FindProgram("sh"), "");
}

}  // namespace
}  // namespace kiv
