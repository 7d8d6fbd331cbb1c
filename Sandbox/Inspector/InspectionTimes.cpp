#include "Sandbox/Inspector/InspectionTimes.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "Sandbox/Inspector/InspectorFormat.h"

namespace QVRAdKit::Sandbox {

namespace {

// Longer digit runs than this are refused before they are converted: no time of a session needs
// them, and they could not overflow what follows.
constexpr std::size_t kMaxDigits = 9;

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<long long> digits(std::string_view text) {
  if (text.empty() || text.size() > kMaxDigits) return std::nullopt;
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// "90" or "12.5": digits, optionally a point and more digits.
std::optional<Platform::TimeInterval> seconds(std::string_view text) {
  const auto point = text.find('.');
  const auto whole = digits(text.substr(0, point));
  if (!whole) return std::nullopt;
  if (point == std::string_view::npos) return static_cast<Platform::TimeInterval>(*whole);
  const std::string_view fraction = text.substr(point + 1);
  const auto part = digits(fraction);
  if (!part) return std::nullopt;
  return static_cast<Platform::TimeInterval>(*whole) +
         static_cast<double>(*part) / std::pow(10.0, static_cast<double>(fraction.size()));
}

// A two-digit field below 60 (the minutes and seconds of a clock form).
std::optional<long long> sixtieths(std::string_view text) {
  if (text.size() != 2) return std::nullopt;
  auto value = digits(text);
  if (!value || *value >= 60) return std::nullopt;
  return value;
}

// "m:ss", "mm:ss" or "h:mm:ss" (any number of leading minutes or hours digits).
std::optional<Platform::TimeInterval> clock(std::string_view text) {
  const auto first = text.find(':');
  const auto second = text.find(':', first + 1);
  if (second == std::string_view::npos) {
    const auto minutes = digits(text.substr(0, first));
    const auto secs = sixtieths(text.substr(first + 1));
    if (!minutes || !secs) return std::nullopt;
    return static_cast<Platform::TimeInterval>(*minutes * 60 + *secs);
  }
  if (text.find(':', second + 1) != std::string_view::npos) return std::nullopt;
  const auto hours = digits(text.substr(0, first));
  const auto minutes = sixtieths(text.substr(first + 1, second - first - 1));
  const auto secs = sixtieths(text.substr(second + 1));
  if (!hours || !minutes || !secs) return std::nullopt;
  return static_cast<Platform::TimeInterval>(*hours * 3600 + *minutes * 60 + *secs);
}

Platform::Error error(std::int64_t code, std::string message) {
  return Platform::Error{std::string(InspectionTimes::kErrorDomain), code, std::move(message)};
}

}  // namespace

Platform::Expected<std::vector<Platform::TimeInterval>> InspectionTimes::parse(
    std::string_view text, Platform::TimeInterval sessionEnd) {
  struct Item {
    Platform::TimeInterval at;
    std::string given;
  };
  std::vector<Item> items;
  std::size_t start = 0;
  for (;;) {
    const auto comma = text.find(',', start);
    const std::string_view item = trimmed(text.substr(start, comma - start));
    if (item.empty()) return error(1, "--inspect-at: empty time in \"" + std::string(text) + "\"");
    if (items.size() == kMaxTimes) {
      return error(2, "--inspect-at: more than " + std::to_string(kMaxTimes) + " times");
    }
    const auto at = item.find(':') == std::string_view::npos ? seconds(item) : clock(item);
    if (!at) {
      return error(3, "--inspect-at: \"" + std::string(item) +
                          "\" is not a time (seconds, mm:ss or hh:mm:ss)");
    }
    if (*at > sessionEnd) {
      return error(4, "--inspect-at: " + std::string(item) + " is past the session end (" +
                          InspectorFormat::sessionClock(sessionEnd) + ")");
    }
    items.push_back({*at, std::string(item)});
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  std::ranges::stable_sort(items, {}, &Item::at);
  std::vector<Platform::TimeInterval> times;
  times.reserve(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0 && items[i].at == items[i - 1].at) {
      return error(5, "--inspect-at: " + items[i - 1].given + " and " + items[i].given +
                          " are the same time");
    }
    times.push_back(items[i].at);
  }
  return times;
}

}  // namespace QVRAdKit::Sandbox
