#pragma once
// The app's own services, as the ads module asks them: who the user is, how the VPN stands,
// whether the rate-us prompt wants the moment, and where to keep a value. A phone app has these
// already (its session, its VPN manager, its prompt, its key-value store); here they are the
// smallest objects that answer. The module calls them on the main queue.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "QVRAdKit/Host/ConnectionServiceProtocol.h"
#include "QVRAdKit/Host/QVPartnerAd.h"
#include "QVRAdKit/Host/QVUser.h"
#include "QVRAdKit/Host/RateUsServiceProtocol.h"
#include "QVRAdKit/Host/Storage.h"
#include "QVRAdKit/Host/UserServiceProtocol.h"
#include "QVRAdKit/Rx/BehaviorRelay.h"

namespace ExampleHost {

// A house ad the app's back end attached to the user; the partner banner shows the first one.
class PartnerAd final : public QVRAdKit::QVPartnerAd {
 public:
  PartnerAd(QVRAdKit::Platform::URL redirect, QVRAdKit::Platform::URL icon, std::string title,
            std::string subtitle)
      : redirect_(std::move(redirect)),
        icon_(std::move(icon)),
        title_(std::move(title)),
        subtitle_(std::move(subtitle)) {}

  [[nodiscard]] QVRAdKit::Platform::URL redirectUrl() const override { return redirect_; }
  [[nodiscard]] std::optional<QVRAdKit::Platform::URL> iconUrl() const override { return icon_; }
  [[nodiscard]] std::string title() const override { return title_; }
  [[nodiscard]] std::string subtitle() const override { return subtitle_; }
  [[nodiscard]] bool isCloseEnabled() const override { return true; }
  // 1: shown whatever the VPN status.
  [[nodiscard]] std::int64_t enabledState() const override { return 1; }
  [[nodiscard]] std::string partnerName() const override { return "house"; }
  [[nodiscard]] std::string testGroup() const override { return {}; }
  [[nodiscard]] std::string testId() const override { return {}; }

 private:
  QVRAdKit::Platform::URL redirect_;
  QVRAdKit::Platform::URL icon_;
  std::string title_;
  std::string subtitle_;
};

class AppUser final : public QVRAdKit::QVUser {
 public:
  AppUser(bool premium, std::vector<std::shared_ptr<const QVRAdKit::QVPartnerAd>> partnerAds)
      : premium_(premium), partnerAds_(std::move(partnerAds)) {}
  // Premium users see no ads at all.
  [[nodiscard]] bool isPremium() const override { return premium_; }
  [[nodiscard]] std::vector<std::shared_ptr<const QVRAdKit::QVPartnerAd>> partnerAds()
      const override {
    return partnerAds_;
  }

 private:
  bool premium_;
  std::vector<std::shared_ptr<const QVRAdKit::QVPartnerAd>> partnerAds_;
};

class UserService final : public QVRAdKit::UserServiceProtocol {
 public:
  explicit UserService(QVRAdKit::QVUserPtr user) : user_(std::move(user)) {}
  [[nodiscard]] QVRAdKit::QVUserPtr currentUser() const override { return user_.value(); }
  [[nodiscard]] bool isPremium() const override {
    const auto user = user_.value();
    return user && user->isPremium();
  }
  [[nodiscard]] QVRAdKit::Rx::Observable<QVRAdKit::QVUserPtr> userStream() const override {
    return user_.asObservable();
  }

 private:
  QVRAdKit::Rx::BehaviorRelay<QVRAdKit::QVUserPtr> user_;
};

// The VPN manager's status; the app sets it as the tunnel comes up and goes down.
class VpnConnection final : public QVRAdKit::ConnectionServiceProtocol {
 public:
  void setStatus(QVRAdKit::QVVPNManagerStatus status, QVRAdKit::ConnectionStatus change) {
    status_ = status;
    changes_.accept(change);
  }
  [[nodiscard]] QVRAdKit::QVVPNManagerStatus vpnStatus() const override { return status_; }
  [[nodiscard]] QVRAdKit::Rx::Observable<QVRAdKit::ConnectionStatus> connectionStatusStream()
      const override {
    return changes_.asObservable();
  }

 private:
  QVRAdKit::QVVPNManagerStatus status_ = QVRAdKit::QVVPNManagerStatus::disconnected;
  QVRAdKit::Rx::BehaviorRelay<QVRAdKit::ConnectionStatus> changes_{
      QVRAdKit::ConnectionStatus::disconnected};
};

// This app never prompts for a rating, so it never holds an interstitial back for one.
class RateUsPrompt final : public QVRAdKit::RateUsServiceProtocol {
 public:
  [[nodiscard]] bool rateUsMomentCheck(QVRAdKit::RateUsMoment /*moment*/) const override {
    return false;
  }
  [[nodiscard]] bool rateUsPromptFlag() const override { return false; }
  [[nodiscard]] bool rateUsMomentBlock(QVRAdKit::RateUsMoment /*moment*/) const override {
    return false;
  }
};

// The module keeps one value here, the end of an ads pause. A phone app backs this by its
// key-value store so that a pause survives a restart; a map is enough for one run.
class MemoryStorage final : public QVRAdKit::Storage {
 public:
  [[nodiscard]] std::optional<QVRAdKit::StorableValue> value(std::string_view key) const override {
    const auto found = values_.find(key);
    if (found == values_.end()) return std::nullopt;
    return found->second;
  }
  std::optional<QVRAdKit::Platform::Error> setValue(
      const std::optional<QVRAdKit::StorableValue>& value, std::string_view key) override {
    if (value) {
      values_.insert_or_assign(std::string(key), *value);
    } else {
      values_.erase(std::string(key));
    }
    return std::nullopt;
  }

 private:
  std::map<std::string, QVRAdKit::StorableValue, std::less<>> values_;
};

}  // namespace ExampleHost
