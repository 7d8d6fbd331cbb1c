#include "Workbench/ProblemLocator.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstddef>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace QVRAdKit::Workbench {
namespace {

using Segment = std::variant<std::string, std::size_t>;

struct ParsedPlace {
  std::vector<Segment> segments;
  std::string place;
};

bool isNameCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

// The end of the JSON string literal that starts at text[begin] ('"'), or npos.
std::size_t stringEnd(std::string_view text, std::size_t begin) {
  for (std::size_t at = begin + 1; at < text.size(); ++at) {
    if (text[at] == '\\') {
      ++at;
    } else if (text[at] == '"') {
      return at + 1;
    }
  }
  return std::string_view::npos;
}

std::optional<std::string> decodedString(std::string_view literal) {
  const auto value = nlohmann::json::parse(literal, nullptr, false);
  if (!value.is_string()) return std::nullopt;
  return value.get<std::string>();
}

// The place at the start of a checker line, in the syntax of ConfigurationPath: names joined by
// dots, [index], ["name"]; then ": ". None when the line does not start with one.
std::optional<ParsedPlace> parsePlace(std::string_view line) {
  ParsedPlace parsed;
  std::size_t at = 0;
  while (at < line.size() && line[at] != ':') {
    if (line[at] == '[') {
      if (at + 1 < line.size() && line[at + 1] == '"') {
        const std::size_t end = stringEnd(line, at + 1);
        if (end == std::string_view::npos || end >= line.size() || line[end] != ']') return {};
        auto name = decodedString(line.substr(at + 1, end - at - 1));
        if (!name) return {};
        parsed.segments.emplace_back(std::move(*name));
        at = end + 1;
      } else {
        std::size_t index = 0;
        const auto [end, failed] =
            std::from_chars(line.data() + at + 1, line.data() + line.size(), index);
        if (failed != std::errc() || end == line.data() + line.size() || *end != ']') return {};
        parsed.segments.emplace_back(index);
        at = static_cast<std::size_t>(end - line.data()) + 1;
      }
      continue;
    }
    if (!parsed.segments.empty()) {
      if (line[at] != '.') return {};
      ++at;
    }
    const std::size_t begin = at;
    while (at < line.size() && isNameCharacter(line[at])) ++at;
    if (at == begin) return {};
    parsed.segments.emplace_back(std::string(line.substr(begin, at - begin)));
  }
  if (parsed.segments.empty() || !line.substr(at).starts_with(": ")) return {};
  parsed.place = std::string(line.substr(0, at));
  return parsed;
}

// Finds the byte range of a place in a JSON text that parsed; tolerant of anything else.
class PlaceFinder {
 public:
  explicit PlaceFinder(std::string_view text) : text_(text) {}

  std::optional<std::pair<std::size_t, std::size_t>> find(const std::vector<Segment>& segments) {
    at_ = 0;
    return findIn(segments, 0, std::nullopt, 0);
  }

 private:
  static constexpr int kMaxDepth = 64;

  void skipSpace() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_])) != 0) ++at_;
  }

  bool skipValue(int depth) {
    skipSpace();
    if (at_ >= text_.size() || depth > kMaxDepth) return false;
    const char first = text_[at_];
    if (first == '"') {
      at_ = stringEnd(text_, at_);
      return at_ != std::string_view::npos;
    }
    if (first == '{' || first == '[') {
      const char close = first == '{' ? '}' : ']';
      ++at_;
      skipSpace();
      if (at_ < text_.size() && text_[at_] == close) return ++at_, true;
      for (;;) {
        if (first == '{') {
          skipSpace();
          if (at_ >= text_.size() || text_[at_] != '"') return false;
          at_ = stringEnd(text_, at_);
          if (at_ == std::string_view::npos) return false;
          skipSpace();
          if (at_ >= text_.size() || text_[at_] != ':') return false;
          ++at_;
        }
        if (!skipValue(depth + 1)) return false;
        skipSpace();
        if (at_ >= text_.size()) return false;
        if (text_[at_++] == close) return true;
        if (text_[at_ - 1] != ',') return false;
      }
    }
    while (at_ < text_.size() && text_[at_] != ',' && text_[at_] != '}' && text_[at_] != ']' &&
           std::isspace(static_cast<unsigned char>(text_[at_])) == 0) {
      ++at_;
    }
    return true;
  }

  // At a value whose field name (if any) starts at key.
  std::optional<std::pair<std::size_t, std::size_t>> findIn(
      const std::vector<Segment>& segments, std::size_t next,
      std::optional<std::pair<std::size_t, std::size_t>> key, int depth) {
    skipSpace();
    if (at_ >= text_.size() || depth > kMaxDepth) return std::nullopt;
    const char first = text_[at_];
    if (next == segments.size()) {
      if (first == '{' || first == '[') return key ? *key : std::pair{at_, at_ + 1};
      const std::size_t begin = key ? key->first : at_;
      if (!skipValue(depth)) return std::nullopt;
      return std::pair{begin, at_};
    }
    const auto* name = std::get_if<std::string>(&segments[next]);
    if (first != (name ? '{' : '[')) return std::nullopt;
    ++at_;
    for (std::size_t index = 0;; ++index) {
      skipSpace();
      if (at_ >= text_.size() || text_[at_] == '}' || text_[at_] == ']') return std::nullopt;
      std::optional<std::pair<std::size_t, std::size_t>> member;
      bool matches = false;
      if (name) {
        const std::size_t keyBegin = at_;
        const std::size_t keyEnd = stringEnd(text_, at_);
        if (text_[at_] != '"' || keyEnd == std::string_view::npos) return std::nullopt;
        matches = decodedString(text_.substr(keyBegin, keyEnd - keyBegin)) == *name;
        member = std::pair{keyBegin, keyEnd};
        at_ = keyEnd;
        skipSpace();
        if (at_ >= text_.size() || text_[at_] != ':') return std::nullopt;
        ++at_;
      } else {
        matches = index == std::get<std::size_t>(segments[next]);
      }
      if (matches) return findIn(segments, next + 1, member, depth + 1);
      if (!skipValue(depth + 1)) return std::nullopt;
      skipSpace();
      if (at_ >= text_.size() || text_[at_] != ',') return std::nullopt;
      ++at_;
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

// The position of a byte offset: lines by '\n', columns in UTF-16 code units.
TextPosition positionOf(std::string_view text, std::size_t offset) {
  TextPosition position;
  for (std::size_t at = 0; at < offset && at < text.size(); ++at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte == '\n') {
      ++position.line;
      position.column = 1;
    } else if ((byte & 0xC0) != 0x80) {
      position.column += byte >= 0xF0 ? 2 : 1;
    }
  }
  return position;
}

// The byte offset of a 1-based line and byte column, clamped to the text.
std::size_t offsetOf(std::string_view text, long line, long byteColumn) {
  std::size_t at = 0;
  for (long current = 1; current < line && at < text.size(); ++at) {
    if (text[at] == '\n') ++current;
  }
  return std::min(text.size(), at + static_cast<std::size_t>(std::max(1L, byteColumn) - 1));
}

// A line of an invalid-JSON problem, which carries its own line and column.
std::optional<LocatedProblem> syntaxProblem(std::string_view document, const std::string& line) {
  static const std::regex syntaxPlace(R"(^invalid JSON: .*?at line (\d+), column (\d+))");
  std::smatch match;
  if (!std::regex_search(line, match, syntaxPlace)) return std::nullopt;
  LocatedProblem problem;
  problem.text = line;
  const std::size_t offset = offsetOf(document, std::stol(match[1]), std::stol(match[2]));
  const TextPosition start = positionOf(document, offset);
  problem.range = TextRange{start, positionOf(document, std::min(document.size(), offset + 1))};
  return problem;
}

}  // namespace

// Walks a JSON text once and keeps the byte range of every place PlaceFinder would find, in a
// tree of the names and indexes on the way to it. It accepts what PlaceFinder reads the same way
// as a JSON parser would; on anything else (text that is not JSON, nesting beyond the bound) it
// gives up, and lines are then located one by one.
class ProblemLocator::Index {
 public:
  explicit Index(std::string_view text) : text_(text) {
    nodes_.emplace_back();
    complete_ = walk(0, std::nullopt, 0);
    if (complete_) buildPositions();
  }

  [[nodiscard]] bool complete() const { return complete_; }

  // The range of the place, or none when the text does not hold it.
  [[nodiscard]] std::optional<std::pair<std::size_t, std::size_t>> find(
      const std::vector<Segment>& segments) const {
    std::size_t node = 0;
    for (const Segment& segment : segments) {
      const Node& at = nodes_[node];
      if (const auto* name = std::get_if<std::string>(&segment)) {
        const auto found = at.members.find(*name);
        if (found == at.members.end()) return std::nullopt;
        node = found->second;
      } else {
        const std::size_t index = std::get<std::size_t>(segment);
        if (index >= at.elements.size()) return std::nullopt;
        node = at.elements[index];
      }
    }
    return std::pair{nodes_[node].begin, nodes_[node].end};
  }

  // positionOf(text, offset), from the nearest position kept on the way.
  [[nodiscard]] TextPosition position(std::size_t offset) const {
    offset = std::min(offset, text_.size());
    const std::size_t block = offset / kBlock;
    TextPosition position = blocks_[block];
    advance(position, block * kBlock, offset);
    return position;
  }

 private:
  static constexpr int kMaxDepth = 64;  // as PlaceFinder's
  static constexpr std::size_t kBlock = 64;
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  struct Node {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::unordered_map<std::string, std::size_t> members;  // the first field of each name
    std::vector<std::size_t> elements;
  };

  void skipSpace() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_])) != 0) ++at_;
  }

  std::size_t addNode() {
    nodes_.emplace_back();
    return nodes_.size() - 1;
  }

  // Reads the value at at_ (its field name, if any, at key) and keeps its range in node, and
  // those of its members in new nodes below it; kNone keeps nothing (a field named again, which
  // PlaceFinder never reaches). False when the text is not read as PlaceFinder reads JSON.
  bool walk(int depth, std::optional<std::pair<std::size_t, std::size_t>> key, std::size_t node) {
    skipSpace();
    if (at_ >= text_.size() || depth > kMaxDepth) return false;
    const char first = text_[at_];
    if (first == '{' || first == '[') {
      if (node != kNone) {
        const auto range = key ? *key : std::pair{at_, at_ + 1};
        nodes_[node].begin = range.first;
        nodes_[node].end = range.second;
      }
      const char close = first == '{' ? '}' : ']';
      ++at_;
      skipSpace();
      if (at_ < text_.size() && text_[at_] == close) return ++at_, true;
      for (;;) {
        std::optional<std::pair<std::size_t, std::size_t>> member;
        std::size_t below = kNone;
        if (first == '{') {
          skipSpace();
          if (at_ >= text_.size() || text_[at_] != '"') return false;
          const std::size_t keyEnd = stringEnd(text_, at_);
          if (keyEnd == std::string_view::npos) return false;
          member = std::pair{at_, keyEnd};
          if (node != kNone) {
            if (auto name = decodedString(text_.substr(at_, keyEnd - at_))) {
              below = addNode();
              if (!nodes_[node].members.emplace(std::move(*name), below).second) {
                nodes_.pop_back();
                below = kNone;
              }
            }
          }
          at_ = keyEnd;
          skipSpace();
          if (at_ >= text_.size() || text_[at_] != ':') return false;
          ++at_;
        } else if (node != kNone) {
          below = addNode();
          nodes_[node].elements.push_back(below);
        }
        if (!walk(depth + 1, member, below)) return false;
        skipSpace();
        if (at_ >= text_.size()) return false;
        const char next = text_[at_++];
        if (next == close) return true;
        if (next != ',') return false;
      }
    }
    const std::size_t begin = key ? key->first : at_;
    if (first == '"') {
      at_ = stringEnd(text_, at_);
      if (at_ == std::string_view::npos) return false;
    } else {
      const std::size_t token = at_;
      while (at_ < text_.size() && text_[at_] != ',' && text_[at_] != '}' && text_[at_] != ']' &&
             std::isspace(static_cast<unsigned char>(text_[at_])) == 0) {
        ++at_;
      }
      if (at_ == token) return false;  // an empty value: not JSON
    }
    if (node != kNone) {
      nodes_[node].begin = begin;
      nodes_[node].end = at_;
    }
    return true;
  }

  // Moves position over the bytes [from, to) as positionOf counts them.
  void advance(TextPosition& position, std::size_t from, std::size_t to) const {
    for (std::size_t at = from; at < to; ++at) {
      const auto byte = static_cast<unsigned char>(text_[at]);
      if (byte == '\n') {
        ++position.line;
        position.column = 1;
      } else if ((byte & 0xC0) != 0x80) {
        position.column += byte >= 0xF0 ? 2 : 1;
      }
    }
  }

  void buildPositions() {
    TextPosition position;
    for (std::size_t from = 0; from <= text_.size(); from += kBlock) {
      blocks_.push_back(position);
      advance(position, from, std::min(text_.size(), from + kBlock));
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
  std::vector<Node> nodes_;  // nodes_[0] is the root
  bool complete_ = false;
  std::vector<TextPosition> blocks_;  // the position at each multiple of kBlock
};

ProblemLocator::ProblemLocator(std::string_view document)
    : document_(document), index_(std::make_unique<Index>(document)) {}

ProblemLocator::~ProblemLocator() = default;

bool ProblemLocator::readOnce() const {
  return index_->complete();
}

LocatedProblem ProblemLocator::locate(const std::string& line) const {
  if (!index_->complete()) return locate(document_, line);
  if (auto problem = syntaxProblem(document_, line)) return std::move(*problem);
  LocatedProblem problem;
  problem.text = line;
  auto parsed = parsePlace(line);
  if (!parsed) return problem;
  problem.place = parsed->place;
  auto found = index_->find(parsed->segments);
  if (!found && parsed->place == "configuration") found = index_->find({});
  if (found) {
    problem.range = TextRange{index_->position(found->first), index_->position(found->second)};
  }
  return problem;
}

LocatedProblem ProblemLocator::locate(std::string_view document, const std::string& line) {
  if (auto problem = syntaxProblem(document, line)) return std::move(*problem);
  LocatedProblem problem;
  problem.text = line;
  auto parsed = parsePlace(line);
  if (!parsed) return problem;
  problem.place = parsed->place;
  PlaceFinder finder(document);
  auto found = finder.find(parsed->segments);
  // "configuration" is the whole document unless the document has a field of that name.
  if (!found && parsed->place == "configuration") found = finder.find({});
  if (found) {
    problem.range =
        TextRange{positionOf(document, found->first), positionOf(document, found->second)};
  }
  return problem;
}

}  // namespace QVRAdKit::Workbench
