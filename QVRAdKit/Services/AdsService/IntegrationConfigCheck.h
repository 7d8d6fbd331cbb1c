#pragma once
// checkConfiguration adds to an integration report the configuration values the module acts on
// oddly, each as a warning with its fix: no placements at all, IronSource listed without an
// application key, and per placement a timeout that is not a finite number of seconds from 0 up, a
// network that is not listed under sources or that the module does not know, no ad-unit keys, an
// empty key, a key listed twice on a rewarded placement, and an app-open placement served by
// IronSource.
// Threading: any thread; it reads only the configuration.

#include "QVRAdKit/Config/AdsConfig.h"
#include "QVRAdKit/Services/AdsService/IntegrationReport.h"

namespace QVRAdKit {

void checkConfiguration(const AdsConfig& config, IntegrationReport& report);

}  // namespace QVRAdKit
