#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "QVRAdKit/Platform/NotificationCenter.h"

namespace QVRAdKit::Platform {
namespace {

class NotificationCenterTest : public ::testing::Test {
 protected:
  NotificationCenter center;
  std::vector<std::string> calls;
  int senderA = 0;
  int senderB = 0;

  NotificationCenter::Handler record(std::string tag) {
    return [this, tag = std::move(tag)](const Notification&) { calls.push_back(tag); };
  }
};

TEST_F(NotificationCenterTest, AnySenderAndSpecificSenderObservers) {
  const void* seenObject = nullptr;
  std::string seenName;
  center.addObserver("Changed", nullptr, [&](const Notification& n) {
    calls.push_back("any");
    seenName = n.name;
    seenObject = n.object;
  });
  center.addObserver("Changed", &senderB, record("onlyB"));
  center.addObserver("Other", nullptr, record("other"));

  center.post("Changed", &senderA);
  EXPECT_EQ(calls, (std::vector<std::string>{"any"}));
  EXPECT_EQ(seenName, "Changed");
  EXPECT_EQ(seenObject, &senderA);

  calls.clear();
  center.post("Changed", &senderB);
  EXPECT_EQ(calls, (std::vector<std::string>{"any", "onlyB"}));

  calls.clear();
  center.post("Changed");  // no sender: the sender-specific observer is not called
  center.post("Unobserved", &senderB);
  EXPECT_EQ(calls, (std::vector<std::string>{"any"}));
}

TEST_F(NotificationCenterTest, ObserversAddedOrRemovedDuringPost) {
  std::uint64_t second = 0;
  std::uint64_t self = 0;
  self = center.addObserver("N", nullptr, [&](const Notification&) {
    calls.push_back("first");
    center.removeObserver(self);
    center.removeObserver(second);
    center.addObserver("N", nullptr, record("added"));
  });
  second = center.addObserver("N", nullptr, record("second"));
  center.addObserver("N", nullptr, record("third"));

  center.post("N");
  EXPECT_EQ(calls, (std::vector<std::string>{"first", "third"}));

  calls.clear();
  center.post("N");
  EXPECT_EQ(calls, (std::vector<std::string>{"third", "added"}));

  center.removeObserver(second);  // already removed: ignored
  center.removeObserver(12345);
  EXPECT_EQ(center.observerCount(), 2u);
}

TEST_F(NotificationCenterTest, OwnerScopedObserverEndsWithItsOwnerAndDoesNotKeepItAlive) {
  auto owner = std::make_shared<int>(7);
  std::weak_ptr<int> watched = owner;
  center.addObserver(owner, "N", nullptr, record("owned"));
  EXPECT_EQ(owner.use_count(), 1);

  center.post("N");
  EXPECT_EQ(calls, (std::vector<std::string>{"owned"}));

  owner.reset();
  EXPECT_TRUE(watched.expired());
  center.post("N");
  EXPECT_EQ(calls.size(), 1u);
  EXPECT_EQ(center.observerCount(), 0u);  // dropped at the post

  // An owner that expires while an earlier handler runs is not called afterwards.
  auto late = std::make_shared<int>(0);
  center.addObserver("N", nullptr, [&](const Notification&) { late.reset(); });
  center.addObserver(late, "N", nullptr, record("late"));
  center.post("N");
  EXPECT_EQ(calls.size(), 1u);
}

}  // namespace
}  // namespace QVRAdKit::Platform
