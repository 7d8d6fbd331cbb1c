#include "Sandbox/IronSource/SimulatedIronSource.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace QVRAdKit::Sandbox {
namespace {

constexpr Platform::TimeInterval kCappingWindow = 3600;

}  // namespace

std::shared_ptr<SimulatedIronSource> SimulatedIronSource::create(Configuration configuration) {
  const std::uint64_t seed = configuration.seed;
  return create(std::make_shared<const Configuration>(std::move(configuration)), seed);
}

std::shared_ptr<SimulatedIronSource> SimulatedIronSource::create(
    std::shared_ptr<const Configuration> configuration, std::uint64_t seed) {
  return std::make_shared<SimulatedIronSource>(Token{}, std::move(configuration), seed);
}

SimulatedIronSource::SimulatedIronSource(Token, std::shared_ptr<const Configuration> configuration,
                                         std::uint64_t seed)
    : configuration_(std::move(configuration)), generator_(seed) {
  setKeepsCallRecords(false);
}

Platform::Error SimulatedIronSource::noAdToShowError() {
  return {kErrorDomain, 2001, "No ad available to show"};
}

Platform::Error SimulatedIronSource::cappedError() {
  return {kErrorDomain, 2002, "Placement is capped"};
}

Platform::Error SimulatedIronSource::alreadyShowingError() {
  return {kErrorDomain, 2003, "An ad is already showing"};
}

std::weak_ptr<SimulatedIronSource> SimulatedIronSource::weakSelf() {
  return std::static_pointer_cast<SimulatedIronSource>(shared_from_this());
}

// MARK: Draws

double SimulatedIronSource::drawUnit() {
  // 53 random bits scaled to [0, 1): the same on every standard library, unlike the
  // std distributions.
  return static_cast<double>(generator_() >> 11) * 0x1.0p-53;
}

size_t SimulatedIronSource::drawIndex(size_t count) {
  return static_cast<size_t>(drawUnit() * static_cast<double>(count));
}

SimulatedIronSource::LoadOutcome SimulatedIronSource::drawLoadOutcome(const SlotProfile& profile) {
  LoadOutcome outcome;
  const double low = std::max(0.0, std::min(profile.minimumLatency, profile.maximumLatency));
  const double high = std::max(low, profile.maximumLatency);
  outcome.latency = low + (high - low) * drawUnit();
  outcome.filled = drawUnit() < std::clamp(profile.fillRate, 0.0, 1.0);
  const std::size_t choices =
      outcome.filled ? profile.adNetworks.size() : profile.loadErrors.size();
  if (choices > 0) outcome.drawn = drawIndex(choices);
  return outcome;
}

ISAdInfo SimulatedIronSource::LoadOutcome::adInfo(const SlotProfile& profile) const {
  return {profile.adUnit,
          drawn == kDefault ? std::string("ironSource") : profile.adNetworks[drawn]};
}

const Platform::Error& SimulatedIronSource::LoadOutcome::error(const SlotProfile& profile) const {
  static const Platform::Error noFill{kErrorDomain, 1001, "No fill"};
  return drawn == kDefault ? noFill : profile.loadErrors[drawn];
}

// MARK: Requests

void SimulatedIronSource::initializationRequested() {
  environment().mainQueue().asyncAfter(configuration_->initializationLatency, [weak = weakSelf()] {
    if (auto self = weak.lock()) self->deliverInitializationCompleted();
  });
}

void SimulatedIronSource::interstitialLoadRequested() {
  LoadOutcome outcome;
  {
    std::lock_guard lock(mutex_);
    outcome = drawLoadOutcome(configuration_->interstitial);
  }
  environment().mainQueue().asyncAfter(outcome.latency, [weak = weakSelf(), outcome] {
    auto self = weak.lock();
    if (!self) return;
    const SlotProfile& profile = self->configuration_->interstitial;
    if (outcome.filled) {
      self->deliverInterstitialLoaded(outcome.adInfo(profile));
    } else {
      self->deliverInterstitialLoadFailed(outcome.error(profile));
    }
  });
}

void SimulatedIronSource::rewardedVideoLoadRequested() {
  LoadOutcome outcome;
  {
    std::lock_guard lock(mutex_);
    outcome = drawLoadOutcome(configuration_->rewardedVideo);
  }
  environment().mainQueue().asyncAfter(outcome.latency, [weak = weakSelf(), outcome] {
    auto self = weak.lock();
    if (!self) return;
    const SlotProfile& profile = self->configuration_->rewardedVideo;
    if (outcome.filled) {
      self->deliverRewardedVideoLoaded(outcome.adInfo(profile));
    } else {
      self->deliverRewardedVideoLoadFailed(outcome.error(profile));
    }
  });
}

bool SimulatedIronSource::cappedLocked(const std::string& placement, Platform::Date now) {
  const auto limit = configuration_->interstitialShowsPerHour.find(placement);
  if (limit == configuration_->interstitialShowsPerHour.end()) return false;
  auto& dates = interstitialShowDates_[placement];
  // Shows older than the window no longer count. A clock set backwards keeps every show counted
  // until the clock passes it again.
  while (!dates.empty() && now.timeIntervalSince(dates.front()) >= kCappingWindow) {
    dates.pop_front();
  }
  return dates.size() >= limit->second;
}

bool SimulatedIronSource::interstitialCapped(const std::string& placement) {
  const Platform::Date now = environment().clock().now();
  std::lock_guard lock(mutex_);
  return cappedLocked(placement, now);
}

void SimulatedIronSource::interstitialShowRequested(const std::string& placement) {
  Platform::MainQueue& queue = environment().mainQueue();
  const Platform::Date now = environment().clock().now();
  const bool available = hasInterstitial();
  std::optional<Platform::Error> refusal;
  {
    std::lock_guard lock(mutex_);
    if (interstitialShowing_) {
      refusal = alreadyShowingError();
    } else if (!available) {
      refusal = noAdToShowError();
    } else if (cappedLocked(placement, now)) {
      refusal = cappedError();
    } else {
      interstitialShowing_ = true;
      interstitialShowDates_[placement].push_back(now);
    }
  }
  if (refusal) {
    queue.async([weak = weakSelf(), error = *refusal] {
      if (auto self = weak.lock()) self->deliverInterstitialShowFailed(error);
    });
    return;
  }
  queue.async([weak = weakSelf()] {
    if (auto self = weak.lock()) {
      self->deliverInterstitialOpened();
      self->deliverInterstitialShown();
    }
  });
  queue.asyncAfter(configuration_->interstitial.onScreenDuration, [weak = weakSelf()] {
    if (auto self = weak.lock()) {
      {
        std::lock_guard lock(self->mutex_);
        self->interstitialShowing_ = false;
      }
      self->deliverInterstitialClosed();
    }
  });
}

void SimulatedIronSource::rewardedVideoShowRequested() {
  Platform::MainQueue& queue = environment().mainQueue();
  const bool available = hasRewardedVideo();
  std::optional<Platform::Error> refusal;
  {
    std::lock_guard lock(mutex_);
    if (rewardedVideoShowing_) {
      refusal = alreadyShowingError();
    } else if (!available) {
      refusal = noAdToShowError();
    } else {
      rewardedVideoShowing_ = true;
    }
  }
  if (refusal) {
    queue.async([weak = weakSelf(), error = *refusal] {
      if (auto self = weak.lock()) self->deliverRewardedVideoShowFailed(error);
    });
    return;
  }
  queue.async([weak = weakSelf()] {
    if (auto self = weak.lock()) self->deliverRewardedVideoOpened();
  });
  queue.asyncAfter(configuration_->rewardedVideo.onScreenDuration, [weak = weakSelf()] {
    if (auto self = weak.lock()) {
      {
        std::lock_guard lock(self->mutex_);
        self->rewardedVideoShowing_ = false;
      }
      self->deliverRewardedVideoRewarded(self->configuration_->reward);
      self->deliverRewardedVideoClosed();
    }
  });
}

}  // namespace QVRAdKit::Sandbox
