// A minimal host of the ads module: it wires the platform, builds the app around the ads service,
// drains the main queue until the app's short session is over, and says what happened.
// Takes no arguments. Exits 0 when the session ended, 1 when it did not end in time or what it
// said could not be written, 2 when given arguments (--help prints what it does).

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "HostApp.h"
#include "HostDiagnostics.h"
#include "HostEnvironment.h"
#include "RunLoop.h"

int main(int argc, char** argv) {
  if (argc > 1) {
    const bool help =
        argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
    if (!help) std::fprintf(stderr, "unexpected argument: %s\n", argv[1]);
    std::fprintf(help ? stdout : stderr,
                 "usage: %s\nPlays one short session of an app around the ads module and prints "
                 "what the host saw; it takes no arguments.\n",
                 argv[0]);
    return help ? 0 : 2;
  }
  using namespace ExampleHost;
  auto analytics = std::make_shared<CountingAnalytics>();
  auto environment = makeHostEnvironment(analytics);
  // The module's log lines and main-queue checks find the environment installed by this scope.
  const QVRAdKit::Platform::Environment::Scope scope(*environment);

  RunLoop loop(*environment);
  auto app = std::make_shared<HostApp>(*environment, analytics);
  app->launch([&loop] { loop.stop(); });
  if (!loop.run(std::chrono::seconds(30))) {
    std::fprintf(stderr, "the session did not end within 30 seconds\n");
    return 1;
  }

  std::printf("analytics:");
  for (const auto& [name, count] : analytics->adEvents()) {
    std::printf(" %s x%d", name.c_str(), count);
  }
  for (const auto& [name, count] : analytics->bannerRecords()) {
    std::printf(" %s x%d", name.c_str(), count);
  }
  std::printf("\n");
  // A full disk or a closed pipe: a narration that did not reach its reader is no success.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fprintf(stderr, "cannot write to standard output\n");
    return 1;
  }
  return 0;
}
