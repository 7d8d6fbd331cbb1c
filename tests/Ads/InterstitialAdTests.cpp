#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "QVRAdKit/Ads/InterstitialAd.h"
#include "QVRAdKit/Platform/ViewController.h"

namespace QVRAdKit {
namespace {

// The base class as a subclass sees it: pushes into the loading subject, notifies the delegate.
class ScriptedInterstitial final : public InterstitialAd {
 public:
  void pushLoading(bool loading) { isLoadingSubject().onNext(loading); }
  void completeLoading() { isLoadingSubject().onCompleted(); }
  void announceOpen() {
    notifyDelegate(
        [this](InterstitialAdDelegate& delegate) { delegate.interstitialAdDidOpen(*this); });
  }
};

class RecordingDelegate final : public InterstitialAdDelegate {
 public:
  std::vector<std::string> calls;
  void interstitialAdDidOpen(InterstitialAd&) override { calls.push_back("open"); }
  void interstitialAdWillClose(InterstitialAd&) override { calls.push_back("willClose"); }
  void interstitialAdDidClose(InterstitialAd&) override { calls.push_back("close"); }
  void interstitialAdDidFail(InterstitialAd&) override { calls.push_back("fail"); }
  void interstitialAdDidFailToShow(InterstitialAd&) override { calls.push_back("failToShow"); }
};

struct StreamRecord {
  std::vector<bool> values;
  bool completed = false;
};

Rx::Disposable record(const Rx::Observable<bool>& stream, StreamRecord& into) {
  return stream.subscribe([&into](const bool& value) { into.values.push_back(value); }, {},
                          [&into] { into.completed = true; });
}

TEST(InterstitialAdTest, PlainAdIsNeitherLoadedNorFailedAndPresentsNothing) {
  auto ad = std::make_shared<InterstitialAd>();
  auto delegate = std::make_shared<RecordingDelegate>();
  ad->setDelegate(delegate);
  StreamRecord loading;
  auto subscription = record(ad->isLoadingStream(), loading);

  const WaterfallableAd& asWaterfallable = *ad;
  EXPECT_FALSE(asWaterfallable.isLoaded());
  EXPECT_FALSE(asWaterfallable.isFailed());

  PresentableAd& asPresentable = *ad;
  asPresentable.present(std::make_shared<Platform::ViewController>());
  asPresentable.present(nullptr);
  EXPECT_TRUE(delegate->calls.empty());
  EXPECT_FALSE(ad->isLoaded());
  EXPECT_FALSE(ad->hasBeenUsed());
  EXPECT_EQ(loading.values, std::vector<bool>{false});

  // The failed flag is stored by the base and read through the waterfall interface.
  ad->setIsFailed(true);
  EXPECT_TRUE(asWaterfallable.isFailed());
  EXPECT_FALSE(asWaterfallable.isLoaded());
}

TEST(InterstitialAdTest, ContentIsDiscardedOnceTheAdWasUsed) {
  auto ad = std::make_shared<InterstitialAd>();
  EXPECT_FALSE(ad->isContentDiscarded());
  EXPECT_TRUE(ad->beginContentAccess());
  ad->endContentAccess();
  ad->discardContentIfPossible();  // does not discard an unused ad
  EXPECT_FALSE(ad->isContentDiscarded());

  ad->setHasBeenUsed(true);
  EXPECT_TRUE(ad->isContentDiscarded());
  EXPECT_TRUE(ad->beginContentAccess());  // still answers true
  EXPECT_TRUE(ad->isContentDiscarded());
}

TEST(InterstitialAdTest, LoadingStreamStartsWithTheCurrentValueAndDropsRepeats) {
  auto ad = std::make_shared<ScriptedInterstitial>();
  ad->pushLoading(true);

  StreamRecord early;
  auto earlySubscription = record(ad->isLoadingStream(), early);
  EXPECT_EQ(early.values, std::vector<bool>{true});

  ad->pushLoading(true);
  ad->pushLoading(false);
  ad->pushLoading(false);
  ad->pushLoading(true);
  EXPECT_EQ(early.values, (std::vector<bool>{true, false, true}));

  // Each subscriber has its own repeat filter, seeded by the value it receives first.
  StreamRecord late;
  auto lateSubscription = record(ad->isLoadingStream(), late);
  ad->pushLoading(true);
  ad->pushLoading(false);
  EXPECT_EQ(late.values, (std::vector<bool>{true, false}));

  // Ads are independent of each other.
  auto other = std::make_shared<ScriptedInterstitial>();
  StreamRecord otherRecord;
  auto otherSubscription = record(other->isLoadingStream(), otherRecord);
  EXPECT_EQ(otherRecord.values, std::vector<bool>{false});
}

TEST(InterstitialAdTest, CompletedLoadingSubjectGivesALateSubscriberOnlyTheCompletion) {
  auto ad = std::make_shared<ScriptedInterstitial>();
  StreamRecord before;
  auto subscription = record(ad->isLoadingStream(), before);
  ad->pushLoading(true);
  ad->completeLoading();
  ad->pushLoading(false);  // ignored after completion
  EXPECT_EQ(before.values, (std::vector<bool>{false, true}));
  EXPECT_TRUE(before.completed);

  StreamRecord after;
  auto lateSubscription = record(ad->isLoadingStream(), after);
  EXPECT_TRUE(after.values.empty());
  EXPECT_TRUE(after.completed);
}

TEST(InterstitialAdTest, DelegateIsHeldWeaklyAndSkippedOnceGone) {
  auto ad = std::make_shared<ScriptedInterstitial>();
  ad->announceOpen();  // no delegate yet: nothing happens

  auto delegate = std::make_shared<RecordingDelegate>();
  ad->setDelegate(delegate);
  EXPECT_EQ(delegate.use_count(), 1);
  EXPECT_EQ(ad->delegate(), delegate);
  ad->announceOpen();
  EXPECT_EQ(delegate->calls, std::vector<std::string>{"open"});

  std::weak_ptr<RecordingDelegate> watched = delegate;
  delegate.reset();
  EXPECT_TRUE(watched.expired());
  EXPECT_EQ(ad->delegate(), nullptr);
  ad->announceOpen();  // the listener is gone: skipped, no crash

  // The ad keeps its state without a delegate.
  ad->setHasBeenUsed(true);
  EXPECT_TRUE(ad->isContentDiscarded());
}

}  // namespace
}  // namespace QVRAdKit
