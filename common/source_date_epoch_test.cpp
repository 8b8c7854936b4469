// The one reading of SOURCE_DATE_EPOCH that every program and tool shares.
#include "common/source_date_epoch.h"

#include <gtest/gtest.h>

#include "testsupport/source_date_epoch.h"

namespace kiv {
namespace {

TEST(SourceDateEpoch, ReadsPlainDecimalSecondsOnly) {
  std::string error;
  EXPECT_EQ(ParseSourceDateEpoch("1700000000", &error), 1700000000);
  EXPECT_EQ(ParseSourceDateEpoch("0", &error), 0);
  EXPECT_EQ(error, "");
  EXPECT_FALSE(ParseSourceDateEpoch(nullptr, &error).has_value());
  EXPECT_FALSE(ParseSourceDateEpoch("", &error).has_value());
  EXPECT_EQ(error, "");
  for (const char* bad : {"yesterday", "17e8", "-5", " 12", "12 ", "+12", "99999999999999999999"}) {
    error.clear();
    EXPECT_FALSE(ParseSourceDateEpoch(bad, &error).has_value()) << bad;
    EXPECT_EQ(error, std::string("SOURCE_DATE_EPOCH=") + bad + " is not a number of seconds since 1970");
  }
}

TEST(SourceDateEpoch, AValueThatIsNoNumberIsAProblemNamingItAndTheWayOut) {
  {
    testing::SourceDateEpoch epoch("yesterday");
    EXPECT_EQ(SourceDateEpochProblem(),
              "SOURCE_DATE_EPOCH=yesterday is not a number of seconds since 1970 (set it to one, for example "
              "SOURCE_DATE_EPOCH=$(date +%s), or unset it)");
  }
  for (const char* fine : {"1700000000", ""}) {
    testing::SourceDateEpoch epoch(fine);
    EXPECT_EQ(SourceDateEpochProblem(), "") << fine;
  }
  testing::SourceDateEpoch unset(nullptr);
  EXPECT_EQ(SourceDateEpochProblem(), "");
}

}  // namespace
}  // namespace kiv
