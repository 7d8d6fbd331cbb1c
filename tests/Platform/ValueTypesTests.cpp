#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <string>

#include "QVRAdKit/Platform/Decimal.h"
#include "QVRAdKit/Platform/URL.h"
#include "QVRAdKit/Platform/UUID.h"

namespace QVRAdKit::Platform {
namespace {

TEST(UUIDTest, RandomIsCanonicalUpperCaseVersion4AndUnique) {
  std::set<std::string> seen;
  for (int i = 0; i < 1000; ++i) {
    const std::string text = UUID::random().uuidString();
    ASSERT_EQ(text.size(), 36u);
    for (size_t j = 0; j < text.size(); ++j) {
      if (j == 8 || j == 13 || j == 18 || j == 23) {
        ASSERT_EQ(text[j], '-') << text;
      } else {
        ASSERT_TRUE(std::isxdigit(static_cast<unsigned char>(text[j])) &&
                    !std::islower(static_cast<unsigned char>(text[j])))
            << text;
      }
    }
    EXPECT_EQ(text[14], '4') << text;
    EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos) << text;
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 1000u);
}

TEST(UUIDTest, ParsesEitherCaseAndRejectsMalformedText) {
  const auto upper = UUID::fromString("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
  const auto lower = UUID::fromString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
  ASSERT_TRUE(upper && lower);
  EXPECT_EQ(*upper, *lower);
  EXPECT_EQ(lower->uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
  const UUID random = UUID::random();
  EXPECT_EQ(UUID::fromString(random.uuidString()), random);
  EXPECT_NE(UUID::random(), random);

  for (const char* bad :
       {"", "E621E1F8-C36C-495A-93FC-0C247A3E6E5", "E621E1F8-C36C-495A-93FC-0C247A3E6E5F0",
        "E621E1F8C-36C-495A-93FC-0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5G",
        "{621E1F8-C36C-495A-93FC-0C247A3E6E5F"}) {
    EXPECT_FALSE(UUID::fromString(bad)) << bad;
  }
}

TEST(URLTest, ParsesSchemeAndHost) {
  const auto web = URL::string("https://user:pw@Example.com:8443/path?q=a@b#frag");
  ASSERT_TRUE(web);
  EXPECT_EQ(web->scheme(), "https");
  EXPECT_EQ(web->host(), "Example.com");
  EXPECT_EQ(web->absoluteString(), "https://user:pw@Example.com:8443/path?q=a@b#frag");

  EXPECT_EQ(URL::string("http://[::1]:80/")->host(), "::1");
  EXPECT_EQ(URL::string("itms-apps://apps.apple.com")->scheme(), "itms-apps");
  EXPECT_EQ(URL::string("itms-apps://apps.apple.com")->host(), "apps.apple.com");
  EXPECT_EQ(URL::string("mailto:a@b.c")->host(), std::nullopt);
  EXPECT_EQ(URL::string("file:///tmp/x")->host(), std::nullopt);
  EXPECT_EQ(URL::string("a:"), URL::string("a:"));
  EXPECT_NE(URL::string("https://a.com"), URL::string("https://a.com/"));

  for (const char* bad : {"", "example.com/path", ":no-scheme", "1http://x", "ht tp://x",
                          "https://a.com/a b", "https://a.com\n", "https://a.com/\t"}) {
    EXPECT_FALSE(URL::string(bad)) << bad;
  }
}

Decimal parse(const char* text) {
  auto value = Decimal::fromString(text);
  EXPECT_TRUE(value) << text;
  return value.value_or(Decimal::fromInt(-999));
}

TEST(DecimalTest, ParsesAndNormalizes) {
  EXPECT_EQ(parse("12.50").stringValue(), "12.5");
  EXPECT_EQ(parse("12.50"), parse("12.5"));
  EXPECT_EQ(parse("-3").stringValue(), "-3");
  EXPECT_EQ(parse("1e3").stringValue(), "1000");
  EXPECT_EQ(parse("1e3"), Decimal::fromInt(1000));
  EXPECT_EQ(parse("2.5E-2").stringValue(), "0.025");
  EXPECT_EQ(parse("+.5").stringValue(), "0.5");
  EXPECT_EQ(parse("7.").stringValue(), "7");
  EXPECT_EQ(parse("0.000"), Decimal());
  EXPECT_TRUE(parse("-0").isZero());
  EXPECT_EQ(parse("-0").stringValue(), "0");
  EXPECT_NE(parse("0.1"), parse("0.01"));
  EXPECT_NE(parse("-1"), parse("1"));
  EXPECT_DOUBLE_EQ(parse("12.5").doubleValue(), 12.5);

  for (const char* bad : {"", " 1", "1 ", ".", "-", "e3", "1e", "1e+", "1.2.3", "--1", "1,5",
                          "0x10", "abc", "1e999", "1e-999", "NaN"}) {
    EXPECT_FALSE(Decimal::fromString(bad)) << bad;
  }
}

TEST(DecimalTest, LongMantissasRoundAndExtremesSurvive) {
  EXPECT_EQ(parse("1.00000000000000000000001"), Decimal::fromInt(1));
  EXPECT_EQ(parse("0.99999999999999999999999"), Decimal::fromInt(1));
  EXPECT_EQ(parse("123456789012345678901234567890").stringValue(),
            "123456789012345678900000000000");

  const auto min = std::numeric_limits<std::int64_t>::min();
  EXPECT_EQ(Decimal::fromInt(min).stringValue(), "-9223372036854775808");
  EXPECT_EQ(parse("-9223372036854775807"), Decimal::fromInt(min + 1));
  // The exponent range applies after normalization.
  EXPECT_EQ(parse("0.001e130").exponent(), 127);
  EXPECT_EQ(parse("1000e-131").exponent(), -128);
  EXPECT_FALSE(Decimal::fromString("10e127"));
  EXPECT_FALSE(Decimal::fromString("0.1e-128"));
}

TEST(DecimalTest, FromDoubleUsesShortestRoundTripText) {
  EXPECT_EQ(Decimal::fromDouble(0.1).stringValue(), "0.1");
  EXPECT_EQ(Decimal::fromDouble(0.1), parse("0.1"));
  EXPECT_EQ(Decimal::fromDouble(-2.5e-7).stringValue(), "-0.00000025");
  const double third = 1.0 / 3.0;
  EXPECT_EQ(Decimal::fromDouble(third).doubleValue(), third);
  EXPECT_TRUE(Decimal::fromDouble(std::nan("")).isZero());
  EXPECT_TRUE(Decimal::fromDouble(std::numeric_limits<double>::infinity()).isZero());
}

}  // namespace
}  // namespace QVRAdKit::Platform
