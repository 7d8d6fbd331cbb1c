#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "AdMobTestSupport.h"
#include "QVRAdKit/Ads/AdMob/AdmobInterstitialAd.h"
#include "QVRAdKit/Platform/UUID.h"

namespace QVRAdKit::AdMobTesting {
namespace {

using Strings = std::vector<std::string>;

class AdmobInterstitialAdTest : public AdMobAdapterTest {
 protected:
  std::shared_ptr<AdmobInterstitialAd> makeAd() {
    auto ad = AdmobInterstitialAd::create("/1/connect", reporter);
    ad->setDelegate(delegate);
    log->probe = [raw = ad.get()] {
      return std::string("failed=") + (raw->isFailed() ? "1" : "0") +
             " used=" + (raw->hasBeenUsed() ? "1" : "0");
    };
    return ad;
  }

  std::shared_ptr<RecordingInterstitialDelegate> delegate =
      std::make_shared<RecordingInterstitialDelegate>(log);
};

TEST_F(AdmobInterstitialAdTest, LoadReportsRequestThenLoadAndCompletesTheLoadingStream) {
  auto ad = makeAd();
  StreamRecorder loading;
  loading.record(ad->isLoadingStream());
  const RequestID id = onlyRequest(AdKind::interstitial, "/1/connect");
  EXPECT_EQ(log->take(), Strings{"requested /1/connect"});
  EXPECT_FALSE(ad->isLoaded());

  ASSERT_TRUE(gma->fill(id, "NetA"));
  EXPECT_EQ(log->take(), Strings{"loaded /1/connect NetA [failed=0 used=0]"});
  EXPECT_EQ(loading.events, (Strings{"1", "0", "completed"}));
  EXPECT_TRUE(ad->isLoaded());
  EXPECT_FALSE(ad->isFailed());
  EXPECT_EQ(gma->ad(id)->fullScreenContentDelegate().get(),
            static_cast<GADFullScreenContentDelegate*>(ad.get()));

  // A late subscriber gets the completion and no value.
  StreamRecorder late;
  late.record(ad->isLoadingStream());
  EXPECT_EQ(late.events, Strings{"completed"});

  EXPECT_EQ(log->uuids, (Strings{ad->uuid(), ad->uuid()}));
  EXPECT_TRUE(Platform::UUID::fromString(ad->uuid()).has_value());
  EXPECT_EQ(Platform::UUID::fromString(ad->uuid())->uuidString(), ad->uuid());  // upper case
}

TEST_F(AdmobInterstitialAdTest, LoadErrorReportsThenNotifiesThenMarksFailed) {
  auto ad = makeAd();
  StreamRecorder loading;
  loading.record(ad->isLoadingStream());
  log->take();

  gma->fail(onlyRequest(AdKind::interstitial, "/1/connect"), networkError());
  EXPECT_EQ(log->take(), (Strings{"failed /1/connect - com.google.admob#2 [failed=0 used=0]",
                                  "didFail [failed=0 used=0]"}));
  EXPECT_TRUE(ad->isFailed());
  EXPECT_FALSE(ad->isLoaded());
  EXPECT_EQ(loading.events, (Strings{"1", "0", "completed"}));

  // Presenting a failed ad (no SDK ad) does nothing.
  ad->present(viewController);
  EXPECT_TRUE(log->entries.empty());
}

TEST_F(AdmobInterstitialAdTest, LoadWithNeitherAdNorErrorIsNeitherLoadedNorFailed) {
  auto ad = makeAd();
  StreamRecorder loading;
  loading.record(ad->isLoadingStream());
  log->take();

  gma->answerEmpty(onlyRequest(AdKind::interstitial, "/1/connect"));
  EXPECT_EQ(log->take(), Strings{"loaded /1/connect - [failed=0 used=0]"});
  EXPECT_FALSE(ad->isLoaded());
  EXPECT_FALSE(ad->isFailed());
  EXPECT_EQ(loading.events, (Strings{"1", "0", "completed"}));
}

TEST_F(AdmobInterstitialAdTest, LoadedAdWithoutNetworkInformationReportsNoNetworkName) {
  auto ad = makeAd();
  const RequestID id = onlyRequest(AdKind::interstitial, "/1/connect");
  gma->fill(id, std::nullopt);
  ad->present(viewController);
  gma->willPresent(id);
  EXPECT_EQ(log->take(),
            (Strings{"requested /1/connect", "loaded /1/connect - [failed=0 used=0]",
                     "opened /1/connect - [failed=0 used=0]", "didOpen [failed=0 used=0]"}));
}

TEST_F(AdmobInterstitialAdTest, PresentationCallbacksReportNotifyAndMarkUsedInOrder) {
  auto ad = makeAd();
  const RequestID id = onlyRequest(AdKind::interstitial, "/1/connect");
  gma->fill(id, "NetA");
  log->take();

  EXPECT_FALSE(ad->isContentDiscarded());
  EXPECT_TRUE(ad->beginContentAccess());
  ad->present(viewController);
  EXPECT_EQ(gma->presentCount(id), 1u);
  EXPECT_EQ(gma->presentedFrom(id), viewController);
  EXPECT_TRUE(log->entries.empty());  // presenting itself reports nothing

  EXPECT_TRUE(gma->willPresent(id));
  EXPECT_TRUE(gma->willDismiss(id));
  EXPECT_TRUE(gma->dismiss(id));
  EXPECT_EQ(log->take(),
            (Strings{"opened /1/connect NetA [failed=0 used=0]", "didOpen [failed=0 used=0]",
                     "willClose [failed=0 used=0]", "viewed /1/connect NetA [failed=0 used=0]",
                     "didClose [failed=0 used=0]"}));
  EXPECT_TRUE(ad->hasBeenUsed());
  EXPECT_FALSE(ad->isLoaded());
  EXPECT_TRUE(ad->isContentDiscarded());
  EXPECT_TRUE(ad->beginContentAccess());
  EXPECT_FALSE(ad->isFailed());
  EXPECT_EQ(log->uuids, Strings(4, ad->uuid()));
}

TEST_F(AdmobInterstitialAdTest, FailedPresentationReportsWithoutNetworkThenNotifiesThenFails) {
  auto ad = makeAd();
  const RequestID id = onlyRequest(AdKind::interstitial, "/1/connect");
  gma->fill(id, "NetA");
  log->take();

  ad->present(viewController);
  EXPECT_TRUE(gma->failToPresent(id, Platform::Error{"com.google.admob", 19, "used"}));
  EXPECT_EQ(log->take(), (Strings{"failed /1/connect - com.google.admob#19 [failed=0 used=0]",
                                  "didFail [failed=0 used=0]"}));
  EXPECT_TRUE(ad->isFailed());
  EXPECT_FALSE(ad->hasBeenUsed());
}

TEST_F(AdmobInterstitialAdTest, WithoutDelegateFlagsAndReportsStillHappen) {
  auto ad = AdmobInterstitialAd::create("/1/connect", reporter);
  const RequestID id = onlyRequest(AdKind::interstitial, "/1/connect");
  gma->fill(id, "NetA");
  ad->present(viewController);
  gma->willPresent(id);
  gma->dismiss(id);
  EXPECT_EQ(log->take(), (Strings{"requested /1/connect", "loaded /1/connect NetA",
                                  "opened /1/connect NetA", "viewed /1/connect NetA"}));
  EXPECT_TRUE(ad->hasBeenUsed());

  // A delegate that went away is skipped as well.
  auto gone = std::make_shared<RecordingInterstitialDelegate>(log);
  ad->setDelegate(gone);
  gone.reset();
  EXPECT_EQ(ad->delegate(), nullptr);
  gma->failToPresent(id, networkError());
  EXPECT_EQ(log->take(), Strings{"failed /1/connect - com.google.admob#2"});
  EXPECT_TRUE(ad->isFailed());
}

TEST_F(AdmobInterstitialAdTest, LoadCompletionAfterTheAdapterIsGoneIsDropped) {
  std::weak_ptr<AdmobInterstitialAd> weak;
  {
    auto ad = makeAd();
    weak = ad;
    log->probe = nullptr;
  }
  EXPECT_TRUE(weak.expired());  // the pending load does not keep the adapter alive
  const RequestID id = onlyRequest(AdKind::interstitial, "/1/connect");
  log->take();
  EXPECT_TRUE(gma->fill(id, "NetA"));
  EXPECT_TRUE(gma->fail(id, networkError()));
  EXPECT_TRUE(log->entries.empty());
}

TEST_F(AdmobInterstitialAdTest, SdkCallbacksAfterTheAdapterIsGoneAreDropped) {
  std::weak_ptr<AdmobInterstitialAd> weak;
  RequestID id = 0;
  {
    auto ad = makeAd();
    weak = ad;
    log->probe = nullptr;
    id = onlyRequest(AdKind::interstitial, "/1/connect");
    gma->fill(id, "NetA");
    ad->present(viewController);
  }
  EXPECT_TRUE(weak.expired());  // neither the SDK ad nor its presentation keeps the adapter
  log->take();
  EXPECT_FALSE(gma->willPresent(id));
  EXPECT_FALSE(gma->dismiss(id));
  EXPECT_FALSE(gma->failToPresent(id, networkError()));
  EXPECT_TRUE(log->entries.empty());
}

TEST_F(AdmobInterstitialAdTest, DelegateDroppingTheLastReferenceDuringCloseIsSafe) {
  // The host releases the ad when told it closed; the adapter must finish its own work.
  struct Releasing final : InterstitialAdDelegate {
    std::shared_ptr<AdmobInterstitialAd> held;
    void interstitialAdDidOpen(InterstitialAd&) override {}
    void interstitialAdWillClose(InterstitialAd&) override {}
    void interstitialAdDidClose(InterstitialAd&) override { held.reset(); }
    void interstitialAdDidFail(InterstitialAd&) override {}
    void interstitialAdDidFailToShow(InterstitialAd&) override {}
  };
  auto releasing = std::make_shared<Releasing>();
  std::weak_ptr<AdmobInterstitialAd> weak;
  RequestID id = 0;
  {
    auto ad = AdmobInterstitialAd::create("/1/connect", reporter);
    ad->setDelegate(releasing);
    releasing->held = ad;
    weak = ad;
    id = onlyRequest(AdKind::interstitial, "/1/connect");
    gma->fill(id, "NetA");
    ad->present(viewController);
  }
  EXPECT_TRUE(gma->dismiss(id));
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(log->entries.back(), "viewed /1/connect NetA");
}

TEST_F(AdmobInterstitialAdTest, SecondCompletionOfTheLoadIsIgnored) {
  auto ad = makeAd();
  const RequestID id = onlyRequest(AdKind::interstitial, "/1/connect");
  gma->fill(id, "NetA");
  auto firstSdkAd = gma->ad(id);
  log->take();

  gma->fail(id, networkError());
  gma->fill(id, "NetB");
  EXPECT_TRUE(log->entries.empty());
  EXPECT_TRUE(ad->isLoaded());
  EXPECT_FALSE(ad->isFailed());
  // The adapter kept the first SDK ad: it is the delegate of that one only.
  EXPECT_EQ(firstSdkAd->fullScreenContentDelegate().get(),
            static_cast<GADFullScreenContentDelegate*>(ad.get()));
  EXPECT_EQ(gma->ad(id)->fullScreenContentDelegate(), nullptr);
}

TEST_F(AdmobInterstitialAdTest, EachAdObjectHasItsOwnUuidAndRequest) {
  auto first = AdmobInterstitialAd::create("/1/connect", reporter);
  auto second = AdmobInterstitialAd::create("/1/connect", reporter);
  EXPECT_NE(first->uuid(), second->uuid());
  ASSERT_EQ(gma->requests().size(), 2u);
  EXPECT_EQ(log->uuids, (Strings{first->uuid(), second->uuid()}));
}

TEST_F(AdmobInterstitialAdTest, WithoutAnSdkImplementationTheLoadFailsOnTheMainQueue) {
  environment->setService<GoogleMobileAdsLoader>(nullptr);
  auto ad = makeAd();
  EXPECT_EQ(log->take(), Strings{"requested /1/connect"});
  EXPECT_FALSE(ad->isFailed());  // not inside the load call

  environment->mainQueue().runUntilIdle();
  EXPECT_EQ(log->take(), (Strings{"failed /1/connect - com.google.admob#11 [failed=0 used=0]",
                                  "didFail [failed=0 used=0]"}));
  EXPECT_TRUE(ad->isFailed());
}

}  // namespace
}  // namespace QVRAdKit::AdMobTesting
