#include <algorithm>
#include <stdexcept>

#include "Ads/AdTestSupport.h"
#include "QVRAdKit/Ads/AdMob/AdmobInterstitialAd.h"
#include "QVRAdKit/Platform/UUID.h"
#include "QVRAdKit/Reporting/AdsReporter.h"
#include "Sandbox/Logging/RecordingLogger.h"

namespace QVRAdKit::AdTesting {
namespace {

class AdmobInterstitialAdTest : public AdMobTest {
 protected:
  // A new ad whose flags the log shows and whose loading stream `loading` records.
  std::shared_ptr<AdmobInterstitialAd> makeAd() {
    log->probe = nullptr;
    auto ad = AdmobInterstitialAd::create(*environment, "unit", reporter);
    ad->setDelegate(delegate);
    loading = std::make_unique<StreamRecorder>(ad->isLoadingStream());
    log->probe = [raw = ad.get()] {
      return std::string("failed=") + (raw->isFailed() ? "1" : "0") +
             " used=" + (raw->hasBeenUsed() ? "1" : "0");
    };
    return ad;
  }
  RequestID onlyRequest() { return AdMobTest::onlyRequest(AdKind::interstitial); }

  std::unique_ptr<StreamRecorder> loading;
};

TEST_F(AdmobInterstitialAdTest, LoadPresentationAndFailureReportNotifyAndSetFlagsInOrder) {
  auto ad = makeAd();
  const RequestID id = onlyRequest();
  EXPECT_EQ(log->take(), Strings{"requested(adMob, unit, A)"});
  ad->present(root);  // the load has not answered: nothing to present
  EXPECT_EQ(gma->presentCount(id), 0u);
  EXPECT_EQ(loading->events, Strings{"1"});
  EXPECT_FALSE(ad->isLoaded() || ad->isFailed());

  ASSERT_TRUE(gma->fill(id, "NetA"));
  EXPECT_EQ(log->take(), Strings{"loaded(adMob, unit, A, NetA) [failed=0 used=0]"});
  EXPECT_EQ(loading->events, (Strings{"1", "0", "completed"}));
  EXPECT_TRUE(ad->isLoaded());
  // A late subscriber gets only the completion.
  EXPECT_EQ(StreamRecorder(ad->isLoadingStream()).events, Strings{"completed"});

  ad->present(root);
  EXPECT_EQ(gma->presentedFrom(id), root);
  EXPECT_TRUE(log->empty());  // presenting itself reports nothing
  EXPECT_TRUE(gma->willPresent(id) && gma->willDismiss(id) && gma->dismiss(id));
  EXPECT_EQ(log->take(), (Strings{"opened(adMob, unit, A, NetA) [failed=0 used=0]",
                                  "didOpen [failed=0 used=0]", "willClose [failed=0 used=0]",
                                  "viewed(adMob, unit, A, NetA) [failed=0 used=0]",
                                  "didClose [failed=0 used=0]"}));
  EXPECT_TRUE(ad->hasBeenUsed() && ad->isContentDiscarded());
  EXPECT_FALSE(ad->isLoaded() || ad->isFailed());

  // A failed presentation is reported without the network, told, then marked.
  EXPECT_TRUE(gma->failToPresent(id, error(19)));
  EXPECT_EQ(log->take(), (Strings{"failed(adMob, unit, A, nil, gma#19) [failed=0 used=1]",
                                  "didFail [failed=0 used=1]"}));
  EXPECT_TRUE(ad->isFailed());
  EXPECT_EQ(Platform::UUID::fromString(ad->uuid())->uuidString(), ad->uuid());  // upper case
}

TEST_F(AdmobInterstitialAdTest, FailedOrEmptyLoadCompletesTheStreamAndARepeatedAnswerIsIgnored) {
  auto logger = std::make_shared<Sandbox::RecordingLogger>();
  environment->setService<QVLogger>(logger);
  auto failing = makeAd();
  const RequestID id = onlyRequest();
  gma->fail(id, error(2));
  EXPECT_TRUE(logger->assertionFailures().empty());
  gma->fill(id, "NetB");  // the SDK calls back a second time: ignored, and named in the log
  ASSERT_EQ(logger->assertionFailures().size(), 1u);
  EXPECT_EQ(logger->assertionFailures()[0].message,
            "GoogleMobileAdsLoader.loadInterstitial completion answered a load of \"unit\" that "
            "had already ended; the answer is ignored");
  EXPECT_EQ(log->take(), (Strings{"requested(adMob, unit, A)",
                                  "failed(adMob, unit, A, nil, gma#2) [failed=0 used=0]",
                                  "didFail [failed=0 used=0]"}));
  EXPECT_TRUE(failing->isFailed());
  EXPECT_FALSE(failing->isLoaded());
  EXPECT_EQ(loading->events, (Strings{"1", "0", "completed"}));

  // Neither an ad nor an error: reported as loaded without a network, yet not loaded. Each ad
  // object has its own uuid and request.
  auto empty = makeAd();
  gma->answerEmpty(gma->requests().back().id);
  EXPECT_EQ(log->take(), (Strings{"requested(adMob, unit, B)",
                                  "loaded(adMob, unit, B, nil) [failed=0 used=0]"}));
  EXPECT_FALSE(empty->isLoaded() || empty->isFailed());
  EXPECT_EQ(loading->events, (Strings{"1", "0", "completed"}));
}

TEST_F(AdmobInterstitialAdTest, HostDroppingTheLastReferenceWhenToldOfTheCloseIsSafe) {
  auto ad = makeAd();
  std::weak_ptr<AdmobInterstitialAd> weak = ad;
  const RequestID id = onlyRequest();
  gma->fill(id, "NetA");
  ad->present(root);
  log->probe = nullptr;
  log->onAdd = [&ad](const std::string& entry) {
    if (entry == "didClose") ad.reset();
  };
  EXPECT_TRUE(gma->dismiss(id));  // the adapter finishes its own work (marks itself used)
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(log->back(), "didClose");
}

TEST_F(AdmobInterstitialAdTest, WithoutAnSdkImplementationTheLoadFailsOnTheMainQueue) {
  environment->setService<GoogleMobileAdsLoader>(nullptr);
  auto ad = makeAd();
  log->probe = nullptr;
  EXPECT_EQ(log->take(), Strings{"requested(adMob, unit, A)"});
  EXPECT_FALSE(ad->isFailed());  // not inside the load call
  environment->mainQueue().runUntilIdle();
  EXPECT_EQ(log->take(), (Strings{"failed(adMob, unit, A, nil, com.google.admob#11)", "didFail"}));
  EXPECT_TRUE(ad->isFailed());
}

// The analytics object is host code: one that throws on every record must not reach the caller
// or the SDK, and the ad's own steps after each report still run.
TEST_F(AdmobInterstitialAdTest, AnAnalyticsSinkThatThrowsIsLoggedAndTheAdLivesOn) {
  struct ThrowingSink final : QVReporting {
    int records = 0;
    void track(const ReportingObject&) override {
      ++records;
      throw std::runtime_error("analytics refused");
    }
  };
  auto sink = std::make_shared<ThrowingSink>();
  auto logger = std::make_shared<Sandbox::RecordingLogger>();
  environment->setService<QVLogger>(logger);
  std::shared_ptr<AdmobInterstitialAd> ad;
  ASSERT_NO_THROW(
      ad = AdmobInterstitialAd::create(
          *environment, "unit", std::make_shared<AdsReporter>(sink, environment->clockPtr())));
  ad->setDelegate(delegate);
  StreamRecorder loading(ad->isLoadingStream());
  const RequestID id = onlyRequest();
  ASSERT_NO_THROW(gma->fill(id, "NetA"));
  EXPECT_EQ(loading.events, (Strings{"1", "0", "completed"}));
  ad->present(root);
  ASSERT_NO_THROW(gma->willPresent(id));
  log->clear();
  ASSERT_NO_THROW(gma->dismiss(id));
  EXPECT_EQ(*log, (Strings{"didClose"}));
  EXPECT_TRUE(ad->hasBeenUsed());
  EXPECT_EQ(sink->records, 4);  // requested, loaded, opened, viewed
  const auto entries = logger->entries();
  EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                          [](const auto& entry) {
                            return entry.message.find("analytics refused") != std::string::npos;
                          }),
            4);
}

}  // namespace
}  // namespace QVRAdKit::AdTesting
