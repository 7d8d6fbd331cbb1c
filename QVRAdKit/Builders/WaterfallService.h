#pragma once
// WaterfallService keeps at most one ad per ad-unit key, loads the missing ones on the main queue
// and hands out the first loaded ad in key order, replacing it with a fresh one. It never talks to
// an ad network: the creator callback turns a key into a new ad that starts loading by itself. It
// publishes whether any cached ad is loading. A load asked for while the application is in the
// background is deferred to the next activation.
// Example:
//   auto waterfall = WaterfallService<InterstitialAd>::create(
//       environment, [reporter](const std::string& key) { return makeInterstitial(key, reporter);
//       });
//   waterfall->setAdKeys({"unit-a", "unit-b"});
//   waterfall->resetCache();
//   waterfall->load();  // the ads are created on the main queue
//   if (auto ad = waterfall->takeLoadedAd()) present(ad);
// Threading: main queue only, except load(), which may be called from any thread. Owned by its
// builder; holds its ads and the creator callback. The blocks it posts and its notification
// observer hold it weakly and do nothing once it is gone.

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "QVRAdKit/Ads/WaterfallableAd.h"
#include "QVRAdKit/Builders/LoadingAggregate.h"
#include "QVRAdKit/Host/HostLogger.h"
#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/Platform/Application.h"
#include "QVRAdKit/Platform/ApplicationState.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/Notification.h"
#include "QVRAdKit/Rx/BehaviorRelay.h"
#include "QVRAdKit/Rx/Observable.h"

namespace QVRAdKit {

template <class Ad>
class WaterfallService : public std::enable_shared_from_this<WaterfallService<Ad>> {
  static_assert(std::is_base_of_v<WaterfallableAd, Ad>,
                "a waterfall holds ads that offer the WaterfallableAd members");

  struct ConstructionKey {
    explicit ConstructionKey() = default;
  };

 public:
  using AdCreator = std::function<std::shared_ptr<Ad>(const std::string&)>;

  // A service without keys and without ads, observing the application's activations (any sender)
  // in environment, whose main queue and application state it uses; environment outlives it.
  // No load starts here.
  static std::shared_ptr<WaterfallService> create(Platform::Environment& environment,
                                                  AdCreator adCreatorClosure) {
    auto service = std::make_shared<WaterfallService>(ConstructionKey{}, environment,
                                                      std::move(adCreatorClosure));
    std::weak_ptr<WaterfallService> weak = service->weak_from_this();
    environment.notificationCenter().addObserver(
        weak, std::string(Platform::UIApplicationDidBecomeActiveNotification), nullptr,
        [weak](const Platform::Notification& notification) {
          if (auto self = weak.lock()) self->didBecomeActive(notification);
        });
    return service;
  }

  WaterfallService(ConstructionKey /*key*/, Platform::Environment& environment,
                   AdCreator adCreatorClosure)
      : environment_(environment), adCreatorClosure_(std::move(adCreatorClosure)) {}
  WaterfallService(const WaterfallService&) = delete;
  WaterfallService& operator=(const WaterfallService&) = delete;

  // The keys in waterfall order, the first the most preferred.
  [[nodiscard]] const std::vector<std::string>& adKeys() const { return *adKeys_; }
  // Replaces the keys. The cache is left as it is: the owner resets it afterwards and loads again
  // when it is running.
  void setAdKeys(std::vector<std::string> keys) {
    QVR_CHECK_MAIN_QUEUE();
    adKeys_ = std::make_shared<const std::vector<std::string>>(std::move(keys));
  }

  // The ad held for each key (a key without an ad is absent).
  [[nodiscard]] const std::unordered_map<std::string, std::shared_ptr<Ad>>& adsCache() const {
    return adsCache_;
  }
  [[nodiscard]] bool loadWasCalledInBackground() const { return loadWasCalledInBackground_; }

  // Whether any cached ad is loading: the current value at once, then every re-evaluation
  // (repeats included; consumers add distinctUntilChanged).
  [[nodiscard]] Rx::Observable<bool> isLoadingRelay() const {
    return isLoadingRelay_.asObservable();
  }

  // Asks for an ad for every key that has none. Returns at once: the work runs in a main-queue
  // block, which is deferred to the next activation when the application is in the background.
  void load() {
    environment_.mainQueue().async([weak = this->weak_from_this()] {
      if (auto self = weak.lock()) self->loadMissingAds();
    });
  }

  // The first loaded ad in key order, or nullptr. Every failed ad passed over on the way, and the
  // ad taken, are replaced at once by a fresh ad for the same key; ads still loading stay.
  std::shared_ptr<Ad> takeLoadedAd() {
    QVR_CHECK_MAIN_QUEUE();
    // Held: creating an ad notifies the loading observers, which may change the keys.
    const std::shared_ptr<const std::vector<std::string>> keys = adKeys_;
    for (const std::string& key : *keys) {
      auto found = adsCache_.find(key);
      if (found == adsCache_.end()) continue;
      std::shared_ptr<Ad> ad = found->second;
      if (ad->isFailed()) {
        createAd(key);
        continue;
      }
      if (ad->isLoaded()) {
        createAd(key);
        return ad;
      }
    }
    return nullptr;
  }

  // Drops every cached ad (nothing is cancelled at the networks) and restarts the loading
  // aggregate, which becomes false.
  void resetCache() {
    QVR_CHECK_MAIN_QUEUE();
    // The ads are released after the aggregate no longer watches them.
    auto dropped = std::exchange(adsCache_, {});
    isLoading_.forgetAll();
    isLoading_.restart();
  }

  // Creates a fresh ad for key through the creator, replacing any ad held there, and restarts
  // the loading aggregate. A creator that gives no ad is a fault of the owner: it is reported and
  // the key is left without an ad, so that the next load asks again.
  void createAd(const std::string& key) {
    QVR_CHECK_MAIN_QUEUE();
    std::shared_ptr<Ad> replaced = storeNewAd(key);  // released after the aggregate moved on
    watchLoading(key);
    isLoading_.restart();
  }

  // Activation handler: a load deferred while in the background runs now, once, however many
  // loads were asked for meanwhile.
  void didBecomeActive(const Platform::Notification& /*notification*/) {
    if (!loadWasCalledInBackground_) return;
    loadWasCalledInBackground_ = false;
    load();
  }

 private:
  // The body of a load() block. Every missing key is requested in the same turn; key order only
  // decides which ready ad is preferred later. A failed ad stays: take replaces it, reset drops it.
  void loadMissingAds() {
    if (environment_.application().applicationState() == Platform::ApplicationState::background) {
      loadWasCalledInBackground_ = true;
      return;
    }
    // All missing ads are created first and the aggregate restarts once, before control
    // returns: the relay ends in the same state as with one restart per ad.
    const std::shared_ptr<const std::vector<std::string>> keys = adKeys_;  // see takeLoadedAd()
    std::vector<const std::string*> created;                               // into *keys
    for (const std::string& key : *keys) {
      if (adsCache_.contains(key)) continue;
      storeNewAd(key);
      created.push_back(&key);
    }
    if (created.empty()) return;
    for (const std::string* key : created) watchLoading(*key);
    isLoading_.restart();
  }

  // Points the loading aggregate at the ad now cached under key, or at none.
  void watchLoading(const std::string& key) {
    auto found = adsCache_.find(key);
    if (found == adsCache_.end()) {
      isLoading_.forget(key);
    } else {
      isLoading_.watch(key, found->second->isLoadingValues(), LoadingAggregate::Repeats::drop);
    }
  }

  // Puts a new ad from the creator under key and answers the ad it replaced, if any; the caller
  // re-subscribes the aggregate.
  std::shared_ptr<Ad> storeNewAd(const std::string& key) {
    std::shared_ptr<Ad> ad = adCreatorClosure_ ? adCreatorClosure_(key) : nullptr;
    auto found = adsCache_.find(key);
    if (!ad) {
      QVLogAssertionFailure("The ad creator gave no ad for key " + key, QVR_FILE_TEXT,
                            "createAd(for:)", __LINE__);
      if (found == adsCache_.end()) return nullptr;
      std::shared_ptr<Ad> replaced = std::move(found->second);
      adsCache_.erase(found);
      return replaced;
    }
    if (found != adsCache_.end()) return std::exchange(found->second, std::move(ad));
    adsCache_.emplace(key, std::move(ad));
    return nullptr;
  }

  Platform::Environment& environment_;
  // Replaced whole, never changed in place, so a walk over the keys holds the list it started on.
  std::shared_ptr<const std::vector<std::string>> adKeys_ =
      std::make_shared<const std::vector<std::string>>();
  const AdCreator adCreatorClosure_;
  std::unordered_map<std::string, std::shared_ptr<Ad>> adsCache_;
  bool loadWasCalledInBackground_ = false;
  Rx::BehaviorRelay<bool> isLoadingRelay_{false};
  // Feeds isLoadingRelay_ from the cached ads' loading streams; destroyed first, so it stops
  // watching before the ads go.
  LoadingAggregate isLoading_{isLoadingRelay_};
};

}  // namespace QVRAdKit
