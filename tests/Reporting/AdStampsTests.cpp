#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QVRAdKit/Reporting/AdStamps.h"

namespace QVRAdKit {
namespace {

using Platform::Date;

// The stored moment in seconds, or -1 when the key has none.
double stampOf(const AdStamps& stamps, std::string_view key) {
  const Date* at = stamps.find(key);
  return at == nullptr ? -1 : at->timeIntervalSince1970();
}

TEST(AdStampsTest, KeysAreTextExactlyIncludingEmptyAndPrefixes) {
  AdStamps stamps;
  EXPECT_EQ(stampOf(stamps, ""), -1);
  EXPECT_EQ(stampOf(stamps, "a"), -1);

  const std::vector<std::pair<std::string, double>> keys = {
      {"", 1}, {"a", 2}, {"ab", 3}, {"abcdefgh", 4}, {"abcdefgh1", 5}, {"bbcdefgh", 6}};
  for (const auto& [key, at] : keys) stamps.set(key, Date(at));
  for (const auto& [key, at] : keys) EXPECT_EQ(stampOf(stamps, key), at) << "'" << key << "'";
  EXPECT_EQ(stampOf(stamps, "abc"), -1);
  EXPECT_EQ(stampOf(stamps, "abcdefg"), -1);
  EXPECT_EQ(stamps.size(), keys.size());

  // Overwriting keeps one entry per key.
  stamps.set("ab", Date(30));
  stamps.set("", Date(10));
  EXPECT_EQ(stampOf(stamps, "ab"), 30);
  EXPECT_EQ(stampOf(stamps, ""), 10);
  EXPECT_EQ(stampOf(stamps, "a"), 2);
  EXPECT_EQ(stamps.size(), keys.size());
}

TEST(AdStampsTest, EntriesSurviveGrowthAndOwnTheirKeyText) {
  AdStamps stamps;
  const auto uuidLike = [](int i) {
    std::string key = "00000000-0000-4000-8000-000000000000";
    const std::string digits = std::to_string(i);
    key.replace(key.size() - digits.size(), digits.size(), digits);
    return key;
  };
  constexpr int kCount = 1000;  // several doublings of the table
  for (int i = 0; i < kCount; ++i) {
    std::string key = uuidLike(i);
    stamps.set(key, Date(i));
    key.assign(key.size(), 'x');  // the table must have copied the text
  }
  EXPECT_EQ(stamps.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(stampOf(stamps, uuidLike(i)), i) << i;
  EXPECT_EQ(stampOf(stamps, std::string(36, 'x')), -1);
  EXPECT_EQ(stampOf(stamps, uuidLike(kCount)), -1);

  for (int i = 0; i < kCount; i += 7) stamps.set(uuidLike(i), Date(-i));
  EXPECT_EQ(stamps.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(stampOf(stamps, uuidLike(i)), i % 7 == 0 ? -i : i);
}

}  // namespace
}  // namespace QVRAdKit
