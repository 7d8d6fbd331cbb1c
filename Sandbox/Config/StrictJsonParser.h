#pragma once
// StrictJsonParser reads a JSON text the way a configuration must be read: within a size and a
// nesting bound (so a huge or deeply nested input is refused quickly instead of exhausting time
// or memory), refusing an object that names one field twice, which the JSON library would
// otherwise accept silently, keeping the last value, refusing a NUL byte, where the library's
// reader would stop as at the text's end and ignore what follows, and refusing a non-zero number
// too small for a double, which it would read as 0. Every refusal goes to the problems with its
// place; a syntax error or a bound stops the reading, duplicate fields and tiny numbers do not.
// read() is the same reading for any JSON text read exactly (request bodies, shard files): it
// hands back what it found for the caller to word.
// Example:
//   ConfigurationProblems problems;
//   auto root = StrictJsonParser::parse(text, problems);  // none after a syntax error
//   auto body = StrictJsonParser::read(text, 64);         // body.repeated: fields named twice
// Threading: pure functions.

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

  // A field an object names more than once: the object's place (ConfigurationPath, "" for the
  // root) and the field's name.
  struct Repeated {
    std::string object;
    std::string name;
  };
  // A number too small for a double, which the library's reader makes zero: its literal and
  // its place.
  struct TooSmall {
    std::string literal;
    std::string place;
  };
  struct Reading {
    Outcome outcome = Outcome::invalidJson;  // tooLarge: nested beyond maxDepth
    nlohmann::json root;                     // set when parsed (a field named twice: the last)
    // invalidJson: what is wrong and where, "parse error at line 1, column 2: ..." or "a NUL
    // byte at line 1, column 2"; tooLarge: the place of the first container too deep.
    std::string problem;
    std::vector<Repeated> repeated;  // in the order read; set when parsed
    std::vector<TooSmall> tooSmall;  // likewise
  };
  // Any size; containers nested more than maxDepth deep are refused as the reader reaches them.
  [[nodiscard]] static Reading read(std::string_view text, int maxDepth);
};

}  // namespace QVRAdKit::Sandbox
