#pragma once
// GoogleMobileAdsSandbox is the stand-in for the Google Mobile Ads SDK: it implements GADMobileAds
// and GoogleMobileAdsLoader over one list of load requests and the ads that answered them.
//
// Used on its own it is the scripted SDK for tests: every load request waits until the test
// answers it (fill, fail, answer empty, or never); the test then plays the SDK's side of a
// presentation on the ad a request produced (will present, will dismiss, dismissed, failed to
// present, reward, click). Answers and callbacks are delivered synchronously, because the test
// plays the main thread. Answering a request a second time calls its completion again, as a
// misbehaving SDK would.
// With a Driver attached (SimulatedGoogleMobileAds) requests and presentations are answered by it.
//
// Example:
//   auto gma = GoogleMobileAdsSandbox::install(*environment);
//   auto ad = AdmobInterstitialAd::create("unit", reporter);
//   gma->fill(gma->requests().back().id, "GADMAdapterGoogleAdMobAds");
//   ad->present(viewController);
//   gma->willPresent(id); gma->dismiss(id);
//
// Threading: startWithCompletionHandler() and the start settings may be used from any thread;
// everything else belongs to the main queue. Must not outlive its environment.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/Platform/ViewController.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADAdReward.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADMobileAds.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GoogleMobileAdsLoader.h"

namespace QVRAdKit::Sandbox {

class GoogleMobileAdsSandbox final : public GADMobileAds,
                                     public GoogleMobileAdsLoader,
                                     public std::enable_shared_from_this<GoogleMobileAdsSandbox> {
 public:
  using RequestID = std::uint64_t;

  enum class AdKind { interstitial, appOpen, rewarded };
  enum class RequestState { pending, filled, empty, failed };

  // One load request, as the SDK received it, and its last answer.
  struct Request {
    RequestID id = 0;  // numbered from 0 in arrival order
    AdKind kind = AdKind::interstitial;
    std::string adUnitID;
    RequestState state = RequestState::pending;
    std::optional<std::string> networkClassName;  // of the filled ad
    std::optional<Platform::Error> error;         // of the failed request
  };

  // Answers requests and plays presentations without a test (the simulated face). Called on the
  // main queue, inside the load or present call, so it must answer later, never synchronously.
  class Driver {
   public:
    virtual ~Driver() = default;
    virtual void didReceiveRequest(const Request& request) = 0;
    virtual void didPresent(RequestID request) = 0;
  };

  static constexpr const char* kDefaultNetworkClassName = "GADMAdapterGoogleAdMobAds";

  ~GoogleMobileAdsSandbox() override;
  GoogleMobileAdsSandbox(const GoogleMobileAdsSandbox&) = delete;
  GoogleMobileAdsSandbox& operator=(const GoogleMobileAdsSandbox&) = delete;

  // Creates a sandbox and registers it in environment as GADMobileAds and GoogleMobileAdsLoader,
  // replacing any earlier implementation.
  static std::shared_ptr<GoogleMobileAdsSandbox> install(Platform::Environment& environment);

  // GADMobileAds.
  void startWithCompletionHandler(StartCompletion completion) override;
  // GoogleMobileAdsLoader.
  void loadInterstitial(const std::string& adUnitID, const GAMRequest& request,
                        GAMInterstitialAd::LoadCompletion completion) override;
  void loadAppOpen(const std::string& adUnitID, const GADRequest& request,
                   GADAppOpenAd::LoadCompletion completion) override;
  void loadRewarded(const std::string& adUnitID, const GADRequest& request,
                    GADRewardedAd::LoadCompletion completion) override;

  // Start. By default a start completes on the main queue after `delay` seconds (0: as soon as
  // the queue runs). With automatic false, starts wait for completeStart().
  void setStartsAutomatically(bool automatic, Platform::TimeInterval delay = 0);
  void setInitializationStatus(GADInitializationStatus status);
  [[nodiscard]] std::size_t startCallCount() const;
  [[nodiscard]] std::size_t pendingStartCount() const;
  // Main queue: completes the waiting starts, in order.
  void completeStart();

  // Requests, oldest first.
  [[nodiscard]] std::vector<Request> requests() const;
  [[nodiscard]] std::vector<Request> pendingRequests() const;
  [[nodiscard]] std::optional<Request> request(RequestID id) const;
  // The same request without a copy, or nullptr; valid until the next call on the sandbox.
  [[nodiscard]] const Request* findRequest(RequestID id) const;

  // Answers. Each calls the request's completion now and returns false for an unknown request.
  // fill creates a new ad (networkClassName none: the SDK does not know the network).
  bool fill(RequestID id,
            std::optional<std::string_view> networkClassName = kDefaultNetworkClassName,
            GADAdReward reward = {Platform::Decimal::fromInt(10), "coins"});
  bool fail(RequestID id, Platform::Error error);
  // Neither an ad nor an error.
  bool answerEmpty(RequestID id);

  // The ad a filled request produced, while it is alive.
  [[nodiscard]] std::shared_ptr<GADFullScreenPresentingAd> ad(RequestID id) const;
  // The answer of canPresentFromRootViewController for that ad (default: yes).
  void setCanPresent(RequestID id, bool canPresent, std::optional<Platform::Error> error = {});
  [[nodiscard]] std::size_t presentCount(RequestID id) const;
  // The view controller of the last presentation, or nullptr.
  [[nodiscard]] std::shared_ptr<Platform::ViewController> presentedFrom(RequestID id) const;
  [[nodiscard]] bool isOnScreen(RequestID id) const;

  // Presentation callbacks on the ad of a request. Each answers whether the ad's full-screen
  // delegate was alive to receive it (false as well for an unknown or gone ad).
  bool willPresent(RequestID id);
  bool willDismiss(RequestID id);
  // Ends the presentation (the reward handler is released) and tells the delegate.
  bool dismiss(RequestID id);
  // Ends the presentation and tells the delegate why it failed.
  bool failToPresent(RequestID id, Platform::Error error);
  bool click(RequestID id);
  // Runs the reward handler of the ad's current presentation; false when there is none.
  bool earnReward(RequestID id);

  // Simulated face. By default the sandbox keeps every ad it made alive (as a test wants, to
  // deliver callbacks after the adapter is gone); without retention it keeps an ad alive only
  // while it is on screen, as the SDK does.
  void setDriver(std::weak_ptr<Driver> driver);
  void setRetainsAds(bool retains);
  // Forgets the requests that were answered and whose ad is gone and off screen.
  void forgetFinishedRequests();

 private:
  class SandboxInterstitialAd;
  class SandboxAppOpenAd;
  class SandboxRewardedAd;
  struct Entry {
    Request request;
    GAMInterstitialAd::LoadCompletion interstitialCompletion;
    GADAppOpenAd::LoadCompletion appOpenCompletion;
    GADRewardedAd::LoadCompletion rewardedCompletion;
    std::weak_ptr<GADFullScreenPresentingAd> ad;
    std::shared_ptr<GADFullScreenPresentingAd> retained;  // kept alive by the sandbox
    std::shared_ptr<GADFullScreenPresentingAd> onScreen;  // kept alive while presented
    GADAdReward reward;
    bool canPresent = true;
    std::optional<Platform::Error> canPresentError;
    std::size_t presentCount = 0;
    std::shared_ptr<Platform::ViewController> presentedFrom;
    GADRewardedAd::UserDidEarnRewardHandler earnReward;
  };
  struct StartState {
    bool automatic = true;
    Platform::TimeInterval delay = 0;
    GADInitializationStatus status;
    std::size_t calls = 0;
    std::vector<StartCompletion> waiting;
  };

  explicit GoogleMobileAdsSandbox(Platform::Environment& environment);

  Entry& addRequest(AdKind kind, const std::string& adUnitID);
  // Empties a forgotten entry for reuse, keeping only the room of its ad-unit text.
  static void recycle(Entry& entry);
  void announce(RequestID id);
  Entry* find(RequestID id);
  const Entry* find(RequestID id) const;
  // Answers without an ad: failed with error, or empty.
  bool answer(RequestID id, std::optional<Platform::Error> error);
  // Calls f(delegate, ad) when the request's ad and its delegate are alive.
  template <class F>
  bool notify(RequestID id, F&& f);
  bool endPresentation(RequestID id);

  // Called by the sandbox's ad objects.
  void adWasPresented(RequestID id, const std::shared_ptr<Platform::ViewController>& from,
                      GADRewardedAd::UserDidEarnRewardHandler earnReward);
  bool canPresent(RequestID id, std::optional<Platform::Error>* error) const;
  GADAdReward reward(RequestID id) const;

  Platform::Environment& environment_;
  // The requests in arrival order (so by id, for a binary search), then from liveEntries_ on the
  // forgotten entries kept for the next requests, so that a request in a long run allocates no
  // entry and no ad-unit text. An entry never moves while it is live: the answers and callbacks
  // that run an ad's completion or delegate may add requests meanwhile.
  std::vector<std::unique_ptr<Entry>> entries_;
  std::size_t liveEntries_ = 0;
  RequestID nextID_ = 0;
  bool retainsAds_ = true;
  std::weak_ptr<Driver> driver_;

  mutable std::mutex startMutex_;
  StartState start_;
};

}  // namespace QVRAdKit::Sandbox
