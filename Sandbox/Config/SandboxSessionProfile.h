#pragma once
// SandboxSessionProfile describes the simulated user of the sandbox host: how long the launch
// screen waits for the application-start ad, how long the user stays disconnected and connected
// between two taps, how often a disconnected user opens the time wall (rewarded video), how long
// the ads pause that a rewarded video earns lasts, and how often a connected user leaves the
// application for a while. Durations are seconds of simulated time; each [minimum, maximum] pair
// is drawn uniformly. A plain value.

#include "QVRAdKit/Platform/Date.h"

namespace QVRAdKit::Sandbox {

struct SandboxSessionProfile {
  struct Range {
    Platform::TimeInterval minimum = 0;
    Platform::TimeInterval maximum = 0;
    bool operator==(const Range&) const = default;
  };

  // How long the launch screen waits for the application-start ad to finish loading.
  Platform::TimeInterval appLaunchTimeout = 10;
  Range disconnected{60, 600};
  Range connected{120, 900};
  // Per disconnected period: the chance that the user opens the time wall.
  double rewardedChance = 0.5;
  // Per connected period: the chance that the user leaves the application, and for how long.
  double backgroundChance = 0.3;
  Range background{30, 300};
  // After a rewarded video that earned its reward, the host pauses all ads for this long (the
  // ads service keeps the pause in storage, so it outlasts the run). 0: no pause.
  Platform::TimeInterval pauseAfterReward = 0;

  bool operator==(const SandboxSessionProfile&) const = default;
};

}  // namespace QVRAdKit::Sandbox
