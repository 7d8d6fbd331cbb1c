#pragma once
// SandboxHost plays the host application around the ads module for a stretch of simulated time:
// it builds an environment on a manual clock with SQLite user defaults, installs the simulated
// Google Mobile Ads, IronSource and consent platform (seeded) and the recording Unity metadata
// store, makes the host services, the consent service, the analytics sink and the SQLite storage,
// and creates the ads service. Then a seeded user launches the application (consent, start-up run,
// the application-start ad), connects and disconnects at random intervals (asking the ads service
// which interstitial to present and presenting it), now and then opens the time wall (rewarded
// video) or leaves the application and comes back (main-screen app-open ad).
// The same options and seed give the same session: the clock only moves once the background
// executor and the main queue have run everything due, so no draw depends on thread timing.
// Example:
//   SandboxHostOptions options;
//   options.storagePath = "/tmp/host.sqlite";
//   options.duration = 600;
//   auto summary = SandboxHost::run(options);
//   if (summary) std::cout << summary->text();
// Threading: run() takes the calling thread as the main thread and returns when the session ends.

#include "QVRAdKit/Platform/Expected.h"
#include "Sandbox/Host/SandboxHostOptions.h"
#include "Sandbox/Host/SandboxHostSummary.h"

namespace QVRAdKit::Sandbox {

class SandboxHost {
 public:
  // Runs one session to its end; the error when the storage cannot be opened.
  [[nodiscard]] static Platform::Expected<SandboxHostSummary> run(
      const SandboxHostOptions& options);
};

}  // namespace QVRAdKit::Sandbox
