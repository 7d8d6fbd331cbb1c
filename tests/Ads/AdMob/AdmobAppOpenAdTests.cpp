#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "AdMobTestSupport.h"
#include "QVRAdKit/Ads/AdMob/AdmobAppOpenAd.h"

namespace QVRAdKit::AdMobTesting {
namespace {

using Strings = std::vector<std::string>;

constexpr Platform::TimeInterval kHour = 3600;
constexpr Platform::TimeInterval kMinute = 60;

class AdmobAppOpenAdTest : public AdMobAdapterTest {
 protected:
  std::shared_ptr<AdmobAppOpenAd> makeAd() {
    auto ad = AdmobAppOpenAd::create("/1/main", reporter);
    ad->setDelegate(delegate);
    log->probe = [raw = ad.get()] {
      std::string flags = std::string("failed=") + (raw->isFailed() ? "1" : "0") +
                          " used=" + (raw->isContentDiscarded() ? "1" : "0");
      raw->isLoadingStream()
          .take(1)
          .subscribe(
              [&](bool loading) { flags += std::string(" loading=") + (loading ? "1" : "0"); })
          .dispose();
      return flags;
    };
    return ad;
  }

  // Sets the manual clock to `offset` seconds after start.
  void setClock(Platform::TimeInterval offset) {
    environment->manualClock()->set(start.addingTimeInterval(offset));
  }

  Platform::Date start = environment->clock().now();
  std::shared_ptr<RecordingAppOpenDelegate> delegate =
      std::make_shared<RecordingAppOpenDelegate>(log);
};

TEST_F(AdmobAppOpenAdTest, LoadPushesNotLoadingBeforeReportingAndKeepsTheStreamOpen) {
  auto ad = makeAd();
  StreamRecorder loading;
  loading.record(ad->isLoadingStream());
  const RequestID id = onlyRequest(AdKind::appOpen, "/1/main");
  EXPECT_EQ(log->take(), Strings{"requested /1/main"});

  gma->fill(id, "NetA");
  EXPECT_EQ(log->take(), Strings{"loaded /1/main NetA [failed=0 used=0 loading=0]"});
  EXPECT_TRUE(ad->isLoaded());
  EXPECT_EQ(loading.events, (Strings{"1", "0"}));  // not completed
  StreamRecorder late;
  late.record(ad->isLoadingStream());
  EXPECT_EQ(late.events, Strings{"0"});
  EXPECT_EQ(gma->ad(id)->fullScreenContentDelegate().get(),
            static_cast<GADFullScreenContentDelegate*>(ad.get()));
  EXPECT_EQ(log->uuids, Strings(2, ad->uuid()));
}

TEST_F(AdmobAppOpenAdTest, LoadFailureReportsThenMarksFailedWithoutTellingTheDelegate) {
  auto ad = makeAd();
  log->take();
  gma->fail(onlyRequest(AdKind::appOpen, "/1/main"), networkError());
  EXPECT_EQ(log->take(),
            Strings{"failed /1/main - com.google.admob#2 [failed=0 used=0 loading=1]"});
  EXPECT_TRUE(ad->isFailed());
  EXPECT_FALSE(ad->isLoaded());
}

TEST_F(AdmobAppOpenAdTest, LoadWithNeitherAdNorErrorFailsWithoutAnyReport) {
  auto ad = makeAd();
  StreamRecorder loading;
  loading.record(ad->isLoadingStream());
  log->take();
  gma->answerEmpty(onlyRequest(AdKind::appOpen, "/1/main"));
  EXPECT_TRUE(log->entries.empty());
  EXPECT_TRUE(ad->isFailed());
  EXPECT_EQ(loading.events, (Strings{"1", "0"}));
}

TEST_F(AdmobAppOpenAdTest, AdExpiresFourHoursAfterItArrivedAndAnExpiredAdIsNotPresented) {
  auto ad = makeAd();
  const RequestID id = onlyRequest(AdKind::appOpen, "/1/main");
  setClock(1 * kHour);  // the age counts from the answer, not from the request
  gma->fill(id, "NetA");
  log->take();
  const Platform::TimeInterval arrived = 1 * kHour;

  setClock(arrived + 3 * kHour + 59 * kMinute);
  EXPECT_TRUE(ad->isLoaded());

  setClock(arrived + 4 * kHour);
  EXPECT_FALSE(ad->isLoaded());
  ad->present(viewController);
  EXPECT_EQ(gma->presentCount(id), 0u);
  EXPECT_TRUE(log->entries.empty());
  EXPECT_FALSE(ad->isFailed());  // expired is not failed

  // A day and an hour later: still expired, although the hour part of the age is 1.
  setClock(arrived + 25 * kHour);
  EXPECT_FALSE(ad->isLoaded());
  ad->present(viewController);
  EXPECT_EQ(gma->presentCount(id), 0u);

  setClock(arrived + 3 * kHour + 59 * kMinute);
  ad->present(viewController);
  EXPECT_EQ(gma->presentCount(id), 1u);
  EXPECT_EQ(gma->presentedFrom(id), viewController);
  EXPECT_TRUE(log->entries.empty());  // presenting itself reports nothing
}

TEST_F(AdmobAppOpenAdTest, ClockSetBackKeepsTheAdOnlyForLessThanFourHours) {
  auto ad = makeAd();
  gma->fill(onlyRequest(AdKind::appOpen, "/1/main"), "NetA");
  setClock(-(3 * kHour + 59 * kMinute));
  EXPECT_TRUE(ad->isLoaded());
  setClock(-4 * kHour);
  EXPECT_FALSE(ad->isLoaded());
  setClock(-30 * 24 * kHour);
  EXPECT_FALSE(ad->isLoaded());
}

TEST_F(AdmobAppOpenAdTest, RefusedPresentationMarksFailedWithoutDelegateOrReport) {
  auto ad = makeAd();
  const RequestID id = onlyRequest(AdKind::appOpen, "/1/main");
  gma->fill(id, "NetA");
  log->take();
  gma->setCanPresent(id, false, Platform::Error{"com.google.admob", 11, "refused"});
  ad->present(viewController);
  EXPECT_TRUE(ad->isFailed());
  EXPECT_EQ(gma->presentCount(id), 0u);
  EXPECT_TRUE(log->entries.empty());
}

TEST_F(AdmobAppOpenAdTest, PresentationCallbacksInOrder) {
  auto ad = makeAd();
  const RequestID id = onlyRequest(AdKind::appOpen, "/1/main");
  gma->fill(id, "NetA");
  log->take();
  ad->present(viewController);

  gma->willPresent(id);
  gma->willDismiss(id);  // app-open ads ignore it
  EXPECT_EQ(log->take(), (Strings{"opened /1/main NetA [failed=0 used=0 loading=0]",
                                  "didOpen [failed=0 used=0 loading=0]"}));
  EXPECT_FALSE(ad->isContentDiscarded());

  gma->dismiss(id);
  EXPECT_EQ(log->take(), (Strings{"viewed /1/main NetA [failed=0 used=1 loading=0]",
                                  "didClose [failed=0 used=1 loading=0]"}));
  EXPECT_FALSE(ad->isLoaded());
  EXPECT_TRUE(ad->isContentDiscarded());
  EXPECT_TRUE(ad->beginContentAccess());

  // A used ad is not loaded any more; presenting it again is the SDK's call (it is still held).
  gma->failToPresent(id, Platform::Error{"com.google.admob", 19, "used"});
  EXPECT_EQ(log->take(), (Strings{"failed /1/main NetA com.google.admob#19 [failed=1 used=1 "
                                  "loading=0]",
                                  "didFailToPresent [failed=1 used=1 loading=0]"}));
  EXPECT_TRUE(ad->isFailed());
  EXPECT_EQ(log->uuids, Strings(5, ad->uuid()));
}

TEST_F(AdmobAppOpenAdTest, CallbacksAfterTheAdapterIsGoneAreDropped) {
  std::weak_ptr<AdmobAppOpenAd> weak;
  RequestID loadedID = 0;
  {
    auto loaded = makeAd();
    log->probe = nullptr;
    loadedID = onlyRequest(AdKind::appOpen, "/1/main");
    gma->fill(loadedID, "NetA");
    loaded->present(viewController);
    weak = loaded;
  }
  EXPECT_TRUE(weak.expired());
  std::weak_ptr<AdmobAppOpenAd> pending = AdmobAppOpenAd::create("/1/other", reporter);
  EXPECT_TRUE(pending.expired());
  log->take();

  EXPECT_FALSE(gma->willPresent(loadedID));
  EXPECT_FALSE(gma->dismiss(loadedID));
  EXPECT_TRUE(gma->fill(gma->requests().back().id, "NetA"));
  EXPECT_TRUE(log->entries.empty());
}

TEST_F(AdmobAppOpenAdTest, SecondCompletionOfTheLoadIsIgnored) {
  auto ad = makeAd();
  const RequestID id = onlyRequest(AdKind::appOpen, "/1/main");
  gma->fail(id, networkError());
  log->take();
  gma->fill(id, "NetA");
  gma->answerEmpty(id);
  EXPECT_TRUE(log->entries.empty());
  EXPECT_TRUE(ad->isFailed());
  EXPECT_FALSE(ad->isLoaded());
}

TEST_F(AdmobAppOpenAdTest, WithoutDelegateFlagsAndReportsStillHappen) {
  auto ad = AdmobAppOpenAd::create("/1/main", reporter);
  const RequestID id = onlyRequest(AdKind::appOpen, "/1/main");
  gma->fill(id, "NetA");
  ad->present(viewController);
  gma->willPresent(id);
  gma->dismiss(id);
  EXPECT_EQ(log->take(), (Strings{"requested /1/main", "loaded /1/main NetA", "opened /1/main NetA",
                                  "viewed /1/main NetA"}));
  EXPECT_TRUE(ad->isContentDiscarded());
}

}  // namespace
}  // namespace QVRAdKit::AdMobTesting
