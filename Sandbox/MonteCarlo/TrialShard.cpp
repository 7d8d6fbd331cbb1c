#include "Sandbox/MonteCarlo/TrialShard.h"

#include <cstdio>
#include <exception>
#include <initializer_list>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Sandbox/Config/ConfigurationFieldReader.h"
#include "Sandbox/Config/StrictJsonParser.h"
#include "Sandbox/MonteCarlo/ShardConsistency.h"
#include "Sandbox/Text/TerminalText.h"

namespace QVRAdKit::Sandbox {
namespace {

using Json = nlohmann::ordered_json;
// A shard as read: the strict reader's document (the order of fields does not matter there).
using Read = nlohmann::json;
// A shard nests eight levels; far deeper is not a shard.
constexpr int kMaxDepth = StrictJsonParser::kMaxDepth;
// The last field, its value the fingerprint of the text before this.
constexpr std::string_view kDigestField = ",\"digest\":\"";
constexpr std::size_t kDigestSize = 16;
constexpr const char* kShardErrorDomain = "QVRAdKit.Sandbox.TrialShard";

// A shard whose content does not fit: parse() turns it into an error naming the file.
struct Malformed : std::exception {
  explicit Malformed(std::string what) : message(std::move(what)) {}
  [[nodiscard]] const char* what() const noexcept override { return message.c_str(); }
  std::string message;
};

Json rowsJson(const std::map<std::string, SessionStatistics::Row>& rows) {
  Json object = Json::object();
  for (const auto& [name, row] : rows) {
    Json latency = Json::array();
    for (const auto& [bucket, count] : row.loadLatency.buckets()) {
      latency.push_back(Json::array({bucket, count}));
    }
    object[name] = {{"requests", row.requests},
                    {"fills", row.fills},
                    {"failures", row.failures},
                    {"opportunities", row.opportunities},
                    {"shows", row.shows},
                    {"rewards", row.rewards},
                    {"latencyBuckets", std::move(latency)}};
  }
  return object;
}

Json sumsJson(const std::map<std::string, MomentSums>& rows) {
  Json object = Json::object();
  for (const auto& [name, sums] : rows) {
    object[name] = {{"sums", sums.sums()}, {"products", sums.products()}};
  }
  return object;
}

Json statisticsJson(const SessionStatistics& statistics) {
  return {{"placements", rowsJson(statistics.placements)},
          {"networks", rowsJson(statistics.networks)}};
}

// The place of field name in the object at where ("" is the file's object), for messages.
std::string fieldPlace(const std::string& where, std::string_view name) {
  return where.empty() ? "\"" + std::string(name) + "\""
                       : where + ": \"" + std::string(name) + "\"";
}

// Checks that the object at where holds exactly the fields a writer gives it: every one, and no
// other (a field this program does not know would otherwise be ignored, and the file read as
// something it does not say).
void exactFields(const Read& object, const std::string& where,
                 std::initializer_list<std::string_view> known) {
  if (!object.is_object()) throw Malformed(where + " is not an object");
  if (auto unknown = ConfigurationFieldReader::firstUnknownField(object, known)) {
    throw Malformed((where.empty() ? "" : where + ": ") + *unknown);
  }
  for (const std::string_view name : known) {
    if (!object.contains(std::string(name))) {
      throw Malformed(fieldPlace(where, name) + " is missing");
    }
  }
}

const Read& member(const Read& object, const char* key) {
  if (!object.is_object() || !object.contains(key)) {
    throw Malformed(std::string("\"") + key + "\" is missing");
  }
  return object.at(key);
}

std::uint64_t whole(const Read& object, const char* key) {
  const Read& value = member(object, key);
  if (!value.is_number_unsigned() &&
      !(value.is_number_integer() && value.get<std::int64_t>() >= 0)) {
    throw Malformed(std::string("\"") + key + "\" is not a whole number");
  }
  return value.get<std::uint64_t>();
}

std::vector<std::uint64_t> wholes(const Read& value, const std::string& where) {
  if (!value.is_array()) throw Malformed(where + " is not a list");
  std::vector<std::uint64_t> numbers;
  numbers.reserve(value.size());
  for (const Read& item : value) {
    if (!item.is_number_unsigned())
      throw Malformed(where + " holds something else than whole numbers");
    numbers.push_back(item.get<std::uint64_t>());
  }
  return numbers;
}

// "where.name.field" (or "where.name" without a field): a place in the file, for messages.
std::string place(const std::string& where, const std::string& name, std::string_view field) {
  std::string text = where;
  text.append(1, '.').append(name);
  if (!field.empty()) text.append(1, '.').append(field);
  return text;
}

std::map<std::string, SessionStatistics::Row> rowsFrom(const Read& object,
                                                       const std::string& where) {
  if (!object.is_object()) throw Malformed(where + " is not an object");
  std::map<std::string, SessionStatistics::Row> rows;
  for (const auto& [name, value] : object.items()) {
    exactFields(
        value, place(where, name, ""),
        {"requests", "fills", "failures", "opportunities", "shows", "rewards", "latencyBuckets"});
    SessionStatistics::Row row;
    row.requests = whole(value, "requests");
    row.fills = whole(value, "fills");
    row.failures = whole(value, "failures");
    row.opportunities = whole(value, "opportunities");
    row.shows = whole(value, "shows");
    row.rewards = whole(value, "rewards");
    const Read& latency = member(value, "latencyBuckets");
    const std::string buckets = place(where, name, "latencyBuckets");
    if (!latency.is_array()) throw Malformed(buckets + " is not a list");
    // As a histogram writes them: buckets in rising order, each holding samples, their counts
    // within 64 bits.
    std::optional<std::uint64_t> previous;
    std::uint64_t samples = 0;
    for (const Read& pair : latency) {
      const auto numbers = wholes(pair, buckets);
      if (numbers.size() != 2 || numbers[0] > LatencyHistogram::lastBucket() ||
          (previous && numbers[0] <= *previous) || numbers[1] == 0 ||
          __builtin_add_overflow(samples, numbers[1], &samples)) {
        throw Malformed(buckets + " holds a bad bucket");
      }
      previous = numbers[0];
      row.loadLatency.add(LatencyHistogram::rangeOf(static_cast<std::uint32_t>(numbers[0])).first,
                          numbers[1]);
    }
    rows.emplace(name, std::move(row));
  }
  return rows;
}

SessionStatistics statisticsFrom(const Read& object, const std::string& where) {
  exactFields(object, where, {"placements", "networks"});
  SessionStatistics statistics;
  statistics.placements = rowsFrom(member(object, "placements"), where + ".placements");
  statistics.networks = rowsFrom(member(object, "networks"), where + ".networks");
  return statistics;
}

std::map<std::string, MomentSums> sumsFrom(const Read& object, const std::string& where,
                                           std::size_t quantities) {
  if (!object.is_object()) throw Malformed(where + " is not an object");
  std::map<std::string, MomentSums> rows;
  for (const auto& [name, value] : object.items()) {
    exactFields(value, place(where, name, ""), {"sums", "products"});
    MomentSums sums;
    if (!MomentSums::fromState(wholes(member(value, "sums"), place(where, name, "sums")),
                               wholes(member(value, "products"), place(where, name, "products")),
                               sums) ||
        sums.quantities() != quantities) {
      throw Malformed(place(where, name, "") + " does not hold " + std::to_string(quantities) +
                      " quantities");
    }
    rows.emplace(name, std::move(sums));
  }
  return rows;
}

std::string text(const Read& object, const char* key) {
  const Read& value = member(object, key);
  if (!value.is_string()) throw Malformed(std::string("\"") + key + "\" is not text");
  return value.get<std::string>();
}

TrialShard shardFrom(const Read& root) {
  if (!root.is_object() || !root.contains("format") || root.at("format") != TrialShard::kFormat) {
    throw Malformed("not a qvr-sandbox shard (no \"format\":\"qvr-sandbox-shard\")");
  }
  if (whole(root, "formatVersion") != TrialShard::kFormatVersion) {
    throw Malformed("shard format version " + member(root, "formatVersion").dump() +
                    ", this program reads version " + std::to_string(TrialShard::kFormatVersion));
  }
  exactFields(root, "",
              {"format", "formatVersion", "toolVersion", "configuration", "candidate", "premium",
               "sessionSeconds", "minutes", "seeds", "requested", "sessions", "stopped", "state",
               "digest"});
  TrialShard shard;
  shard.toolVersion = text(root, "toolVersion");
  shard.configuration = text(root, "configuration");
  const Read& candidate = member(root, "candidate");
  if (!candidate.is_null()) shard.candidate = text(root, "candidate");
  const Read& premium = member(root, "premium");
  if (!premium.is_boolean()) throw Malformed("\"premium\" is not true or false");
  shard.premium = premium.get<bool>();
  const Read& seconds = member(root, "sessionSeconds");
  if (!seconds.is_number() || seconds.get<double>() <= 0) {
    throw Malformed("\"sessionSeconds\" is not a positive number");
  }
  shard.report.sessionSeconds = seconds.get<double>();
  const Read& minutes = member(root, "minutes");
  if (!minutes.is_number() || minutes.get<double>() != shard.report.sessionSeconds / 60) {
    throw Malformed("\"minutes\" is not \"sessionSeconds\" in minutes");
  }
  const Read& requested = member(root, "requested");
  exactFields(requested, "requested", {"first", "last"});
  shard.requestedFirst = whole(requested, "first");
  shard.requestedLast = whole(requested, "last");
  shard.report.sessions = whole(root, "sessions");
  const Read& stopped = member(root, "stopped");
  if (!stopped.is_boolean()) throw Malformed("\"stopped\" is not true or false");
  shard.report.stopped = stopped.get<bool>();
  const Read& seeds = member(root, "seeds");
  exactFields(seeds, "seeds", {"first", "last"});
  if (shard.report.sessions == 0) {
    if (!member(seeds, "first").is_null() || !member(seeds, "last").is_null()) {
      throw Malformed("\"seeds\" names seeds played, yet \"sessions\" is 0");
    }
    shard.report.firstSeed = shard.requestedFirst;
  } else {
    shard.report.firstSeed = whole(seeds, "first");
    const std::uint64_t last = whole(seeds, "last");
    if (last < shard.report.firstSeed ||
        last - shard.report.firstSeed != shard.report.sessions - 1) {
      throw Malformed("\"seeds\" and \"sessions\" disagree");
    }
  }
  const Read& state = member(root, "state");
  exactFields(state, "state", {"totals", "perSession", "comparison"});
  shard.report.totals = statisticsFrom(member(state, "totals"), "state.totals");
  const Read& perSession = member(state, "perSession");
  exactFields(perSession, "state.perSession", {"placements", "networks"});
  shard.report.perSession.placements = sumsFrom(
      member(perSession, "placements"), "state.perSession.placements", SessionMoments::kQuantities);
  shard.report.perSession.networks = sumsFrom(
      member(perSession, "networks"), "state.perSession.networks", SessionMoments::kQuantities);
  const Read& comparison = member(state, "comparison");
  if (!comparison.is_null()) {
    exactFields(comparison, "state.comparison", {"sessions", "a", "b", "placements", "networks"});
    auto paired = PairedComparison::fromState(
        whole(comparison, "sessions"),
        statisticsFrom(member(comparison, "a"), "state.comparison.a"),
        statisticsFrom(member(comparison, "b"), "state.comparison.b"),
        sumsFrom(member(comparison, "placements"), "state.comparison.placements",
                 PairedComparison::kQuantities),
        sumsFrom(member(comparison, "networks"), "state.comparison.networks",
                 PairedComparison::kQuantities));
    if (!paired || paired->sessions() != shard.report.sessions) {
      throw Malformed("the comparison does not cover the shard's sessions");
    }
    shard.report.comparison = std::move(paired);
  }
  if (shard.candidate.has_value() != shard.report.comparison.has_value()) {
    throw Malformed("\"candidate\" and the comparison state disagree");
  }
  return shard;
}

}  // namespace

std::string TrialShard::configurationFingerprint(std::string_view configurationText,
                                                 std::string_view region, std::string_view answer) {
  std::string canonical;
  try {
    canonical = nlohmann::json::parse(configurationText).dump();
  } catch (const std::exception&) {
    canonical = configurationText;
  }
  canonical.append("\nregion=").append(region).append("\nanswer=").append(answer);
  return fingerprint(canonical);
}

std::string TrialShard::fingerprint(std::string_view canonicalText) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (char c : canonicalText) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  char buffer[17];
  std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(hash));
  return buffer;
}

std::string TrialShard::json(const TrialShard& shard) {
  const MonteCarloReport& report = shard.report;
  Json root = Json::object();
  root["format"] = kFormat;
  root["formatVersion"] = kFormatVersion;
  root["toolVersion"] = shard.toolVersion;
  root["configuration"] = shard.configuration;
  root["candidate"] = shard.candidate ? Json(*shard.candidate) : Json(nullptr);
  root["premium"] = shard.premium;
  root["sessionSeconds"] = report.sessionSeconds;
  root["minutes"] = report.sessionSeconds / 60;
  if (report.sessions == 0) {
    root["seeds"] = {{"first", nullptr}, {"last", nullptr}};
  } else {
    root["seeds"] = {{"first", report.firstSeed}, {"last", report.firstSeed + report.sessions - 1}};
  }
  root["requested"] = {{"first", shard.requestedFirst}, {"last", shard.requestedLast}};
  root["sessions"] = report.sessions;
  root["stopped"] = report.stopped;
  Json state = Json::object();
  state["totals"] = statisticsJson(report.totals);
  state["perSession"] = {{"placements", sumsJson(report.perSession.placements)},
                         {"networks", sumsJson(report.perSession.networks)}};
  if (report.comparison) {
    const PairedComparison& comparison = *report.comparison;
    state["comparison"] = {{"sessions", comparison.sessions()},
                           {"a", statisticsJson(comparison.totalsA())},
                           {"b", statisticsJson(comparison.totalsB())},
                           {"placements", sumsJson(comparison.placementSums())},
                           {"networks", sumsJson(comparison.networkSums())}};
  } else {
    state["comparison"] = nullptr;
  }
  root["state"] = std::move(state);
  // The digest goes last and covers every byte before it: a changed digit that every sum still
  // allows is found when the file is read.
  std::string text = root.dump();
  text.pop_back();
  const std::string digest = fingerprint(text);
  text.append(kDigestField).append(digest).append("\"}");
  return text;
}

namespace {

// Whether the text, less its final line break, ends with the digest field and its value is the
// fingerprint of every byte before that field.
bool digestMatches(std::string_view text) {
  const auto end = text.find_last_not_of(" \t\r\n");
  if (end == std::string_view::npos) return false;
  text = text.substr(0, end + 1);
  const std::size_t tail = kDigestField.size() + kDigestSize + 2;
  if (text.size() < tail || !text.ends_with("\"}")) return false;
  const std::size_t field = text.size() - tail;
  if (text.substr(field, kDigestField.size()) != kDigestField) return false;
  return text.substr(field + kDigestField.size(), kDigestSize) ==
         TrialShard::fingerprint(text.substr(0, field));
}

// The JSON library's message without its "[json.exception.parse_error.101] " tag.
std::string withoutLibraryTag(std::string message) {
  if (const auto end = message.find("] "); message.starts_with("[json") && end != message.npos) {
    message.erase(0, end + 2);
  }
  return message;
}

}  // namespace

Platform::Expected<TrialShard> TrialShard::parse(std::string_view text, const std::string& origin) {
  // An empty file is what a writer stopped before its first byte leaves, not malformed JSON.
  if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    return Platform::Error{
        kShardErrorDomain, 2,
        TerminalText::visible(origin) + ": not a shard file (the file is empty)"};
  }
  auto reading = StrictJsonParser::read(text, kMaxDepth);
  if (reading.outcome != StrictJsonParser::Outcome::parsed) {
    const bool tooDeep = reading.outcome == StrictJsonParser::Outcome::tooLarge;
    return Platform::Error{
        kShardErrorDomain, 2,
        TerminalText::visible(origin) + ": not a shard file (" +
            (tooDeep ? "nested deeper than " + std::to_string(kMaxDepth) + " levels, at " : "") +
            TerminalText::visible(reading.problem) + ")"};
  }
  // The JSON library would keep the last value: which one the writer meant is not known.
  if (!reading.repeated.empty()) {
    const auto& [object, name] = reading.repeated.front();
    return Platform::Error{kShardErrorDomain, 2,
                           TerminalText::visible(origin) + ": " +
                               TerminalText::visible(fieldPlace(object, name)) +
                               " appears more than once"};
  }
  // No writer writes a number that reads as 0 only because it is too small for a double.
  if (!reading.tooSmall.empty()) {
    const auto& [literal, place] = reading.tooSmall.front();
    return Platform::Error{kShardErrorDomain, 2,
                           TerminalText::visible(origin) + ": " +
                               TerminalText::visible(place.empty() ? "the file" : place) + ": " +
                               TerminalText::visible(literal) + " is too small to represent"};
  }
  try {
    TrialShard shard = shardFrom(reading.root);
    // Well formed, yet numbers that no run writes: a changed or damaged file.
    if (auto problem = ShardConsistency::problem(shard)) throw Malformed(std::move(*problem));
    if (!digestMatches(text)) {
      throw Malformed(
          "the file was changed or damaged after it was written (its \"digest\" is not that of "
          "the text before it, or is not the last field)");
    }
    return shard;
  } catch (const Malformed& malformed) {
    return Platform::Error{kShardErrorDomain, 2,
                           TerminalText::visible(origin) + ": " + malformed.message};
  } catch (const std::exception& error) {
    return Platform::Error{kShardErrorDomain, 2,
                           TerminalText::visible(origin) + ": not a shard file (" +
                               TerminalText::visible(withoutLibraryTag(error.what())) + ")"};
  }
}

}  // namespace QVRAdKit::Sandbox
