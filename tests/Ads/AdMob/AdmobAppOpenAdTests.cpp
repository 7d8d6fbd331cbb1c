#include "Ads/AdTestSupport.h"
#include "QVRAdKit/Ads/AdMob/AdmobAppOpenAd.h"

namespace QVRAdKit::AdTesting {
namespace {

constexpr Platform::TimeInterval kHour = 3600;
constexpr Platform::TimeInterval kMinute = 60;

class AdmobAppOpenAdTest : public AdMobTest {
 protected:
  // A new ad whose flags the log shows and whose loading stream `loading` records.
  std::shared_ptr<AdmobAppOpenAd> makeAd() {
    log->probe = nullptr;
    auto ad = AdmobAppOpenAd::create(*environment, "unit", reporter);
    ad->setDelegate(delegate);
    loading = std::make_unique<StreamRecorder>(ad->isLoadingStream());
    log->probe = [raw = ad.get(), events = &loading->events] {
      return std::string("failed=") + (raw->isFailed() ? "1" : "0") +
             " used=" + (raw->isContentDiscarded() ? "1" : "0") + " loading=" + events->back();
    };
    return ad;
  }
  RequestID onlyRequest() { return AdMobTest::onlyRequest(AdKind::appOpen); }

  // Sets the manual clock to `offset` seconds after start.
  void setClock(Platform::TimeInterval offset) {
    environment->manualClock()->set(start.addingTimeInterval(offset));
  }

  Platform::Date start = environment->clock().now();
  std::unique_ptr<StreamRecorder> loading;
};

TEST_F(AdmobAppOpenAdTest, LoadAndPresentationReportNotifyAndSetFlagsInOrder) {
  auto ad = makeAd();
  const RequestID id = onlyRequest();
  gma->fill(id, "NetA");  // not loading any more when the load is reported
  EXPECT_EQ(log->take(), (Strings{"requested(adMob, unit, A)",
                                  "loaded(adMob, unit, A, NetA) [failed=0 used=0 loading=0]"}));
  EXPECT_TRUE(ad->isLoaded());
  EXPECT_EQ(loading->events, (Strings{"1", "0"}));  // the stream stays open
  EXPECT_EQ(StreamRecorder(ad->isLoadingStream()).events, Strings{"0"});

  ad->present(root);
  EXPECT_EQ(gma->presentedFrom(id), root);
  gma->willPresent(id);
  gma->willDismiss(id);  // app-open ads ignore it
  gma->dismiss(id);
  EXPECT_EQ(log->take(), (Strings{"opened(adMob, unit, A, NetA) [failed=0 used=0 loading=0]",
                                  "didOpen [failed=0 used=0 loading=0]",
                                  "viewed(adMob, unit, A, NetA) [failed=0 used=1 loading=0]",
                                  "didClose [failed=0 used=1 loading=0]"}));
  EXPECT_FALSE(ad->isLoaded());

  // A failed presentation is marked, reported with the network, then told.
  gma->failToPresent(id, error(19));
  EXPECT_EQ(log->take(),
            (Strings{"failed(adMob, unit, A, NetA, gma#19) [failed=1 used=1 loading=0]",
                     "didFailToPresent [failed=1 used=1 loading=0]"}));
}

TEST_F(AdmobAppOpenAdTest, FailedOrEmptyLoadMarksFailedWithoutTheDelegate) {
  auto failing = makeAd();
  const RequestID id = onlyRequest();
  log->clear();
  gma->fail(id, error(2));
  gma->fill(id, "NetA");  // the SDK calls back twice: ignored
  gma->answerEmpty(id);
  EXPECT_EQ(log->take(), Strings{"failed(adMob, unit, A, nil, gma#2) [failed=0 used=0 loading=1]"});
  EXPECT_TRUE(failing->isFailed());
  EXPECT_FALSE(failing->isLoaded());

  // Neither an ad nor an error: failed, without any report.
  auto empty = makeAd();
  gma->answerEmpty(gma->requests().back().id);
  EXPECT_EQ(log->take(), Strings{"requested(adMob, unit, B)"});
  EXPECT_TRUE(empty->isFailed());
  EXPECT_EQ(loading->events, (Strings{"1", "0"}));
}

TEST_F(AdmobAppOpenAdTest, FreshWhileTheWholeHoursOfItsAgeAreBelowFourAndTheSdkAccepts) {
  auto ad = makeAd();
  const RequestID id = onlyRequest();
  const Platform::TimeInterval arrived = 1 * kHour;  // the age counts from the answer
  setClock(arrived);
  gma->fill(id, "NetA");
  log->clear();

  // Expired at 4 h, and at 25 h too: no day is split off the age, so its hours are 25, not 1.
  for (const Platform::TimeInterval age : {4 * kHour, 25 * kHour}) {
    setClock(arrived + age);
    EXPECT_FALSE(ad->isLoaded()) << age;
    ad->present(root);
    EXPECT_EQ(gma->presentCount(id), 0u) << age;
  }
  EXPECT_FALSE(ad->isFailed());  // expired is not failed
  // A clock set back gives a negative age, whose hours are below 4 however far back it went.
  for (const Platform::TimeInterval back : {5 * kHour, 30 * kHour}) {
    setClock(arrived - back);
    EXPECT_TRUE(ad->isLoaded()) << back;
  }

  setClock(arrived + 3 * kHour + 59 * kMinute);
  EXPECT_TRUE(ad->isLoaded());
  ad->present(root);
  EXPECT_EQ(gma->presentCount(id), 1u);
  EXPECT_EQ(gma->presentedFrom(id), root);

  gma->setCanPresent(id, false, error(11));
  ad->present(root);  // refused: failed, without delegate or report
  EXPECT_TRUE(ad->isFailed());
  EXPECT_EQ(gma->presentCount(id), 1u);
  EXPECT_TRUE(log->empty());
}

}  // namespace
}  // namespace QVRAdKit::AdTesting
