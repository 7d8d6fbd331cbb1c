#pragma once
// InterstitialAd is the base of the two interstitial adapters (AdMob and IronSource). It keeps the
// host's delegate (weakly), the failed and used flags and the loading subject that subclasses push
// into, and answers the discardable-content questions: content is discarded once the ad was used.
// A plain InterstitialAd is never loaded and presents nothing.
// Threading: main queue; setDelegate, load and present check it.

#include <memory>
#include <string_view>
#include <utility>

#include "QVRAdKit/Ads/InterstitialAdDelegate.h"
#include "QVRAdKit/Ads/PresentableAd.h"
#include "QVRAdKit/Ads/WaterfallableAd.h"
#include "QVRAdKit/Host/HostFault.h"
#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/Platform/ModuleFileText.h"
#include "QVRAdKit/Rx/BehaviorSubject.h"

namespace QVRAdKit {

class InterstitialAd : public WaterfallableAd,
                       public PresentableAd,
                       public std::enable_shared_from_this<InterstitialAd> {
 public:
  InterstitialAd() = default;
  InterstitialAd(const InterstitialAd&) = delete;
  InterstitialAd& operator=(const InterstitialAd&) = delete;

  [[nodiscard]] virtual std::shared_ptr<InterstitialAdDelegate> delegate() const {
    return delegate_.lock();
  }
  virtual void setDelegate(const std::shared_ptr<InterstitialAdDelegate>& delegate) {
    QVR_CHECK_MAIN_QUEUE();
    delegate_ = delegate;
  }
  [[nodiscard]] bool isFailed() const override { return isFailed_; }
  virtual void setIsFailed(bool failed) { isFailed_ = failed; }
  [[nodiscard]] bool isLoaded() const override { return false; }
  [[nodiscard]] virtual bool hasBeenUsed() const { return hasBeenUsed_; }
  virtual void setHasBeenUsed(bool used) { hasBeenUsed_ = used; }
  // The loading subject without consecutive repeats; a new subscriber gets the current value
  // (or only the completion once the subject has completed).
  [[nodiscard]] Rx::Observable<bool> isLoadingStream() const override {
    return isLoadingSubject_.asObservable().distinctUntilChanged();
  }
  [[nodiscard]] Rx::Observable<bool> isLoadingValues() const override {
    return isLoadingSubject_.asObservable();
  }

  // Discardable content.
  virtual bool beginContentAccess() { return true; }
  virtual void endContentAccess() {}
  virtual void discardContentIfPossible() {}
  [[nodiscard]] virtual bool isContentDiscarded() const { return hasBeenUsed(); }

  void present(const std::shared_ptr<Platform::ViewController>& /*rootViewController*/) override {}

 protected:
  Rx::BehaviorSubject<bool>& isLoadingSubject() { return isLoadingSubject_; }

  // Calls f with the delegate when it is still alive; otherwise does nothing. The delegate is
  // host code: what it throws is logged under the requirement's name and goes no further, so
  // the callback that notifies it still does the rest of its work.
  template <class F>
  void notifyDelegate(std::string_view requirement, F&& f) {
    if (auto listener = delegate()) {
      callHostAction(QVR_FILE_TEXT, requirement, __LINE__, [&] { f(*listener); });
    }
  }
  // The same, logged under the delegate's type name, for subclasses that name no requirement.
  template <class F>
  void notifyDelegate(F&& f) {
    notifyDelegate("InterstitialAdDelegate", std::forward<F>(f));
  }

 private:
  std::weak_ptr<InterstitialAdDelegate> delegate_;
  bool isFailed_ = false;
  bool hasBeenUsed_ = false;
  Rx::BehaviorSubject<bool> isLoadingSubject_{false};
};

}  // namespace QVRAdKit
