#pragma once
// WaterfallAdBuilder is the shared body of the interstitial and app-open builders: one waterfall
// over the placement's keys, a reporter of its own that maps every key to the placement's action,
// and the reactions to the host's user (premium drops every ad, non-premium loads) and, on
// tablets, to orientation changes (drop and reload). Subclasses add the ad creator and getAd().
// The host's user service may throw: a user stream that cannot be subscribed leaves the builder
// stopped (a later start() tries again), and a premium state that cannot be read loads nothing,
// drops nothing and hands out nothing; each fault is logged, none escapes into the host's stream.
// Threading: main queue; the public operations check it. Owned by the ads service; its
// subscriptions hold it weakly.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "QVRAdKit/Builders/WaterfallService.h"
#include "QVRAdKit/Host/EventCatalog/AdEventAction.h"
#include "QVRAdKit/Host/HostFault.h"
#include "QVRAdKit/Host/HostLogger.h"
#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/Host/QVReporting.h"
#include "QVRAdKit/Host/UserServiceProtocol.h"
#include "QVRAdKit/Platform/Device.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/NotificationCenter.h"
#include "QVRAdKit/Reporting/AdsReporter.h"
#include "QVRAdKit/Rx/DisposeBag.h"

namespace QVRAdKit {

template <class Ad, class Interface>
class WaterfallAdBuilder : public Interface,
                           public std::enable_shared_from_this<WaterfallAdBuilder<Ad, Interface>> {
 public:
  // Makes a new ad for a key with the builder's reporter. It must not capture the builder.
  using MakeAd =
      std::function<std::shared_ptr<Ad>(const std::string&, const std::shared_ptr<AdsReporter>&)>;

  WaterfallAdBuilder(const WaterfallAdBuilder&) = delete;
  WaterfallAdBuilder& operator=(const WaterfallAdBuilder&) = delete;

  // Replaces the keys and the reporter's key-to-action map, drops every cached ad (loaded ones
  // too) and, when running, loads the new keys. A key listed twice is kept once, at its first
  // place: the cache and the action map are keyed by the key text.
  void update(const std::vector<std::string>& adKeys) {
    QVR_CHECK_MAIN_QUEUE();
    // The action map is also the set of keys seen so far: no second set of copied keys.
    AdsReporter::ActionMapping mapping;
    mapping.reserve(adKeys.size());
    std::vector<std::string> unique;
    unique.reserve(adKeys.size());
    for (const auto& key : adKeys) {
      if (mapping.emplace(key, adEventAction_).second) {
        unique.push_back(key);
      } else {
        QVLog(LogFlag::warning, "Ad key listed twice, kept once: " + key, QVR_FILE_TEXT,
              "update(adKeys:)", __LINE__);
      }
    }
    adKeys_ = std::move(unique);
    reporter_->setAdUnitIdToActionMapping(std::move(mapping));
    waterfallService_->setAdKeys(adKeys_);
    waterfallService_->resetCache();
    if (running_) waterfallService_->load();
  }

  // Subscribes to the user stream and, for tablets, to orientation changes; a second call does
  // nothing. The first load comes from the first non-premium user value.
  void start() override {
    QVR_CHECK_MAIN_QUEUE();
    if (running_) return;
    running_ = true;
    auto weak = this->weak_from_this();
    const bool subscribed = callHost(QVR_FILE_TEXT, "start()", __LINE__, false, [&] {
      userService_->userStream()
          .subscribe([weak](const QVUserPtr& user) {
            auto self = weak.lock();
            if (self) self->hasUser_ = user != nullptr;
            if (self && user) self->userChanged(*user);
          })
          .disposed(bag_);
      return true;
    });
    if (!subscribed) {
      running_ = false;
      return;
    }
    // Registered with the centre itself rather than through a notification stream: every builder
    // of every session registers, and the stream's layers cost more than the registration. The
    // centre is held weakly, as the stream would; a removed registration is not called again.
    const auto& center = environment_.notificationCenterPtr();
    const std::uint64_t id = center->addObserver(
        std::string(Platform::UIDeviceOrientationDidChangeNotification), nullptr,
        [weak, device = &environment_.device()](const Platform::Notification&) {
          if (!device->isPad()) return;
          if (auto self = weak.lock()) self->reloadIfAllowed();
        });
    Rx::Disposable::create([weakCenter = std::weak_ptr(center), id] {
      if (auto live = weakCenter.lock()) live->removeObserver(id);
    }).disposed(bag_);
  }

  // Drops the cached ads and loads again, only while running and for a non-premium user.
  void reload() override {
    QVR_CHECK_MAIN_QUEUE();
    reloadIfAllowed();
  }

  [[nodiscard]] Rx::Observable<bool> isLoadingStream() const override {
    QVR_CHECK_MAIN_QUEUE();
    return waterfallService_->isLoadingRelay().distinctUntilChanged();
  }

  [[nodiscard]] const std::vector<std::string>& adKeys() const { return adKeys_; }
  [[nodiscard]] bool running() const { return running_; }
  // Running, but the user stream's last value was no user: nothing loads until a user comes.
  [[nodiscard]] bool waitsForUser() const { return running_ && !hasUser_; }
  [[nodiscard]] AdEventAction adEventAction() const { return adEventAction_; }
  [[nodiscard]] const std::shared_ptr<AdsReporter>& reporter() const { return reporter_; }
  [[nodiscard]] const std::shared_ptr<WaterfallService<Ad>>& waterfallService() const {
    return waterfallService_;
  }

 protected:
  // environment: where the builder runs (its clock, main queue, notifications, device and ad
  // networks); it outlives the builder.
  WaterfallAdBuilder(Platform::Environment& environment,
                     std::shared_ptr<UserServiceProtocol> userService,
                     const std::shared_ptr<QVReporting>& reporting, AdEventAction adEventAction,
                     MakeAd makeAd)
      : environment_(environment),
        userService_(std::move(userService)),
        reporter_(std::make_shared<AdsReporter>(reporting, environment.clockPtr())),
        adEventAction_(adEventAction) {
    // The creator holds the reporter and the network choice, never the builder.
    waterfallService_ = WaterfallService<Ad>::create(
        environment, [reporter = reporter_, makeAd = std::move(makeAd)](const std::string& key) {
          return makeAd(key, reporter);
        });
  }

  [[nodiscard]] const std::shared_ptr<UserServiceProtocol>& userService() const {
    return userService_;
  }
  // Stores the keys without touching the reporter or the waterfall (the app-open builder knows
  // its keys from construction and applies them with update()).
  void storeKeys(std::vector<std::string> adKeys) { adKeys_ = std::move(adKeys); }

  // Whether the user service says premium; true (no ads) when it throws.
  [[nodiscard]] bool userIsPremium(std::string_view function, int line) const {
    return callHost(QVR_FILE_TEXT, function, line, true, [&] { return userService_->isPremium(); });
  }

 private:
  // A premium user drops every ad, another one loads; an unreadable premium state changes nothing.
  void userChanged(const QVUser& user) {
    const auto premium = callHost(QVR_FILE_TEXT, "start()", __LINE__, std::optional<bool>(),
                                  [&] { return std::optional<bool>(user.isPremium()); });
    if (!premium) return;
    if (*premium) {
      waterfallService_->resetCache();
    } else {
      waterfallService_->load();
    }
  }

  void reloadIfAllowed() {
    if (!running_ || userIsPremium("reload()", __LINE__)) return;
    waterfallService_->resetCache();
    waterfallService_->load();
  }

  Platform::Environment& environment_;
  std::shared_ptr<UserServiceProtocol> userService_;
  std::shared_ptr<WaterfallService<Ad>> waterfallService_;
  std::vector<std::string> adKeys_;
  std::shared_ptr<AdsReporter> reporter_;
  AdEventAction adEventAction_;
  Rx::DisposeBag bag_;
  bool running_ = false;
  bool hasUser_ = false;
};

}  // namespace QVRAdKit
