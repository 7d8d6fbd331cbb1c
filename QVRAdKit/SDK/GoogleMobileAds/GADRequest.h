#pragma once
// GADRequest is the targeting of one ad request. The module always sends an empty one.

namespace QVRAdKit {

struct GADRequest {};

}  // namespace QVRAdKit
