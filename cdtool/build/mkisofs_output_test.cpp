#include "cdtool/build/mkisofs_output.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

TEST(MkisofsOutput, PhrasesGiveTheirCaptions) {
  EXPECT_EQ(ParseMkisofsChunk("Calculating MD5 digests\n").caption, "Calculating MD5 digests");
  EXPECT_EQ(ParseMkisofsChunk("Finding duplicate files\n").caption, "Finding duplicate files");
  EXPECT_EQ(ParseMkisofsChunk("Size of boot image... Eltorito\n").caption, "Writing Booting Info");
  EXPECT_FALSE(ParseMkisofsChunk("Warning: creating filesystem\n").caption.has_value());
  // Case-sensitive phrase search.
  EXPECT_FALSE(ParseMkisofsChunk("calculating md5 digests").caption.has_value());
}

TEST(MkisofsOutput, ScanningTakesTheTextUpToTheNextScanning) {
  EXPECT_EQ(ParseMkisofsChunk("Scanning ./kivcd/boot").caption, "Scanning :  ./kivcd/boot");
  EXPECT_EQ(ParseMkisofsChunk("Scanning ./a\nScanning ./b\n").caption, "Scanning :  ./a\n");
  EXPECT_FALSE(ParseMkisofsChunk("Scanning tree... Scanning ./a").caption.has_value());
}

TEST(MkisofsOutput, PercentageMovesTheBarRoundedHalfToEven) {
  ChunkEffect fx = ParseMkisofsChunk(" 45.67% done, estimate finish Tue");
  EXPECT_EQ(fx.barValue, 46);
  EXPECT_EQ(fx.caption, "Creating ISO File : 45.67% Done");
  EXPECT_EQ(ParseMkisofsChunk(" 42.50% done").barValue, 42);
  EXPECT_EQ(ParseMkisofsChunk(" 43.50% done").barValue, 44);
  EXPECT_EQ(ParseMkisofsChunk("  9.98% done").caption, "Creating ISO File : 9.98% Done");
  // "(95%)": the first '%' begins "%)".
  EXPECT_FALSE(ParseMkisofsChunk("written (95%)").barValue.has_value());
}

TEST(MkisofsOutput, UnreadablePercentagesChangeNothing) {
  for (const char* chunk : {"5% done", "abcde% done", " 1.2.3% x", "  150% x", " -1.5% x", "\n\n\n\n\n% x"}) {
    ChunkEffect fx = ParseMkisofsChunk(chunk);
    EXPECT_FALSE(fx.barValue.has_value()) << chunk;
    EXPECT_FALSE(fx.caption.has_value()) << chunk;
  }
}

TEST(MkisofsOutput, ExtentsWrittenAcceptsEveryUnitSpelling) {
  EXPECT_EQ(ParseMkisofsChunk("12345 extents written (24 Mb)").caption, "Total ISO size : 24 MB");
  EXPECT_EQ(ParseMkisofsChunk("12345 extents written (24 MB)\n").caption, "Total ISO size : 24 MB");
  EXPECT_EQ(ParseMkisofsChunk("12345 extents written (24 MiB)").caption, "Total ISO size : 24 MB");
  EXPECT_FALSE(ParseMkisofsChunk("12345 extents written (24 KB)").caption.has_value());
}

TEST(MkisofsOutput, LaterTestsWinOnTheCaption) {
  ChunkEffect fx = ParseMkisofsChunk(" 99.90% done\n12345 extents written (24 MB)\n");
  EXPECT_EQ(fx.barValue, 100);
  EXPECT_EQ(fx.caption, "Total ISO size : 24 MB");
}

// xorriso started as mkisofs: its own words for progress, the end and the size.
TEST(MkisofsOutput, XorrisoPhrases) {
  ChunkEffect fx = ParseMkisofsChunk("xorriso : UPDATE :  50.01% done, estimate finish Wed Dec 09 06:52:03 2026\n");
  EXPECT_EQ(fx.barValue, 50);
  EXPECT_EQ(fx.caption, "Creating ISO File : 50.01% Done");
  // The five characters before '%' alone would read "00.00".
  fx = ParseMkisofsChunk("xorriso : UPDATE :  100.00% done\n");
  EXPECT_EQ(fx.barValue, 100);
  EXPECT_EQ(fx.caption, "Creating ISO File : 100.00% Done");
  EXPECT_EQ(ParseMkisofsChunk("xorriso : UPDATE :  0.00% done\n").barValue, 0);
  EXPECT_FALSE(ParseMkisofsChunk("xorriso : UPDATE :       6 files added in 1 seconds\n").barValue.has_value());

  fx = ParseMkisofsChunk(
      "ISO image produced: 146668 sectors\nWritten to medium : 146668 sectors at LBA 0\n"
      "Writing to 'stdio:/p/.kivcd.iso.1.part' completed successfully.\n\n");
  EXPECT_EQ(fx.barValue, 100);
  EXPECT_EQ(fx.caption, "Total ISO size : 286 MB");
  // The end in a chunk of its own fills the bar and leaves the size shown.
  fx = ParseMkisofsChunk("Writing to 'stdio:/p/.kivcd.iso.1.part' completed successfully.\n");
  EXPECT_EQ(fx.barValue, 100);
  EXPECT_FALSE(fx.caption.has_value());
  EXPECT_FALSE(ParseMkisofsChunk("ISO image produced: many sectors\n").caption.has_value());
  EXPECT_TRUE(ParseMkisofsChunk("libburn : SORRY : Cannot write desired amount of 32768 bytes. write(2) returned -1. "
                                ": No space left on device\n")
                  .noSpace);
  // Too little room seen before writing.
  fx = ParseMkisofsChunk("xorriso : FAILURE : Image size 3298s exceeds free space on media 512s\n");
  EXPECT_TRUE(fx.noSpace);
  EXPECT_FALSE(fx.caption.has_value());
}

TEST(MkisofsOutput, NoSpaceIsFlaggedWithoutChangingTheCaption) {
  ChunkEffect fx = ParseMkisofsChunk("genisoimage: No space left on device. Cannot write");
  EXPECT_TRUE(fx.noSpace);
  EXPECT_FALSE(fx.caption.has_value());
}

}  // namespace
}  // namespace kiv
