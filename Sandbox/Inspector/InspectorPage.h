#pragma once
// InspectorPage collects the snapshots a sandbox session takes of the ads service and writes them
// as one self-contained HTML page: inline CSS, no script and no external resource, so the file
// opens anywhere, offline. Each snapshot is a section with the session time, the run, consent and
// pause state, and a table per placement with one row per key in waterfall order; the state cell
// is coloured by state. Every text from the configuration or the ads (keys, uuids) is
// HTML-escaped.
// The rows carry data attributes for tools that read the page: each placement table has
// data-placement="interstitial connect" and each key row data-key and data-state.
// Example:
//   InspectorPage page("qvr-sandbox, seed 7");
//   page.add(600, ads->snapshot());
//   std::ofstream("inspect.html") << page.html();
// Threading: a plain value; not shared between threads.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Services/AdsService/AdsServiceSnapshot.h"

namespace QVRAdKit::Sandbox {

class InspectorPage {
 public:
  // subtitle describes the session (shown under the page title).
  explicit InspectorPage(std::string subtitle);

  // Adds a snapshot taken at seconds from the session start; sections keep the order of adding.
  void add(Platform::TimeInterval at, AdsServiceSnapshot snapshot);
  [[nodiscard]] std::size_t size() const { return snapshots_.size(); }
  // The session was stopped (a signal) at seconds from its start, before the snapshots at missed.
  void markStopped(Platform::TimeInterval at, std::vector<Platform::TimeInterval> missed);

  // The whole page.
  [[nodiscard]] std::string html() const;

  // text with &, <, >, " and ' replaced by their character references, so that it stays text in
  // element content and in quoted attribute values; invalid UTF-8 becomes U+FFFD and characters
  // a document may not hold are dropped (MarkupText).
  [[nodiscard]] static std::string escaped(std::string_view text);

 private:
  struct Taken {
    Platform::TimeInterval at;
    AdsServiceSnapshot snapshot;
  };

  struct Stop {
    Platform::TimeInterval at;
    std::vector<Platform::TimeInterval> missed;
  };

  std::string subtitle_;
  std::vector<Taken> snapshots_;
  std::optional<Stop> stop_;
};

}  // namespace QVRAdKit::Sandbox
