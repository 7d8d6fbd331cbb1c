#include "Sandbox/GoogleMobileAds/GoogleMobileAdsSandbox.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <type_traits>
#include <utility>

#include "QVRAdKit/Platform/OverwriteText.h"

namespace QVRAdKit::Sandbox {

namespace detail {

// What the three sandbox ads share: the response information they were filled with, the weakly
// held delegate, and the way back to the sandbox (weak: the sandbox may be gone first). In a
// named namespace: the ads deriving from it are members of a class with external linkage.
template <class Base>
class SandboxAdCommon : public Base {
 public:
  SandboxAdCommon(std::weak_ptr<GoogleMobileAdsSandbox> sandbox,
                  GoogleMobileAdsSandbox::RequestID id, GADResponseInfo info)
      : sandbox_(std::move(sandbox)), id_(id), info_(std::move(info)) {}

  const GADResponseInfo& responseInfo() const override { return info_; }
  std::shared_ptr<GADFullScreenContentDelegate> fullScreenContentDelegate() const override {
    return delegate_.lock();
  }
  void setFullScreenContentDelegate(
      const std::weak_ptr<GADFullScreenContentDelegate>& delegate) override {
    delegate_ = delegate;
  }

 protected:
  const std::weak_ptr<GoogleMobileAdsSandbox> sandbox_;
  const GoogleMobileAdsSandbox::RequestID id_;

 private:
  const GADResponseInfo info_;
  std::weak_ptr<GADFullScreenContentDelegate> delegate_;
};

}  // namespace detail

namespace {

// The entries a sandbox makes room for when made: the requests a session of the sandbox host
// usually has in flight and on screen at once.
constexpr std::size_t kInitialEntries = 16;

// The live entry of a request, by binary search over the first `live` entries (in id order), or
// nullptr.
template <class Entries>
auto* findLive(Entries& entries, std::size_t live, std::uint64_t id) {
  const auto end = entries.begin() + static_cast<std::ptrdiff_t>(live);
  const auto found = std::partition_point(
      entries.begin(), end, [id](const auto& entry) { return entry->request.id < id; });
  return found != end && (*found)->request.id == id ? found->get() : nullptr;
}

}  // namespace

class GoogleMobileAdsSandbox::SandboxInterstitialAd final
    : public detail::SandboxAdCommon<GAMInterstitialAd> {
 public:
  using SandboxAdCommon::SandboxAdCommon;
  void presentFromRootViewController(
      const std::shared_ptr<Platform::ViewController>& rootViewController) override {
    if (auto sandbox = sandbox_.lock()) sandbox->adWasPresented(id_, rootViewController, {});
  }
};

class GoogleMobileAdsSandbox::SandboxAppOpenAd final
    : public detail::SandboxAdCommon<GADAppOpenAd> {
 public:
  using SandboxAdCommon::SandboxAdCommon;
  bool canPresentFromRootViewController(
      const std::shared_ptr<Platform::ViewController>& /*rootViewController*/,
      std::optional<Platform::Error>* error) override {
    auto sandbox = sandbox_.lock();
    return sandbox && sandbox->canPresent(id_, error);
  }
  void presentFromRootViewController(
      const std::shared_ptr<Platform::ViewController>& rootViewController) override {
    if (auto sandbox = sandbox_.lock()) sandbox->adWasPresented(id_, rootViewController, {});
  }
};

class GoogleMobileAdsSandbox::SandboxRewardedAd final
    : public detail::SandboxAdCommon<GADRewardedAd> {
 public:
  using SandboxAdCommon::SandboxAdCommon;
  GADAdReward adReward() const override {
    auto sandbox = sandbox_.lock();
    return sandbox ? sandbox->reward(id_) : GADAdReward{};
  }
  void presentFromRootViewController(
      const std::shared_ptr<Platform::ViewController>& rootViewController,
      UserDidEarnRewardHandler userDidEarnRewardHandler) override {
    if (auto sandbox = sandbox_.lock()) {
      sandbox->adWasPresented(id_, rootViewController, std::move(userDidEarnRewardHandler));
    }
  }
};

GoogleMobileAdsSandbox::GoogleMobileAdsSandbox(Platform::Environment& environment)
    : environment_(environment) {
  // Made once rather than grown step by step.
  entries_.reserve(kInitialEntries);
}

GoogleMobileAdsSandbox::~GoogleMobileAdsSandbox() = default;

std::shared_ptr<GoogleMobileAdsSandbox> GoogleMobileAdsSandbox::install(
    Platform::Environment& environment) {
  std::shared_ptr<GoogleMobileAdsSandbox> sandbox(new GoogleMobileAdsSandbox(environment));
  environment.setService<GADMobileAds>(sandbox);
  environment.setService<GoogleMobileAdsLoader>(sandbox);
  return sandbox;
}

// Start.

void GoogleMobileAdsSandbox::startWithCompletionHandler(StartCompletion completion) {
  std::unique_lock lock(startMutex_);
  ++start_.calls;
  if (!start_.automatic) {
    start_.waiting.push_back(std::move(completion));
    return;
  }
  const GADInitializationStatus status = start_.status;
  const Platform::TimeInterval delay = start_.delay;
  lock.unlock();
  if (!completion) return;
  // The task does not refer to the sandbox, which may be gone when it runs.
  environment_.mainQueue().asyncAfter(
      delay, [completion = std::move(completion), status] { completion(status); });
}

void GoogleMobileAdsSandbox::setStartsAutomatically(bool automatic, Platform::TimeInterval delay) {
  std::lock_guard lock(startMutex_);
  start_.automatic = automatic;
  start_.delay = delay;
}

void GoogleMobileAdsSandbox::setInitializationStatus(GADInitializationStatus status) {
  std::lock_guard lock(startMutex_);
  start_.status = std::move(status);
}

std::size_t GoogleMobileAdsSandbox::startCallCount() const {
  std::lock_guard lock(startMutex_);
  return start_.calls;
}

std::size_t GoogleMobileAdsSandbox::pendingStartCount() const {
  std::lock_guard lock(startMutex_);
  return start_.waiting.size();
}

void GoogleMobileAdsSandbox::completeStart() {
  std::vector<StartCompletion> waiting;
  GADInitializationStatus status;
  {
    std::lock_guard lock(startMutex_);
    waiting.swap(start_.waiting);
    status = start_.status;
  }
  for (auto& completion : waiting) {
    if (completion) completion(status);
  }
}

// Requests.

GoogleMobileAdsSandbox::Entry& GoogleMobileAdsSandbox::addRequest(AdKind kind,
                                                                  const std::string& adUnitID) {
  if (liveEntries_ == entries_.size()) entries_.push_back(std::make_unique<Entry>());
  Entry& entry = *entries_[liveEntries_++];
  entry.request.id = nextID_++;
  entry.request.kind = kind;
  Platform::overwriteText(entry.request.adUnitID, adUnitID);
  return entry;
}

void GoogleMobileAdsSandbox::announce(RequestID id) {
  auto driver = driver_.lock();
  const Entry* entry = find(id);
  if (driver && entry) driver->didReceiveRequest(entry->request);
}

void GoogleMobileAdsSandbox::loadInterstitial(const std::string& adUnitID,
                                              const GAMRequest& /*request*/,
                                              GAMInterstitialAd::LoadCompletion completion) {
  Entry& entry = addRequest(AdKind::interstitial, adUnitID);
  entry.interstitialCompletion = std::move(completion);
  announce(entry.request.id);
}

void GoogleMobileAdsSandbox::loadAppOpen(const std::string& adUnitID, const GADRequest& /*request*/,
                                         GADAppOpenAd::LoadCompletion completion) {
  Entry& entry = addRequest(AdKind::appOpen, adUnitID);
  entry.appOpenCompletion = std::move(completion);
  announce(entry.request.id);
}

void GoogleMobileAdsSandbox::loadRewarded(const std::string& adUnitID,
                                          const GADRequest& /*request*/,
                                          GADRewardedAd::LoadCompletion completion) {
  Entry& entry = addRequest(AdKind::rewarded, adUnitID);
  entry.rewardedCompletion = std::move(completion);
  announce(entry.request.id);
}

std::vector<GoogleMobileAdsSandbox::Request> GoogleMobileAdsSandbox::requests() const {
  std::vector<Request> result;
  result.reserve(liveEntries_);
  for (std::size_t i = 0; i < liveEntries_; ++i) result.push_back(entries_[i]->request);
  return result;
}

std::vector<GoogleMobileAdsSandbox::Request> GoogleMobileAdsSandbox::pendingRequests() const {
  std::vector<Request> result;
  for (std::size_t i = 0; i < liveEntries_; ++i) {
    if (entries_[i]->request.state == RequestState::pending) result.push_back(entries_[i]->request);
  }
  return result;
}

std::optional<GoogleMobileAdsSandbox::Request> GoogleMobileAdsSandbox::request(RequestID id) const {
  const Request* found = findRequest(id);
  if (!found) return std::nullopt;
  return *found;
}

const GoogleMobileAdsSandbox::Request* GoogleMobileAdsSandbox::findRequest(RequestID id) const {
  const Entry* entry = find(id);
  return entry ? &entry->request : nullptr;
}

GoogleMobileAdsSandbox::Entry* GoogleMobileAdsSandbox::find(RequestID id) {
  return findLive(entries_, liveEntries_, id);
}

const GoogleMobileAdsSandbox::Entry* GoogleMobileAdsSandbox::find(RequestID id) const {
  return findLive(entries_, liveEntries_, id);
}

// Answers. The completion is copied out of the entry before it runs: it may start new requests.

bool GoogleMobileAdsSandbox::fill(RequestID id, std::optional<std::string_view> networkClassName,
                                  GADAdReward reward) {
  Entry* entry = find(id);
  if (!entry) return false;
  GADResponseInfo info;
  if (networkClassName) {
    info.loadedAdNetworkResponseInfo = GADAdNetworkResponseInfo{std::string(*networkClassName)};
    entry->request.networkClassName.emplace(*networkClassName);
  } else {
    entry->request.networkClassName.reset();
  }
  entry->request.state = RequestState::filled;
  entry->request.error.reset();
  // A new ad starts with the default presentation state.
  entry->reward = std::move(reward);
  entry->canPresent = true;
  entry->canPresentError.reset();
  entry->presentCount = 0;
  entry->presentedFrom = nullptr;
  entry->earnReward = nullptr;
  entry->onScreen = nullptr;

  const std::weak_ptr<GoogleMobileAdsSandbox> self = weak_from_this();
  // The entry keeps the ad (strongly only when the network retains ads), then the completion,
  // copied first, receives it.
  auto handOut = [&](auto ad, auto completion) {
    entry->ad = ad;
    entry->retained = retainsAds_ ? ad : nullptr;
    if (completion) completion(std::move(ad), std::nullopt);
  };
  switch (entry->request.kind) {
    case AdKind::interstitial:
      handOut(std::make_shared<SandboxInterstitialAd>(self, id, std::move(info)),
              entry->interstitialCompletion);
      break;
    case AdKind::appOpen:
      handOut(std::make_shared<SandboxAppOpenAd>(self, id, std::move(info)),
              entry->appOpenCompletion);
      break;
    case AdKind::rewarded:
      handOut(std::make_shared<SandboxRewardedAd>(self, id, std::move(info)),
              entry->rewardedCompletion);
      break;
  }
  return true;
}

bool GoogleMobileAdsSandbox::answer(RequestID id, std::optional<Platform::Error> error) {
  Entry* entry = find(id);
  if (!entry) return false;
  entry->request.state = error ? RequestState::failed : RequestState::empty;
  entry->request.networkClassName.reset();
  entry->request.error = error;
  switch (entry->request.kind) {
    case AdKind::interstitial: {
      auto completion = entry->interstitialCompletion;
      if (completion) completion(nullptr, std::move(error));
      break;
    }
    case AdKind::appOpen: {
      auto completion = entry->appOpenCompletion;
      if (completion) completion(nullptr, std::move(error));
      break;
    }
    case AdKind::rewarded: {
      auto completion = entry->rewardedCompletion;
      if (completion) completion(nullptr, std::move(error));
      break;
    }
  }
  return true;
}

bool GoogleMobileAdsSandbox::fail(RequestID id, Platform::Error error) {
  return answer(id, std::move(error));
}

bool GoogleMobileAdsSandbox::answerEmpty(RequestID id) {
  return answer(id, std::nullopt);
}

void GoogleMobileAdsSandbox::setDriver(std::weak_ptr<Driver> driver) {
  driver_ = std::move(driver);
}

void GoogleMobileAdsSandbox::setRetainsAds(bool retains) {
  retainsAds_ = retains;
  if (!retains) {
    for (std::size_t i = 0; i < liveEntries_; ++i) entries_[i]->retained = nullptr;
  }
}

void GoogleMobileAdsSandbox::forgetFinishedRequests() {
  // A few spares cover the requests a run has in flight at once.
  constexpr std::size_t kMaxSpareEntries = 8;
  // The entries kept close up in order; the forgotten ones go behind them as spares.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < liveEntries_; ++i) {
    Entry& entry = *entries_[i];
    if (entry.request.state == RequestState::pending || entry.onScreen || !entry.ad.expired()) {
      if (kept != i) std::swap(entries_[kept], entries_[i]);
      ++kept;
      continue;
    }
    // What the entry held is released now, as when it was erased.
    recycle(entry);
  }
  liveEntries_ = kept;
  entries_.resize(std::min(entries_.size(), liveEntries_ + kMaxSpareEntries));
}

void GoogleMobileAdsSandbox::recycle(Entry& entry) {
  std::string room = std::move(entry.request.adUnitID);
  room.clear();
  // Destroyed and made again in place: assigning a fresh entry would build one aside, then move
  // each member over and destroy what it held. Making one cannot throw, so the entry is never
  // left destroyed.
  static_assert(std::is_nothrow_default_constructible_v<Entry>);
  std::destroy_at(&entry);
  std::construct_at(&entry);
  entry.request.adUnitID = std::move(room);
}

}  // namespace QVRAdKit::Sandbox
