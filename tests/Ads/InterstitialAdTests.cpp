#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "QVRAdKit/Ads/InterstitialAd.h"
#include "QVRAdKit/Platform/ViewController.h"

namespace QVRAdKit {
namespace {

using Strings = std::vector<std::string>;

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
  Strings calls;
  void interstitialAdDidOpen(InterstitialAd&) override { calls.push_back("open"); }
  void interstitialAdWillClose(InterstitialAd&) override { calls.push_back("willClose"); }
  void interstitialAdDidClose(InterstitialAd&) override { calls.push_back("close"); }
  void interstitialAdDidFail(InterstitialAd&) override { calls.push_back("fail"); }
  void interstitialAdDidFailToShow(InterstitialAd&) override { calls.push_back("failToShow"); }
};

// Every event of a stream, as text: "1", "0", "completed".
struct StreamRecord {
  Strings events;
  Rx::Disposable subscription;
  explicit StreamRecord(const Rx::Observable<bool>& stream)
      : subscription(stream.subscribe([this](bool value) { events.push_back(value ? "1" : "0"); },
                                      {}, [this] { events.push_back("completed"); })) {}
};

TEST(InterstitialAdTest, PlainAdAnswersFalseDoesNothingAndIsDiscardedOnceUsed) {
  auto ad = std::make_shared<InterstitialAd>();
  auto delegate = std::make_shared<RecordingDelegate>();
  ad->setDelegate(delegate);
  StreamRecord loading(ad->isLoadingStream());
  const WaterfallableAd& asWaterfallable = *ad;
  EXPECT_FALSE(asWaterfallable.isLoaded() || asWaterfallable.isFailed());
  PresentableAd& asPresentable = *ad;
  asPresentable.present(std::make_shared<Platform::ViewController>());
  asPresentable.present(nullptr);
  EXPECT_TRUE(delegate->calls.empty());
  EXPECT_EQ(loading.events, Strings{"0"});
  ad->setIsFailed(true);  // stored by the base, read through the waterfall interface
  EXPECT_TRUE(asWaterfallable.isFailed());

  EXPECT_TRUE(ad->beginContentAccess());
  ad->discardContentIfPossible();  // does not discard an unused ad
  EXPECT_FALSE(ad->isContentDiscarded());
  ad->setHasBeenUsed(true);
  EXPECT_TRUE(ad->isContentDiscarded());
  EXPECT_TRUE(ad->beginContentAccess());  // still answers true
}

TEST(InterstitialAdTest, LoadingStreamDropsRepeatsPerSubscriberAndEndsWithTheSubject) {
  auto ad = std::make_shared<ScriptedInterstitial>();
  ad->pushLoading(true);
  StreamRecord early(ad->isLoadingStream());
  ad->pushLoading(true);
  ad->pushLoading(false);
  ad->pushLoading(false);
  StreamRecord late(ad->isLoadingStream());  // seeded by the value it receives first
  ad->pushLoading(true);
  ad->completeLoading();
  ad->pushLoading(false);  // ignored after completion
  EXPECT_EQ(early.events, (Strings{"1", "0", "1", "completed"}));
  EXPECT_EQ(late.events, (Strings{"0", "1", "completed"}));
  // A subscriber after the completion gets only the completion.
  EXPECT_EQ(StreamRecord(ad->isLoadingStream()).events, Strings{"completed"});
}

TEST(InterstitialAdTest, DelegateIsHeldWeaklyAndSkippedOnceGone) {
  auto ad = std::make_shared<ScriptedInterstitial>();
  ad->announceOpen();  // no delegate yet: nothing happens
  auto delegate = std::make_shared<RecordingDelegate>();
  ad->setDelegate(delegate);
  EXPECT_EQ(delegate.use_count(), 1);
  ad->announceOpen();
  EXPECT_EQ(delegate->calls, Strings{"open"});

  std::weak_ptr<RecordingDelegate> watched = delegate;
  delegate.reset();
  EXPECT_TRUE(watched.expired());
  EXPECT_EQ(ad->delegate(), nullptr);
  ad->announceOpen();  // the listener is gone: skipped, no crash
}

}  // namespace
}  // namespace QVRAdKit
