#include "common/progress_copy.h"

#include <gtest/gtest.h>

#include "common/file_ops.h"
#include "common/progress_sink.h"
#include "common/prompter.h"
#include "testsupport/scripted_prompter.h"
#include "testsupport/test_file_states.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

// Remembers every caption and value and when the events were pumped.
class RecordingSink : public MemoryProgressSink {
 public:
  void SetCaption(const std::string& text) override {
    MemoryProgressSink::SetCaption(text);
    captions.push_back(text);
  }
  void SetValue(int64_t v) override {
    MemoryProgressSink::SetValue(v);
    values.push_back(v);
  }
  void SetMaximum(int64_t m) override {
    MemoryProgressSink::SetMaximum(m);
    maxima.push_back(m);
  }
  std::vector<std::string> captions;
  std::vector<int64_t> values, maxima;
};

void Put(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(MakePath(path.substr(0, path.find_last_of('/'))));
  ASSERT_TRUE(WriteFileAtomic(path, bytes));
}

std::string Read(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
  return bytes;
}

std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 7) & 0xff);
  return s;
}

TEST(CopyPathWithProgress, ByteExactProgressOverATree) {
  TestTempDir dir;
  const std::string big = Pattern((5u << 20) / 2 + 123);  // 2.5 MiB: three chunks
  Put(dir / "src/a.txt", "12345");
  Put(dir / "src/Sub/big.bin", big);
  Put(dir / "src/Sub/empty", "");
  Put(dir / "src/z/.dotfile", "abc");
  Put(dir / "src/.git/objects/skip", "not copied");
  Put(dir / "dst/keep", "k");
  const int64_t total = 5 + static_cast<int64_t>(big.size()) + 3;

  RecordingSink sink;
  sink.value = 77;  // whatever an earlier step left on the bar
  ScriptedPrompter prompter;
  std::string error;
  ASSERT_TRUE(CopyPathWithProgress(dir / "src", dir / "dst", sink, prompter, "Kiv", &error)) << error;

  EXPECT_EQ(Read(dir / "dst/a.txt"), "12345");
  EXPECT_EQ(Read(dir / "dst/Sub/big.bin"), big);
  EXPECT_EQ(Read(dir / "dst/Sub/empty"), "");
  EXPECT_EQ(Read(dir / "dst/z/.dotfile"), "abc");
  EXPECT_EQ(Read(dir / "dst/keep"), "k");
  EXPECT_FALSE(FolderExists(dir / "dst/.git"));
  EXPECT_TRUE(prompter.messages.empty());

  EXPECT_EQ(sink.maxima, std::vector<int64_t>{total});
  ASSERT_FALSE(sink.captions.empty());
  EXPECT_EQ(sink.captions.front(), "Preparing for Copy");
  EXPECT_EQ(sink.captions, (std::vector<std::string>{"Preparing for Copy", "Copying : a.txt", "Copying : big.bin",
                                                     "Copying : empty", "Copying : .dotfile"}));
  // 0, then a.txt, then the big file's three chunks, then the dot file.
  const int64_t afterA = 5, afterBig = 5 + static_cast<int64_t>(big.size());
  EXPECT_EQ(sink.values, (std::vector<int64_t>{0, afterA, afterA + (1 << 20), afterA + (2 << 20), afterBig, total}));
  EXPECT_EQ(sink.value, sink.maximum);
  EXPECT_GE(sink.pumps, 10);      // between chunks and between entries
  EXPECT_FALSE(sink.barVisible);  // as it was before
  EXPECT_TRUE(sink.cancelEnabled);
}

TEST(CopyPathWithProgress, BarVisibilityIsRestoredEitherWay) {
  TestTempDir dir;
  Put(dir / "src/a", "a");
  for (bool before : {false, true}) {
    MemoryProgressSink sink;
    sink.barVisible = before;
    ScriptedPrompter prompter;
    EXPECT_TRUE(CopyPathWithProgress(dir / "src", dir / "dst", sink, prompter, "Kiv"));
    EXPECT_EQ(sink.barVisible, before);
    EXPECT_TRUE(sink.cancelEnabled);
  }
}

TEST(CopyPathWithProgress, AllFilesEmptyCopiesNothing) {
  TestTempDir dir;
  Put(dir / "src/a", "");
  Put(dir / "src/sub/b", "");
  MemoryProgressSink sink;
  sink.barVisible = true;
  ScriptedPrompter prompter;
  EXPECT_FALSE(CopyPathWithProgress(dir / "src", dir / "dst", sink, prompter, "Kiv"));
  EXPECT_FALSE(FolderExists(dir / "dst"));
  EXPECT_TRUE(prompter.messages.empty());
  EXPECT_EQ(sink.caption, "Preparing for Copy");
  EXPECT_TRUE(sink.barVisible);
}

TEST(CopyPathWithProgress, MissingSourceIsNamedInAMessage) {
  TestTempDir dir;
  MemoryProgressSink sink;
  ScriptedPrompter prompter;
  std::string error;
  const std::string source = dir / "no such";
  EXPECT_FALSE(CopyPathWithProgress(source, dir / "dst", sink, prompter, "Kiv Rescue CD Builder", &error));
  ASSERT_EQ(prompter.messages.size(), 1u);
  const Message& m = prompter.messages[0];
  EXPECT_EQ(m.text, "Source folder \"" + source + "/\" not found.");
  EXPECT_EQ(m.title, "Kiv Rescue CD Builder");
  EXPECT_EQ(m.icon, Icon::None);
  EXPECT_EQ(m.buttons, Buttons::OK);
  EXPECT_EQ(error, "Path Not found");
  EXPECT_FALSE(sink.barVisible);
}

TEST(CopyPathWithProgress, DestinationInsideTheSourceIsRefused) {
  TestTempDir dir;
  Put(dir / "src/a", "a");
  MemoryProgressSink sink;
  ScriptedPrompter prompter;
  std::string error;
  EXPECT_FALSE(CopyPathWithProgress(dir / "src", dir / "src/copy", sink, prompter, "Kiv", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(FolderExists(dir / "src/copy"));
  EXPECT_FALSE(sink.barVisible);
}

TEST(CopyPathWithProgress, PipesAndLinkLoopsAreLeftOut) {
  TestTempDir dir;
  Put(dir / "src/a", "aaaa");
  Put(dir / "src/sub/b", "bb");
  ASSERT_TRUE(MakePipe(dir / "src/pipe"));
  ASSERT_TRUE(MakeSymlink("..", dir / "src/sub/up"));
  RecordingSink sink;
  ScriptedPrompter prompter;
  std::string error;
  ASSERT_TRUE(CopyPathWithProgress(dir / "src", dir / "dst", sink, prompter, "Kiv", &error)) << error;
  EXPECT_EQ(sink.maxima, std::vector<int64_t>{6});
  EXPECT_EQ(sink.value, 6);
  EXPECT_EQ(ListFolder(dir / "dst"), (std::vector<std::string>{"a", "sub"}));
  EXPECT_EQ(ListFolder(dir / "dst/sub"), (std::vector<std::string>{"b"}));
}

TEST(CopyPathWithProgress, WindowsStyleSourceInOtherCase) {
  TestTempDir dir;
  Put(dir / "CD/I386/TXTSETUP.SIF", "sif");
  MemoryProgressSink sink;
  ScriptedPrompter prompter;
  EXPECT_TRUE(CopyPathWithProgress(dir.Path() + "\\cd\\i386\\", dir / "out\\I386", sink, prompter, "Kiv"));
  EXPECT_EQ(Read(dir / "out/I386/TXTSETUP.SIF"), "sif");
}

}  // namespace
}  // namespace kiv
