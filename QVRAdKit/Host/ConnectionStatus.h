#pragma once
// ConnectionStatus is a connection change as the host publishes it; the module uses its values
// only as change signals.

namespace QVRAdKit {

enum class ConnectionStatus { disconnected, connecting, connected, disconnecting };

}  // namespace QVRAdKit
