#include "Sandbox/Inspector/SandboxInspector.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "Sandbox/Inspector/InspectionTimes.h"
#include "Sandbox/Inspector/InspectorFormat.h"
#include "Sandbox/Inspector/InspectorText.h"

namespace QVRAdKit::Sandbox {

namespace {

constexpr std::string_view kErrorDomain = "QVRAdKit.Sandbox.SandboxInspector";

// Control characters (a newline in a key) would break the narration's lines.
std::string printable(std::string line) {
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return line;
}

}  // namespace

Platform::Expected<std::shared_ptr<SandboxInspector>> SandboxInspector::create(
    std::string_view times, const std::string& htmlPath, Platform::TimeInterval duration,
    std::string subtitle) {
  std::vector<Platform::TimeInterval> parsed;
  if (!times.empty()) {
    auto read = InspectionTimes::parse(times, duration);
    if (!read) return read.error();
    parsed = std::move(read).value();
  } else if (!htmlPath.empty()) {
    parsed.push_back(duration);
  }
  auto inspector =
      std::make_shared<SandboxInspector>(Token{}, std::move(parsed), htmlPath, std::move(subtitle));
  if (!htmlPath.empty()) {
    auto file = AtomicFile::open(htmlPath, "the inspector page \"" + htmlPath + "\"");
    if (!file)
      return Platform::Error{std::string(kErrorDomain), 1, file.error().localizedDescription};
    inspector->html_ = std::move(file).value();
  }
  return inspector;
}

SandboxInspector::SandboxInspector(Token /*token*/, std::vector<Platform::TimeInterval> times,
                                   std::string htmlPath, std::string subtitle)
    : times_(std::move(times)), htmlPath_(std::move(htmlPath)), page_(std::move(subtitle)) {}

void SandboxInspector::attach(SandboxHostOptions& options) {
  narrator_ = options.narrator;
  options.inspectAt = times_;
  options.inspector = [weak = weak_from_this()](Platform::TimeInterval at,
                                                const AdsServiceSnapshot& snapshot) {
    if (auto self = weak.lock()) self->inspect(at, snapshot);
  };
}

void SandboxInspector::inspect(Platform::TimeInterval at, const AdsServiceSnapshot& snapshot) {
  if (narrator_) {
    // The first line carries the session time as the narration does; the others line up below.
    // Appended in order: prepending a literal to a temporary string trips g++ 12's -Wrestrict
    // at -O3 with a false overlap.
    std::string stamp = "[";
    stamp.append(InspectorFormat::sessionClock(at)).append("] ");
    const std::string indent(stamp.size(), ' ');
    bool first = true;
    for (const std::string& line : InspectorText::lines(at, snapshot)) {
      narrator_(printable((first ? stamp : indent) + line));
      first = false;
    }
  }
  ++taken_;
  if (!htmlPath_.empty()) page_.add(at, snapshot);
}

std::optional<Platform::Error> SandboxInspector::finish(
    std::optional<Platform::TimeInterval> stoppedAt) {
  if (!html_) return std::nullopt;
  if (stoppedAt) {
    // The session takes its snapshots in the order of the times and stops taking them when
    // stopped: those not taken are the last ones.
    page_.markStopped(
        *stoppedAt,
        std::vector<Platform::TimeInterval>(
            times_.begin() + static_cast<std::ptrdiff_t>(std::min(taken_, times_.size())),
            times_.end()));
  }
  html_->write(page_.html());
  auto failure = html_->commit();
  html_.reset();
  if (failure) return Platform::Error{std::string(kErrorDomain), 2, failure->localizedDescription};
  return std::nullopt;
}

}  // namespace QVRAdKit::Sandbox
