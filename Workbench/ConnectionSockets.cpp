#include "Workbench/ConnectionSockets.h"

#include <charconv>
#include <filesystem>
#include <string>
#include <system_error>

#include <netinet/in.h>
#include <sys/socket.h>

namespace QVRAdKit::Workbench::ConnectionSockets {
namespace {

// The socket's own port when it is a connected TCP socket; -1 otherwise.
int connectedPort(int descriptor) {
  int type = 0;
  socklen_t typeSize = sizeof type;
  if (::getsockopt(descriptor, SOL_SOCKET, SO_TYPE, &type, &typeSize) != 0 || type != SOCK_STREAM) {
    return -1;
  }
  sockaddr_storage peer{};
  socklen_t size = sizeof peer;
  if (::getpeername(descriptor, reinterpret_cast<sockaddr*>(&peer), &size) != 0) return -1;
  sockaddr_storage own{};
  size = sizeof own;
  if (::getsockname(descriptor, reinterpret_cast<sockaddr*>(&own), &size) != 0) return -1;
  if (own.ss_family == AF_INET) {
    return ntohs(reinterpret_cast<const sockaddr_in*>(&own)->sin_port);
  }
  if (own.ss_family == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&own)->sin6_port);
  }
  return -1;
}

}  // namespace

int shutDown(int localPort) {
  std::error_code error;
  std::filesystem::directory_iterator entries("/proc/self/fd", error);
  if (error) return 0;
  int count = 0;
  for (const auto& entry : entries) {
    const std::string name = entry.path().filename().string();
    int descriptor = -1;
    const auto [end, failed] = std::from_chars(name.data(), name.data() + name.size(), descriptor);
    if (failed != std::errc() || end != name.data() + name.size()) continue;
    if (localPort > 0 && connectedPort(descriptor) == localPort &&
        ::shutdown(descriptor, SHUT_RDWR) == 0) {
      ++count;
    }
  }
  return count;
}

}  // namespace QVRAdKit::Workbench::ConnectionSockets
