#include "Sandbox/Config/StrictJsonParser.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "Sandbox/Config/ConfigurationPath.h"

namespace QVRAdKit::Sandbox {
namespace {

using Json = nlohmann::json;

// A literal with a non-zero digit before its exponent that still reads as zero: too small for a
// double, which the JSON library turns into 0 without a word.
bool underflowsToZero(std::string_view literal) {
  const std::string_view mantissa = literal.substr(0, literal.find_first_of("eE"));
  if (mantissa.find_first_of("123456789") == std::string_view::npos) return false;
  const std::string text(literal);
  return std::strtod(text.c_str(), nullptr) == 0.0;
}

// Builds the document from the parser's events, as the JSON library's own reader does, while
// following where it is: it records the fields an object names twice and the numbers too small
// for a double, with their places. Each value costs the same whatever surrounds it (a library
// parse with a callback walks the parent object again after each child, which is quadratic in
// an object's members), and a place is only spelled out for a problem.
class PlaceTracker : public nlohmann::json_sax<Json> {
 public:
  explicit PlaceTracker(int maxDepth) : maxDepth_(static_cast<std::size_t>(maxDepth)) {}

  [[nodiscard]] Json takeRoot() { return std::move(root_); }

  bool null() override { return value(nullptr); }
  bool boolean(bool flag) override { return value(flag); }
  bool number_integer(number_integer_t number) override { return value(number); }
  bool number_unsigned(number_unsigned_t number) override { return value(number); }
  bool number_float(number_float_t number, const string_t& literal) override {
    // Only a float read as zero can be a literal that was too small.
    if (number == 0.0 && underflowsToZero(literal)) {
      tooSmall_.push_back({literal, placeOfValue()});
    }
    return value(number);
  }
  bool string(string_t& text) override { return value(std::move(text)); }
  bool binary(binary_t& bytes) override { return value(std::move(bytes)); }

  bool start_object(std::size_t /*elements*/) override { return open(Json::object(), false); }
  bool start_array(std::size_t /*elements*/) override { return open(Json::array(), true); }

  bool key(string_t& name) override {
    Frame& top = stack_.back();
    if (!top.keys.insert(name).second) repeated_.push_back({placeOf(stack_.size() - 1), name});
    // As the library's reader: a field named again replaces the value read before.
    top.member = &(*top.container)[name];
    top.key = std::move(name);
    return true;
  }

  bool end_object() override { return close(); }
  bool end_array() override { return close(); }

  // A syntax error, or a number too large for any number type: the reading stops.
  bool parse_error(std::size_t /*position*/, const std::string& /*token*/,
                   const nlohmann::detail::exception& error) override {
    invalid_ = error.what();
    return false;
  }

  // The library's message when the text is not JSON.
  [[nodiscard]] const std::optional<std::string>& invalid() const { return invalid_; }
  // The place of the first container nested too deep, where the reading stopped.
  [[nodiscard]] const std::optional<std::string>& tooDeep() const { return tooDeep_; }

  [[nodiscard]] std::vector<StrictJsonParser::Repeated> takeRepeated() {
    return std::move(repeated_);
  }
  [[nodiscard]] std::vector<StrictJsonParser::TooSmall> takeTooSmall() {
    return std::move(tooSmall_);
  }

 private:
  struct Frame {
    bool isArray = false;
    Json* container = nullptr;
    std::size_t next = 0;    // arrays: index of the next element
    std::string key;         // objects: the field being read
    Json* member = nullptr;  // objects: where the field's value goes
    std::unordered_set<std::string> keys;
  };

  // Where the next value goes: the root, the end of the open array, or the open field.
  Json* slot() {
    if (stack_.empty()) return &root_;
    Frame& top = stack_.back();
    if (top.isArray) {
      top.container->push_back(nullptr);
      return &top.container->back();
    }
    return top.member;
  }

  bool value(Json scalar) {
    Json* target = slot();
    *target = std::move(scalar);
    if (!stack_.empty() && stack_.back().isArray) ++stack_.back().next;
    return true;
  }

  bool open(Json container, bool isArray) {
    // The depth is the number of containers around this one.
    if (stack_.size() >= maxDepth_) {
      tooDeep_ = placeOfValue();
      return false;
    }
    Json* target = slot();
    *target = std::move(container);
    // An array counts a container element when it opens, a scalar once it is read.
    if (!stack_.empty() && stack_.back().isArray) ++stack_.back().next;
    Frame frame;
    frame.isArray = isArray;
    frame.container = target;
    stack_.push_back(std::move(frame));
    return true;
  }

  bool close() {
    stack_.pop_back();
    return true;
  }

  // The place of the open container stack_[depth], made only when a message needs it: keeping
  // each container's place as it opens would copy a long name once per value below it.
  [[nodiscard]] std::string placeOf(std::size_t depth) const {
    std::string place;
    for (std::size_t around = 0; around < depth; ++around) {
      const Frame& frame = stack_[around];
      // An array's open element is the one counted last.
      place = frame.isArray ? ConfigurationPath::element(place, frame.next - 1)
                            : ConfigurationPath::child(place, frame.key);
    }
    return place;
  }

  // The place of the value about to be read.
  [[nodiscard]] std::string placeOfValue() const {
    if (stack_.empty()) return {};
    const Frame& top = stack_.back();
    const std::string around = placeOf(stack_.size() - 1);
    if (top.isArray) return ConfigurationPath::element(around, top.next);
    return ConfigurationPath::child(around, top.key);
  }

  std::size_t maxDepth_;
  Json root_;
  std::vector<Frame> stack_;
  std::vector<StrictJsonParser::Repeated> repeated_;
  std::vector<StrictJsonParser::TooSmall> tooSmall_;
  std::optional<std::string> invalid_;
  std::optional<std::string> tooDeep_;
};

// The place of the first NUL byte, if any: "a NUL byte at line 2, column 5" (lines by '\n',
// columns in bytes, from 1, as the library's messages count them). JSON text holds none, not even
// in a string, and the library's reader takes one for the end of the text.
std::optional<std::string> nulByte(std::string_view text) {
  const std::size_t at = text.find('\0');
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view before = text.substr(0, at);
  const std::size_t newline = before.rfind('\n');
  const std::size_t lineStart = newline == std::string_view::npos ? 0 : newline + 1;
  const auto line = static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n')) + 1;
  return "a NUL byte at line " + std::to_string(line) + ", column " +
         std::to_string(at - lineStart + 1);
}

}  // namespace

StrictJsonParser::Reading StrictJsonParser::read(std::string_view text, int maxDepth) {
  Reading reading;
  if (auto nul = nulByte(text)) {
    reading.problem = std::move(*nul);
    return reading;
  }
  PlaceTracker tracker(maxDepth);
  if (Json::sax_parse(text, &tracker)) {
    reading.outcome = Outcome::parsed;
    reading.root = tracker.takeRoot();
    reading.repeated = tracker.takeRepeated();
    reading.tooSmall = tracker.takeTooSmall();
  } else if (tracker.tooDeep()) {
    reading.outcome = Outcome::tooLarge;
    reading.problem = *tracker.tooDeep();
  } else {
    // "[json.exception.parse_error.101] parse error at line 1, column 2: ..." without the tag.
    reading.problem = tracker.invalid().value_or("");
    if (const auto end = reading.problem.find("] ");
        reading.problem.starts_with("[json") && end != std::string::npos) {
      reading.problem.erase(0, end + 2);
    }
  }
  return reading;
}

StrictJsonParser::Result StrictJsonParser::parse(std::string_view text,
                                                 ConfigurationProblems& problems) {
  if (text.size() > kMaxBytes) {
    problems.documentError("the configuration is " + std::to_string(text.size()) +
                           " bytes, more than the limit of " + std::to_string(kMaxBytes));
    return {Outcome::tooLarge, {}};
  }
  Reading reading = read(text, kMaxDepth);
  if (reading.outcome == Outcome::tooLarge) {
    problems.error(reading.problem, "nested deeper than " + std::to_string(kMaxDepth) + " levels");
    return {Outcome::tooLarge, {}};
  }
  if (reading.outcome != Outcome::parsed) {
    problems.documentError("invalid JSON: " + reading.problem);
    return {Outcome::invalidJson, {}};
  }
  // Told at their place, yet as problems of the text: no later check keeps quiet over them.
  for (const auto& [object, name] : reading.repeated) {
    problems.documentError(ConfigurationPath::display(object) + ": field " +
                           ConfigurationPath::jsonText(name) + " appears more than once");
  }
  for (const auto& [literal, place] : reading.tooSmall) {
    problems.error(place, "is too small to represent, found " + literal);
  }
  return {Outcome::parsed, std::move(reading.root)};
}

}  // namespace QVRAdKit::Sandbox
