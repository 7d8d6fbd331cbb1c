#pragma once
// SessionTrace plays one sandbox session, as a Monte Carlo run plays the session of that seed, and
// keeps it as a picture: every line of the host's narration at its simulated time, sorted into a
// kind (launch, connect, connected, disconnect, disconnected, background, foreground, show,
// closed, reward, pause, timewall, note), the stretches those lines bound (the tunnel up, the
// application away, an ad on screen, the ads pause) and, from the module's analytics, each ad
// request of each waterfall key from its request to its fill or failure. snapshotAt() plays the
// same session again up to one moment and answers the inspector's snapshot of the ads service
// then: the same seed plays the same session, so the snapshot belongs to the picture.
// Times are seconds from the session start.
// Example:
//   auto picture = SessionTrace::play(configuration, /*seed=*/7, /*duration=*/1800);
//   for (const auto& load : picture->loads) draw(load.key, load.requestedAt, load.endedAt);
//   auto snapshot = SessionTrace::snapshotAt(configuration, 7, 1800, /*at=*/600);
// Threading: pure functions; each plays its session on the calling thread.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Platform/Expected.h"
#include "QVRAdKit/Services/AdsService/AdsServiceSnapshot.h"
#include "Sandbox/Config/SandboxConfiguration.h"

namespace QVRAdKit::Workbench {

struct SessionTrace {
  // One narration line.
  struct Moment {
    Platform::TimeInterval at = 0;
    std::string kind;
    std::string text;
  };
  // A stretch of the session on one lane: "vpn" (tunnel up), "app" (away in the background),
  // "screen" (an ad on screen), "pause" (ads paused). A stretch still open at the end ends there.
  struct Span {
    std::string lane;
    Platform::TimeInterval from = 0;
    Platform::TimeInterval to = 0;
    std::string label;
  };
  // filled and failed: the network answered; unanswered: no answer came (the session ended
  // first, or a new request of the same ad replaced it, which ends it).
  enum class Outcome { filled, failed, unanswered };
  // One ad request of one waterfall key.
  struct Load {
    std::string network;
    // The ad-unit key; none for IronSource's interstitial slot, empty for its rewarded slot.
    std::optional<std::string> key;
    std::string action;  // "connect", "app_open", ...; empty when the event names none
    std::string uuid;
    Platform::TimeInterval requestedAt = 0;
    std::optional<Platform::TimeInterval> endedAt;
    Outcome outcome = Outcome::unanswered;
    std::int64_t errorCode = 0;
  };
  struct Picture {
    std::uint64_t seed = 0;
    Platform::TimeInterval duration = 0;
    std::vector<Moment> moments;
    std::vector<Span> spans;
    std::vector<Load> loads;
  };

  [[nodiscard]] static Platform::Expected<Picture> play(
      const Sandbox::SandboxConfiguration& configuration, std::uint64_t seed,
      Platform::TimeInterval duration);
  // The ads service at `at` seconds (0 to duration), once everything due by then has run.
  [[nodiscard]] static Platform::Expected<AdsServiceSnapshot> snapshotAt(
      const Sandbox::SandboxConfiguration& configuration, std::uint64_t seed,
      Platform::TimeInterval duration, Platform::TimeInterval at);

  [[nodiscard]] static const char* name(Outcome outcome);
  // The waterfall key a load belongs to, as the picture names its lane: "admob · c1",
  // "ironsource · interstitial slot", "ironsource · rewarded slot".
  [[nodiscard]] static std::string laneOf(const Load& load);
};

}  // namespace QVRAdKit::Workbench
