#include "Workbench/WorkbenchServer.h"

#include <httplib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <random>
#include <set>
#include <string>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <variant>

#include "Sandbox/Banner/BannerPicture.h"
#include "Sandbox/MonteCarlo/MonteCarloTables.h"
#include "Workbench/BannerRequest.h"
#include "Workbench/ComparisonRoutes.h"
#include "Workbench/ConnectionSockets.h"
#include "Workbench/HttpReplies.h"
#include "Workbench/LibraryRefusals.h"
#include "Workbench/RequestScreen.h"
#include "Workbench/RouteMethods.h"
#include "Workbench/RunRequest.h"
#include "Workbench/SessionRoutes.h"
#include "Workbench/ShardRoutes.h"
#include "Workbench/WorkbenchAssets.h"
#include "Workbench/WorkbenchJson.h"

namespace QVRAdKit::Workbench {
namespace {

using Json = nlohmann::ordered_json;
using HandlerResponse = httplib::Server::HandlerResponse;
using HttpReplies::jsonBody;
using HttpReplies::refuse;
using HttpReplies::send;

constexpr std::string_view kTokenPlaceholder = "__WORKBENCH_TOKEN__";

// 128 random bits as hex: what a page of this server shows and no other site can read.
std::string randomToken() {
  std::random_device entropy;
  std::string token;
  for (int word = 0; word < 4; ++word) {
    std::array<char, 9> hex{};
    std::snprintf(hex.data(), hex.size(), "%08x", static_cast<unsigned>(entropy()));
    token += hex.data();
  }
  return token;
}

bool isLoopback(const std::string& address) {
  return address.starts_with("127.") || address == "::1" || address == "localhost";
}

// Host names are compared without regard to letter case.
std::string lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Whether name is an IP address written out ("192.0.2.7", "[2001:db8::1]"): a name no other site
// can have rebound to this machine.
bool isAddressLiteral(const std::string& name) {
  in6_addr address{};
  if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
    return inet_pton(AF_INET6, name.substr(1, name.size() - 2).c_str(), &address) == 1;
  }
  return inet_pton(AF_INET, name.c_str(), &address) == 1;
}

// This machine's own names, in lower case: its host name and, when the resolver knows one, its
// fully qualified name (what another machine on the network is likely to type).
std::set<std::string> machineNames() {
  std::set<std::string> names;
  std::array<char, 256> name{};
  if (gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0') return names;
  names.insert(lowercase(name.data()));
  addrinfo hints{};
  hints.ai_flags = AI_CANONNAME;
  addrinfo* found = nullptr;
  if (getaddrinfo(name.data(), nullptr, &hints, &found) == 0) {
    if (found->ai_canonname != nullptr && found->ai_canonname[0] != '\0') {
      names.insert(lowercase(found->ai_canonname));
    }
    freeaddrinfo(found);
  }
  return names;
}

}  // namespace

// The routes, with what they share: the options, the token and the runs.
class WorkbenchServer::Routes {
 public:
  Routes(const Options& options, const std::string& token, SimulationRuns& runs, int port)
      : options_(options),
        token_(token),
        runs_(runs),
        sessionSlots_(options.sessionsAtOnce),
        openedFingerprint_(ShardRoutes::fingerprintOf(options.configurationText)) {
    std::string suffix(":");  // appended: g++ 12 at -O3 warns falsely of ":" + string
    suffix += std::to_string(port);
    if (isLoopback(options.listenAddress)) {
      for (const char* host : {"127.0.0.1", "localhost", "[::1]"}) hosts_.insert(host + suffix);
    }
    anyAddress_ = options.listenAddress == "0.0.0.0" || options.listenAddress == "::";
    if (anyAddress_) {
      // Reached by any of the machine's addresses: any address written out names it, as do
      // localhost and the machine's own names; another name is a page rebound to this machine.
      suffix_ = suffix;
      machineNames_ = machineNames();
      machineNames_.insert("localhost");
    } else {
      const bool v6 = options.listenAddress.find(':') != std::string::npos;
      hosts_.insert(
          lowercase((v6 ? "[" + options.listenAddress + "]" : options.listenAddress) + suffix));
    }
  }

  void install(httplib::Server& server) {
    routes_ = std::make_unique<RouteMethods>(server);
    server.set_payload_max_length(kMaxBodyBytes);
    server.set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
          return guard(request, response);
        });
    // A client that asks before sending its body (Expect: 100-continue) is told no at once when
    // the head alone is refused, or its body would be over the limit, rather than invited to send
    // a body that is then refused.
    server.set_expect_100_continue_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
          if (guard(request, response) == HandlerResponse::Handled) return response.status;
          // The guard has refused a length that is not a whole number.
          const std::string length = request.get_header_value("Content-Length");
          if (!length.empty() && std::strtoull(length.c_str(), nullptr, 10) > kMaxBodyBytes) {
            refuse(response, 413,
                   request.path == ShardRoutes::kPath
                       ? ShardRoutes::kTooLarge
                       : LibraryRefusals::describe(request, 413, *routes_, kMaxBodyBytes).message);
            return response.status;
          }
          return 100;
        });
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [this](const httplib::Request& request, httplib::Response& response) {
          // A route's answer has its type; a large one has no body yet (it is sent in pieces).
          if (response.has_header("Content-Type")) return HandlerResponse::Unhandled;
          if (!response.has_header("X-Content-Type-Options")) {
            response.set_header("X-Content-Type-Options", "nosniff");
          }
          // Answers are sent whole: a range the library could read is dropped by the guard,
          // and one it could not read must not cut this answer either.
          const_cast<httplib::Request&>(request).ranges.clear();
          // Shards too large for a request merge on the command line first: the message says how.
          if (response.status == 413 && request.path == ShardRoutes::kPath) {
            refuse(response, 413, ShardRoutes::kTooLarge);
            return HandlerResponse::Handled;
          }
          // The library refused the request itself (no route, an unreadable line or head, a
          // body over the limit): the answer says what was wrong.
          const auto refusal =
              LibraryRefusals::describe(request, response.status, *routes_, kMaxBodyBytes);
          if (refusal.status == 405) response.set_header("Allow", routes_->allowed(request.path));
          refuse(response, refusal.status, refusal.message);
          return HandlerResponse::Handled;
        }));
    server.set_exception_handler([](const httplib::Request&, httplib::Response& response,
                                    const std::exception_ptr& failure) {
      std::string message = "internal error";
      try {
        if (failure) std::rethrow_exception(failure);
      } catch (const std::exception& error) {
        message += std::string(": ") + error.what();
      } catch (...) {
      }
      refuse(response, 500, message);
    });
    RouteMethods& routes = *routes_;
    routes.get("/",
               [this](const httplib::Request&, httplib::Response& response) { page(response); });
    routes.get(R"(/assets/([A-Za-z0-9_.-]+))",
               [](const httplib::Request& request, httplib::Response& response) {
                 const auto asset = findAsset(request.matches[1].str());
                 if (!asset || request.matches[1].str() == "index.html") {
                   return refuse(response, 404, "no such asset");
                 }
                 response.set_content(std::string(asset->bytes), asset->contentType);
               });
    routes.get("/api/configuration", [this](const httplib::Request&, httplib::Response& response) {
      send(response, 200,
           {{"label", options_.configurationLabel}, {"text", options_.configurationText}});
    });
    routes.post("/api/check", [](const httplib::Request& request, httplib::Response& response) {
      const auto body = jsonBody(request, response);
      if (!body) return;
      if (body->is_object()) {
        if (auto unknown = RunRequest::unknownField(*body, {"configuration"})) {
          return refuse(response, 400, unknown->message);
        }
      }
      const auto text = body->find("configuration");
      if (!body->is_object() || text == body->end() || !text->is_string()) {
        return refuse(response, 400, "configuration: must be the configuration's JSON text");
      }
      const auto& document = text->get_ref<const std::string&>();
      send(response, 200,
           WorkbenchJson::check(document, Sandbox::SandboxConfigurationCheck::ofText(document)));
    });
    routes.post("/api/runs", [this](const httplib::Request& request, httplib::Response& response) {
      startRun(request, response);
    });
    routes.get(R"(/api/runs/([0-9]{1,19}))",
               [this](const httplib::Request& request, httplib::Response& response) {
                 const std::string id = request.matches[1].str();
                 if (const auto status = runStatus(id, response)) {
                   send(response, 200, WorkbenchJson::status(id, *status));
                 }
               });
    routes.get(R"(/api/runs/([0-9]{1,19})/report\.json)",
               [this](const httplib::Request& request, httplib::Response& response) {
                 const std::string id = request.matches[1].str();
                 const auto status = runStatus(id, response);
                 if (!status) return;
                 if (!status->report)
                   return refuse(response, 409, "run " + id + " has no report yet");
                 response.set_content(Sandbox::MonteCarloTables::json(*status->report) + "\n",
                                      "application/json");
                 response.set_header("Content-Disposition",
                                     "attachment; filename=\"workbench-run-" + id + ".json\"");
               });
    routes.post(R"(/api/runs/([0-9]{1,19})/cancel)",
                [this](const httplib::Request& request, httplib::Response& response) {
                  if (!HttpReplies::noFields(request, response)) return;
                  const std::string id = request.matches[1].str();
                  if (!runStatus(id, response)) return;
                  runs_.cancel(id);
                  send(response, 200, WorkbenchJson::status(id, *runs_.status(id)));
                });
    ComparisonRoutes::install(routes, runs_, options_.runs.maxActive);
    SessionRoutes::install(routes, sessionSlots_);
    ShardRoutes::install(routes, runs_, options_.toolVersion, openedFingerprint_);
    routes.get("/api/banner.svg", [](const httplib::Request& request, httplib::Response& response) {
      banner(request, response);
    });
  }

 private:
  // The plain run's status, or none with a 404 sent: an unknown id, or a comparison, which has
  // routes of its own.
  std::optional<SimulationRuns::Status> runStatus(const std::string& id,
                                                  httplib::Response& response) const {
    auto status = runs_.status(id);
    if (!status || status->comparison) {
      refuse(response, 404, "no run " + id);
      return std::nullopt;
    }
    return status;
  }

  // Before any route and before the body is read: the Host must name this server, a POST must
  // carry the token and come from this server's origin, and the head must not ask for what
  // RequestScreen refuses.
  HandlerResponse guard(const httplib::Request& request, httplib::Response& response) const {
    // Answers are sent whole: the library would cut a JSON answer (a refusal's too) to a range
    // asked for, keeping its status, and its first part is no answer to read. The request is the
    // library's own, handed here as const.
    const_cast<httplib::Request&>(request).ranges.clear();
    const std::string host = lowercase(request.get_header_value("Host"));
    if (!namesThisServer(host)) {
      refuse(response, 403, "this server answers only requests addressed to it");
      return HandlerResponse::Handled;
    }
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("Cache-Control", "no-store");
    if (auto refusal = RequestScreen::refusal(request)) {
      // The body stays unread: the connection ends with this answer, as every connection does.
      refuse(response, refusal->status, refusal->message);
      return HandlerResponse::Handled;
    }
    // The library would compress with brotli at its best and slowest quality for a client that
    // takes it (every browser): two seconds of a core for a check's megabyte of problems, 30 times
    // the check itself. gzip takes a fiftieth of that.
    if (const std::string accepted = request.get_header_value("Accept-Encoding");
        accepted.find("br") != std::string::npos) {
      auto& writable = const_cast<httplib::Request&>(request);
      writable.headers.erase("Accept-Encoding");
      if (accepted.find("gzip") != std::string::npos) {
        writable.set_header("Accept-Encoding", "gzip");
      }
    }
    if (request.method == "GET" || request.method == "HEAD") return HandlerResponse::Unhandled;
    if (request.get_header_value(kTokenHeader) != token_) {
      refuse(response, 403, std::string("missing or wrong ") + kTokenHeader + " header");
      return HandlerResponse::Handled;
    }
    if (request.has_header("Origin") &&
        lowercase(request.get_header_value("Origin")) != "http://" + host) {
      refuse(response, 403, "requests from another origin are refused");
      return HandlerResponse::Handled;
    }
    if (RequestScreen::hasNoBody(request)) {
      // The library would wait for the connection's end to read a body it was not told the
      // size of. The request is the library's own, handed here as const: saying it is empty
      // changes nothing the client sent.
      const_cast<httplib::Request&>(request).set_header("Content-Length", "0");
    }
    return HandlerResponse::Unhandled;
  }

  // Whether a Host header's value (in lower case) names this server, port included.
  [[nodiscard]] bool namesThisServer(const std::string& host) const {
    if (!anyAddress_) return hosts_.contains(host);
    if (!host.ends_with(suffix_)) return false;
    const std::string name = host.substr(0, host.size() - suffix_.size());
    return isAddressLiteral(name) || machineNames_.contains(name);
  }

  void page(httplib::Response& response) const {
    std::string html(findAsset("index.html")->bytes);
    if (const auto at = html.find(kTokenPlaceholder); at != std::string::npos) {
      html.replace(at, kTokenPlaceholder.size(), token_);
    }
    response.set_header("Content-Security-Policy",
                        "default-src 'self'; img-src 'self' data:; style-src 'self'; "
                        "script-src 'self'; frame-ancestors 'none'");
    response.set_header("Referrer-Policy", "no-referrer");
    response.set_content(html, "text/html; charset=utf-8");
  }

  void startRun(const httplib::Request& request, httplib::Response& response) {
    const auto body = jsonBody(request, response);
    if (!body) return;
    auto read = RunRequest::read(*body);
    if (const auto* bad = std::get_if<RunRequest::BadField>(&read)) {
      return refuse(response, 400, bad->message);
    }
    if (const auto* bad = std::get_if<RunRequest::BadConfiguration>(&read)) {
      Json answer = WorkbenchJson::error("the configuration has errors: it cannot run");
      answer["check"] = WorkbenchJson::check(bad->text, bad->check);
      return send(response, 422, answer);
    }
    const auto id = runs_.start(std::get<Sandbox::MonteCarloRunner::Options>(std::move(read)));
    if (!id) {
      return refuse(response, 429,
                    "already " + std::to_string(options_.runs.maxActive) +
                        " runs under way: wait for one to end or cancel one");
    }
    send(response, 202, {{"id", *id}});
  }

  static void banner(const httplib::Request& request, httplib::Response& response) {
    auto read = BannerRequest::read(request.params);
    if (const auto* bad = std::get_if<BannerRequest::BadParameter>(&read)) {
      return refuse(response, 400, bad->message);
    }
    const std::string svg =
        Sandbox::BannerPicture::svg(std::get<Sandbox::BannerPicture::Options>(read));
    // Opened on its own, the picture may use its embedded styles and fonts and nothing else.
    response.set_header("Content-Security-Policy",
                        "default-src 'none'; style-src 'unsafe-inline'; font-src data:");
    response.set_content(svg, "image/svg+xml");
  }

  const Options& options_;
  const std::string& token_;
  SimulationRuns& runs_;
  SessionRoutes::Slots sessionSlots_;
  // The opened configuration's, as its shards carry it: which side of opened shards it is.
  const std::string openedFingerprint_;
  // Listening on a specific address: the Host values that name it ("127.0.0.1:8765").
  std::set<std::string> hosts_;
  // Listening on every address: the port's ":8765", and the names besides written-out addresses.
  bool anyAddress_ = false;
  std::string suffix_;
  std::set<std::string> machineNames_;
  std::unique_ptr<RouteMethods> routes_;
};

WorkbenchServer::WorkbenchServer(Options options)
    : options_(std::move(options)),
      token_(randomToken()),
      runs_(std::make_unique<SimulationRuns>(options_.runs, options_.clock)),
      server_(std::make_unique<httplib::Server>()) {}

WorkbenchServer::~WorkbenchServer() {
  stop();
}

std::optional<std::string> WorkbenchServer::start() {
  // Answers go out at once: the library writes a response's head and body apart, and without it
  // the body waits for the client's delayed acknowledgement of the head (tens of milliseconds).
  server_->set_tcp_nodelay(true);
  // Each connection holds a thread while the library reads its request, however slowly the
  // client sends it (each read waits at most Options::readTimeoutSeconds, the whole request has no
  // bound): more threads than the library's default eight, so that a few slow clients do not
  // shut the page out.
  server_->new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
  server_->set_read_timeout(options_.readTimeoutSeconds);
  // One request per connection (the answer says Connection: close). The library keeps reading a
  // kept-alive connection after a request refused before its body (a wrong token, a framing it
  // does not take), so that body would be answered as the next request; and it drops requests a
  // client pipelines after the first. Over the loopback a new connection costs next to nothing.
  server_->set_keep_alive_max_count(1);
  // The library's default also sets SO_REUSEPORT, which would let a second server share a port
  // in use (and split its connections) instead of being refused.
  server_->set_socket_options([this](int socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    listeningSocket_ = socket;
  });
  if (options_.port == 0) {
    port_ = server_->bind_to_any_port(options_.listenAddress);
    if (port_ < 0) port_ = 0;
  } else if (server_->bind_to_port(options_.listenAddress, options_.port)) {
    port_ = options_.port;
  }
  if (port_ <= 0) {
    return "cannot listen on " + options_.listenAddress + " port " + std::to_string(options_.port) +
           " (in use, or not an address of this machine)";
  }
  // The library listens with a backlog of 5: a page's burst of requests beyond that would wait
  // a second for a retried connection, or lose it. Listening again only raises the backlog.
  if (listeningSocket_ >= 0) ::listen(listeningSocket_, SOMAXCONN);
  routes_ = std::make_unique<Routes>(options_, token_, *runs_, port_);
  routes_->install(*server_);
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    listenEnded_ = true;
  });
  return std::nullopt;
}

void WorkbenchServer::stop() {
  runs_->stopAll();
  if (!thread_.joinable()) return;
  // The server ignores stop() until its loop has started: wait for either.
  while (!server_->is_running() && !listenEnded_) std::this_thread::yield();
  server_->stop();
  // The library joins its threads only once every connection is done; a client still sending
  // (or one that sends a byte now and then) would hold the stop for as long as it likes.
  ConnectionSockets::shutDown(port_);
  thread_.join();
}

std::string WorkbenchServer::address() const {
  const bool v6 = options_.listenAddress.find(':') != std::string::npos;
  const std::string host = v6 ? "[" + options_.listenAddress + "]" : options_.listenAddress;
  return "http://" + host + ":" + std::to_string(port_) + "/";
}

}  // namespace QVRAdKit::Workbench
