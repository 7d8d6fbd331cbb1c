#pragma once
// StrictJsonParser reads a JSON text the way a configuration must be read: within a size and a
// nesting bound (so a huge or deeply nested input is refused quickly instead of exhausting time
// or memory), refusing an object that names one field twice, which the JSON library would
// otherwise accept silently, keeping the last value, and refusing a non-zero number too small for
// a double, which it would read as 0. Every refusal goes to the problems with its place; a syntax
// error or a bound stops the reading, duplicate fields and tiny numbers do not.
// Example:
//   ConfigurationProblems problems;
//   auto root = StrictJsonParser::parse(text, problems);  // none after a syntax error
// Threading: pure functions.

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>

#include "Sandbox/Config/ConfigurationProblems.h"

namespace QVRAdKit::Sandbox {

class StrictJsonParser {
 public:
  // A configuration is a few kilobytes; a megabyte leaves room for thousands of ad units.
  static constexpr std::size_t kMaxBytes = 1 << 20;
  // The deepest configuration nests six levels; anything far beyond is not a configuration.
  static constexpr int kMaxDepth = 32;

  enum class Outcome { parsed, invalidJson, tooLarge };
  struct Result {
    Outcome outcome = Outcome::invalidJson;
    nlohmann::json root;  // set when outcome is parsed (duplicate fields then in problems)
  };

  [[nodiscard]] static Result parse(std::string_view text, ConfigurationProblems& problems);
};

}  // namespace QVRAdKit::Sandbox
