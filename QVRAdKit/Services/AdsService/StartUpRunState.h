#pragma once
// The words for where a start-up run stands, shared by the service, its snapshot and the
// integration check: the step a run in progress waits on, and how a run ended.
// Threading: plain values.

#include <optional>
#include <string_view>

#include "QVRAdKit/Config/AdSource.h"
#include "QVRAdKit/Platform/Date.h"

namespace QVRAdKit {

// What a run in progress waits for: the consent platform's answer to its update, the first value
// of the configuration stream, or the start of one network.
enum class StartUpStep { consentUpdate, configuration, networkStart };

// How a start-up run ended: with the builders made and started; without ads because a consent
// form waits for the user, because consent is not resolved, because the consent platform failed,
// or because no configuration came (no provider, a stream that ended, a provider that threw); or
// without a consent service at all.
enum class StartUpOutcome {
  loaded,
  consentFormToShow,
  consentNotResolved,
  consentError,
  noConfiguration,
  noConsentService,
};

struct StartUpWait {
  StartUpStep step = StartUpStep::consentUpdate;
  // The network being started, for networkStart.
  std::optional<AdSource> network;
  Platform::Date since;
};

// "consentUpdate", "configuration", "networkStart".
[[nodiscard]] std::string_view caseName(StartUpStep step);
// "loaded", "consentFormToShow", "consentNotResolved", "consentError", "noConfiguration",
// "noConsentService".
[[nodiscard]] std::string_view caseName(StartUpOutcome outcome);

}  // namespace QVRAdKit
