// The one reading of SOURCE_DATE_EPOCH that every program and tool shares.
#include "common/source_date_epoch.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "common/environment.h"

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
  Environment environment;
  environment.Set("SOURCE_DATE_EPOCH", "yesterday");
  EXPECT_EQ(SourceDateEpochProblem(environment),
            "SOURCE_DATE_EPOCH=yesterday is not a number of seconds since 1970 (set it to one, for example "
            "SOURCE_DATE_EPOCH=$(date +%s), or unset it)");
  EXPECT_FALSE(SourceDateEpoch(environment, nullptr).has_value());
  for (const char* fine : {"1700000000", ""}) {
    environment.Set("SOURCE_DATE_EPOCH", fine);
    EXPECT_EQ(SourceDateEpochProblem(environment), "") << fine;
  }
  EXPECT_EQ(SourceDateEpoch(environment.Set("SOURCE_DATE_EPOCH", "1700000000"), nullptr), 1700000000);
  EXPECT_EQ(SourceDateEpochProblem(environment.Unset("SOURCE_DATE_EPOCH")), "");
}

// The programs read their own environment once; what it holds is what
// getenv() gives.
TEST(Environment, OfThisProcessHoldsWhatGetenvGives) {
  const Environment here = Environment::OfThisProcess();
  ASSERT_NE(std::getenv("PATH"), nullptr);
  EXPECT_EQ(here.Get("PATH"), std::getenv("PATH"));
  EXPECT_FALSE(here.Find("KIV_NO_SUCH_VARIABLE_SET_ANYWHERE").has_value());
  EXPECT_FALSE(Environment().IsSet("PATH"));
}

}  // namespace
}  // namespace kiv
