#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "QVRAdKit/Platform/Application.h"
#include "QVRAdKit/Platform/NotificationCenter.h"

namespace QVRAdKit::Platform {
namespace {

using Strings = std::vector<std::string>;

class NotificationCenterTest : public ::testing::Test {
 protected:
  std::shared_ptr<NotificationCenter> center = std::make_shared<NotificationCenter>();
  Strings calls;

  NotificationCenter::Handler record(std::string tag) {
    return [this, tag = std::move(tag)](const Notification&) { calls.push_back(tag); };
  }
};

TEST_F(NotificationCenterTest, AnySenderAndSpecificSenderObservers) {
  int senderA = 0;
  int senderB = 0;
  const void* seenObject = nullptr;
  center->addObserver("Changed", nullptr, [&](const Notification& n) {
    calls.push_back("any " + n.name);
    seenObject = n.object;
  });
  center->addObserver("Changed", &senderB, record("onlyB"));
  center->addObserver("Other", nullptr, record("other"));

  center->post("Changed", &senderA);
  EXPECT_EQ(calls, (Strings{"any Changed"}));
  EXPECT_EQ(seenObject, &senderA);
  center->post("Changed", &senderB);
  center->post("Changed");  // no sender: the sender-specific observer is not called
  center->post("Unobserved", &senderB);
  EXPECT_EQ(calls, (Strings{"any Changed", "any Changed", "onlyB", "any Changed"}));
}

// A post gathers its first observers on the stack and the rest on the heap: many observers, one
// of them removing a later one, still hear it once each, in the order they were added.
TEST_F(NotificationCenterTest, ManyObserversEachHearAPostOnceInOrder) {
  std::vector<std::uint64_t> ids;
  for (int i = 0; i < 12; ++i) {
    if (i == 9) {
      center->addObserver("N", nullptr,
                          [&](const Notification&) { center->removeObserver(ids[10]); });
    }
    ids.push_back(center->addObserver("N", nullptr, record(std::to_string(i))));
  }
  center->removeObserver(ids[3]);
  center->post("N");
  EXPECT_EQ(calls, (Strings{"0", "1", "2", "4", "5", "6", "7", "8", "9", "11"}));
}

TEST_F(NotificationCenterTest, ObserversAddedOrRemovedDuringPost) {
  std::uint64_t second = 0;
  std::uint64_t self = 0;
  self = center->addObserver("N", nullptr, [&](const Notification&) {
    calls.push_back("first");
    center->removeObserver(self);
    center->removeObserver(second);
    center->addObserver("N", nullptr, record("added"));
  });
  second = center->addObserver("N", nullptr, record("second"));
  center->addObserver("N", nullptr, record("third"));

  center->post("N");
  center->post("N");
  EXPECT_EQ(calls, (Strings{"first", "third", "third", "added"}));
  center->removeObserver(second);  // already removed: ignored
  EXPECT_EQ(center->observerCount(), 2u);
}

TEST_F(NotificationCenterTest, OwnerScopedObserverEndsWithItsOwnerAndDoesNotKeepItAlive) {
  auto owner = std::make_shared<int>(7);
  center->addObserver(owner, "N", nullptr, record("owned"));
  center->addObserver("N", nullptr, record("after"));
  EXPECT_EQ(owner.use_count(), 1);
  center->post("N");
  owner.reset();
  center->post("N");
  center->post("N");  // the observer after the dropped one still hears every post
  EXPECT_EQ(calls, (Strings{"owned", "after", "after", "after"}));
  EXPECT_EQ(center->observerCount(), 1u);  // dropped at the post
  calls.clear();

  // An owner that expires while an earlier handler runs is not called afterwards.
  auto late = std::make_shared<int>(0);
  center->addObserver("N", nullptr, [&](const Notification&) { late.reset(); });
  center->addObserver(late, "N", nullptr, record("late"));
  center->post("N");
  EXPECT_EQ(calls, (Strings{"after"}));
}

TEST_F(NotificationCenterTest, ApplicationPostsActivationAndBackgroundOnlyOnChange) {
  Application application(center);
  for (auto name :
       {UIApplicationDidBecomeActiveNotification, UIApplicationDidEnterBackgroundNotification}) {
    center->addObserver(std::string(name), &application,
                        [&](const Notification& n) { calls.push_back(n.name); });
  }
  using enum ApplicationState;  // starts active
  for (auto state : {active, inactive, active, background, background, inactive, active}) {
    application.setApplicationState(state);  // active -> active and repeats are silent
  }
  EXPECT_EQ(calls, (Strings{"UIApplicationDidBecomeActiveNotification",
                            "UIApplicationDidEnterBackgroundNotification",
                            "UIApplicationDidBecomeActiveNotification"}));
}

}  // namespace
}  // namespace QVRAdKit::Platform
