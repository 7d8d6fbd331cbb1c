#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "QVRAdKit/Builders/WaterfallService.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Rx/BehaviorSubject.h"
#include "Sandbox/Logging/RecordingLogger.h"

namespace QVRAdKit {
namespace {

using Platform::ApplicationState;

// An ad whose state the test sets by hand. It starts loading when created, like a real ad.
class FakeAd final : public WaterfallableAd {
 public:
  FakeAd(std::string key, int serial, bool startLoading)
      : key(std::move(key)), serial(serial), loading(startLoading) {}

  bool isFailed() const override { return failed; }
  bool isLoaded() const override { return loaded; }
  Rx::Observable<bool> isLoadingStream() const override {
    return loading.asObservable().distinctUntilChanged();
  }

  void finishLoading() {
    loaded = true;
    loading.onNext(false);
  }
  void failLoading() {
    failed = true;
    loading.onNext(false);
  }

  const std::string key;
  const int serial;  // position among all ads the creator made
  bool failed = false;
  bool loaded = false;
  Rx::BehaviorSubject<bool> loading;
};

using Waterfall = WaterfallService<FakeAd>;

class WaterfallServiceTest : public ::testing::Test {
 protected:
  std::unique_ptr<Platform::Environment> env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*env};

  // What the creator made, in order; the test keeps the ads to drive them after they left the
  // waterfall.
  std::vector<std::shared_ptr<FakeAd>> created;
  bool startLoading = true;
  bool completeAtOnce = false;

  std::shared_ptr<Waterfall> waterfall = Waterfall::create([this](const std::string& key) {
    auto ad = std::make_shared<FakeAd>(key, static_cast<int>(created.size()), startLoading);
    if (completeAtOnce) ad->loading.onCompleted();
    created.push_back(ad);
    return ad;
  });

  std::vector<bool> relayValues;
  Rx::Disposable relaySubscription = waterfall->isLoadingRelay().subscribe(
      [this](const bool& loading) { relayValues.push_back(loading); });

  void drain() { env->mainQueue().runUntilIdle(); }
  void setState(ApplicationState state) { env->application().setApplicationState(state); }
  bool isLoading() const { return relayValues.back(); }

  std::vector<std::string> createdKeys() const {
    std::vector<std::string> keys;
    for (const auto& ad : created) keys.push_back(ad->key);
    return keys;
  }
  std::shared_ptr<FakeAd> cached(const std::string& key) const {
    auto found = waterfall->adsCache().find(key);
    return found == waterfall->adsCache().end() ? nullptr : found->second;
  }
  void loadKeys(std::vector<std::string> keys) {
    waterfall->setAdKeys(std::move(keys));
    waterfall->resetCache();
    waterfall->load();
    drain();
  }
};

TEST_F(WaterfallServiceTest, WithoutKeysNothingIsCreatedOrHandedOut) {
  EXPECT_EQ(env->mainQueue().pendingCount(), 0u);  // construction starts no load
  EXPECT_TRUE(waterfall->adKeys().empty());
  waterfall->load();
  drain();
  EXPECT_TRUE(created.empty());
  EXPECT_EQ(waterfall->takeLoadedAd(), nullptr);
  EXPECT_EQ(relayValues, std::vector<bool>{false});
}

TEST_F(WaterfallServiceTest, LoadCreatesEachMissingKeyOnceInKeyOrderOnTheMainQueue) {
  waterfall->setAdKeys({"A", "B", "C"});
  waterfall->load();
  EXPECT_TRUE(created.empty());  // the work waits for the main queue
  waterfall->load();
  drain();
  EXPECT_EQ(createdKeys(), (std::vector<std::string>{"A", "B", "C"}));

  // Whatever their state, cached ads are not recreated: a failed ad waits for take or reset.
  cached("A")->finishLoading();
  cached("B")->failLoading();
  waterfall->load();
  drain();
  EXPECT_EQ(created.size(), 3u);

  // A key added later is the only one requested.
  waterfall->setAdKeys({"A", "B", "C", "D"});
  waterfall->load();
  drain();
  EXPECT_EQ(createdKeys(), (std::vector<std::string>{"A", "B", "C", "D"}));
}

TEST_F(WaterfallServiceTest, LoadInTheBackgroundWaitsForOneLoadAtTheNextActivation) {
  waterfall->setAdKeys({"A", "B"});
  setState(ApplicationState::background);
  waterfall->load();
  waterfall->load();
  drain();
  EXPECT_TRUE(created.empty());
  EXPECT_TRUE(waterfall->loadWasCalledInBackground());

  setState(ApplicationState::active);  // posts the activation
  EXPECT_FALSE(waterfall->loadWasCalledInBackground());
  EXPECT_TRUE(created.empty());  // the deferred load itself runs on the main queue
  drain();
  EXPECT_EQ(createdKeys(), (std::vector<std::string>{"A", "B"}));

  // An activation without a load asked for in the background does nothing.
  waterfall->resetCache();
  setState(ApplicationState::background);
  setState(ApplicationState::active);
  drain();
  EXPECT_EQ(created.size(), 2u);
  EXPECT_TRUE(waterfall->adsCache().empty());
}

TEST_F(WaterfallServiceTest, ApplicationStateIsReadWhenTheLoadRunsNotWhenItIsAsked) {
  waterfall->setAdKeys({"A"});
  waterfall->load();
  setState(ApplicationState::background);  // before the main queue runs the load
  drain();
  EXPECT_TRUE(created.empty());
  EXPECT_TRUE(waterfall->loadWasCalledInBackground());

  // Inactive is not background: a load there proceeds.
  setState(ApplicationState::inactive);
  waterfall->load();
  drain();
  EXPECT_EQ(createdKeys(), std::vector<std::string>{"A"});
  EXPECT_TRUE(waterfall->loadWasCalledInBackground());  // cleared only by an activation
  setState(ApplicationState::active);
  drain();
  EXPECT_EQ(created.size(), 1u);  // the deferred load finds A cached
}

TEST_F(WaterfallServiceTest, TakeHandsOutTheFirstLoadedAdInKeyOrderAndReplacesIt) {
  loadKeys({"A", "B", "C"});
  auto a = cached("A");
  auto b = cached("B");
  auto c = cached("C");
  b->finishLoading();
  c->finishLoading();  // A is still loading

  EXPECT_EQ(waterfall->takeLoadedAd(), b);
  EXPECT_EQ(createdKeys(), (std::vector<std::string>{"A", "B", "C", "B"}));
  EXPECT_NE(cached("B"), b);  // a fresh ad took its place
  EXPECT_EQ(cached("A"), a);
  EXPECT_EQ(cached("C"), c);

  // The fresh B is loading, so the next take falls through to C.
  EXPECT_EQ(waterfall->takeLoadedAd(), c);
  EXPECT_EQ(createdKeys(), (std::vector<std::string>{"A", "B", "C", "B", "C"}));
  EXPECT_EQ(waterfall->takeLoadedAd(), nullptr);
  EXPECT_EQ(created.size(), 5u);  // ads still loading are left alone

  // Once A is ready it wins over everything after it.
  a->finishLoading();
  cached("B")->finishLoading();
  EXPECT_EQ(waterfall->takeLoadedAd(), a);
}

TEST_F(WaterfallServiceTest, TakeReplacesFailedAdsOnItsWay) {
  loadKeys({"A", "B"});
  auto a = cached("A");
  auto b = cached("B");
  a->failLoading();
  b->finishLoading();
  EXPECT_EQ(waterfall->takeLoadedAd(), b);
  EXPECT_EQ(createdKeys(), (std::vector<std::string>{"A", "B", "A", "B"}));
  EXPECT_NE(cached("A"), a);
  EXPECT_FALSE(cached("A")->isFailed());
  EXPECT_NE(cached("B"), b);

  // Failed and loaded together: failure wins, the ad is not handed out.
  cached("A")->failLoading();
  cached("A")->loaded = true;
  EXPECT_EQ(waterfall->takeLoadedAd(), nullptr);
  EXPECT_EQ(createdKeys(), (std::vector<std::string>{"A", "B", "A", "B", "A"}));
}

TEST_F(WaterfallServiceTest, TakeWithEveryAdFailedReplacesThemAllAndHandsOutNothing) {
  loadKeys({"A", "B", "C"});
  for (const auto& ad : created) ad->failLoading();
  EXPECT_FALSE(isLoading());

  EXPECT_EQ(waterfall->takeLoadedAd(), nullptr);
  EXPECT_EQ(createdKeys(), (std::vector<std::string>{"A", "B", "C", "A", "B", "C"}));
  EXPECT_TRUE(isLoading());  // the replacements are loading

  // The replacements are loading, not failed: the next take creates nothing.
  EXPECT_EQ(waterfall->takeLoadedAd(), nullptr);
  EXPECT_EQ(created.size(), 6u);
}

TEST_F(WaterfallServiceTest, TakeConsidersOnlyTheCurrentKeys) {
  loadKeys({"A", "B"});
  cached("A")->finishLoading();
  waterfall->setAdKeys({"B", "C"});  // the owner has not reset the cache yet
  EXPECT_EQ(waterfall->takeLoadedAd(), nullptr);
  EXPECT_EQ(created.size(), 2u);  // C has no ad and take does not create one
}

TEST_F(WaterfallServiceTest, RelayFollowsTheLoadingOfTheCachedAds) {
  loadKeys({"A", "B"});
  auto a = cached("A");
  auto b = cached("B");
  EXPECT_TRUE(isLoading());
  a->finishLoading();
  EXPECT_TRUE(isLoading());  // B still loading
  b->finishLoading();
  EXPECT_FALSE(isLoading());

  // Taking A starts a fresh load for its key.
  EXPECT_EQ(waterfall->takeLoadedAd(), a);
  EXPECT_TRUE(isLoading());
  cached("A")->failLoading();
  EXPECT_FALSE(isLoading());

  // An ad that left the cache no longer counts.
  a->loading.onNext(true);
  EXPECT_FALSE(isLoading());
  EXPECT_EQ(relayValues.front(), false);  // the initial value, before any load
}

TEST_F(WaterfallServiceTest, ResetCacheDropsTheAdsAndTheirInfluence) {
  loadKeys({"A", "B"});
  auto a = cached("A");
  EXPECT_TRUE(isLoading());

  waterfall->resetCache();
  EXPECT_TRUE(waterfall->adsCache().empty());
  EXPECT_FALSE(isLoading());
  a->loading.onNext(false);
  a->loading.onNext(true);
  EXPECT_FALSE(isLoading());
  EXPECT_EQ(waterfall->takeLoadedAd(), nullptr);

  // The waterfall held the only other reference: dropped ads are released.
  std::weak_ptr<FakeAd> dropped = created[1];
  created.clear();
  a.reset();
  EXPECT_TRUE(dropped.expired());

  waterfall->load();
  drain();
  EXPECT_EQ(createdKeys(), (std::vector<std::string>{"A", "B"}));
  EXPECT_TRUE(isLoading());
}

TEST_F(WaterfallServiceTest, PendingLoadAndActivationDoNothingOnceTheServiceIsGone) {
  waterfall->setAdKeys({"A"});
  waterfall->load();
  std::weak_ptr<Waterfall> watched = waterfall;
  relaySubscription.dispose();
  waterfall.reset();
  EXPECT_TRUE(watched.expired());  // the queued block does not keep it alive
  drain();
  EXPECT_TRUE(created.empty());

  // A deferred load of a destroyed service: the activation finds no observer to call.
  auto other = Waterfall::create([this](const std::string& key) {
    auto ad = std::make_shared<FakeAd>(key, 0, true);
    created.push_back(ad);
    return ad;
  });
  other->setAdKeys({"B"});
  setState(ApplicationState::background);
  other->load();
  drain();
  other.reset();
  setState(ApplicationState::active);
  drain();
  EXPECT_TRUE(created.empty());
  EXPECT_EQ(env->notificationCenter().observerCount(), 0u);
}

TEST_F(WaterfallServiceTest, AdWhoseLoadingStreamCompletedFreezesTheRelayUntilItLeaves) {
  // A completed stream never emits to a later subscriber, and a combination with an input that
  // never emitted emits nothing: the relay keeps its last value while such an ad is cached.
  loadKeys({"A"});
  EXPECT_TRUE(isLoading());
  completeAtOnce = true;
  waterfall->setAdKeys({"A", "B"});
  waterfall->load();
  drain();
  EXPECT_EQ(createdKeys(), (std::vector<std::string>{"A", "B"}));
  cached("A")->finishLoading();
  EXPECT_TRUE(isLoading());

  // The ad itself is still usable, and reset thaws the relay.
  auto a = cached("A");
  cached("B")->loaded = true;
  EXPECT_EQ(waterfall->takeLoadedAd(), a);
  EXPECT_TRUE(isLoading());
  waterfall->resetCache();
  EXPECT_FALSE(isLoading());

  // Alone in the cache, such an ad leaves the relay at false.
  loadKeys({"C"});
  EXPECT_FALSE(isLoading());
  EXPECT_EQ(waterfall->adsCache().size(), 1u);
}

TEST_F(WaterfallServiceTest, CreatorGivingNoAdIsReportedAndAskedAgainNextLoad) {
  auto logger = std::make_shared<Sandbox::RecordingLogger>();
  env->setService<QVLogger>(logger);
  auto waterfallWithGap = Waterfall::create([this](const std::string& key) {
    std::shared_ptr<FakeAd> ad;
    if (key != "broken") ad = std::make_shared<FakeAd>(key, 0, false);
    created.push_back(ad);
    return ad;
  });
  waterfallWithGap->setAdKeys({"broken", "fine"});
  waterfallWithGap->load();
  drain();
  EXPECT_EQ(created.size(), 2u);
  EXPECT_EQ(waterfallWithGap->adsCache().size(), 1u);
  ASSERT_EQ(logger->assertionFailures().size(), 1u);
  EXPECT_EQ(logger->assertionFailures()[0].file, "QVRAdKit/Builders/WaterfallService");

  auto fine = created.back();
  fine->loaded = true;
  EXPECT_EQ(waterfallWithGap->takeLoadedAd(), fine);
  waterfallWithGap->load();
  drain();
  EXPECT_EQ(created.size(), 4u);  // the fresh "fine" from take, then "broken" again
  EXPECT_EQ(logger->assertionFailures().size(), 2u);
}

TEST_F(WaterfallServiceTest, LoadMayBeAskedFromAnotherThread) {
  waterfall->setAdKeys({"A", "B"});
  std::thread caller([service = waterfall] { service->load(); });
  caller.join();
  EXPECT_TRUE(created.empty());
  drain();
  EXPECT_EQ(createdKeys(), (std::vector<std::string>{"A", "B"}));
}

TEST_F(WaterfallServiceTest, KeysChangedByALoadingObserverDoNotDisturbARunningLoad) {
  auto reentrant = waterfall->isLoadingRelay().subscribe([this](const bool& loading) {
    if (loading && waterfall->adKeys().size() == 3) waterfall->setAdKeys({"X"});
  });
  waterfall->setAdKeys({"A", "B", "C"});
  waterfall->load();
  drain();
  // The running load finishes over the keys it started with.
  EXPECT_EQ(createdKeys(), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(waterfall->adKeys(), std::vector<std::string>{"X"});
}

}  // namespace
}  // namespace QVRAdKit
