#pragma once
// GADRequest is the targeting of one ad request. The module always sends an empty one.
// Threading: a value; any thread. The module makes and reads it on the main queue.

namespace QVRAdKit {

struct GADRequest {};

}  // namespace QVRAdKit
