#pragma once
// A WorkbenchServer on an ephemeral loopback port and an HTTP client that talks to it as the
// page does (Host of the server, the page's token on POSTs), for the workbench's API tests.

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "Sandbox/Config/DefaultSandboxConfiguration.h"
#include "Workbench/WorkbenchServer.h"
#include "tools/TrialFiles.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace QVRAdKit::Workbench::Testing {

// The default configuration's text, as the page opens it.
inline std::string defaultText() {
  return std::string(Sandbox::kDefaultSandboxConfigurationJson);
}

// The default configuration with one timeout made negative and one key listed twice.
inline std::string textWithErrors() {
  std::string text = defaultText();
  text.replace(text.find("\"timeout\": 60"), 13, "\"timeout\": -5");
  text.replace(text.find("\"disconnect_fallback\""), 21, "\"disconnect_primary\"");
  return text;
}

// A request body: base with field set to value, or without field.
inline std::string with(nlohmann::json base, const char* field, nlohmann::json value) {
  base[field] = std::move(value);
  return base.dump();
}
inline std::string without(nlohmann::json base, const char* field) {
  base.erase(field);
  return base.dump();
}

// Whether the request was answered, with status; the answer (or the failure) otherwise.
inline ::testing::AssertionResult answeredWith(const httplib::Result& result, int status) {
  if (!result)
    return ::testing::AssertionFailure() << "no answer: " << httplib::to_string(result.error());
  if (result->status == status) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "status " << result->status << ", not " << status << ": " << result->body;
}

// A connection of its own to the server on port, for bytes no HTTP client would send.
class RawConnection {
 public:
  explicit RawConnection(int port) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // A server that never answers fails the test rather than hanging it.
    timeval limit{30, 0};
    ::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    connected_ = ::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawConnection() { ::close(socket_); }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  // Sends bytes; endInput then tells the server nothing more will come.
  bool send(const std::string& bytes, bool endInput = false) {
    const bool sent = connected_ && ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
                                        static_cast<ssize_t>(bytes.size());
    if (endInput) ::shutdown(socket_, SHUT_WR);
    return sent;
  }

  // The server's next answer, head and body (as its Content-Length says); what came before the
  // connection ended (or 30 s passed) when it is not whole.
  std::string answer() {
    for (std::size_t end; (end = pending_.find("\r\n\r\n")) == std::string::npos || !whole(end);) {
      char buffer[4096];
      const ssize_t got = ::recv(socket_, buffer, sizeof buffer, 0);
      if (got <= 0) return std::exchange(pending_, {});
      pending_.append(buffer, static_cast<std::size_t>(got));
    }
    const std::size_t end = pending_.find("\r\n\r\n") + 4 + bodyLength(pending_.find("\r\n\r\n"));
    std::string answer = pending_.substr(0, end);
    pending_.erase(0, end);
    return answer;
  }

  // True once the server has closed its side (nothing more to read).
  bool ended() {
    char byte = 0;
    return pending_.empty() && ::recv(socket_, &byte, 1, 0) == 0;
  }

 private:
  std::size_t bodyLength(std::size_t headEnd) const {
    const std::string head = pending_.substr(0, headEnd);
    std::string lower(head.size(), ' ');
    std::transform(head.begin(), head.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto at = lower.find("\r\ncontent-length: ");
    return at == std::string::npos ? 0 : std::stoul(head.substr(at + 18));
  }
  bool whole(std::size_t headEnd) const {
    return pending_.size() >= headEnd + 4 + bodyLength(headEnd);
  }

  int socket_;
  bool connected_ = false;
  std::string pending_;
};

class WorkbenchHttp {
 public:
  explicit WorkbenchHttp(WorkbenchServer::Options options = defaults()) {
    options.listenAddress = "127.0.0.1";
    options.port = 0;
    server = std::make_unique<WorkbenchServer>(std::move(options));
    if (auto problem = server->start()) throw std::runtime_error(*problem);
    client = std::make_unique<httplib::Client>("127.0.0.1", server->port());
    client->set_connection_timeout(5);
    client->set_read_timeout(30);
  }

  static WorkbenchServer::Options defaults() {
    WorkbenchServer::Options options;
    options.configurationText = std::string(Sandbox::kDefaultSandboxConfigurationJson);
    options.toolVersion = Sandbox::TrialFiles::toolVersion();
    return options;
  }

  httplib::Result get(const std::string& path) { return client->Get(path.c_str()); }

  httplib::Result post(const std::string& path, const std::string& body,
                       httplib::Headers headers = {}) {
    headers.emplace(WorkbenchServer::kTokenHeader, server->token());
    return client->Post(path.c_str(), headers, body, "application/json");
  }

  httplib::Result post(const std::string& path, const nlohmann::json& body) {
    return post(path, body.dump());
  }

  // Posts body to path (with the token) and expects the given refusal: status, and an error that
  // starts with errorStart. Answers the body the server gave.
  nlohmann::json expectRefused(const std::string& path, const std::string& body, int status,
                               const std::string& errorStart) {
    auto answer = post(path, body);
    EXPECT_TRUE(answer);
    if (!answer) return nullptr;
    EXPECT_EQ(answer->status, status) << answer->body;
    auto parsed = json(answer);
    const bool hasError = parsed.is_object() && parsed.contains("error");
    EXPECT_TRUE(hasError && parsed["error"].get<std::string>().starts_with(errorStart))
        << answer->body;
    return parsed;
  }

  static nlohmann::json json(const httplib::Result& result) {
    return result ? nlohmann::json::parse(result->body, nullptr, false) : nlohmann::json();
  }

  // The run's (or, on "/api/comparisons/", the comparison's) status once it is no longer
  // running, asking again and again (no sleep); null after a bounded number of tries.
  nlohmann::json waitForEnd(const std::string& id, const std::string& route = "/api/runs/") {
    for (int attempt = 0; attempt < 200000; ++attempt) {
      auto status = json(get(route + id));
      if (!status.is_object() || status.value("state", "") != "running") return status;
    }
    return nullptr;
  }

  std::unique_ptr<WorkbenchServer> server;
  std::unique_ptr<httplib::Client> client;
};

// The request line, Host and token of a request to the server; header lines follow.
inline std::string requestStart(const WorkbenchHttp& http, const std::string& method,
                                const std::string& target) {
  return method + " " + target +
         " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(http.server->port()) + "\r\n" +
         WorkbenchServer::kTokenHeader + ": " + http.server->token() + "\r\n";
}

// "415" from "HTTP/1.1 415 Unsupported Media Type\r\n..."; empty for no answer.
inline std::string statusOf(const std::string& answer) {
  return answer.size() > 12 ? answer.substr(9, 3) : "";
}

// The answer's JSON error; empty when it has none.
inline std::string errorOf(const std::string& answer) {
  const auto at = answer.find("\r\n\r\n");
  const auto body = at == std::string::npos
                        ? nlohmann::json()
                        : nlohmann::json::parse(answer.substr(at + 4), nullptr, false);
  return body.is_object() && body.contains("error") ? body["error"].get<std::string>() : "";
}

}  // namespace QVRAdKit::Workbench::Testing
