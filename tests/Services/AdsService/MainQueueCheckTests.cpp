// Main-queue operations of the ads service, a builder, the consent service and an ad, and an SDK
// bridge's load completion and full-screen callbacks, check where they run: from another thread
// each reports an assertion failure naming itself (and goes on when checks only report), and in the
// test build, where checks are fatal, the call aborts. On the main queue, a host that has never
// drained it is told once, as an error.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "QVRAdKit/Ads/AdMob/AdmobInterstitialAd.h"
#include "QVRAdKit/Ads/IronSource/ISInterstitialHandler.h"
#include "QVRAdKit/Ads/IronSource/ISRewardedVideoHandler.h"
#include "QVRAdKit/Ads/IronSource/IronSourceHelper.h"
#include "QVRAdKit/Builders/InterstitialAdBuilderV2.h"
#include "QVRAdKit/Consent/QVRAdsConsentServiceImpl.h"
#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/Reporting/AdsReporter.h"
#include "Services/AdsService/AdsServiceTestSupport.h"
#include "Support/ReportingMainQueueChecks.h"

namespace QVRAdKit {
namespace {

using testing_support::AdsServiceHarness;

TEST(MainQueueCheckTest, OperationsCalledOffTheMainQueueReportThemselvesByName) {
  AdsServiceHarness h;
  auto service = h.makeService();
  auto builder = InterstitialAdBuilderV2::create(*h.env, h.users, h.reporting,
                                                 InterstitialAdPlacement::connect, AdSource::adMob);
  auto consent = QVRAdsConsentServiceImpl::create(*h.env);
  auto ad = AdmobInterstitialAd::create(
      *h.env, "k", std::make_shared<AdsReporter>(h.reporting, h.env->clockPtr()));
  // A second ad, loaded before the checks, for those of a showing.
  auto shown = AdmobInterstitialAd::create(
      *h.env, "shown", std::make_shared<AdsReporter>(h.reporting, h.env->clockPtr()));
  auto ironSource = IronSourceHelper::sharedInstance(*h.env);
  ironSource->start("app-key", [] {});
  h.drain();
  const auto request = h.lastRequest("k");
  const auto shownRequest = h.lastRequest("shown");
  ASSERT_TRUE(h.gma->fill(shownRequest));
  const Platform::Error noFill{"test", 1, "no fill"};
  const std::vector<MainQueueOperation> operations = {
      {"shouldShowAd",
       [&] { (void)service->shouldShowAd(AdsPlacement::rewarded(RewardedAdPlacement::timewall)); }},
      {"interstitialTypeToPresent", [&] { (void)service->interstitialTypeToPresent(); }},
      {"loadAds", [&] { service->loadAds(); }},
      {"reload", [&] { builder->reload(); }},
      {"getAd", [&] { (void)builder->getAd(); }},
      {"gdprConsentResolved", [&] { (void)consent->gdprConsentResolved(); }},
      {"setDelegate", [&] { ad->setDelegate(nullptr); }},
      // An SDK bridge answering a load on its own thread is named, not only the module's calls.
      {"GoogleMobileAdsLoader.loadInterstitial completion", [&] { h.gma->fill(request); }},
      {"present", [&] { shown->present(std::make_shared<Platform::ViewController>()); }},
      // So is one telling of the ad's showing (here, off the main queue, a repeated dismissal).
      {"GADFullScreenContentDelegate.adDidDismissFullScreenContent",
       [&] { h.gma->dismiss(shownRequest); }},
      {"LevelPlayInterstitialDelegate.didFailToLoadWithError",
       [&] { ironSource->interstitialHandler()->didFailToLoadWithError(noFill); }},
      {"LevelPlayRewardedVideoManualDelegate.didFailToLoadWithError",
       [&] { ironSource->rewardedVideoHandler()->didFailToLoadWithError(noFill); }},
  };
  expectEachReportsItselfOffTheMainQueue(*h.logger, operations);
}

// A call of any main-queue operation tells of work that has waited there too long while nobody ever
// drained the queue: once, and only then. A host that drains late (an app back from the background)
// is not told.
TEST(MainQueueCheckTest, AHostThatNeverDrainsTheMainQueueIsToldOnce) {
  const auto neverDrainedErrors = [](const Sandbox::RecordingLogger& logger) {
    int count = 0;
    for (const auto& entry : logger.entries()) {
      if (entry.flag == LogFlag::error &&
          entry.message.starts_with("Nobody has drained the main queue")) {
        ++count;
        EXPECT_NE(entry.message.find("runUntilIdle()"), std::string::npos) << entry.message;
      }
    }
    return count;
  };
  AdsServiceHarness h;
  auto service = h.makeService();
  h.env->mainQueue().async([] {});
  (void)service->interstitialTypeToPresent();
  h.clock().advance(kUndrainedMainQueueAge);
  (void)service->interstitialTypeToPresent();
  EXPECT_EQ(neverDrainedErrors(*h.logger), 0) << "work waits no longer than the limit yet";
  h.clock().advance(1);
  (void)service->interstitialTypeToPresent();
  (void)service->shouldShowDisconnectAd();
  EXPECT_EQ(neverDrainedErrors(*h.logger), 1);

  AdsServiceHarness late;
  auto drained = late.makeService();
  late.drain();
  late.env->mainQueue().async([] {});
  late.clock().advance(3600);
  (void)drained->interstitialTypeToPresent();
  EXPECT_EQ(neverDrainedErrors(*late.logger), 0);
}

TEST(MainQueueCheckDeathTest, CallOffTheMainQueueAbortsInTheTestBuild) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ASSERT_TRUE(mainQueueChecksFatal());
  AdsServiceHarness h;
  auto service = h.makeService();
  EXPECT_DEATH(std::thread([&] { (void)service->shouldShowDisconnectAd(); }).join(),
               "shouldShowDisconnectAd called off the main queue");
}

}  // namespace
}  // namespace QVRAdKit
