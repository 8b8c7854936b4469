#include "preparer/placeholders.h"

#include <gtest/gtest.h>

#include "preparer/server_name_preparer.h"

namespace kiv {
namespace {

TEST(Placeholders, BothPlaceholdersAndRepeats) {
  const auto table = KivmaxPlaceholders("SRV1");
  EXPECT_EQ(ReplacePlaceholders(R"(net use K: \\$$servername$$\$$share_name$$ /yes)", table),
            R"(net use K: \\SRV1\kivutils /yes)");
  EXPECT_EQ(ReplacePlaceholders("$$servername$$ and $$servername$$", table), "SRV1 and SRV1");
  EXPECT_EQ(ReplacePlaceholders("$$servername$$$$servername$$", table), "SRV1SRV1");
}

TEST(Placeholders, LinesWithoutPlaceholdersAreUnchanged) {
  const auto table = KivmaxPlaceholders("x");
  for (const std::string line :
       {"", "   rem leading blanks", "a,b,\"c\"", "$$SERVERNAME$$", "$$servername$", "$$share_name", "50% $$ done"})
    EXPECT_EQ(ReplacePlaceholders(line, table), line);
}

TEST(Placeholders, InsertedTextIsNotSearchedAgain) {
  // The same placeholder in the answer: replaced once, no endless loop.
  EXPECT_EQ(ReplacePlaceholders("[$$servername$$]", KivmaxPlaceholders("a$$servername$$b")), "[a$$servername$$b]");
  // The later placeholder in the answer is not replaced either.
  EXPECT_EQ(ReplacePlaceholders("[$$servername$$] $$share_name$$", KivmaxPlaceholders("$$share_name$$")),
            "[$$share_name$$] kivutils");
  // Nor can a placeholder be formed across an inserted piece.
  EXPECT_EQ(ReplacePlaceholders("$$share$$servername$$_name$$", KivmaxPlaceholders("")), "$$share_name$$");
}

TEST(Placeholders, TableOrderDecidesOverlaps) {
  // The first placeholder of the table is replaced first, wherever it stands.
  EXPECT_EQ(ReplacePlaceholders("$$share_name$$servername$$", KivmaxPlaceholders("S")), "$$share_nameS");
  EXPECT_EQ(ReplacePlaceholders("ab", {{"", "x"}, {"b", "c"}}), "ac");  // an empty placeholder is ignored
}

}  // namespace
}  // namespace kiv
