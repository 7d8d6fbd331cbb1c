#include "Sandbox/MonteCarlo/PendingRequests.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace QVRAdKit::Sandbox {
namespace {

std::string uuid(int i) {
  return "ad-" + std::to_string(i);
}

// An answer takes its own request, once, whichever waiting one it is; a repeated uuid replaces its
// request, so a single answer clears it.
TEST(PendingRequestsTest, AnAnswerTakesItsOwnRequestOnce) {
  PendingRequests pending(8);
  pending.remember(uuid(1), 10);
  pending.remember(uuid(2), 20);
  pending.remember(uuid(3), 30);
  EXPECT_EQ(pending.take(uuid(2)), 20u) << "a request in the middle";
  EXPECT_EQ(pending.take(uuid(2)), std::nullopt) << "answered already";
  EXPECT_EQ(pending.take("ad-"), std::nullopt) << "a prefix of a waiting uuid is not it";
  pending.remember(uuid(1), 11);
  EXPECT_EQ(pending.size(), 2u) << "the repeated request replaced the first";
  EXPECT_EQ(pending.take(uuid(1)), 11u) << "with its new placement";
  EXPECT_EQ(pending.take(uuid(1)), std::nullopt);
  EXPECT_EQ(pending.take(uuid(3)), 30u);
  EXPECT_EQ(pending.size(), 0u);
}

// A full list forgets the requests made before the newest limit / 2, answered ones counted among
// the requests made: request 3, answered, is one of the newest two made, so only 4 is kept.
TEST(PendingRequestsTest, AFullListForgetsWhatWasMadeBeforeTheNewestHalf) {
  PendingRequests pending(4);
  for (int i = 0; i < 4; ++i) pending.remember(uuid(i), static_cast<std::size_t>(i));
  ASSERT_EQ(pending.take(uuid(3)), 3u);
  pending.remember(uuid(4), 4);
  EXPECT_EQ(pending.size(), 4u) << "at the limit, nothing forgotten yet";
  pending.remember(uuid(5), 5);
  EXPECT_EQ(pending.size(), 2u);
  EXPECT_EQ(pending.take(uuid(2)), std::nullopt) << "made before the newest two";
  pending.remember(uuid(6), 6);
  EXPECT_EQ(pending.size(), 3u) << "under the limit: nothing more forgotten";
  EXPECT_EQ(pending.take(uuid(4)), 4u);
  EXPECT_EQ(pending.take(uuid(5)), 5u);
  EXPECT_EQ(pending.take(uuid(6)), 6u);
}

// A request made again moves to the newest place, so the forgetting spares it.
TEST(PendingRequestsTest, ARepeatedRequestCountsAsNew) {
  PendingRequests pending(4);
  for (int i = 0; i < 4; ++i) pending.remember(uuid(i), static_cast<std::size_t>(i));
  ASSERT_EQ(pending.take(uuid(3)), 3u);
  pending.remember(uuid(0), 100);  // made again: now the newest
  pending.remember(uuid(4), 4);
  ASSERT_EQ(pending.size(), 4u);
  pending.remember(uuid(5), 5);  // at the limit: forgets 1 and 2, made before the newest two
  EXPECT_EQ(pending.size(), 3u);
  EXPECT_EQ(pending.take(uuid(1)), std::nullopt);
  EXPECT_EQ(pending.take(uuid(2)), std::nullopt);
  EXPECT_EQ(pending.take(uuid(0)), 100u);
  EXPECT_EQ(pending.take(uuid(4)), 4u);
  EXPECT_EQ(pending.take(uuid(5)), 5u);
}

// After clear() nothing waits, and the count of requests starts again: a list reused for the next
// session forgets exactly as a new one does.
TEST(PendingRequestsTest, AClearedListCountsAsANewOne) {
  PendingRequests reused(4);
  for (int i = 0; i < 9; ++i) reused.remember(uuid(i), 1);
  reused.clear();
  EXPECT_EQ(reused.size(), 0u);
  EXPECT_EQ(reused.take(uuid(8)), std::nullopt) << "the last session's request";
  PendingRequests fresh(4);
  for (int i = 0; i < 5; ++i) {
    reused.remember(uuid(i), 2);
    fresh.remember(uuid(i), 2);
    EXPECT_EQ(reused.size(), fresh.size()) << "after request " << i;
  }
  for (int i = 0; i < 5; ++i) EXPECT_EQ(reused.take(uuid(i)), fresh.take(uuid(i))) << i;
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
