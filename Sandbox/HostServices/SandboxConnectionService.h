#pragma once
// SandboxConnectionService is a connection service that the sandbox host or a test drives:
// setStatus() changes the VPN status and publishes the matching connection change.

#include <atomic>
#include <cstddef>

#include "QVRAdKit/Host/ConnectionServiceProtocol.h"
#include "QVRAdKit/Rx/BehaviorRelay.h"

namespace QVRAdKit::Sandbox {

class SandboxConnectionService final : public ConnectionServiceProtocol {
 public:
  explicit SandboxConnectionService(QVVPNManagerStatus status = QVVPNManagerStatus::disconnected)
      : status_(status), changes_(toConnectionStatus(status)) {}

  void setStatus(QVVPNManagerStatus status) {
    status_ = status;
    changes_.accept(toConnectionStatus(status));
  }

  [[nodiscard]] QVVPNManagerStatus vpnStatus() const override { return status_; }
  [[nodiscard]] Rx::Observable<ConnectionStatus> connectionStatusStream() const override {
    return changes_.asObservable();
  }
  // How many subscriptions to connectionStatusStream() are live.
  [[nodiscard]] std::size_t subscriberCount() const { return changes_.subscriberCount(); }

  static ConnectionStatus toConnectionStatus(QVVPNManagerStatus status) {
    switch (status) {
      case QVVPNManagerStatus::connecting:
      case QVVPNManagerStatus::reasserting:
        return ConnectionStatus::connecting;
      case QVVPNManagerStatus::connected:
        return ConnectionStatus::connected;
      case QVVPNManagerStatus::disconnecting:
        return ConnectionStatus::disconnecting;
      case QVVPNManagerStatus::invalid:
      case QVVPNManagerStatus::disconnected:
        break;
    }
    return ConnectionStatus::disconnected;
  }

 private:
  std::atomic<QVVPNManagerStatus> status_;
  Rx::BehaviorRelay<ConnectionStatus> changes_;
};

}  // namespace QVRAdKit::Sandbox
