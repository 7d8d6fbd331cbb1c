#pragma once
// Symbol names one unknown of the simplex tableau. External symbols are the layout's variables
// (a view's left, top, width, height); the others belong to the solver: slacks turn inequalities
// into equations, error symbols measure how far a non-required relation is from holding, dummies
// mark required equations. Ids grow in creation order, which fixes every iteration order and so
// makes the solver deterministic. Internal to the UI kit.
// Threading: a value.

#include <cstdint>

namespace QVRAdKit::UI::detail {

struct Symbol {
  enum class Kind : std::uint8_t { invalid, external, slack, error, dummy };

  std::uint32_t id = 0;
  Kind kind = Kind::invalid;

  [[nodiscard]] bool valid() const { return kind != Kind::invalid; }
  // Slacks and errors are never negative; externals and dummies are not restricted that way.
  [[nodiscard]] bool restricted() const { return kind == Kind::slack || kind == Kind::error; }
  friend bool operator==(Symbol l, Symbol r) { return l.id == r.id && l.kind == r.kind; }
  friend bool operator<(Symbol l, Symbol r) { return l.id < r.id; }
};

}  // namespace QVRAdKit::UI::detail
