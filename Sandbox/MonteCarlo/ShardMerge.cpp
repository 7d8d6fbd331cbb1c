#include "Sandbox/MonteCarlo/ShardMerge.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <stdexcept>

#include "Sandbox/Text/TerminalText.h"

namespace QVRAdKit::Sandbox {
namespace {

constexpr const char* kMergeErrorDomain = "QVRAdKit.Sandbox.ShardMerge";

using SeedSpan = std::pair<std::uint64_t, std::uint64_t>;

// "1 to 282", or "7" for one seed.
std::string span(std::uint64_t first, std::uint64_t last) {
  return first == last ? std::to_string(first)
                       : std::to_string(first) + " to " + std::to_string(last);
}

std::string seeds(std::uint64_t first, std::uint64_t last) {
  return (first == last ? "seed " : "seeds ") + span(first, last);
}

// "a", "a and b", "a, b and c".
std::string listed(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
    text += items[i];
  }
  return text;
}

// "seed 9 is", "seeds 283 to 2000 are", "seeds 3 to 4 and 9 are".
std::string seedsAre(const std::vector<SeedSpan>& spans) {
  if (spans.size() == 1 && spans.front().first == spans.front().second) {
    return seeds(spans.front().first, spans.front().second) + " is";
  }
  std::vector<std::string> items;
  items.reserve(spans.size());
  for (const auto& [first, last] : spans) items.push_back(span(first, last));
  return "seeds " + listed(items) + " are";
}

std::uint64_t lastPlayed(const MonteCarloReport& report) {
  return report.firstSeed + report.sessions - 1;
}

std::string quoted(const std::string& text) {
  return TerminalText::quoted(text);
}

// The shortest text that reads back as the same number: lengths that differ show how.
std::string minutesText(double seconds) {
  std::array<char, 32> text{};
  const auto written = std::to_chars(text.data(), text.data() + text.size(), seconds / 60);
  return {text.data(), written.ptr};
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += (text.empty() ? "" : "\n") + line;
  return text;
}

// What two shards must share to be parts of one run; none when they do.
std::vector<std::string> mismatches(const ShardMerge::Named& first, const ShardMerge::Named& other,
                                    const std::string& toolVersion) {
  std::vector<std::string> problems;
  const TrialShard& a = first.shard;
  const TrialShard& b = other.shard;
  const std::string pair =
      TerminalText::visible(other.origin) + " and " + TerminalText::visible(first.origin);
  if (b.toolVersion != toolVersion) {
    problems.push_back(TerminalText::visible(other.origin) + ": written by qvr-sandbox " +
                       TerminalText::visible(b.toolVersion) + ", this is " + toolVersion +
                       ": run the shard again with this version");
  }
  if (b.configuration != a.configuration) {
    // The fingerprint covers the consent region and answer too: one file run with other consent
    // options differs as well.
    problems.push_back(pair +
                       " ran different configurations, or one under another consent region or "
                       "answer (fingerprints " +
                       b.configuration + " and " + a.configuration + ")");
  }
  if (b.candidate != a.candidate) {
    problems.push_back(pair + " compared different candidates (" + b.candidate.value_or("none") +
                       " and " + a.candidate.value_or("none") + ")");
  }
  if (b.report.sessionSeconds != a.report.sessionSeconds) {
    problems.push_back(pair + " ran sessions of different lengths (" +
                       minutesText(b.report.sessionSeconds) + " and " +
                       minutesText(a.report.sessionSeconds) + " minutes)");
  }
  if (b.premium != a.premium) problems.push_back(pair + " differ in --premium");
  return problems;
}

}  // namespace

Platform::Expected<MonteCarloReport> ShardMerge::merge(std::vector<Named> shards,
                                                       const std::string& toolVersion) {
  if (shards.empty()) return Platform::Error{kMergeErrorDomain, 2, "no shard to merge"};
  std::vector<std::string> problems;
  if (shards.front().shard.toolVersion != toolVersion) {
    problems.push_back(TerminalText::visible(shards.front().origin) + ": written by qvr-sandbox " +
                       TerminalText::visible(shards.front().shard.toolVersion) + ", this is " +
                       toolVersion + ": run the shard again with this version");
  }
  for (std::size_t i = 1; i < shards.size(); ++i) {
    for (auto& problem : mismatches(shards.front(), shards[i], toolVersion)) {
      problems.push_back(std::move(problem));
    }
  }
  if (!problems.empty()) return Platform::Error{kMergeErrorDomain, 2, joined(problems)};

  // In seed order; the seeds a shard played (none when it played none).
  std::stable_sort(shards.begin(), shards.end(), [](const Named& a, const Named& b) {
    return a.shard.report.firstSeed < b.shard.report.firstSeed;
  });
  const Named* previous = nullptr;
  for (const Named& named : shards) {
    const MonteCarloReport& report = named.shard.report;
    if (report.sessions == 0) continue;
    const std::uint64_t last = lastPlayed(report);
    if (previous) {
      const MonteCarloReport& before = previous->shard.report;
      const std::uint64_t beforeLast = lastPlayed(before);
      if (report.firstSeed <= beforeLast) {
        problems.push_back(TerminalText::visible(named.origin) + " and " +
                           TerminalText::visible(previous->origin) + " both played " +
                           seeds(report.firstSeed, std::min(last, beforeLast)) +
                           ": a seed may count once");
      } else if (report.firstSeed > beforeLast + 1) {
        problems.push_back(seeds(beforeLast + 1, report.firstSeed - 1) +
                           " are missing: no shard played them (between " +
                           quoted(previous->origin) + " and " + quoted(named.origin) + ")");
      }
    }
    if (!previous || last > lastPlayed(previous->shard.report)) {
      previous = &named;
    }
  }
  if (!problems.empty()) return Platform::Error{kMergeErrorDomain, 2, joined(problems)};

  MonteCarloReport merged;
  // Stopped early when a seed some shard was asked for is in no shard's table: a stopped shard
  // whose missing seeds another shard played leaves the run whole. A shard stopped although it
  // played every seed it names (a merge of parts that lost seeds before its first) carries that
  // loss on.
  const bool carriesLoss = std::any_of(shards.begin(), shards.end(), [](const Named& named) {
    const MonteCarloReport& report = named.shard.report;
    return report.stopped && report.sessions > 0 && lastPlayed(report) >= named.shard.requestedLast;
  });
  merged.stopped = carriesLoss || !unplayed(shards).empty();
  merged.sessionSeconds = shards.front().shard.report.sessionSeconds;
  merged.firstSeed = shards.front().shard.requestedFirst;
  bool anyPlayed = false;
  std::vector<std::string> added;
  for (const Named& named : shards) {
    const MonteCarloReport& report = named.shard.report;
    if (named.shard.candidate && !merged.comparison) merged.comparison.emplace();
    if (report.sessions == 0) continue;
    if (!anyPlayed) merged.firstSeed = report.firstSeed;
    anyPlayed = true;
    added.push_back(quoted(named.origin));
    // The per-session sums of squares grow fastest, and check every addition: what real runs
    // reach stays far below 2^64, so only edited shards get there. (The totals are parts of
    // those sums, and so stay below them.)
    try {
      if (__builtin_add_overflow(merged.sessions, report.sessions, &merged.sessions)) {
        throw std::overflow_error("sessions beyond 2^64");
      }
      merged.totals.merge(report.totals);
      merged.perSession.merge(report.perSession);
      if (report.comparison) merged.comparison->merge(*report.comparison);
    } catch (const std::overflow_error&) {
      return Platform::Error{
          kMergeErrorDomain, 2,
          "the counts of " + listed(added) + " add up beyond 2^64, more than any run counts"};
    }
  }
  return merged;
}

std::vector<std::string> ShardMerge::unplayed(const std::vector<Named>& shards) {
  std::vector<SeedSpan> played;
  for (const Named& named : shards) {
    const MonteCarloReport& report = named.shard.report;
    if (report.sessions > 0) played.emplace_back(report.firstSeed, lastPlayed(report));
  }
  std::sort(played.begin(), played.end());
  std::vector<std::string> lines;
  for (const Named& named : shards) {
    const TrialShard& shard = named.shard;
    const MonteCarloReport& report = shard.report;
    if (report.sessions > 0 && lastPlayed(report) >= shard.requestedLast) continue;
    // What it left out, less what other shards played.
    std::vector<SeedSpan> missing;
    std::uint64_t from = report.sessions == 0 ? shard.requestedFirst : lastPlayed(report) + 1;
    bool open = true;
    for (const auto& [first, last] : played) {
      if (!open || first > shard.requestedLast) break;
      if (last < from) continue;
      if (first > from) missing.emplace_back(from, first - 1);
      if (last >= shard.requestedLast) {
        open = false;
      } else {
        from = last + 1;
      }
    }
    if (open) missing.emplace_back(from, shard.requestedLast);
    if (missing.empty()) continue;
    lines.push_back(quoted(named.origin) + " asked for " +
                    seeds(shard.requestedFirst, shard.requestedLast) + " but played " +
                    (report.sessions == 0   ? "none"
                     : report.sessions == 1 ? seeds(report.firstSeed, report.firstSeed)
                                            : span(report.firstSeed, lastPlayed(report))) +
                    " (it stopped early): " + seedsAre(missing) + " in no table");
  }
  return lines;
}

ShardMerge::Asked ShardMerge::asked(const std::vector<Named>& shards) {
  Asked asked;
  if (shards.empty()) return asked;
  // A shard asks for first <= last (checked when it is read).
  std::vector<SeedSpan> ranges;
  ranges.reserve(shards.size());
  for (const Named& named : shards) {
    ranges.emplace_back(named.shard.requestedFirst, named.shard.requestedLast);
  }
  std::sort(ranges.begin(), ranges.end());
  constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();
  const auto count = [&asked](std::uint64_t first, std::uint64_t last) {
    const std::uint64_t more = last - first;
    asked.count = more >= kMost - asked.count ? kMost : asked.count + more + 1;
  };
  auto [from, to] = ranges.front();
  for (const auto& [first, last] : ranges) {
    if (first > to && first - to > 1) {
      count(from, to);
      asked.gaps.push_back(seedsAre({{to + 1, first - 1}}) + " in no shard");
      from = first;
    }
    to = std::max(to, last);
  }
  count(from, to);
  return asked;
}

}  // namespace QVRAdKit::Sandbox
