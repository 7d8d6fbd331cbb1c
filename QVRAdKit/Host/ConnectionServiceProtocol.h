#pragma once
// ConnectionServiceProtocol: the host's connection service: the VPN status and its changes.
// Threading: called on the main queue.

#include "QVRAdKit/Host/ConnectionStatus.h"
#include "QVRAdKit/Host/QVVPNManagerStatus.h"
#include "QVRAdKit/Rx/Observable.h"

namespace QVRAdKit {

class ConnectionServiceProtocol {
 public:
  virtual ~ConnectionServiceProtocol() = default;
  [[nodiscard]] virtual QVVPNManagerStatus vpnStatus() const = 0;
  // Emits on every change of the connection.
  [[nodiscard]] virtual Rx::Observable<ConnectionStatus> connectionStatusStream() const = 0;
};

}  // namespace QVRAdKit
