#include "Ads/AdTestSupport.h"
#include "QVRAdKit/Ads/InterstitialAd.h"
#include "QVRAdKit/Platform/ViewController.h"

namespace QVRAdKit::AdTesting {
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

TEST(InterstitialAdTest, PlainAdAnswersFalseDoesNothingAndHoldsItsDelegateWeakly) {
  auto log = std::make_shared<Log>();
  auto delegate = std::make_shared<RecordingDelegate>(log);
  auto plain = std::make_shared<InterstitialAd>();
  plain->setDelegate(delegate);
  EXPECT_EQ(delegate.use_count(), 1);
  StreamRecorder loading(plain->isLoadingStream());
  const WaterfallableAd& asWaterfallable = *plain;
  EXPECT_FALSE(asWaterfallable.isLoaded() || asWaterfallable.isFailed());
  PresentableAd& asPresentable = *plain;
  asPresentable.present(std::make_shared<Platform::ViewController>());
  asPresentable.present(nullptr);
  EXPECT_TRUE(log->empty());
  EXPECT_EQ(loading.events, Strings{"0"});
  plain->setIsFailed(true);  // stored by the base, read through the waterfall interface
  EXPECT_TRUE(asWaterfallable.isFailed());

  EXPECT_TRUE(plain->beginContentAccess());
  plain->discardContentIfPossible();  // does not discard an unused ad
  EXPECT_FALSE(plain->isContentDiscarded());
  plain->setHasBeenUsed(true);
  EXPECT_TRUE(plain->isContentDiscarded());
  EXPECT_TRUE(plain->beginContentAccess());  // still answers true

  auto ad = std::make_shared<ScriptedInterstitial>();
  ad->announceOpen();  // no delegate yet: nothing happens
  ad->setDelegate(delegate);
  ad->announceOpen();
  EXPECT_EQ(log->take(), Strings{"didOpen"});
  delegate.reset();
  EXPECT_EQ(ad->delegate(), nullptr);
  ad->announceOpen();  // the listener is gone: skipped, no crash
  EXPECT_TRUE(log->empty());
}

TEST(InterstitialAdTest, LoadingStreamDropsRepeatsPerSubscriberAndEndsWithTheSubject) {
  auto ad = std::make_shared<ScriptedInterstitial>();
  ad->pushLoading(true);
  StreamRecorder early(ad->isLoadingStream());
  ad->pushLoading(true);
  ad->pushLoading(false);
  ad->pushLoading(false);
  StreamRecorder late(ad->isLoadingStream());  // seeded by the value it receives first
  ad->pushLoading(true);
  ad->completeLoading();
  ad->pushLoading(false);  // ignored after completion
  EXPECT_EQ(early.events, (Strings{"1", "0", "1", "completed"}));
  EXPECT_EQ(late.events, (Strings{"0", "1", "completed"}));
  // A subscriber after the completion gets only the completion.
  EXPECT_EQ(StreamRecorder(ad->isLoadingStream()).events, Strings{"completed"});
}

}  // namespace
}  // namespace QVRAdKit::AdTesting
