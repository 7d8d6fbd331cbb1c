#pragma once
// Row is one equation of the simplex tableau, 0 = constant + sum of coefficient * symbol, or,
// once solved for its basic symbol, basic = constant + sum. Cells are kept sorted by symbol id;
// coefficients that cancel to (nearly) zero are dropped. Internal to the UI kit.
// Threading: a value.

#include <utility>
#include <vector>

#include "QVRAdKit/UI/detail/Symbol.h"

namespace QVRAdKit::UI::detail {

class Row {
 public:
  using Cell = std::pair<Symbol, double>;
  static constexpr double kEpsilon = 1e-8;
  [[nodiscard]] static bool nearZero(double value) {
    return value < 0 ? -value < kEpsilon : value < kEpsilon;
  }

  Row() = default;
  explicit Row(double constant) : constant_(constant) {}

  [[nodiscard]] double constant() const { return constant_; }
  [[nodiscard]] const std::vector<Cell>& cells() const { return cells_; }
  [[nodiscard]] double coefficientFor(Symbol symbol) const;

  // Empties the row down to the constant, keeping its storage.
  void reset(double constant) {
    constant_ = constant;
    cells_.clear();
  }
  void add(double value) { constant_ += value; }
  // Adds coefficient * symbol.
  void insert(Symbol symbol, double coefficient);
  // Adds coefficient * other (its constant and every cell).
  void insert(const Row& other, double coefficient);
  void remove(Symbol symbol);
  void reverseSign();
  // Turns "0 = ... + a * symbol + ..." into "symbol = ...".
  void solveFor(Symbol symbol);
  // Turns "lhs = ... + a * rhs + ..." into "rhs = ...", lhs becoming a cell.
  void solveFor(Symbol lhs, Symbol rhs);
  // Replaces symbol by the expression it is basic for.
  void substitute(Symbol symbol, const Row& row);

 private:
  double constant_ = 0;
  std::vector<Cell> cells_;
};

}  // namespace QVRAdKit::UI::detail
