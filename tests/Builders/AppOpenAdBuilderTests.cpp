#include "QVRAdKit/Builders/AppOpenAdBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "Support/AdsHarness.h"

namespace QVRAdKit {
namespace {

using Strings = std::vector<std::string>;

// A user service whose premium answer the test sets apart from its user stream, which stays on a
// non-premium user: it tells getAd()'s own check from the stream's emptying of the cache.
struct SplitUserService final : UserServiceProtocol {
  QVUserPtr currentUser() const override { return user.value(); }
  bool isPremium() const override { return premium; }
  Rx::Observable<QVUserPtr> userStream() const override { return user.asObservable(); }

  bool premium = false;
  Rx::BehaviorRelay<QVUserPtr> user{Sandbox::SandboxUser::make(false)};
};

class AppOpenAdBuilderTests : public ::testing::Test {
 protected:
  // A builder over keys, started unless told.
  std::shared_ptr<AppOpenAdBuilder> make(std::shared_ptr<UserServiceProtocol> users,
                                         const Strings& keys, bool start = true) {
    auto builder = AppOpenAdBuilder::create(*h.env, std::move(users), h.reporting, keys);
    builder->update(keys);
    if (start) builder->start();
    h.drain();
    return builder;
  }

  Testing::AdsHarness h;
};

TEST_F(AppOpenAdBuilderTests, EveryKeyReportsTheAppOpenActionAndKeysAloneLoadNothing) {
  auto builder = make(h.users, {"a", "b"}, /*start=*/false);
  EXPECT_EQ(builder->adKeys(), (Strings{"a", "b"}));
  EXPECT_EQ(
      builder->reporter()->adUnitIdToActionMapping(),
      (AdsReporter::ActionMapping{{"a", AdEventAction::appOpen}, {"b", AdEventAction::appOpen}}));
  EXPECT_TRUE(h.gma->requests().empty()) << "keys without start() load nothing";

  builder->start();
  h.drain();
  ASSERT_TRUE(h.gma->fill(h.lastRequest("b")));
  EXPECT_EQ(h.eventNames(), (Strings{"ad_requested", "ad_requested", "ad_loaded"}));
  for (const auto& event : h.reporting->events())
    EXPECT_EQ(std::get<std::string>(*event.parameter("action")), "app_open") << event.name;
}

TEST_F(AppOpenAdBuilderTests, APremiumUserIsRefusedBeforeTheWaterfallIsTouched) {
  auto users = std::make_shared<SplitUserService>();
  auto builder = make(users, {"a"});
  h.gma->fill(h.lastRequest("a"));
  users->premium = true;
  EXPECT_EQ(builder->getAd(), nullptr);
  h.drain();
  EXPECT_EQ(h.requestedUnits(), Strings{"a"}) << "nothing was taken, so nothing is requested";

  users->premium = false;
  EXPECT_NE(builder->getAd(), nullptr) << "the loaded ad stayed in the cache";
}

TEST_F(AppOpenAdBuilderTests, AStaleAdIsPassedOverAndKeepsItsKeyUntilAReload) {
  auto builder = make(h.users, {"a", "b"});
  h.gma->fill(h.lastRequest("a"));
  h.env->manualClock()->advance(5 * 60 * 60);  // a's ad is now five hours old
  h.gma->fill(h.lastRequest("b"));
  ASSERT_NE(builder->getAd(), nullptr);
  h.drain();
  EXPECT_EQ(h.requestedUnits(), (Strings{"a", "b", "b"}))
      << "b is requested again; the stale a stays and is not requested";
  builder->reload();
  h.drain();
  EXPECT_EQ(h.requestedUnits(), (Strings{"a", "b", "b", "a", "b"}));
}

}  // namespace
}  // namespace QVRAdKit
