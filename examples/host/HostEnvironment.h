#pragma once
// The one place where the app wires the module's platform. makeHostEnvironment() makes the
// environment (system clock, one background thread) and registers in it what the module reaches
// through it: the logger, the partner banner's analytics sink, the image loader and the bridges
// to the ad SDK, the consent platform and Unity Ads' consent flag. A phone app registers its real
// bridges here instead of the stand-ins; nothing else changes.

#include <memory>

#include "HostDiagnostics.h"
#include "QVRAdKit/Platform/Environment.h"

namespace ExampleHost {

[[nodiscard]] std::unique_ptr<QVRAdKit::Platform::Environment> makeHostEnvironment(
    const std::shared_ptr<CountingAnalytics>& analytics);

}  // namespace ExampleHost
