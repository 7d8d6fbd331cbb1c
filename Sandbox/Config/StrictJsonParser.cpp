#include "Sandbox/Config/StrictJsonParser.h"

#include <cstdlib>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "Sandbox/Config/ConfigurationPath.h"

namespace QVRAdKit::Sandbox {
namespace {

using Json = nlohmann::json;

// Thrown from the parser's callback to stop at the first container nested too deep.
struct TooDeep {
  std::string path;
};

// Follows the parser through the document to know the place of each value, and records the
// fields an object names twice.
class PlaceTracker {
 public:
  explicit PlaceTracker(ConfigurationProblems& problems) : problems_(problems) {}

  bool operator()(int depth, Json::parse_event_t event, Json& parsed) {
    switch (event) {
      case Json::parse_event_t::object_start:
      case Json::parse_event_t::array_start: {
        // depth counts the containers around this one.
        std::string path = placeOfNext();
        if (depth >= StrictJsonParser::kMaxDepth) throw TooDeep{std::move(path)};
        Frame frame;
        frame.isArray = event == Json::parse_event_t::array_start;
        frame.path = std::move(path);
        stack_.push_back(std::move(frame));
        break;
      }
      case Json::parse_event_t::key: {
        Frame& top = stack_.back();
        top.key = parsed.get<std::string>();
        if (!top.keys.insert(top.key).second) {
          problems_.error(top.path, "field " + ConfigurationPath::jsonText(top.key) +
                                        " appears more than once");
        }
        break;
      }
      case Json::parse_event_t::value:
        if (parsed.is_number()) {
          // Only a float read as zero can be a literal that was too small; its place is kept.
          if (parsed.is_number_float() && parsed.get<double>() == 0.0) {
            zeroFloats_.push_back({numbers_, placeOfValue()});
          }
          ++numbers_;
        }
        if (!stack_.empty() && stack_.back().isArray) ++stack_.back().next;
        break;
      case Json::parse_event_t::object_end:
      case Json::parse_event_t::array_end:
        if (!stack_.empty()) stack_.pop_back();
        break;
    }
    return true;
  }

  // A float the reader made zero: the index of its number in document order, and its place.
  struct ZeroFloat {
    std::size_t index;
    std::string place;
  };
  [[nodiscard]] const std::vector<ZeroFloat>& zeroFloats() const { return zeroFloats_; }

 private:
  struct Frame {
    bool isArray = false;
    std::string path;
    std::size_t next = 0;  // arrays: index of the next element
    std::string key;       // objects: the field being read
    std::unordered_set<std::string> keys;
  };

  std::string placeOfNext() {
    if (stack_.empty()) return {};
    Frame& top = stack_.back();
    if (top.isArray) return ConfigurationPath::element(top.path, top.next++);
    return ConfigurationPath::child(top.path, top.key);
  }

  // The place of a value other than a container (whose place placeOfNext() took at its start).
  [[nodiscard]] std::string placeOfValue() const {
    if (stack_.empty()) return {};
    const Frame& top = stack_.back();
    if (top.isArray) return ConfigurationPath::element(top.path, top.next);
    return ConfigurationPath::child(top.path, top.key);
  }

  ConfigurationProblems& problems_;
  std::vector<Frame> stack_;
  std::size_t numbers_ = 0;
  std::vector<ZeroFloat> zeroFloats_;
};

// The number literals of a valid JSON text, in document order: outside strings, a token that
// starts with a minus or a digit can only be a number.
std::vector<std::string_view> numberLiterals(std::string_view text) {
  std::vector<std::string_view> literals;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      const std::size_t end = text.find_first_not_of("+-.0123456789eE", i);
      literals.push_back(text.substr(i, end - i));
      i = (end == std::string_view::npos ? text.size() : end) - 1;
    }
  }
  return literals;
}

// A literal with a non-zero digit before its exponent that still reads as zero: too small for a
// double, which the JSON library turns into 0 without a word.
bool underflowsToZero(std::string_view literal) {
  const std::string_view mantissa = literal.substr(0, literal.find_first_of("eE"));
  if (mantissa.find_first_of("123456789") == std::string_view::npos) return false;
  const std::string text(literal);
  return std::strtod(text.c_str(), nullptr) == 0.0;
}

}  // namespace

StrictJsonParser::Result StrictJsonParser::parse(std::string_view text,
                                                 ConfigurationProblems& problems) {
  if (text.size() > kMaxBytes) {
    problems.documentError("the configuration is " + std::to_string(text.size()) +
                           " bytes, more than the limit of " + std::to_string(kMaxBytes));
    return {Outcome::tooLarge, {}};
  }
  ConfigurationProblems found;
  PlaceTracker tracker(found);
  Result result;
  try {
    result.root = Json::parse(text, std::ref(tracker));
  } catch (const TooDeep& tooDeep) {
    problems.error(tooDeep.path, "nested deeper than " + std::to_string(kMaxDepth) + " levels");
    return {Outcome::tooLarge, {}};
  } catch (const Json::exception& error) {
    // A syntax error, or a number too large for any number type (out_of_range.406).
    // "[json.exception.parse_error.101] parse error at line 1, column 2: ..." without the tag.
    std::string message = error.what();
    if (const auto end = message.find("] "); message.starts_with("[json") && end != message.npos) {
      message.erase(0, end + 2);
    }
    problems.documentError("invalid JSON: " + message);
    return {Outcome::invalidJson, {}};
  }
  for (const std::string& line : found.errors()) problems.documentError(line);
  const std::vector<std::string_view> literals =
      tracker.zeroFloats().empty() ? std::vector<std::string_view>() : numberLiterals(text);
  for (const auto& [index, place] : tracker.zeroFloats()) {
    if (index < literals.size() && underflowsToZero(literals[index])) {
      problems.error(place, "is too small to represent, found " + std::string(literals[index]));
    }
  }
  result.outcome = Outcome::parsed;
  return result;
}

}  // namespace QVRAdKit::Sandbox
