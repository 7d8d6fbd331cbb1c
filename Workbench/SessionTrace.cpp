#include "Workbench/SessionTrace.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <string_view>
#include <utility>

#include "QVRAdKit/Host/QVReporting.h"
#include "QVRAdKit/Platform/Environment.h"
#include "Sandbox/Host/SandboxHost.h"
#include "Sandbox/Storage/SQLiteKeyValueStore.h"

namespace QVRAdKit::Workbench {
namespace {

using Sandbox::SandboxHostOptions;

// The narration's kinds by how a line starts. A show's own lines (its label followed by
// "opened", "closed", a reward or a failure) are told apart before these, since the label itself
// starts with the moment that granted it ("connect -> interstitial (...) opened").
struct Rule {
  std::string_view start;
  const char* kind;
};
constexpr Rule kRules[] = {
    {"vpn connected", "connected"},
    {"vpn disconnected", "disconnected"},
    {"connect ->", "connect"},
    {"disconnect ->", "disconnect"},
    {"app to background", "background"},
    {"app active again", "foreground"},
    {"ads paused for ", "pause"},
    {"timewall ->", "timewall"},
    {"app launch", "launch"},
    {"start-up run", "launch"},
    {"consent form", "launch"},
};

const char* ruleKind(std::string_view text) {
  for (const Rule& rule : kRules) {
    if (text.starts_with(rule.start)) return rule.kind;
  }
  return "note";
}

const std::string* textParameter(const ReportingObject& event, std::string_view name) {
  const ReportingValue* value = event.parameter(name);
  return value ? std::get_if<std::string>(value) : nullptr;
}

std::int64_t integerParameter(const ReportingObject& event, std::string_view name) {
  const ReportingValue* value = event.parameter(name);
  const auto* number = value ? std::get_if<std::int64_t>(value) : nullptr;
  return number ? *number : 0;
}

// Hears the session's narration and analytics and keeps them at their simulated time. Lives on
// the session's thread, where the session's environment is current.
class Recorder final : public QVReporting {
 public:
  Recorder(std::uint64_t seed, Platform::TimeInterval duration) {
    picture_.seed = seed;
    picture_.duration = duration;
  }

  // The session's start: the clock when its ads service was made.
  void startNow() { origin_ = Platform::Environment::current().clock().now(); }

  void narrate(std::string_view line) {
    // The narrator's "[hh:mm:ss] " stamp is whole seconds; the clock is exact.
    if (line.starts_with('[')) {
      if (const auto end = line.find("] "); end != std::string_view::npos)
        line.remove_prefix(end + 2);
    }
    const Platform::TimeInterval at = now();
    std::string text(line);
    picture_.moments.push_back({at, kindOf(text, at), text});
  }

  void track(const ReportingObject& event) override {
    const std::string* source = textParameter(event, "source");
    const std::string* uuid = textParameter(event, "aaid");
    if (!source || !uuid) return;
    if (event.name == "ad_requested") {
      // A rewarded ad that loads again keeps its uuid: the new request ends the old one's wait.
      if (const auto waiting = pending_.find(*uuid); waiting != pending_.end()) {
        picture_.loads[waiting->second].endedAt = now();
      }
      SessionTrace::Load load;
      load.network = *source;
      if (const std::string* key = textParameter(event, "unit_id")) load.key = *key;
      const std::string* action = textParameter(event, "action");
      load.action = action ? *action : std::string();
      load.uuid = *uuid;
      load.requestedAt = now();
      pending_[*uuid] = picture_.loads.size();
      picture_.loads.push_back(std::move(load));
    } else if (event.name == "ad_loaded") {
      const auto waiting = pending_.find(*uuid);
      // A failure to present is reported like a failed load, but answers no request.
      if (waiting == pending_.end()) return;
      SessionTrace::Load& load = picture_.loads[waiting->second];
      pending_.erase(waiting);
      load.endedAt = now();
      load.errorCode = integerParameter(event, "error_code");
      load.outcome =
          load.errorCode == 0 ? SessionTrace::Outcome::filled : SessionTrace::Outcome::failed;
    }
  }

  // Closes what is still open at the session's end.
  SessionTrace::Picture finish() {
    const Platform::TimeInterval end = picture_.duration;
    if (connectedSince_) span("vpn", *connectedSince_, end, "connected");
    if (awaySince_) span("app", *awaySince_, end, "in the background");
    for (const auto& [label, from] : onScreen_) span("screen", from, end, label);
    onScreen_.clear();
    return std::move(picture_);
  }

 private:
  [[nodiscard]] Platform::TimeInterval now() const {
    if (!origin_) return 0;
    return Platform::Environment::current().clock().now().timeIntervalSince(*origin_);
  }

  void span(const char* lane, Platform::TimeInterval from, Platform::TimeInterval to,
            std::string label) {
    picture_.spans.push_back({lane, from, std::max(from, to), std::move(label)});
  }

  // The line's kind; opens and closes the stretches it bounds.
  const char* kindOf(const std::string& text, Platform::TimeInterval at) {
    for (auto open = onScreen_.begin(); open != onScreen_.end(); ++open) {
      const std::string& label = open->first;
      if (text.size() <= label.size() || !text.starts_with(label) || text[label.size()] != ' ') {
        continue;
      }
      const std::string_view rest = std::string_view(text).substr(label.size() + 1);
      if (rest.starts_with("rewarded ")) return "reward";
      span("screen", open->second, at, label);
      onScreen_.erase(open);
      return rest == "closed" ? "closed" : "show failed";
    }
    if (text.ends_with(" opened")) {
      onScreen_.emplace(text.substr(0, text.size() - 7), at);
      return "show";
    }
    const char* kind = ruleKind(text);
    const std::string_view name(kind);
    if (name == "connected") {
      connectedSince_ = at;
    } else if (name == "disconnected" && connectedSince_) {
      span("vpn", *connectedSince_, at, "connected");
      connectedSince_.reset();
    } else if (name == "background") {
      awaySince_ = at;
    } else if (name == "foreground" && awaySince_) {
      span("app", *awaySince_, at, "in the background");
      awaySince_.reset();
    } else if (name == "pause") {
      // "ads paused for 600s"
      const double seconds = std::strtod(text.c_str() + 15, nullptr);
      if (seconds > 0) span("pause", at, std::min(at + seconds, picture_.duration), "ads paused");
    }
    return kind;
  }

  SessionTrace::Picture picture_;
  std::optional<Platform::Date> origin_;
  std::map<std::string, std::size_t> pending_;
  std::map<std::string, Platform::TimeInterval> onScreen_;
  std::optional<Platform::TimeInterval> connectedSince_;
  std::optional<Platform::TimeInterval> awaySince_;
};

// The options MonteCarloRunner::runSession plays a seed with: the same session.
SandboxHostOptions sessionOptions(const Sandbox::SandboxConfiguration& configuration,
                                  std::uint64_t seed, Platform::TimeInterval duration) {
  SandboxHostOptions options;
  options.configuration = configuration;
  options.seed = seed;
  options.duration = duration;
  options.storagePath = std::string(Sandbox::SQLiteKeyValueStore::kInMemoryPath);
  options.backgroundThreads = Platform::BackgroundExecutor::kDrainedByHand;
  return options;
}

}  // namespace

Platform::Expected<SessionTrace::Picture> SessionTrace::play(
    const Sandbox::SandboxConfiguration& configuration, std::uint64_t seed,
    Platform::TimeInterval duration) {
  auto recorder = std::make_shared<Recorder>(seed, duration);
  SandboxHostOptions options = sessionOptions(configuration, seed, duration);
  options.reporting = recorder;
  options.integration = [recorder](const IntegrationReport&) { recorder->startNow(); };
  options.narrator = [recorder](std::string_view line) { recorder->narrate(line); };
  auto summary = Sandbox::SandboxHost::run(options);
  if (!summary) return summary.error();
  return recorder->finish();
}

Platform::Expected<AdsServiceSnapshot> SessionTrace::snapshotAt(
    const Sandbox::SandboxConfiguration& configuration, std::uint64_t seed,
    Platform::TimeInterval duration, Platform::TimeInterval at) {
  SandboxHostOptions options = sessionOptions(configuration, seed, duration);
  std::optional<AdsServiceSnapshot> taken;
  options.inspectAt = {at};
  options.inspector = [&taken](Platform::TimeInterval, const AdsServiceSnapshot& snapshot) {
    taken = snapshot;
  };
  // Nothing after the moment matters to the snapshot.
  options.stopRequested = [&taken] { return taken.has_value(); };
  auto summary = Sandbox::SandboxHost::run(options);
  if (!summary) return summary.error();
  if (!taken) {
    return Platform::Error{"QVRAdKit.Workbench.SessionTrace", 1,
                           "no snapshot: the moment lies outside the session"};
  }
  return std::move(*taken);
}

const char* SessionTrace::name(Outcome outcome) {
  switch (outcome) {
    case Outcome::filled:
      return "filled";
    case Outcome::failed:
      return "failed";
    case Outcome::unanswered:
      return "unanswered";
  }
  return "unanswered";
}

std::string SessionTrace::laneOf(const Load& load) {
  std::string lane = load.network;
  lane += " · ";
  if (!load.key) {
    lane += "interstitial slot";
  } else if (load.key->empty()) {
    lane += "rewarded slot";
  } else {
    lane += *load.key;
  }
  return lane;
}

}  // namespace QVRAdKit::Workbench
