#include "Workbench/RunRequest.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "Sandbox/Config/ConfigurationFieldReader.h"

namespace QVRAdKit::Workbench {
namespace {

using PlainJson = nlohmann::json;

constexpr double kMaxMinutes = 10080;

// A whole number in [low, high] from a JSON integer (or, with digits, a string of digits).
std::optional<std::uint64_t> wholeNumber(const PlainJson& value, std::uint64_t low,
                                         std::uint64_t high, bool digitsAllowed) {
  std::uint64_t number = 0;
  if (value.is_number_unsigned()) {
    number = value.get<std::uint64_t>();
  } else if (digitsAllowed && value.is_string()) {
    const auto& text = value.get_ref<const std::string&>();
    const auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || failed != std::errc() || end != text.data() + text.size()) return {};
  } else {
    return std::nullopt;  // negative, fractional or not a number
  }
  if (number < low || number > high) return std::nullopt;
  return number;
}

}  // namespace

std::optional<RunRequest::BadField> RunRequest::unknownField(
    const PlainJson& object, std::initializer_list<std::string_view> known,
    const std::string& place) {
  auto unknown = Sandbox::ConfigurationFieldReader::firstUnknownField(object, known);
  if (!unknown) return std::nullopt;
  return BadField{(place.empty() ? "" : place + ": ") + *unknown};
}

RunRequest::Result RunRequest::read(const PlainJson& body) {
  using Runner = Sandbox::MonteCarloRunner;
  if (!body.is_object()) return BadField{"the request must be a JSON object"};
  if (auto unknown = unknownField(body, {"configuration", "sessions", "seed", "jobs", "minutes"})) {
    return std::move(*unknown);
  }
  const auto configuration = body.find("configuration");
  if (configuration == body.end() || !configuration->is_string()) {
    return BadField{"configuration: must be the configuration's JSON text, as a string"};
  }
  Runner::Options options;
  const auto sessions = body.find("sessions");
  const auto sessionCount = sessions == body.end()
                                ? std::nullopt
                                : wholeNumber(*sessions, 1, Runner::kMaxSessions, false);
  if (!sessionCount) {
    return BadField{"sessions: must be a whole number from 1 to " +
                    std::to_string(Runner::kMaxSessions)};
  }
  options.sessions = *sessionCount;
  const auto seed = body.find("seed");
  const auto maxSeed = std::numeric_limits<std::uint64_t>::max() - (options.sessions - 1);
  const auto firstSeed =
      seed == body.end() ? std::optional<std::uint64_t>(1) : wholeNumber(*seed, 0, maxSeed, true);
  if (!firstSeed) {
    return BadField{"seed: must be a whole number from 0 to " + std::to_string(maxSeed) +
                    " (the last session's seed must fit 64 bits)"};
  }
  options.firstSeed = *firstSeed;
  const auto jobs = body.find("jobs");
  const auto jobCount = jobs == body.end() ? std::optional<std::uint64_t>(1)
                                           : wholeNumber(*jobs, 1, Runner::kMaxJobs, false);
  if (!jobCount) {
    return BadField{"jobs: must be a whole number from 1 to " + std::to_string(Runner::kMaxJobs)};
  }
  options.jobs = static_cast<unsigned>(*jobCount);
  const auto minutes = body.find("minutes");
  double minuteCount = 120;
  if (minutes != body.end()) {
    minuteCount = minutes->is_number() ? minutes->get<double>() : -1;
    if (!std::isfinite(minuteCount) || minuteCount <= 0 || minuteCount > kMaxMinutes) {
      return BadField{"minutes: must be a number more than 0, at most 10080"};
    }
  }
  options.duration = minuteCount * 60;

  const auto& text = configuration->get_ref<const std::string&>();
  auto check = Sandbox::SandboxConfigurationCheck::ofText(text);
  if (!check.configuration) return BadConfiguration{text, std::move(check)};
  options.configuration = std::move(*check.configuration);
  return options;
}

}  // namespace QVRAdKit::Workbench
