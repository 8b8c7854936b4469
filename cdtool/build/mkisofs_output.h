#pragma once
// Reading the mastering run's console output. Each captured chunk is tested
// for the key phrases in a fixed order; every test that matches may set the
// caption (a later one wins), the bar value, or flag a full disk.
#include <optional>
#include <string>
#include <vector>

namespace kiv {

struct ChunkEffect {
  std::optional<std::string> caption;  // new sub-step caption
  std::optional<int> barValue;         // new progress value (0..100)
  bool noSpace = false;                // "No space left on device" seen
};

// Tests 1-7, in order:
//  1 "Calculating MD5 digests", 2 "Finding duplicate files" - that caption;
//  3 "Scanning" (not "Scanning tree...") - "Scanning : " + text up to the next
//    "Scanning" or the end of the chunk;
//  4 "Eltorito" - "Writing Booting Info";
//  5 the first '%' (unless it begins "%)"): the five characters before it,
//    trimmed, as a number - bar value rounded half to even, caption
//    "Creating ISO File : <t>% Done";
//  6 "extents written (" N "Mb"/"MB"/"MiB" - "Total ISO size : N MB";
//  7 "No space left on device" - noSpace.
// A number that does not read as one, a '%' within the first five characters,
// a value outside 0..100 or a missing size unit changes nothing.
//
// xorriso (started as mkisofs) says the same things in other words, read
// beside the tests above:
//  "xorriso : UPDATE :  12.11% done" - the whole number before '%' (also
//    "100.00"), as in test 5;
//  "Writing to '<drive>' completed successfully." - the bar full; the
//    caption stays (it shows the size, which xorriso prints just before);
//  "ISO image produced: N sectors" - "Total ISO size : <N x 2 KiB in MiB> MB";
//  "Image size 3298s exceeds free space on media 512s" - noSpace, as test 7.
ChunkEffect ParseMkisofsChunk(const std::string& chunk);

// The problems the mastering tool names in its output, gathered as the
// chunks arrive (a chunk may end in the middle of a line): the lines xorriso
// and its libraries write with a severity of SORRY or worse
// ("libisofs: MISHAP : File "/src/a.txt" can't be opened. Filling with 0s."),
// each with the "> Caused by: ..." note after it. What a failed run says is
// these, not its last lines (which may well end "completed successfully").
class MasteringProblems {
 public:
  void Add(const std::string& chunk);
  // The problems in the order they came, the first few:
  // `File "/src/a.txt" can't be opened. Filling with 0s. (The file does not
  // exist in the filesystem)`, several joined by "; "; "" when there were none.
  std::string Text() const;

 private:
  void Line(const std::string& line);
  std::string pending_;
  std::vector<std::string> problems_;
  bool awaitingCause_ = false;  // the last line was a problem kept
};

}  // namespace kiv
