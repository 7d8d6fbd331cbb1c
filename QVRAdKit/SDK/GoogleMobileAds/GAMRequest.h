#pragma once
// GAMRequest is the Ad Manager flavour of GADRequest, used for Ad Manager interstitials. The
// module always sends an empty one.
// Threading: a value; any thread. The module makes and reads it on the main queue.

#include "QVRAdKit/SDK/GoogleMobileAds/GADRequest.h"

namespace QVRAdKit {

struct GAMRequest : GADRequest {};

}  // namespace QVRAdKit
