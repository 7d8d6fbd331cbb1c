#include "Sandbox/Host/SandboxNarration.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace QVRAdKit::Sandbox::SandboxNarration {
namespace {

// Whole numbers of a double printed as a double: exact up to 2^53, never an integer overflow.
std::string whole(double value) {
  char text[400];
  std::snprintf(text, sizeof text, "%.0f", value);
  return text;
}

}  // namespace

std::string stamp(Platform::TimeInterval elapsed) {
  const double total = std::isfinite(elapsed) && elapsed > 0 ? std::floor(elapsed) : 0;
  const double hours = std::floor(total / 3600);
  const double minutes = std::floor(std::fmod(total, 3600) / 60);
  const double secondsPart = std::fmod(total, 60);
  char tail[16];
  std::snprintf(tail, sizeof tail, ":%02.0f:%02.0f] ", minutes, secondsPart);
  std::string hoursText = whole(hours);
  if (hoursText.size() < 2) hoursText.insert(0, 2 - hoursText.size(), '0');
  return "[" + hoursText + tail;
}

std::string utc(Platform::Date date) {
  const double seconds = std::floor(date.timeIntervalSince1970());
  // Years 0001 to 4001, which every time_t of 64 bits holds.
  if (!(seconds >= Platform::Date::distantPast().timeIntervalSince1970() &&
        seconds <= Platform::Date::distantFuture().timeIntervalSince1970())) {
    return "(no calendar date)";
  }
  const auto whole = static_cast<std::time_t>(seconds);
  std::tm parts{};
  gmtime_r(&whole, &parts);
  std::array<char, 40> text{};
  std::strftime(text.data(), text.size(), "%Y-%m-%d %H:%M:%S UTC", &parts);
  return text.data();
}

std::string seconds(Platform::TimeInterval seconds) {
  if (!std::isfinite(seconds)) return "?s";
  return whole(std::trunc(seconds) + 0.0) + "s";  // + 0.0: no "-0s"
}

}  // namespace QVRAdKit::Sandbox::SandboxNarration
