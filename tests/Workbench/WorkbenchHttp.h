#pragma once
// A WorkbenchServer on an ephemeral loopback port and an HTTP client that talks to it as the
// page does (Host of the server, the page's token on POSTs), for the workbench's API tests.

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "Sandbox/Config/DefaultSandboxConfiguration.h"
#include "Workbench/WorkbenchServer.h"

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

  // The run's status once it is no longer running, asking again and again (no sleep); null
  // after a bounded number of tries.
  nlohmann::json waitForEnd(const std::string& id) {
    for (int attempt = 0; attempt < 200000; ++attempt) {
      auto status = json(get("/api/runs/" + id));
      if (!status.is_object() || status.value("state", "") != "running") return status;
    }
    return nullptr;
  }

  std::unique_ptr<WorkbenchServer> server;
  std::unique_ptr<httplib::Client> client;
};

}  // namespace QVRAdKit::Workbench::Testing
