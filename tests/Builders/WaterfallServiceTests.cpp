#include "QVRAdKit/Builders/WaterfallService.h"

#include <gtest/gtest.h>

#include <thread>

#include "QVRAdKit/Rx/BehaviorSubject.h"
#include "Sandbox/Logging/RecordingLogger.h"

namespace QVRAdKit {
namespace {

using Platform::ApplicationState;

// An ad whose state the test sets by hand. It is loading from its creation, like a real ad.
struct FakeAd final : WaterfallableAd {
  bool isFailed() const override { return failed; }
  bool isLoaded() const override { return loaded; }
  Rx::Observable<bool> isLoadingStream() const override { return loading.asObservable(); }
  void finish(bool success) {
    (success ? loaded : failed) = true;
    loading.onNext(false);
  }

  bool failed = false;
  bool loaded = false;
  Rx::BehaviorSubject<bool> loading{true};
};
using Waterfall = WaterfallService<FakeAd>;

class WaterfallServiceTest : public ::testing::Test {
 protected:
  // A waterfall whose creator records every key it is asked for and gives no ad for brokenKey.
  std::shared_ptr<Waterfall> make() {
    return Waterfall::create(*env, [this](const std::string& key) {
      asked += key;
      return key == brokenKey ? nullptr : std::make_shared<FakeAd>();
    });
  }
  void drain() { env->mainQueue().runUntilIdle(); }
  void loadNow() {
    waterfall->load();
    drain();
  }
  void setState(ApplicationState state) { env->application().setApplicationState(state); }
  std::shared_ptr<FakeAd> cached(const std::string& key) const {
    return waterfall->adsCache().at(key);
  }
  // Sets the keys, empties the cache and runs a load.
  void loadKeys(std::vector<std::string> keys) {
    waterfall->setAdKeys(std::move(keys));
    waterfall->resetCache();
    loadNow();
  }

  std::unique_ptr<Platform::Environment> env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*env};
  std::string asked;  // the keys the creator was asked for, in order
  std::string brokenKey;
  std::shared_ptr<Waterfall> waterfall = make();
  std::vector<bool> relay;
  Rx::Disposable relaySubscription =
      waterfall->isLoadingRelay().subscribe([this](const bool& v) { relay.push_back(v); });
};

TEST_F(WaterfallServiceTest, LoadsCreateEachMissingKeyOnceInKeyOrderOnTheMainQueue) {
  EXPECT_EQ(env->mainQueue().pendingCount(), 0u) << "construction starts no load";
  loadNow();
  EXPECT_TRUE(asked.empty()) << "without keys nothing is created";
  EXPECT_EQ(waterfall->takeLoadedAd(), nullptr);
  EXPECT_EQ(relay, std::vector<bool>{false});

  waterfall->setAdKeys({"A", "B", "C"});
  std::thread([service = waterfall] { service->load(); }).join();  // any thread may ask
  waterfall->load();
  EXPECT_TRUE(asked.empty()) << "the work waits for the main queue";
  drain();
  EXPECT_EQ(asked, "ABC");

  // Cached ads, failed ones included, are not created again; only the added key is.
  cached("B")->finish(false);
  waterfall->setAdKeys({"A", "B", "C", "D"});
  loadNow();
  EXPECT_EQ(asked, "ABCD");
}

TEST_F(WaterfallServiceTest, OnlyBackgroundLoadsWaitForOneLoadAtTheNextActivation) {
  waterfall->setAdKeys({"A", "B"});
  setState(ApplicationState::inactive);  // on screen, not in front (an alert, say): loads
  loadNow();
  EXPECT_EQ(asked, "AB");
  waterfall->resetCache();
  setState(ApplicationState::active);
  drain();
  EXPECT_EQ(asked, "AB") << "nothing was deferred for the activation";
  asked.clear();

  waterfall->load();
  setState(ApplicationState::background);  // read when the load runs, not when it is asked
  loadNow();
  EXPECT_TRUE(asked.empty());

  setState(ApplicationState::active);
  EXPECT_TRUE(asked.empty()) << "the activation posts the deferred load";
  drain();
  EXPECT_EQ(asked, "AB");

  // An activation without a load asked for in the background does nothing.
  waterfall->resetCache();
  setState(ApplicationState::background);
  setState(ApplicationState::active);
  drain();
  EXPECT_EQ(asked, "AB");
}

TEST_F(WaterfallServiceTest, TakeHandsOutTheFirstLoadedAdInKeyOrderAndReplacesItAndFailedOnes) {
  loadKeys({"A", "B", "C"});
  auto a = cached("A"), b = cached("B"), c = cached("C");
  b->finish(true);
  c->finish(true);  // A is still loading
  EXPECT_EQ(waterfall->takeLoadedAd(), b);
  EXPECT_EQ(asked, "ABCB");
  EXPECT_EQ(waterfall->takeLoadedAd(), c) << "the fresh B is loading";
  EXPECT_EQ(waterfall->takeLoadedAd(), nullptr);
  EXPECT_EQ(asked, "ABCBC") << "ads still loading are left alone";

  a->finish(true);
  cached("B")->finish(true);
  EXPECT_EQ(waterfall->takeLoadedAd(), a) << "once ready, A wins over everything after it";

  // A failed ad on the way is replaced.
  loadKeys({"A", "B"});
  asked.clear();
  cached("A")->finish(false);
  b = cached("B");
  b->finish(true);
  EXPECT_EQ(waterfall->takeLoadedAd(), b);
  EXPECT_EQ(asked, "AB");

  // Every ad failed: all are replaced, nothing is handed out, and the replacements load.
  cached("A")->finish(false);
  cached("B")->finish(false);
  EXPECT_FALSE(relay.back());
  EXPECT_EQ(waterfall->takeLoadedAd(), nullptr);
  EXPECT_EQ(asked, "ABAB");
  EXPECT_TRUE(relay.back());
  EXPECT_EQ(waterfall->takeLoadedAd(), nullptr);
  EXPECT_EQ(asked, "ABAB") << "loading replacements are not replaced again";
}

TEST_F(WaterfallServiceTest, RelayFollowsOnlyTheCachedAdsAndResetCacheDropsThem) {
  loadKeys({"A", "B"});
  auto a = cached("A");
  a->finish(true);
  EXPECT_TRUE(relay.back()) << "B is still loading";
  cached("B")->finish(true);
  EXPECT_FALSE(relay.back());
  EXPECT_EQ(waterfall->takeLoadedAd(), a);
  EXPECT_TRUE(relay.back()) << "A's replacement is loading";
  cached("A")->finish(false);
  a->loading.onNext(true);
  EXPECT_FALSE(relay.back()) << "a taken ad no longer counts";

  loadKeys({"A", "B"});
  EXPECT_TRUE(relay.back());
  a = cached("A");
  std::weak_ptr<FakeAd> dropped = cached("B");
  waterfall->resetCache();
  EXPECT_TRUE(waterfall->adsCache().empty());
  EXPECT_FALSE(relay.back());
  a->loading.onNext(true);
  EXPECT_FALSE(relay.back()) << "a dropped ad no longer counts";
  EXPECT_TRUE(dropped.expired()) << "the waterfall released its ads";
}

TEST_F(WaterfallServiceTest, PendingLoadsDoNothingOnceTheServiceIsGone) {
  waterfall->setAdKeys({"A"});
  waterfall->load();
  std::weak_ptr<Waterfall> watched = waterfall;
  waterfall.reset();
  EXPECT_TRUE(watched.expired()) << "a queued load does not keep the service alive";

  auto deferred = make();  // its load waits for an activation that comes after it is gone
  deferred->setAdKeys({"B"});
  setState(ApplicationState::background);
  deferred->load();
  drain();
  deferred.reset();
  setState(ApplicationState::active);
  drain();
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(env->notificationCenter().observerCount(), 0u);
}

TEST_F(WaterfallServiceTest, CreatorGivingNoAdIsReportedAndAskedAgainAtTheNextLoad) {
  auto logger = std::make_shared<Sandbox::RecordingLogger>();
  env->setService<QVLogger>(logger);
  brokenKey = "A";
  loadKeys({"A", "B"});
  EXPECT_EQ(asked, "AB");
  EXPECT_EQ(waterfall->adsCache().size(), 1u);
  ASSERT_EQ(logger->assertionFailures().size(), 1u);
  EXPECT_EQ(logger->assertionFailures()[0].file, "QVRAdKit/Builders/WaterfallService");

  auto b = cached("B");
  b->finish(true);
  EXPECT_EQ(waterfall->takeLoadedAd(), b);
  loadNow();
  EXPECT_EQ(asked, "ABBA") << "the fresh B from the take, then A again";
  EXPECT_EQ(logger->assertionFailures().size(), 2u);
}

}  // namespace
}  // namespace QVRAdKit
