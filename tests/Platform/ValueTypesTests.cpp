#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "QVRAdKit/Platform/Decimal.h"
#include "QVRAdKit/Platform/MersenneTwister64.h"
#include "QVRAdKit/Platform/OverwriteText.h"
#include "QVRAdKit/Platform/TextEqual.h"
#include "QVRAdKit/Platform/TextHash.h"
#include "QVRAdKit/Platform/URL.h"
#include "QVRAdKit/Platform/UUID.h"

namespace QVRAdKit::Platform {
namespace {

TEST(UUIDTest, RandomIsCanonicalUpperCaseVersion4AndReadsBack) {
  const std::regex canonical("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    const std::string text = UUID::random().uuidString();
    ASSERT_TRUE(std::regex_match(text, canonical)) << text;
    EXPECT_EQ(UUID::fromString(text)->uuidString(), text);
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 200u);
}

// The standard engine's numbers, drawn across several rounds of its state, after seeding by value
// or by sequence, and after seeding again part-way through a round.
TEST(MersenneTwister64Test, DrawsTheStandardSequence) {
  for (const std::uint64_t seed : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{5489},
                                   std::numeric_limits<std::uint64_t>::max()}) {
    MersenneTwister64 mine(seed);
    std::mt19937_64 standard(seed);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(mine(), standard()) << "seed " << seed << ", " << i;
    mine.seed(seed + 7);
    standard.seed(seed + 7);
    for (int i = 0; i < 400; ++i)
      ASSERT_EQ(mine(), standard()) << "seed again " << seed << ", " << i;
  }
  std::seed_seq mySequence{1, 2, 3};
  std::seed_seq standardSequence{1, 2, 3};
  MersenneTwister64 mine(mySequence);
  std::mt19937_64 standard(standardSequence);
  for (int i = 0; i < 700; ++i) ASSERT_EQ(mine(), standard()) << "sequence, " << i;
}

// Every byte counts, whichever word it falls in (whole words, the overlapping last word of a long
// text, the two overlapping words of a short one), and so does the length, trailing zero bytes
// included: for the hash and for the equality, at every length up to past a uuid's.
TEST(TextHashTest, EveryByteAndTheLengthChangeTheHashAndTheEquality) {
  const TextHash hash;
  const TextEqual equal;
  for (std::size_t length = 0; length <= 40; ++length) {
    const std::string text(length, 'a');
    EXPECT_TRUE(equal(text, std::string(text)));
    for (const std::string& longer : {text + "a", text + std::string(1, '\0')}) {
      EXPECT_FALSE(equal(text, longer)) << "length " << length;
      EXPECT_NE(hash(longer), hash(text)) << "length " << length;
    }
    for (std::size_t at = 0; at < length; ++at) {
      std::string other = text;
      other[at] = 'b';
      EXPECT_FALSE(equal(text, other)) << "length " << length << ", byte " << at;
      EXPECT_NE(hash(other), hash(text)) << "length " << length << ", byte " << at;
    }
  }
}

// The same length is copied over, any other length reassigned; a text taken from the held string
// itself (the whole of it, or a part) comes out whole either way.
TEST(OverwriteTextTest, EveryLengthAndATextTakenFromTheHeldString) {
  for (const auto& [held, text] : {std::pair<std::string, std::string>{"uuid-1", "uuid-2"},
                                   {"ab", "wxyz"},
                                   {"abcdef", "xy"},
                                   {"", ""},
                                   {"a", ""}}) {
    std::string written = held;
    overwriteText(written, text);
    EXPECT_EQ(written, text) << held;
  }
  std::string self = "abcdef";
  overwriteText(self, self);
  EXPECT_EQ(self, "abcdef");
  overwriteText(self, std::string_view(self).substr(2));
  EXPECT_EQ(self, "cdef");
}

TEST(URLTest, SchemeAndHostBoundaries) {
  struct Case {
    const char* text;
    const char* scheme;
    std::optional<std::string> host;
  };
  for (const auto& [text, scheme, host] : {
           Case{"https://user:pw@Example.com:8443/path?q=a@b#frag", "https", "Example.com"},
           Case{"http://[::1]:80/", "http", "::1"},
           Case{"itms-apps://apps.apple.com", "itms-apps", "apps.apple.com"},
           Case{"mailto:a@b.c", "mailto", std::nullopt},
           Case{"file:///tmp/x", "file", std::nullopt},
       }) {
    const auto url = URL::string(text);
    ASSERT_TRUE(url) << text;
    EXPECT_EQ(url->scheme(), scheme);
    EXPECT_EQ(url->host(), host) << text;
    EXPECT_EQ(url->absoluteString(), text);
  }
  for (const char* bad : {"", "example.com/path", ":no-scheme", "1http://x", "ht tp://x",
                          "https://a.com/a b", "https://a.com\n"}) {
    EXPECT_FALSE(URL::string(bad)) << bad;
  }
}

TEST(DecimalTest, ParsesNormalizesAndRejectsAtTheBoundaries) {
  auto normalized = [](const char* text) {
    const auto value = Decimal::fromString(text);
    return value ? value->stringValue() : "invalid";
  };
  using Case = std::pair<const char*, const char*>;  // a text and its normal form
  for (const auto& [text, normal] :
       {Case{"12.50", "12.5"}, Case{"-3", "-3"}, Case{"1e3", "1000"}, Case{"2.5E-2", "0.025"},
        Case{"+.5", "0.5"}, Case{"7.", "7"}, Case{"-0", "0"},
        Case{"1.00000000000000000000001", "1"}, Case{"0.99999999999999999999999", "1"},
        Case{"123456789012345678901234567890", "123456789012345678900000000000"},
        Case{"-9223372036854775807", "-9223372036854775807"}}) {
    EXPECT_EQ(normalized(text), normal) << text;
  }
  for (const char* bad : {"", " 1", "1 ", ".", "-", "e3", "1e", "1e+", "1.2.3", "--1", "1,5",
                          "0x10", "NaN", "1e999", "10e127", "0.1e-128"}) {
    EXPECT_FALSE(Decimal::fromString(bad)) << bad;
  }
  EXPECT_EQ(Decimal::fromString("12.50"), Decimal::fromString("12.5"));
  EXPECT_EQ(Decimal::fromString("1e3"), Decimal::fromInt(1000));
  // The exponent range applies after normalization.
  EXPECT_EQ(Decimal::fromString("0.001e130")->exponent(), 127);
  EXPECT_EQ(Decimal::fromString("1000e-131")->exponent(), -128);
  EXPECT_EQ(Decimal::fromInt(std::numeric_limits<std::int64_t>::min()).stringValue(),
            "-9223372036854775808");
  // From doubles: the shortest text that reads back; not-a-number and infinities become zero.
  EXPECT_EQ(Decimal::fromDouble(0.1), Decimal::fromString("0.1"));
  EXPECT_EQ(Decimal::fromDouble(-2.5e-7).stringValue(), "-0.00000025");
  EXPECT_EQ(Decimal::fromDouble(1.0 / 3.0).doubleValue(), 1.0 / 3.0);
  EXPECT_TRUE(Decimal::fromDouble(std::nan("")).isZero());
  EXPECT_TRUE(Decimal::fromDouble(std::numeric_limits<double>::infinity()).isZero());
}

}  // namespace
}  // namespace QVRAdKit::Platform
