#include "Sandbox/Inspector/InspectorPage.h"

#include <utility>

#include "Sandbox/Inspector/InspectorFormat.h"
#include "Sandbox/Text/MarkupText.h"

namespace QVRAdKit::Sandbox {

namespace {

// Colours by state: green ready, blue on its way, red failed, amber expired, grey used or idle.
constexpr std::string_view kStyle = R"(
body { font: 14px/1.4 system-ui, sans-serif; margin: 24px; color: #1d2330; background: #f6f7f9; }
h1 { font-size: 22px; margin: 0 0 4px; }
.subtitle { color: #5b6475; margin: 0 0 16px; }
.stopped { color: #8a1c00; font-weight: 600; }
nav a { margin-right: 10px; }
section.snapshot { background: #fff; border: 1px solid #d8dce3; border-radius: 6px;
  padding: 12px 16px; margin: 16px 0; }
section.snapshot h2 { font-size: 18px; margin: 0 0 8px; }
dl.facts { display: grid; grid-template-columns: max-content 1fr; gap: 2px 12px; margin: 0 0 12px; }
dl.facts dt { font-weight: 600; }
dl.facts dd { margin: 0; }
table.placement { border-collapse: collapse; margin: 8px 0 16px; min-width: 640px; }
table.placement caption { text-align: left; font-weight: 600; padding: 4px 0; }
table.placement caption .meta { font-weight: 400; color: #5b6475; }
table.placement th, table.placement td { border: 1px solid #d8dce3; padding: 3px 8px;
  text-align: left; }
table.placement th { background: #eef0f4; }
td.uuid { font-family: ui-monospace, monospace; font-size: 12px; }
td.state { font-weight: 600; }
.state-loaded { background: #d3f2dc; color: #125e2b; }
.state-loading { background: #dbe8fb; color: #1d4e9e; }
.state-failed { background: #fbd9d9; color: #8e1b1b; }
.state-expired { background: #fdebc8; color: #7a4d00; }
.state-used { background: #e4e4e4; color: #444; }
.state-idle { background: #f1f1f1; color: #666; }
.state-none { color: #8a919e; font-weight: 400; }
)";

void appendFact(std::string& html, std::string_view term, const std::string& value) {
  html.append("<dt>").append(term).append("</dt><dd>").append(InspectorPage::escaped(value));
  html.append("</dd>\n");
}

std::string anchor(std::size_t index) {
  return "snapshot-" + std::to_string(index + 1);
}

}  // namespace

InspectorPage::InspectorPage(std::string subtitle) : subtitle_(std::move(subtitle)) {}

void InspectorPage::add(Platform::TimeInterval at, AdsServiceSnapshot snapshot) {
  snapshots_.push_back({at, std::move(snapshot)});
}

std::string InspectorPage::escaped(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (char c : MarkupText::sanitized(text)) {
    switch (c) {
      case '&':
        result += "&amp;";
        break;
      case '<':
        result += "&lt;";
        break;
      case '>':
        result += "&gt;";
        break;
      case '"':
        result += "&quot;";
        break;
      case '\'':
        result += "&#39;";
        break;
      default:
        result += c;
    }
  }
  return result;
}

void InspectorPage::markStopped(Platform::TimeInterval at,
                                std::vector<Platform::TimeInterval> missed) {
  stop_ = Stop{at, std::move(missed)};
}

std::string InspectorPage::html() const {
  std::string html;
  html += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  html += "<title>Ads service inspector</title>\n<style>";
  html += kStyle;
  html += "</style>\n</head>\n<body>\n<h1>Ads service inspector</h1>\n";
  html += "<p class=\"subtitle\">" + escaped(subtitle_) + "</p>\n";
  if (stop_) {
    // A page kept for later must not pass for a whole session's.
    html += "<p class=\"stopped\">The session was stopped at " +
            InspectorFormat::sessionClock(stop_->at) + ", before its end";
    for (std::size_t i = 0; i < stop_->missed.size(); ++i) {
      html +=
          (i == 0 ? ": no snapshot at " : ", ") + InspectorFormat::sessionClock(stop_->missed[i]);
    }
    html += ".</p>\n";
  }
  if (snapshots_.empty()) html += "<p class=\"empty\">No snapshot was taken.</p>\n";
  if (snapshots_.size() > 1) {
    html += "<nav>";
    for (std::size_t i = 0; i < snapshots_.size(); ++i) {
      html += "<a href=\"#" + anchor(i) + "\">" + InspectorFormat::sessionClock(snapshots_[i].at) +
              "</a>";
    }
    html += "</nav>\n";
  }
  for (std::size_t i = 0; i < snapshots_.size(); ++i) {
    const auto& [at, snapshot] = snapshots_[i];
    const Platform::Date sessionStart = snapshot.takenAt.addingTimeInterval(-at);
    html += "<section class=\"snapshot\" id=\"" + anchor(i) + "\">\n<h2>" +
            InspectorFormat::sessionClock(at) + "</h2>\n<dl class=\"facts\">\n";
    appendFact(html, "Start-up", InspectorFormat::run(snapshot));
    appendFact(html, "Consent", InspectorFormat::consent(snapshot));
    appendFact(html, "Pause", InspectorFormat::pause(snapshot, sessionStart));
    html += "</dl>\n";
    if (snapshot.placements.empty()) html += "<p class=\"empty\">No placements.</p>\n";
    for (const auto& placement : snapshot.placements) {
      const std::string label = InspectorFormat::placement(placement.placement);
      std::string meta = InspectorFormat::builder(placement);
      if (auto grant = InspectorFormat::lastGrant(snapshot, placement, sessionStart)) {
        meta += "; last grant " + *grant;
      }
      html += "<table class=\"placement\" data-placement=\"" + escaped(label) + "\">\n<caption>" +
              escaped(label) + " <span class=\"meta\">(" + escaped(meta) + ")</span></caption>\n";
      html +=
          "<thead><tr><th>#</th><th>Key</th><th>State</th><th>Age</th><th>UUID</th></tr>"
          "</thead>\n<tbody>\n";
      if (placement.keys.empty()) {
        html += "<tr class=\"nokeys\"><td colspan=\"5\">No keys.</td></tr>\n";
      }
      int position = 0;
      for (const auto& key : placement.keys) {
        const std::string state = key.ad ? std::string(caseName(key.ad->state)) : "none";
        html.append("<tr class=\"key\" data-key=\"")
            .append(escaped(key.key))
            .append("\" data-state=\"")
            .append(state)
            .append("\"><td>")
            .append(std::to_string(++position))
            .append("</td><td>")
            .append(escaped(key.key))
            .append("</td><td class=\"state state-")
            .append(state)
            .append("\">")
            .append(key.ad ? state : "no ad")
            .append("</td><td>")
            .append(key.ad ? escaped(InspectorFormat::age(*key.ad)) : "-")
            .append("</td><td class=\"uuid\">")
            .append(key.ad ? escaped(key.ad->uuid) : "")
            .append("</td></tr>\n");
      }
      html += "</tbody>\n</table>\n";
    }
    html += "</section>\n";
  }
  html += "</body>\n</html>\n";
  return html;
}

}  // namespace QVRAdKit::Sandbox
