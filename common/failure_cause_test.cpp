// The one line a batch run ends with when it made no image, and how the CD
// builder reads it back.
#include "common/failure_cause.h"

#include <gtest/gtest.h>

#include "common/file_ops.h"
#include "testsupport/scripted_prompter.h"

namespace kiv {
namespace {

TEST(FailureCause, TheLastMessageBoxBecomesOneLine) {
  ScriptedPrompter user;
  CauseRecordingPrompter recorder(user);
  EXPECT_EQ(recorder.LastMessage(), "");
  recorder.Inform("The Kiv Disk Builder is already running", "Already Running", Icon::Critical);
  EXPECT_EQ(recorder.LastMessage(), "Already Running: The Kiv Disk Builder is already running");
  recorder.MsgBox(
      Message{"Your current windows installation doesn't contain the required\r\nDOS files needed for "
              "the Kiv Disk Builder to funtion properly.\r\nPress OK to import them.",
              "DOS Files no found", Icon::Critical, Buttons::OKCancel, 0, std::nullopt});
  EXPECT_EQ(recorder.LastMessage(),
            "DOS Files no found: Your current windows installation doesn't contain the required DOS files needed "
            "for the Kiv Disk Builder to funtion properly.");
  // The message still reached the user, who answered it.
  ASSERT_EQ(user.messages.size(), 2u);
  EXPECT_EQ(user.messages[1].title, "DOS Files no found");
  // A dotted name or version is no sentence end; "!" is.
  EXPECT_EQ(FirstSentence("  Not enough room for kivstart.img on /media (1.44 MB)! Free some space."),
            "Not enough room for kivstart.img on /media (1.44 MB)!");
}

TEST(FailureCause, TheCdBuilderFindsTheCauseOnTheLastSuchLine) {
  EXPECT_EQ(NoImageCause(""), "");
  EXPECT_EQ(NoImageCause("Copying Files ... Please wait\nGetting a list of Disks Configuration ...\n"), "");
  EXPECT_EQ(NoImageCause("Copying Files\r\nbootsmith: no image made: Critical error: The disk \"x\" doesn't exist\r\n"),
            "Critical error: The disk \"x\" doesn't exist");
  EXPECT_EQ(NoImageCause("bootsmith: no image made: first\nbootsmith: no image made: Already Running: busy"),
            "Already Running: busy");
}

// A write that failed for lack of room says so in words a user acts on.
TEST(FailureCause, AFullDiskIsNamedAsSuch) {
  const std::string path = "/pf/kivcd/boot/loader.bin";
  EXPECT_EQ(CannotWriteText(path, std::make_error_code(std::errc::no_space_on_device)),
            "cannot write /pf/kivcd/boot/loader.bin: the disk is full (No space left on device)");
  EXPECT_EQ(CannotWriteText(path, std::make_error_code(std::errc::permission_denied)),
            "cannot write /pf/kivcd/boot/loader.bin: Permission denied");
  EXPECT_EQ(CannotWriteText(path, std::error_code()), "cannot write /pf/kivcd/boot/loader.bin");
  // WriteFileAtomic says why it failed.
  std::error_code error;
  EXPECT_FALSE(WriteFileAtomic("/proc/no-such-folder/file", "x", &error));
  EXPECT_TRUE(error) << "no cause given";
}

}  // namespace
}  // namespace kiv
