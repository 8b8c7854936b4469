#include "common/product_key.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

TEST(ProductKey, AWholeKeyOrNoneAtAllPasses) {
  EXPECT_EQ(ProductKeyProblem({"ABCDE", "fghij", "12345", "K1L2M", "00000"}), "");
  EXPECT_EQ(ProductKeyProblem({"", "", "", "", ""}), "");
  EXPECT_EQ(ProductKeyMessage({"", "", "", "", ""}, "The Product Key"), "");
  for (const char* stored : {"", "----", "ABCDE-FGHIJ-KLMNO-PQRST-UVWXY", "abcde-12345-KLMNO-PQRST-UVWXY"})
    EXPECT_EQ(StoredProductKeyProblem(stored), "") << stored;
}

// Every box at fault is named with what it holds; the boxes that are right
// are not mentioned.
TEST(ProductKey, EachBoxAtFaultIsNamedWithWhatItHolds) {
  EXPECT_EQ(ProductKeyProblem({"ABCDE", "AB", "", "A!B@C", "Q!Q"}),
            "box 2 holds \"AB\", 2 characters instead of 5; box 3 is empty; box 4 holds \"A!B@C\", in which \"!\" "
            "and \"@\" are not letters or digits; box 5 holds \"Q!Q\", 3 characters instead of 5, and \"!\" is not "
            "a letter or digit");
  // A character outside ASCII is named whole, and counts as one.
  EXPECT_EQ(ProductKeyProblem({"ABCDE", "ABCD\xC3\x9C", "ABCDE", "ABCDE", "ABCDE"}),
            "box 2 holds \"ABCD\xC3\x9C\", in which \"\xC3\x9C\" is not a letter or digit");
  EXPECT_EQ(ProductKeyMessage({"ABCDE", "ABCDE", "ABCDE", "ABCDE", "X"}, "The Product Key"),
            "The Product Key cannot be used: box 5 holds \"X\", 1 character instead of 5.\nEach of its five boxes "
            "takes five letters or digits: fill all five, or empty all five for no key.");
}

// Keys seen in build logs: any character, groups short or missing.
TEST(ProductKey, AStoredKeyIsCheckedGroupByGroup) {
  EXPECT_EQ(StoredProductKeyProblem("A!B@C-#D$E%-F--"),
            "group 1 holds \"A!B@C\", in which \"!\" and \"@\" are not letters or digits; group 2 holds \"#D$E%\", in "
            "which \"#\", \"$\" and \"%\" are not letters or digits; group 3 holds \"F\", 1 character instead of 5; "
            "group 4 is empty; group 5 is empty");
  EXPECT_EQ(StoredProductKeyProblem("AB\"\\;-C---"),
            "group 1 holds \"AB\"\\;\", in which \"\"\", \"\\\" and \";\" are not letters or digits; group 2 holds "
            "\"C\", 1 character instead of 5; group 3 is empty; group 4 is empty; group 5 is "
            "empty");
  EXPECT_EQ(StoredProductKeyProblem("ABCDE-FGHIJ-KLMNO-PQRST-UVWXYZ"),
            "group 5 holds \"UVWXYZ\", 6 characters instead of 5");
  EXPECT_EQ(StoredProductKeyProblem("ABCDEFGHIJKLMNOPQRSTUVWXY"), "it has 1 group instead of 5");
  EXPECT_EQ(StoredProductKeyProblem("ABCDE-FGHIJ-KLMNO-PQRST-UVWXY-"), "it has 6 groups instead of 5");
}

}  // namespace
}  // namespace kiv
