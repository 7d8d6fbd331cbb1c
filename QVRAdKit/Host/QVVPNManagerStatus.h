#pragma once
// QVVPNManagerStatus is the host's VPN status. The module compares raw values only: 1
// (disconnected: the user is about to connect) leads to the connect interstitial, 3 (connected) to
// the disconnect interstitial.

#include <cstdint>

namespace QVRAdKit {

enum class QVVPNManagerStatus : std::int64_t {
  invalid = 0,
  disconnected = 1,
  connecting = 2,
  connected = 3,
  reasserting = 4,
  disconnecting = 5,
};

[[nodiscard]] constexpr std::int64_t rawValue(QVVPNManagerStatus status) {
  return static_cast<std::int64_t>(status);
}

}  // namespace QVRAdKit
