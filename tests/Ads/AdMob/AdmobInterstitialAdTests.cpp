#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "AdMobTestSupport.h"
#include "QVRAdKit/Ads/AdMob/AdmobInterstitialAd.h"
#include "QVRAdKit/Platform/UUID.h"

namespace QVRAdKit::AdMobTesting {
namespace {

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

TEST_F(AdmobInterstitialAdTest, LoadAndPresentationReportNotifyAndSetFlagsInOrder) {
  auto ad = makeAd();
  StreamRecorder loading(ad->isLoadingStream());
  const RequestID id = onlyRequest(AdKind::interstitial, "/1/connect");
  EXPECT_EQ(log->take(), Strings{"requested /1/connect"});
  ad->present(viewController);  // the load has not answered: nothing to present
  EXPECT_EQ(gma->presentCount(id), 0u);
  EXPECT_EQ(loading.events, Strings{"1"});
  EXPECT_FALSE(ad->isLoaded() || ad->isFailed());

  ASSERT_TRUE(gma->fill(id, "NetA"));
  EXPECT_EQ(log->take(), Strings{"loaded /1/connect NetA [failed=0 used=0]"});
  EXPECT_EQ(loading.events, (Strings{"1", "0", "completed"}));
  EXPECT_TRUE(ad->isLoaded());
  StreamRecorder late(ad->isLoadingStream());  // a late subscriber gets only the completion
  EXPECT_EQ(late.events, Strings{"completed"});

  ad->present(viewController);
  EXPECT_EQ(gma->presentedFrom(id), viewController);
  EXPECT_TRUE(log->entries.empty());  // presenting itself reports nothing
  EXPECT_TRUE(gma->willPresent(id));
  EXPECT_TRUE(gma->willDismiss(id));
  EXPECT_TRUE(gma->dismiss(id));
  EXPECT_EQ(log->take(),
            (Strings{"opened /1/connect NetA [failed=0 used=0]", "didOpen [failed=0 used=0]",
                     "willClose [failed=0 used=0]", "viewed /1/connect NetA [failed=0 used=0]",
                     "didClose [failed=0 used=0]"}));
  EXPECT_TRUE(ad->hasBeenUsed() && ad->isContentDiscarded());
  EXPECT_FALSE(ad->isLoaded() || ad->isFailed());
  EXPECT_EQ(log->uuids, Strings(4, ad->uuid()));
  EXPECT_EQ(Platform::UUID::fromString(ad->uuid())->uuidString(), ad->uuid());  // upper case
}

TEST_F(AdmobInterstitialAdTest, FailedOrEmptyLoadCompletesTheStreamAndARepeatedAnswerIsIgnored) {
  auto failing = makeAd();
  StreamRecorder loading(failing->isLoadingStream());
  const RequestID id = onlyRequest(AdKind::interstitial, "/1/connect");
  log->take();
  gma->fail(id, error(2));
  gma->fill(id, "NetB");  // the SDK calls back a second time
  EXPECT_EQ(log->take(), (Strings{"failed /1/connect - com.google.admob#2 [failed=0 used=0]",
                                  "didFail [failed=0 used=0]"}));
  EXPECT_TRUE(failing->isFailed());
  EXPECT_FALSE(failing->isLoaded());
  EXPECT_EQ(loading.events, (Strings{"1", "0", "completed"}));
  failing->present(viewController);  // it kept no SDK ad
  EXPECT_EQ(gma->presentCount(id), 0u);

  // Neither an ad nor an error: reported as loaded without a network, yet not loaded.
  auto empty = makeAd();
  StreamRecorder emptyLoading(empty->isLoadingStream());
  log->take();
  gma->answerEmpty(gma->requests().back().id);
  EXPECT_EQ(log->take(), Strings{"loaded /1/connect - [failed=0 used=0]"});
  EXPECT_FALSE(empty->isLoaded() || empty->isFailed());
  EXPECT_EQ(emptyLoading.events, (Strings{"1", "0", "completed"}));
  EXPECT_NE(empty->uuid(), failing->uuid());  // each ad object has its own uuid and request
  EXPECT_EQ(log->uuids, (Strings{failing->uuid(), failing->uuid(), empty->uuid(), empty->uuid()}));
}

TEST_F(AdmobInterstitialAdTest, FailedPresentationReportsWithoutNetworkThenNotifiesThenFails) {
  auto ad = makeAd();
  const RequestID id = onlyRequest(AdKind::interstitial, "/1/connect");
  gma->fill(id, "NetA");
  ad->present(viewController);
  log->take();
  EXPECT_TRUE(gma->failToPresent(id, error(19)));
  EXPECT_EQ(log->take(), (Strings{"failed /1/connect - com.google.admob#19 [failed=0 used=0]",
                                  "didFail [failed=0 used=0]"}));
  EXPECT_TRUE(ad->isFailed());
  EXPECT_FALSE(ad->hasBeenUsed());
}

TEST_F(AdmobInterstitialAdTest, CallbacksAfterTheAdapterIsGoneAreDropped) {
  std::weak_ptr<AdmobInterstitialAd> pending = AdmobInterstitialAd::create("/1/other", reporter);
  std::weak_ptr<AdmobInterstitialAd> shown;
  {
    auto ad = makeAd();
    log->probe = nullptr;
    shown = ad;
    gma->fill(gma->requests().back().id, "NetA");
    ad->present(viewController);
  }
  // Neither a pending load, nor the SDK ad, nor its presentation keeps an adapter alive.
  EXPECT_TRUE(pending.expired() && shown.expired());
  const auto requests = gma->requests();
  log->take();
  EXPECT_TRUE(gma->fill(requests[0].id, "NetA"));
  EXPECT_FALSE(gma->willPresent(requests[1].id));
  EXPECT_FALSE(gma->dismiss(requests[1].id));
  EXPECT_FALSE(gma->failToPresent(requests[1].id, error(2)));
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
  releasing->held = AdmobInterstitialAd::create("/1/connect", reporter);
  releasing->held->setDelegate(releasing);
  std::weak_ptr<AdmobInterstitialAd> weak = releasing->held;
  const RequestID id = onlyRequest(AdKind::interstitial, "/1/connect");
  gma->fill(id, "NetA");
  releasing->held->present(viewController);
  EXPECT_TRUE(gma->dismiss(id));
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(log->entries.back(), "viewed /1/connect NetA");  // reported without a host delegate
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
