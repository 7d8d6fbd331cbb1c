#pragma once
// WorkbenchServer is the configuration workbench's HTTP server: it serves the page and its
// scripts (compiled in), checks configurations with the command line's own checker, and runs
// Monte Carlo simulations the page watches and may cancel.
//
// API (JSON in and out; errors as {"error":"..."}; shapes in WorkbenchJson.h):
//   GET  /                          the page, carrying this server's token
//   GET  /assets/NAME               a compiled-in script or style; nothing else is ever served
//   GET  /api/configuration         {"label":..,"text":..} the configuration the server started on
//   POST /api/check                 {"configuration":TEXT} -> the checker's verdict
//   POST /api/runs                  {"configuration":TEXT,"sessions":N,"seed":"S","jobs":J,
//                                    "minutes":M} -> 202 {"id":..}; 422 with the verdict when
//                                    the configuration has errors; 429 when Limits::maxActive
//                                    runs are under way
//   GET  /api/runs/ID               the run's status (and report once ended)
//   GET  /api/runs/ID/report.json   the report exactly as `qvr-sandbox --sessions --json` prints it
//   POST /api/runs/ID/cancel        stops the run before its next session (a comparison is
//                                   cancelled by its own route: 404 here)
//   GET  /api/banner.svg?width=W&cta=T&position=P&insets=T,L,B,R&borderless=B&close=B&title=..
//                                   the partner banner drawn by the sandbox's banner picture;
//                                   400 naming the parameter when one is wrong (BannerRequest.h)
//   /api/comparisons...             two configurations on the same seeds (ComparisonRoutes.h)
//   /api/sessions...                one session's timeline and snapshots (SessionRoutes.h)
//   POST /api/shards                a sharded run's shard files, merged and kept as an ended run
//                                   or comparison (ShardRoutes.h)
//
// Guards: a request body is at most kMaxBodyBytes (413 beyond) and must say its size in a
// Content-Length, uncompressed (RequestScreen: 411, 415; also 431 for a flood of headers); a POST
// with neither Content-Length nor Transfer-Encoding has an empty body; malformed JSON (a NUL byte
// included), JSON nested more than 64 levels, a field named twice and wrong or unknown fields are
// 400 (each route's reader lists its fields; the cancel routes take none); unknown routes 404, a
// known path with another method 405 with an Allow header; every request must name this server in
// its Host header (403 otherwise, against DNS rebinding: listening on every address, an address
// written out, localhost or one of the machine's names, with the port), and every POST must carry
// the page's token in the X-Workbench-Token header and, when the browser sends an Origin, come from
// this server's origin (403 otherwise): another site's page cannot start or cancel runs. Handlers
// never throw out of the server; an unexpected failure is a 500 with its message. What the HTTP
// library refuses itself is answered in the same JSON with what was wrong (LibraryRefusals): a
// malformed request line 400, an unknown method 501, a version other than HTTP/1.x 505, a header
// line over 8 KiB 431, a URL over 8 KiB 414, a bad percent-encoding in the URL 400, a body cut
// short 400. A Range header is ignored: answers are sent whole.
// Example:
//   WorkbenchServer server(options);
//   if (auto problem = server.start()) { std::cerr << *problem; return 2; }
//   std::cout << server.address();  // http://127.0.0.1:8765/
//   ...
//   server.stop();
// Threading: start() and stop() from one thread; requests are served on the server's own pool.

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "Workbench/SimulationRuns.h"

namespace httplib {
class Server;
}

namespace QVRAdKit::Workbench {

class WorkbenchServer {
 public:
  // A configuration at its 1 MiB limit, escaped into a JSON string, with room to spare.
  static constexpr std::size_t kMaxBodyBytes = std::size_t{2} << 20;
  static constexpr const char* kTokenHeader = "X-Workbench-Token";
  // Connections served at once; more wait for a free thread.
  static constexpr std::size_t kWorkerThreads = 32;

  struct Options {
    // Loopback unless the person asks otherwise (ServeCommand warns then).
    std::string listenAddress = "127.0.0.1";
    // 0: any free port (the tests).
    int port = 8765;
    // The configuration the editor opens with, and what it is called on the page.
    std::string configurationText;
    std::string configurationLabel = "embedded configuration";
    SimulationRuns::Limits runs;
    // Sessions played at once for their pictures and snapshots (SessionRoutes::Slots): a long
    // one may hold hundreds of megabytes while it plays.
    std::size_t sessionsAtOnce = 2;
    // The version shards must carry to be opened (qvr-sandbox's, as its merge requires).
    std::string toolVersion;
    // The longest wait for a request's next bytes before its connection is dropped.
    int readTimeoutSeconds = 5;
    SimulationRuns::Clock clock = std::chrono::steady_clock::now;
  };

  explicit WorkbenchServer(Options options);
  ~WorkbenchServer();
  WorkbenchServer(const WorkbenchServer&) = delete;
  WorkbenchServer& operator=(const WorkbenchServer&) = delete;

  // Binds and serves on a thread of its own; one line saying why not, or none.
  [[nodiscard]] std::optional<std::string> start();
  // Cancels the runs, closes the socket, ends the connections still open (a request being read
  // or answered is cut off) and waits for the server's threads.
  void stop();

  [[nodiscard]] int port() const { return port_; }
  // "http://127.0.0.1:8765/"
  [[nodiscard]] std::string address() const;
  [[nodiscard]] const std::string& token() const { return token_; }

 private:
  class Routes;

  Options options_;
  std::string token_;
  int port_ = 0;
  int listeningSocket_ = -1;
  std::unique_ptr<SimulationRuns> runs_;
  std::unique_ptr<httplib::Server> server_;
  std::unique_ptr<Routes> routes_;
  std::thread thread_;
  std::atomic<bool> listenEnded_{false};
};

}  // namespace QVRAdKit::Workbench
