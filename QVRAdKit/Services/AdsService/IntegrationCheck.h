#pragma once
// checkIntegration looks over what an environment and an ads service were given and reports what
// is missing or failing (IntegrationReport.h): the analytics sink for banner events, the image
// loader, the logger, the SDK bridges of the configured ad sources, the consent platform, a main
// queue that nobody drains, and storage that fails a write and read-back. AdsService offers it as
// checkIntegration() and logs it once at its first start-up run (each network's bridge once a
// configuration names that network); the sandbox prints it with --check-integration.
// The storage probe writes, reads back and removes one key (kIntegrationProbeKey); nothing else
// changes. Threading: main queue.

#include <memory>
#include <set>
#include <string_view>

#include "QVRAdKit/Config/AdSource.h"
#include "QVRAdKit/Host/Storage.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Services/AdsService/IntegrationReport.h"

namespace QVRAdKit {

inline constexpr std::string_view kIntegrationProbeKey = "AdsService.integrationProbe";
// Main-queue work due longer ago than this means nobody drains the queue.
inline constexpr Platform::TimeInterval kUndrainedMainQueueAge = 5;

struct IntegrationCheckInput {
  // The ad sources to check bridges for: those of the configuration, or all before one arrived.
  std::set<AdSource> sources = {AdSource::adMob, AdSource::ironSource};
  // The ads service's storage; null is itself reported.
  std::shared_ptr<Storage> storage;
};

[[nodiscard]] IntegrationReport checkIntegration(const Platform::Environment& environment,
                                                 const IntegrationCheckInput& input);

}  // namespace QVRAdKit
