#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "AdMobTestSupport.h"
#include "QVRAdKit/Ads/AdMob/AdmobAppOpenAd.h"

namespace QVRAdKit::AdMobTesting {
namespace {

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
          .subscribe([&](bool loading) { flags += loading ? " loading=1" : " loading=0"; })
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

TEST_F(AdmobAppOpenAdTest, LoadAndPresentationReportNotifyAndSetFlagsInOrder) {
  auto ad = makeAd();
  StreamRecorder loading(ad->isLoadingStream());
  const RequestID id = onlyRequest(AdKind::appOpen, "/1/main");
  EXPECT_EQ(log->take(), Strings{"requested /1/main"});

  gma->fill(id, "NetA");  // not loading any more when the load is reported
  EXPECT_EQ(log->take(), Strings{"loaded /1/main NetA [failed=0 used=0 loading=0]"});
  EXPECT_TRUE(ad->isLoaded());
  EXPECT_EQ(loading.events, (Strings{"1", "0"}));  // the stream stays open
  EXPECT_EQ(StreamRecorder(ad->isLoadingStream()).events, Strings{"0"});

  ad->present(viewController);
  EXPECT_EQ(gma->presentedFrom(id), viewController);
  gma->willPresent(id);
  gma->willDismiss(id);  // app-open ads ignore it
  gma->dismiss(id);
  EXPECT_EQ(log->take(), (Strings{"opened /1/main NetA [failed=0 used=0 loading=0]",
                                  "didOpen [failed=0 used=0 loading=0]",
                                  "viewed /1/main NetA [failed=0 used=1 loading=0]",
                                  "didClose [failed=0 used=1 loading=0]"}));
  EXPECT_FALSE(ad->isLoaded());

  // A failed presentation is reported with the network, marked, then told.
  gma->failToPresent(id, error(19));
  EXPECT_EQ(log->take(), (Strings{"failed /1/main NetA com.google.admob#19 [failed=1 used=1 "
                                  "loading=0]",
                                  "didFailToPresent [failed=1 used=1 loading=0]"}));
  EXPECT_EQ(log->uuids, Strings(5, ad->uuid()));
}

TEST_F(AdmobAppOpenAdTest, FailedOrEmptyLoadMarksFailedWithoutTheDelegate) {
  auto failing = makeAd();
  const RequestID id = onlyRequest(AdKind::appOpen, "/1/main");
  log->take();
  gma->fail(id, error(2));
  gma->fill(id, "NetA");  // the SDK calls back twice: ignored
  gma->answerEmpty(id);
  EXPECT_EQ(log->take(), Strings{"failed /1/main - com.google.admob#2 [failed=0 used=0 loading=1]"});
  EXPECT_TRUE(failing->isFailed());
  EXPECT_FALSE(failing->isLoaded());

  // Neither an ad nor an error: failed, without any report.
  auto empty = makeAd();
  StreamRecorder loading(empty->isLoadingStream());
  log->take();
  gma->answerEmpty(gma->requests().back().id);
  EXPECT_TRUE(log->entries.empty());
  EXPECT_TRUE(empty->isFailed());
  EXPECT_EQ(loading.events, (Strings{"1", "0"}));
}

TEST_F(AdmobAppOpenAdTest, OnlyAFreshAdThatTheSdkAcceptsIsPresented) {
  auto ad = makeAd();
  const RequestID id = onlyRequest(AdKind::appOpen, "/1/main");
  const Platform::TimeInterval arrived = 1 * kHour;  // the age counts from the answer
  setClock(arrived);
  gma->fill(id, "NetA");
  log->take();

  setClock(arrived + 3 * kHour + 59 * kMinute);
  EXPECT_TRUE(ad->isLoaded());
  // Expired at 4 h, and still at 25 h although the hour part of that age is 1.
  for (const Platform::TimeInterval age : {4 * kHour, 25 * kHour}) {
    setClock(arrived + age);
    EXPECT_FALSE(ad->isLoaded()) << age;
    ad->present(viewController);
    EXPECT_EQ(gma->presentCount(id), 0u) << age;
  }
  EXPECT_FALSE(ad->isFailed());  // expired is not failed
  // A clock set back keeps the ad only for less than four hours.
  setClock(arrived - (3 * kHour + 59 * kMinute));
  EXPECT_TRUE(ad->isLoaded());
  setClock(arrived - 4 * kHour);
  EXPECT_FALSE(ad->isLoaded());

  setClock(arrived);
  gma->setCanPresent(id, false, error(11));
  ad->present(viewController);  // refused: failed, without delegate or report
  EXPECT_TRUE(ad->isFailed());
  EXPECT_EQ(gma->presentCount(id), 0u);
  EXPECT_TRUE(log->entries.empty());
}

TEST_F(AdmobAppOpenAdTest, CallbacksAfterTheAdapterIsGoneAreDropped) {
  std::weak_ptr<AdmobAppOpenAd> pending = AdmobAppOpenAd::create("/1/other", reporter);
  std::weak_ptr<AdmobAppOpenAd> shown;
  {
    auto ad = makeAd();
    log->probe = nullptr;
    shown = ad;
    gma->fill(gma->requests().back().id, "NetA");
    ad->present(viewController);
  }
  EXPECT_TRUE(pending.expired() && shown.expired());
  const auto requests = gma->requests();
  log->take();
  EXPECT_TRUE(gma->fill(requests[0].id, "NetA"));
  EXPECT_FALSE(gma->willPresent(requests[1].id));
  EXPECT_FALSE(gma->dismiss(requests[1].id));
  EXPECT_TRUE(log->entries.empty());
}

}  // namespace
}  // namespace QVRAdKit::AdMobTesting
