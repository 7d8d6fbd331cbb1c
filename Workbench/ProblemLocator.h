#pragma once
// ProblemLocator finds where in a configuration text a line of the configuration checker points:
// the place a line names ("interstitial.connect.keys[2]: duplicate key \"x\"" names the third
// key of the connect placement) is looked up in the text itself, so an editor can highlight it;
// an invalid-JSON line carries its own line and column. A line whose place cannot be found (a
// problem of the whole document, or a place the text does not hold) has no range; its message
// still names the place.
// Positions are 1-based lines and 1-based columns counted in UTF-16 code units, as a browser's
// text field counts them. The range covers a field's name and scalar value, or only the name (or
// opening bracket) of an object or array, so a highlight stays short.
// One line is found by reading the text up to its place; many lines of one text are found by an
// object that reads the text once and looks each place up, so a check with thousands of problems
// costs one reading, not one per problem.
// Example:
//   auto problem = ProblemLocator::locate(text, check.errors[0]);
//   if (problem.range) std::cout << problem.range->start.line;
//   ProblemLocator locator(text);  // text must outlive it
//   for (const auto& line : check.errors) locator.locate(line);
// Threading: pure functions; an object is immutable once made, so threads may share it.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace QVRAdKit::Workbench {

struct TextPosition {
  int line = 1;
  int column = 1;
  bool operator==(const TextPosition&) const = default;
};

struct TextRange {
  TextPosition start;
  TextPosition end;  // just after the last character
  bool operator==(const TextRange&) const = default;
};

struct LocatedProblem {
  // The place as the line names it ("interstitial.connect.keys[2]"); empty for the document.
  std::string place;
  // The whole line, as the command line prints it.
  std::string text;
  std::optional<TextRange> range;
};

class ProblemLocator {
 public:
  // Reads document (which must outlive this object) once.
  explicit ProblemLocator(std::string_view document);
  ~ProblemLocator();
  ProblemLocator(const ProblemLocator&) = delete;
  ProblemLocator& operator=(const ProblemLocator&) = delete;
  ProblemLocator(ProblemLocator&&) = delete;
  ProblemLocator& operator=(ProblemLocator&&) = delete;

  // What locate(document, line) answers, without reading the document again.
  [[nodiscard]] LocatedProblem locate(const std::string& line) const;
  // Whether the one reading held the document: false when it is not JSON or nests beyond what
  // is followed, and each line is then located by reading the document again.
  [[nodiscard]] bool readOnce() const;

  [[nodiscard]] static LocatedProblem locate(std::string_view document, const std::string& line);

 private:
  class Index;
  std::string_view document_;
  std::unique_ptr<Index> index_;
};

}  // namespace QVRAdKit::Workbench
