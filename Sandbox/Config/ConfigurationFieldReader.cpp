#include "Sandbox/Config/ConfigurationFieldReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

namespace QVRAdKit::Sandbox {
namespace {

std::string article(const nlohmann::json& value) {
  switch (value.type()) {
    case nlohmann::json::value_t::null:
      return "null";
    case nlohmann::json::value_t::object:
      return "an object";
    case nlohmann::json::value_t::array:
      return "an array";
    case nlohmann::json::value_t::string:
      return "a string";
    case nlohmann::json::value_t::boolean:
      return "a boolean";
    default:
      return "a number";
  }
}

}  // namespace

std::string ConfigurationFieldReader::alternatives(std::initializer_list<std::string_view> names) {
  std::string text;
  std::size_t index = 0;
  for (std::string_view name : names) {
    if (index > 0) text += index + 1 == names.size() ? " or " : ", ";
    text += name;
    ++index;
  }
  return text;
}

namespace {

// A field name as a message quotes it: a long one (a hostile file's) is cut at a character's
// start, with its length, so that one problem stays one line.
std::string quotedName(std::string_view name) {
  constexpr std::size_t kShown = 64;
  if (name.size() <= kShown) return ConfigurationPath::jsonText(name);
  std::size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return ConfigurationPath::jsonText(name.substr(0, cut)) + "... (" + std::to_string(name.size()) +
         " bytes)";
}

std::string unknownFieldText(std::string_view name,
                             std::initializer_list<std::string_view> allowed) {
  return "unknown field " + quotedName(name) +
         (allowed.size() == 0
              ? " (it takes no fields)"
              : " (expected " + ConfigurationFieldReader::alternatives(allowed) + ")");
}

bool isAllowed(std::string_view name, std::initializer_list<std::string_view> allowed) {
  return std::find(allowed.begin(), allowed.end(), name) != allowed.end();
}

}  // namespace

std::optional<std::string> ConfigurationFieldReader::firstUnknownField(
    const nlohmann::json& object, std::initializer_list<std::string_view> allowed) {
  for (const auto& item : object.items()) {
    if (!isAllowed(item.key(), allowed)) return unknownFieldText(item.key(), allowed);
  }
  return std::nullopt;
}

void ConfigurationFieldReader::wrongType(const std::string& path, std::string_view expected,
                                         const Json& value) {
  fail(path, "expected " + std::string(expected) + ", found " + article(value));
}

bool ConfigurationFieldReader::missing(const Json& object, const std::string& path,
                                       std::string_view name) {
  if (object.contains(name)) return false;
  if (!problems_.hasErrorWithin(path)) {
    fail(path, "missing field " + ConfigurationPath::jsonText(std::string(name)));
  }
  return true;
}

bool ConfigurationFieldReader::object(const Json& value, const std::string& path,
                                      std::initializer_list<std::string_view> allowed) {
  if (!value.is_object()) {
    wrongType(path, "an object", value);
    return false;
  }
  for (const auto& item : value.items()) {
    if (!isAllowed(item.key(), allowed)) fail(path, unknownFieldText(item.key(), allowed));
  }
  return true;
}

std::optional<double> ConfigurationFieldReader::number(const Json& value, const std::string& path) {
  if (!value.is_number()) {
    wrongType(path, "a number", value);
    return std::nullopt;
  }
  const double result = value.get<double>();
  if (!std::isfinite(result)) {
    fail(path, "must be a finite number, found " + value.dump());
    return std::nullopt;
  }
  return result;
}

std::optional<double> ConfigurationFieldReader::nonNegative(const Json& value,
                                                            const std::string& path) {
  const auto result = number(value, path);
  if (result && *result < 0) {
    fail(path, "must not be negative, found " + value.dump());
    return std::nullopt;
  }
  return result;
}

std::optional<double> ConfigurationFieldReader::probability(const Json& value,
                                                            const std::string& path) {
  const auto result = number(value, path);
  if (result && (*result < 0 || *result > 1)) {
    fail(path, "must be between 0 and 1, found " + value.dump());
    return std::nullopt;
  }
  return result;
}

std::optional<std::int64_t> ConfigurationFieldReader::integer(const Json& value,
                                                              const std::string& path) {
  if (!value.is_number_integer()) {
    wrongType(path, "an integer", value);
    return std::nullopt;
  }
  if (value.is_number_unsigned() &&
      value.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) {
    fail(path, "is too large, found " + value.dump());
    return std::nullopt;
  }
  return value.get<std::int64_t>();
}

std::optional<std::string> ConfigurationFieldReader::text(const Json& value,
                                                          const std::string& path) {
  if (!value.is_string()) {
    wrongType(path, "a string", value);
    return std::nullopt;
  }
  return value.get<std::string>();
}

std::optional<std::string> ConfigurationFieldReader::nonEmptyText(const Json& value,
                                                                  const std::string& path) {
  auto result = text(value, path);
  if (result && result->empty()) {
    fail(path, "must not be empty");
    return std::nullopt;
  }
  return result;
}

std::optional<Platform::Decimal> ConfigurationFieldReader::amount(const Json& value,
                                                                  const std::string& path) {
  const auto result = nonNegative(value, path);
  if (!result) return std::nullopt;
  if (value.is_number_integer()) {
    const auto whole = integer(value, path);
    if (!whole) return std::nullopt;
    return Platform::Decimal::fromInt(*whole);
  }
  // Through the shortest text of the double, as the decimal itself reads numbers.
  char buffer[64];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, *result);
  const auto decimal = Platform::Decimal::fromString(
      std::string_view(buffer, static_cast<std::size_t>(written.ptr - buffer)));
  if (!decimal || (*result != 0 && decimal->isZero())) {
    fail(path, "cannot be represented as a reward amount, found " + value.dump());
    return std::nullopt;
  }
  return decimal;
}

void ConfigurationFieldReader::range(const Json& value, const std::string& path, double& minimum,
                                     double& maximum) {
  if (!object(value, path, {"minimum", "maximum"})) return;
  double low = minimum;
  double high = maximum;
  field(value, path, "minimum",
        [&](const Json& v, const std::string& p) { low = nonNegative(v, p).value_or(low); });
  field(value, path, "maximum",
        [&](const Json& v, const std::string& p) { high = nonNegative(v, p).value_or(high); });
  if (low > high) {
    std::ostringstream message;
    message << "minimum (" << low << ") is greater than maximum (" << high << ")";
    fail(path, message.str());
    return;
  }
  minimum = low;
  maximum = high;
}

}  // namespace QVRAdKit::Sandbox
