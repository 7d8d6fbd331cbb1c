#include "Sandbox/MonteCarlo/TableFormat.h"

#include <gtest/gtest.h>

#include <cmath>

namespace QVRAdKit::Sandbox {
namespace {

// A difference or interval end that rounds to zero at the digits shown is written without a minus
// sign, in text and in JSON; one that rounds away from zero keeps its sign.
TEST(TableFormatTest, NothingRoundsToNegativeZero) {
  struct Case {
    double number;
    int decimals;
    const char* text;
  };
  const Case cases[] = {
      {-0.0, 1, "+0.0"}, {-0.04, 1, "+0.0"},   {-0.051, 1, "-0.1"},
      {0.0, 2, "+0.00"}, {-0.004, 2, "+0.00"}, {-0.006, 2, "-0.01"},
      {2.6, 1, "+2.6"},  {-12.0, 1, "-12.0"},  {-100.04, 1, "-100.0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TableFormat::signedFixed(c.number, c.decimals), c.text) << c.number;
  }

  for (const double tiny : {-0.0, -0.00004}) {
    EXPECT_FALSE(std::signbit(TableFormat::rounded(tiny))) << tiny;
  }
  EXPECT_EQ(TableFormat::rounded(-0.00006), -0.0001);
  EXPECT_EQ(TableFormat::interval(Interval{-0.00001, 0.02621}).dump(), "[0.0,0.0262]");
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
