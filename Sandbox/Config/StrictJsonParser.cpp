#include "Sandbox/Config/StrictJsonParser.h"

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
  explicit PlaceTracker(ConfigurationProblems& problems) : problems_(problems) {}

  [[nodiscard]] Json takeRoot() { return std::move(root_); }

  bool null() override { return value(nullptr); }
  bool boolean(bool flag) override { return value(flag); }
  bool number_integer(number_integer_t number) override { return value(number); }
  bool number_unsigned(number_unsigned_t number) override { return value(number); }
  bool number_float(number_float_t number, const string_t& literal) override {
    // Only a float read as zero can be a literal that was too small.
    if (number == 0.0 && underflowsToZero(literal)) tooSmall_.push_back({literal, placeOfValue()});
    return value(number);
  }
  bool string(string_t& text) override { return value(std::move(text)); }
  bool binary(binary_t& bytes) override { return value(std::move(bytes)); }

  bool start_object(std::size_t /*elements*/) override { return open(Json::object(), false); }
  bool start_array(std::size_t /*elements*/) override { return open(Json::array(), true); }

  bool key(string_t& name) override {
    Frame& top = stack_.back();
    if (!top.keys.insert(name).second) {
      problems_.error(placeOf(stack_.size() - 1),
                      "field " + ConfigurationPath::jsonText(name) + " appears more than once");
    }
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

  // A number too small for a double, which the reader made zero: its literal and its place.
  struct TooSmall {
    std::string literal;
    std::string place;
  };
  [[nodiscard]] const std::vector<TooSmall>& tooSmall() const { return tooSmall_; }

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
    if (stack_.size() >= static_cast<std::size_t>(StrictJsonParser::kMaxDepth)) {
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

  ConfigurationProblems& problems_;
  Json root_;
  std::vector<Frame> stack_;
  std::vector<TooSmall> tooSmall_;
  std::optional<std::string> invalid_;
  std::optional<std::string> tooDeep_;
};

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
  if (Json::sax_parse(text, &tracker)) {
    result.root = tracker.takeRoot();
  } else if (tracker.tooDeep()) {
    problems.error(*tracker.tooDeep(),
                   "nested deeper than " + std::to_string(kMaxDepth) + " levels");
    return {Outcome::tooLarge, {}};
  } else {
    // "[json.exception.parse_error.101] parse error at line 1, column 2: ..." without the tag.
    std::string message = tracker.invalid().value_or("");
    if (const auto end = message.find("] "); message.starts_with("[json") && end != message.npos) {
      message.erase(0, end + 2);
    }
    problems.documentError("invalid JSON: " + message);
    return {Outcome::invalidJson, {}};
  }
  for (const std::string& line : found.errors()) problems.documentError(line);
  for (const auto& [literal, place] : tracker.tooSmall()) {
    problems.error(place, "is too small to represent, found " + literal);
  }
  result.outcome = Outcome::parsed;
  return result;
}

}  // namespace QVRAdKit::Sandbox
