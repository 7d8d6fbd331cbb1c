#pragma once
// ConfigurationFieldReader reads the fields of a parsed JSON configuration one at a time, checking
// each: its type, its range, unknown fields beside it. A field with a problem is reported to the
// problems with its place and read as none, and the reading goes on, so one pass names every
// problem of a document.
// Example:
//   ConfigurationFieldReader fields(problems);
//   if (auto timeout = fields.nonNegative(value["timeout"], "interstitial.connect.timeout")) ...
// Threading: used by one thread.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "QVRAdKit/Platform/Decimal.h"
#include "Sandbox/Config/ConfigurationPath.h"
#include "Sandbox/Config/ConfigurationProblems.h"

namespace QVRAdKit::Sandbox {

class ConfigurationFieldReader {
 public:
  using Json = nlohmann::json;

  // Elements of any list (ad-unit keys per placement included): a waterfall of a few keys is the
  // norm, and every key of a placement loads an ad at once.
  static constexpr std::size_t kMaxListLength = 100;

  explicit ConfigurationFieldReader(ConfigurationProblems& problems) : problems_(problems) {}

  void fail(const std::string& path, const std::string& problem) { problems_.error(path, problem); }
  void warn(const std::string& path, const std::string& problem) {
    problems_.warning(path, problem);
  }
  void wrongType(const std::string& path, std::string_view expected, const Json& value);

  // Reports a required field the object at path lacks, unless a field of that object was already
  // refused as unknown (most likely the same field, misspelled). Answers whether it is missing.
  bool missing(const Json& object, const std::string& path, std::string_view name);
  // Whether value is an object; reports each field that is not among allowed.
  bool object(const Json& value, const std::string& path,
              std::initializer_list<std::string_view> allowed);

  // Calls apply(field value, field path) when the object has the field.
  template <class Apply>
  static void field(const Json& object, const std::string& path, std::string_view name,
                    Apply&& apply) {
    const auto found = object.find(name);
    if (found != object.end()) apply(*found, ConfigurationPath::child(path, name));
  }

  std::optional<double> number(const Json& value, const std::string& path);
  std::optional<double> nonNegative(const Json& value, const std::string& path);
  std::optional<double> probability(const Json& value, const std::string& path);
  std::optional<std::int64_t> integer(const Json& value, const std::string& path);
  std::optional<std::string> text(const Json& value, const std::string& path);
  std::optional<std::string> nonEmptyText(const Json& value, const std::string& path);
  // A reward amount as the ad's reward value carries it: an amount that would round to zero or
  // fall beyond the decimal's range is refused rather than silently becoming 0.
  std::optional<Platform::Decimal> amount(const Json& value, const std::string& path);
  // A [minimum, maximum] pair; fields not given keep their current values, and neither changes
  // when the pair has a problem.
  void range(const Json& value, const std::string& path, double& minimum, double& maximum);

  // The elements that read without a problem; none when value is not a list of a usable length.
  template <class Element, class ReadElement>
  std::optional<std::vector<Element>> list(const Json& value, const std::string& path,
                                           ReadElement readElement) {
    if (!value.is_array()) {
      wrongType(path, "an array", value);
      return std::nullopt;
    }
    if (value.size() > kMaxListLength) {
      fail(path, "has " + std::to_string(value.size()) + " elements, more than the limit of " +
                     std::to_string(kMaxListLength));
      return std::nullopt;
    }
    std::vector<Element> result;
    result.reserve(value.size());
    for (std::size_t index = 0; index < value.size(); ++index) {
      if (auto element = readElement(value[index], ConfigurationPath::element(path, index))) {
        result.push_back(std::move(*element));
      }
    }
    return result;
  }

  // "a, b or c".
  static std::string alternatives(std::initializer_list<std::string_view> names);
  // The refusal of the first field of object that allowed does not list, "unknown field "x"
  // (expected a or b)" ("(it takes no fields)" when none is allowed); none when all are listed.
  static std::optional<std::string> firstUnknownField(
      const nlohmann::json& object, std::initializer_list<std::string_view> allowed);

 private:
  ConfigurationProblems& problems_;
};

}  // namespace QVRAdKit::Sandbox
