#pragma once
// InterstitialType says which interstitial the host should present after a connection change.

namespace QVRAdKit {

enum class InterstitialType { none, connect, disconnect, appLaunch };

}  // namespace QVRAdKit
