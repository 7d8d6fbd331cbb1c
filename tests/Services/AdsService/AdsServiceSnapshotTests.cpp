// The ads service's snapshot: what it shows of placements, keys, ads, consent, pause, grants and
// runs as a session goes on, and that taking one changes nothing the host or the networks see.

#include <gtest/gtest.h>

#include <sstream>

#include "QVRAdKit/Platform/UUID.h"
#include "QVRAdKit/Services/AdsService/AdsServiceSnapshot.h"
#include "Services/AdsService/AdsServiceTestSupport.h"

namespace QVRAdKit {
namespace {

using Snapshot = AdsServiceSnapshot;
using State = Snapshot::AdState;
using Strings = std::vector<std::string>;

const AdsPlacement kConnectInterstitial =
    AdsPlacement::interstitial(InterstitialAdPlacement::connect);
const AdsPlacement kDisconnect = AdsPlacement::interstitial(InterstitialAdPlacement::disconnect);
const AdsPlacement kTimewall = AdsPlacement::rewarded(RewardedAdPlacement::timewall);
const AdsPlacement kMain = AdsPlacement::appOpen(AppOpenAdPlacement::main);

// AdMob everywhere; connect lists c1 twice (the builder keeps it once, at its first place).
AdsConfig config() {
  return AdsConfig(
      {{AdSource::adMob, std::nullopt}},
      {{InterstitialAdPlacement::connect,
        AdPlacementConfig({"c2", "c1", "c2", "c3"}, AdSource::adMob, 600)},
       {InterstitialAdPlacement::disconnect, AdPlacementConfig::adMob({"d1"})}},
      {{RewardedAdPlacement::timewall, AdPlacementConfig::adMob({"r1", "r2"})}},
      {{AppOpenAdPlacement::main, AdPlacementConfig({"o1", "o2"}, AdSource::adMob, 30)}});
}

// The consented harness, and a service whose run has requested every key.
class AdsServiceSnapshotTests : public ::testing::Test {
 protected:
  std::shared_ptr<AdsService> loaded() {
    auto service = h.makeService(h.consentService);
    service->checkConsentAndLoadAds(true);
    h.configProvider->publish(config());
    EXPECT_TRUE(h.env->runUntil([&] { return h.requested("o2"); }));
    return service;
  }

  testing_support::ConsentedAdsHarness h;
};

const Snapshot::Placement& at(const Snapshot& snapshot, const AdsPlacement& placement) {
  const Snapshot::Placement* found = snapshot.placement(placement);
  if (found == nullptr) throw std::runtime_error("no record for " + placement.description());
  return *found;
}
const Snapshot::Key& key(const Snapshot& snapshot, const AdsPlacement& placement,
                         const std::string& name) {
  for (const auto& entry : at(snapshot, placement).keys) {
    if (entry.key == name) return entry;
  }
  throw std::runtime_error("no key " + name);
}
State state(const Snapshot& snapshot, const AdsPlacement& placement, const std::string& name) {
  const auto& entry = key(snapshot, placement, name);
  if (!entry.ad) throw std::runtime_error("no ad for " + name);
  return entry.ad->state;
}
Strings keyNames(const Snapshot::Placement& placement) {
  Strings names;
  for (const auto& entry : placement.keys) names.push_back(entry.key);
  return names;
}

// Everything the outside world sees of a session, as text: analytics, logs, network requests,
// and the final state of every waterfall.
std::string trace(testing_support::ConsentedAdsHarness& h,
                  const std::shared_ptr<AdsService>& service) {
  std::ostringstream out;
  for (const auto& event : h.reporting->events()) {
    out << event.name;
    for (const auto& [name, value] : event.parameters) {
      out << ' ' << name << '=';
      std::visit([&](const auto& v) { out << v; }, value);
    }
    out << '\n';
  }
  for (const auto& message : h.logger->messages()) out << "log " << message << '\n';
  for (const auto& request : h.gma->requests()) {
    out << "request " << request.id << ' ' << request.adUnitID << '\n';
  }
  const Snapshot last = service->snapshot();
  for (const auto& placement : last.placements) {
    for (const auto& entry : placement.keys) {
      out << placement.placement.description() << ' ' << entry.key << ' '
          << (entry.ad ? entry.ad->uuid + " " + std::string(caseName(entry.ad->state)) : "-")
          << '\n';
    }
  }
  out << "connect " << static_cast<int>(service->interstitialTypeToPresent()) << '\n';
  return out.str();
}

// One session of loads, failures, hand-outs, presentations, a pause and grants; with
// inspect=true a snapshot is taken before and after every step.
std::string session(bool inspect) {
  Platform::UUID::seedCurrentThread(42);
  testing_support::ConsentedAdsHarness h;
  std::shared_ptr<AdsService> service = h.makeService(h.consentService);
  int taken = 0;
  auto look = [&] {
    if (!inspect) return;
    [[maybe_unused]] const Snapshot snapshot = service->snapshot();
    ++taken;
  };
  look();
  service->checkConsentAndLoadAds(true);
  look();
  h.configProvider->publish(config());
  EXPECT_TRUE(h.env->runUntil([&] {
    look();
    return h.requested("o2");
  }));
  look();
  h.clock().advance(3);
  h.gma->fill(h.lastRequest("c1"), "Net");
  h.gma->fail(h.lastRequest("c2"), Platform::Error{"GAD", 3, "no fill"});
  h.gma->fill(h.lastRequest("o1"));
  h.gma->fill(h.lastRequest("r1"));
  look();
  h.connection->setStatus(QVVPNManagerStatus::disconnected);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
  look();
  const auto shown = h.lastRequest("c1");
  auto ad = service->interstitialAd(InterstitialAdPlacement::connect);
  look();
  EXPECT_NE(ad, nullptr);
  ad->present(std::make_shared<Platform::ViewController>());
  h.gma->willPresent(shown);
  h.gma->dismiss(shown);
  look();
  service->pauseAds(60);
  look();
  h.clock().advance(4 * 3600);
  h.drain();
  look();
  EXPECT_EQ(service->appOpenAd(AppOpenAdPlacement::main), nullptr) << "expired";
  service->reload(kConnectInterstitial);
  h.drain();
  look();
  EXPECT_EQ(taken > 0, inspect);
  return trace(h, service);
}

TEST(AdsServiceSnapshotSessionTests, TakingSnapshotsChangesNothingTheHostOrTheNetworksSee) {
  const std::string without = session(false);
  const std::string with = session(true);
  EXPECT_NE(without.find("ad_loaded"), std::string::npos) << without;
  EXPECT_NE(without.find("log "), std::string::npos) << "the duplicate key is logged";
  EXPECT_EQ(with, without);
}

TEST_F(AdsServiceSnapshotTests, BeforeAnyRunThereIsNothingButConsentAndPause) {
  auto service = h.makeService(h.consentService);
  const Snapshot snapshot = service->snapshot();
  EXPECT_FALSE(snapshot.configured);
  EXPECT_FALSE(snapshot.runInProgress);
  EXPECT_FALSE(snapshot.runHasEnded);
  EXPECT_TRUE(snapshot.placements.empty());
  EXPECT_TRUE(snapshot.lastGrants.empty());
  EXPECT_FALSE(snapshot.pausedTill);
  EXPECT_EQ(snapshot.consent.status, Snapshot::ConsentStatus::obtained);
  EXPECT_EQ(snapshot.takenAt, h.clock().now());
}

TEST_F(AdsServiceSnapshotTests, RunInProgressUntilItEndsWhicheverWayItEnds) {
  auto service = h.makeService(h.consentService);

  // Posted, not yet begun; then waiting for the configuration.
  service->checkConsentAndLoadAds(true);
  EXPECT_TRUE(service->snapshot().runInProgress);
  h.drain();
  Snapshot waiting = service->snapshot();
  EXPECT_TRUE(waiting.runInProgress);
  EXPECT_FALSE(waiting.configured);
  EXPECT_FALSE(waiting.runHasEnded);
  EXPECT_FALSE(waiting.lastRunOutcome);
  ASSERT_TRUE(waiting.runWaitsOn);
  EXPECT_EQ(waiting.runWaitsOn->step, StartUpStep::configuration);
  EXPECT_EQ(waiting.runWaitsOn->since, h.clock().now());

  // A second run overlapping the first: in progress until both have ended.
  service->checkConsentAndLoadAds(false);
  h.configProvider->publish(config());
  ASSERT_TRUE(h.env->runUntil([&] { return !service->snapshot().runInProgress; }));
  const Snapshot ended = service->snapshot();
  EXPECT_TRUE(ended.configured);
  EXPECT_TRUE(ended.runHasEnded);
  EXPECT_EQ(ended.lastRunOutcome, StartUpOutcome::loaded);
  EXPECT_FALSE(ended.runWaitsOn);
  EXPECT_EQ(ended.placements.size(), 4U);

  // Consent error, unresolved consent and a form to show each end the run too. (The runs above
  // left their consent refreshes pending: answered first, they change nothing.)
  while (h.consent->pendingUpdateCount() > 0) ASSERT_TRUE(h.consent->answerUpdate());
  h.drain();
  h.consent->setConsentStatus(UMPConsentStatus::unknown);
  service->checkConsentAndLoadAds(true);
  h.drain();
  EXPECT_EQ(service->snapshot().runWaitsOn->step, StartUpStep::consentUpdate);
  ASSERT_TRUE(h.consent->answerUpdate(Platform::Error{"UMP", 2, "offline"}));
  h.drain();
  const Snapshot failed = service->snapshot();
  EXPECT_FALSE(failed.runInProgress);
  EXPECT_EQ(failed.lastRunOutcome, StartUpOutcome::consentError);
  EXPECT_EQ(failed.lastRunError, "offline");

  service->checkConsentAndLoadAds(false);
  h.drain();
  EXPECT_FALSE(service->snapshot().runInProgress);
  EXPECT_EQ(service->snapshot().lastRunOutcome, StartUpOutcome::consentNotResolved);

  h.consent->setConsentStatus(UMPConsentStatus::required);
  h.consent->setFormStatus(UMPFormStatus::available);
  service->checkConsentAndLoadAds(true);
  h.drain();
  ASSERT_TRUE(h.consent->answerUpdate());
  h.drain();
  ASSERT_NE(h.consent->answerFormLoad(), nullptr);
  h.drain();
  const Snapshot formWaiting = service->snapshot();
  EXPECT_FALSE(formWaiting.runInProgress);
  EXPECT_EQ(formWaiting.lastRunOutcome, StartUpOutcome::consentFormToShow);
  EXPECT_TRUE(formWaiting.consent.formLoaded);
  EXPECT_EQ(formWaiting.consent.status, Snapshot::ConsentStatus::required);
}

TEST_F(AdsServiceSnapshotTests, PlacementsAndKeysInOrderWithTheirSources) {
  auto service = h.makeService(h.consentService);
  service->checkConsentAndLoadAds(true);
  h.drain();
  h.configProvider->publish(
      AdsConfig({{AdSource::adMob, std::nullopt}},
                {{InterstitialAdPlacement::appLaunch, AdPlacementConfig::adMob({"a"})},
                 {InterstitialAdPlacement::connect, AdPlacementConfig::ironSource({"x", "y"})}},
                {{RewardedAdPlacement::timewall, AdPlacementConfig::adMob({})}},
                {{AppOpenAdPlacement::appLaunch, AdPlacementConfig::adMob({"b", "a"})},
                 {AppOpenAdPlacement::main, AdPlacementConfig::ironSource({"m"})}}));
  ASSERT_TRUE(h.env->runUntil([&] { return !service->snapshot().runInProgress; }));
  const Snapshot snapshot = service->snapshot();

  std::vector<std::string> order;
  for (const auto& placement : snapshot.placements) {
    order.push_back(placement.placement.description());
  }
  EXPECT_EQ(order,
            (Strings{kConnectInterstitial.description(),
                     AdsPlacement::interstitial(InterstitialAdPlacement::appLaunch).description(),
                     kTimewall.description(), kMain.description(),
                     AdsPlacement::appOpen(AppOpenAdPlacement::appLaunch).description()}));
  EXPECT_EQ(at(snapshot, kConnectInterstitial).source, AdSource::ironSource);
  EXPECT_EQ(keyNames(at(snapshot, kConnectInterstitial)), (Strings{"x", "y"}));
  EXPECT_EQ(keyNames(at(snapshot, AdsPlacement::appOpen(AppOpenAdPlacement::appLaunch))),
            (Strings{"b", "a"}));
  // A rewarded placement without keys is listed, but has no builder and no ads.
  EXPECT_FALSE(at(snapshot, kTimewall).hasBuilder);
  EXPECT_TRUE(at(snapshot, kTimewall).keys.empty());
  EXPECT_TRUE(at(snapshot, kMain).hasBuilder && at(snapshot, kMain).running);
  EXPECT_EQ(at(snapshot, kMain).source, AdSource::ironSource) << "as configured";
  EXPECT_EQ(snapshot.placement(kDisconnect), nullptr);
}

TEST_F(AdsServiceSnapshotTests, AdStatesFollowLoadsHandOutsFailuresAndExpiry) {
  auto service = loaded();
  Snapshot s = service->snapshot();
  // The duplicate c2 is kept once, at its first place.
  EXPECT_EQ(keyNames(at(s, kConnectInterstitial)), (Strings{"c2", "c1", "c3"}));
  for (const char* name : {"c2", "c1", "c3"})
    EXPECT_EQ(state(s, kConnectInterstitial, name), State::loading);
  EXPECT_EQ(state(s, kTimewall, "r1"), State::loading);
  EXPECT_FALSE(key(s, kTimewall, "r2").ad)
      << "the rewarded builder holds one ad, for its first key";
  const std::string c1 = key(s, kConnectInterstitial, "c1").ad->uuid;
  EXPECT_FALSE(c1.empty());
  EXPECT_NE(c1, key(s, kConnectInterstitial, "c2").ad->uuid);

  h.clock().advance(10);
  h.gma->fill(h.lastRequest("c1"));
  h.gma->fail(h.lastRequest("c2"), Platform::Error{"GAD", 3, "no fill"});
  h.gma->fill(h.lastRequest("o1"));
  h.gma->fill(h.lastRequest("r1"));
  h.clock().advance(5);
  s = service->snapshot();
  EXPECT_EQ(state(s, kConnectInterstitial, "c1"), State::loaded);
  EXPECT_EQ(state(s, kConnectInterstitial, "c2"), State::failed);
  EXPECT_EQ(state(s, kConnectInterstitial, "c3"), State::loading);
  EXPECT_EQ(state(s, kTimewall, "r1"), State::loaded);
  // Ages: from the request for interstitials, from the load for app-open ads.
  EXPECT_EQ(key(s, kConnectInterstitial, "c1").ad->age, 15);
  EXPECT_EQ(key(s, kConnectInterstitial, "c1").ad->ageOrigin, Snapshot::AgeOrigin::requested);
  EXPECT_EQ(key(s, kMain, "o1").ad->age, 5);
  EXPECT_EQ(key(s, kMain, "o1").ad->ageOrigin, Snapshot::AgeOrigin::loaded);
  EXPECT_EQ(key(s, kMain, "o2").ad->ageOrigin, Snapshot::AgeOrigin::requested);
  EXPECT_EQ(key(s, kMain, "o2").ad->age, 15);

  // Handing out c1 replaces it at once: c2 (failed) and c1 get fresh ads that are loading.
  const std::string c2 = key(s, kConnectInterstitial, "c2").ad->uuid;
  auto handedOut = service->interstitialAd(InterstitialAdPlacement::connect);
  ASSERT_NE(handedOut, nullptr);
  s = service->snapshot();
  EXPECT_EQ(state(s, kConnectInterstitial, "c1"), State::loading);
  EXPECT_NE(key(s, kConnectInterstitial, "c1").ad->uuid, c1);
  EXPECT_EQ(key(s, kConnectInterstitial, "c1").ad->age, 0);
  EXPECT_EQ(state(s, kConnectInterstitial, "c2"), State::loading);
  EXPECT_NE(key(s, kConnectInterstitial, "c2").ad->uuid, c2);

  // The rewarded ad is not replaced when shown: it reloads itself, keeping its uuid.
  const std::string reward = key(s, kTimewall, "r1").ad->uuid;
  auto rewarded = service->rewardedAd(RewardedAdPlacement::timewall);
  ASSERT_NE(rewarded, nullptr);
  rewarded->present(std::make_shared<Platform::ViewController>());
  h.gma->willPresent(h.lastRequest("r1"));
  h.gma->dismiss(h.lastRequest("r1"));
  s = service->snapshot();
  EXPECT_EQ(state(s, kTimewall, "r1"), State::loading);
  EXPECT_EQ(key(s, kTimewall, "r1").ad->uuid, reward);
  h.gma->fail(h.lastRequest("r1"), Platform::Error{"GAD", 2, "network"});
  EXPECT_EQ(state(service->snapshot(), kTimewall, "r1"), State::failed);

  // An app-open ad is fresh for 3:59:59 and expired at four hours; it keeps its key.
  const std::string o1 = key(s, kMain, "o1").ad->uuid;
  h.clock().advance(4 * 3600 - 6);
  EXPECT_EQ(state(service->snapshot(), kMain, "o1"), State::loaded);
  h.clock().advance(1);
  s = service->snapshot();
  EXPECT_EQ(state(s, kMain, "o1"), State::expired);
  EXPECT_EQ(key(s, kMain, "o1").ad->uuid, o1);
  EXPECT_EQ(key(s, kMain, "o1").ad->age, 4 * 3600);
  EXPECT_EQ(service->appOpenAd(AppOpenAdPlacement::main), nullptr);
  EXPECT_EQ(state(service->snapshot(), kMain, "o1"), State::expired) << "still occupies its key";

  // A premium user empties the waterfalls: the keys stay, without ads.
  h.setPremium(true);
  s = service->snapshot();
  for (const auto& entry : at(s, kConnectInterstitial).keys) EXPECT_FALSE(entry.ad) << entry.key;
  EXPECT_TRUE(key(s, kTimewall, "r1").ad) << "the rewarded ad stays";
}

TEST_F(AdsServiceSnapshotTests, AnAdShownWithoutBeingTakenIsUsed) {
  auto service = loaded();
  // The network shows the cached ads without the service handing them out.
  for (const char* unit : {"o2", "c3"}) {
    ASSERT_TRUE(h.gma->fill(h.lastRequest(unit)));
    ASSERT_TRUE(h.gma->willPresent(h.lastRequest(unit)));
    ASSERT_TRUE(h.gma->dismiss(h.lastRequest(unit)));
  }
  const Snapshot s = service->snapshot();
  EXPECT_EQ(state(s, kMain, "o2"), State::used);
  EXPECT_EQ(state(s, kConnectInterstitial, "c3"), State::used);
}

// Builders started before the host has a signed-in user load nothing; the snapshot says so.
TEST_F(AdsServiceSnapshotTests, BuildersWaitForASignedInUser) {
  h.users->setUser(nullptr);
  auto service = h.makeService(h.consentService);
  service->checkConsentAndLoadAds(true);
  h.configProvider->publish(config());
  ASSERT_TRUE(h.env->runUntil([&] { return !service->snapshot().runInProgress; }));
  EXPECT_TRUE(h.gma->requests().empty());
  for (const auto& placement : service->snapshot().placements) {
    EXPECT_TRUE(placement.running && placement.waitingForUser) << placement.placement.description();
  }
  h.setPremium(false);
  h.drain();
  for (const auto& placement : service->snapshot().placements) {
    EXPECT_FALSE(placement.waitingForUser) << placement.placement.description();
  }
}

TEST_F(AdsServiceSnapshotTests, RewardedAdIsIdleUntilItsBuilderStarts) {
  auto service = h.makeService(h.consentService);
  h.setPremium(true);  // builders start, but nothing loads for a premium user
  service->checkConsentAndLoadAds(true);
  h.configProvider->publish(config());
  ASSERT_TRUE(h.env->runUntil([&] { return !service->snapshot().runInProgress; }));
  const Snapshot s = service->snapshot();
  EXPECT_EQ(state(s, kTimewall, "r1"), State::idle);
  EXPECT_FALSE(key(s, kTimewall, "r1").ad->age);
  EXPECT_FALSE(key(s, kConnectInterstitial, "c1").ad);
}

TEST_F(AdsServiceSnapshotTests, ConsentAsTheConsentServiceKnowsIt) {
  auto service = h.makeService(h.consentService);
  auto& defaults = h.env->userDefaults();
  const struct {
    UMPConsentStatus status;
    Snapshot::ConsentStatus shown;
  } table[] = {
      {UMPConsentStatus::unknown, Snapshot::ConsentStatus::unknown},
      {UMPConsentStatus::required, Snapshot::ConsentStatus::required},
      {UMPConsentStatus::notRequired, Snapshot::ConsentStatus::notRequired},
      {UMPConsentStatus::obtained, Snapshot::ConsentStatus::obtained},
  };
  for (const auto& row : table) {
    h.consent->setConsentStatus(row.status);
    EXPECT_EQ(service->snapshot().consent.status, row.shown) << caseName(row.shown);
  }
  EXPECT_FALSE(service->snapshot().consent.personalizedAdsAllowed) << "no TCF strings";
  defaults.setObject(std::string("1111"), "IABTCF_PurposeConsents");
  defaults.setObject(std::string("1111111111"), "IABTCF_PurposeLegitimateInterests");
  EXPECT_TRUE(service->snapshot().consent.personalizedAdsAllowed);
  EXPECT_TRUE(service->snapshot().consent.hasService);
  EXPECT_FALSE(service->snapshot().consent.formLoaded);

  auto withoutConsent = h.makeService(nullptr);
  EXPECT_FALSE(withoutConsent->snapshot().consent.hasService);
}

TEST_F(AdsServiceSnapshotTests, PauseDateAndGrants) {
  auto service = loaded();
  const Platform::Date start = h.clock().now();

  service->pauseAds(3600);
  Snapshot s = service->snapshot();
  ASSERT_TRUE(s.pausedTill);
  EXPECT_EQ(*s.pausedTill, start.addingTimeInterval(3600));
  EXPECT_TRUE(s.isPaused());
  h.clock().advance(3600);
  s = service->snapshot();
  EXPECT_FALSE(s.isPaused()) << "ends exactly at the date";
  EXPECT_TRUE(s.pausedTill) << "a passed date stays stored and shown";

  h.storage->values.insert_or_assign(std::string(AdsService::kAdsPausedTillDateKey),
                                     StorableValue(std::string("soon")));
  s = service->snapshot();
  EXPECT_FALSE(s.pausedTill);
  EXPECT_TRUE(s.pausedTillUnreadable);
  h.storage->throwOnRead = true;
  EXPECT_TRUE(service->snapshot().pausedTillUnreadable);
  h.storage->throwOnRead = false;
  h.storage->values.clear();

  // Grants are recorded per placement; a refused request records nothing.
  h.connection->setStatus(QVVPNManagerStatus::disconnected);
  ASSERT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
  const Platform::Date granted = h.clock().now();
  h.clock().advance(10);
  ASSERT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  h.connection->setStatus(QVVPNManagerStatus::connected);
  ASSERT_EQ(service->interstitialTypeToPresent(), InterstitialType::disconnect);
  s = service->snapshot();
  EXPECT_EQ(s.lastGrants, (std::map<InterstitialAdPlacement, Platform::Date>{
                              {InterstitialAdPlacement::connect, granted},
                              {InterstitialAdPlacement::disconnect, h.clock().now()}}));
}

}  // namespace
}  // namespace QVRAdKit
