#pragma once
// LinearSystem is a list of relations "expression (relation) 0" over numbered variables, written
// down before solving so that a system can be compared with one solved before: the simplex
// solver's answer depends on nothing but the variables' count and the relations in their order,
// so two systems equal here (every number bit for bit) have the same solution.
// Internal to the UI kit. Threading: a value.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "QVRAdKit/UI/LayoutRelation.h"
#include "QVRAdKit/UI/detail/LinearExpression.h"
#include "QVRAdKit/UI/detail/Symbol.h"

namespace QVRAdKit::UI::detail {

class SimplexSolver;

class LinearSystem {
 public:
  // What solving gives: per variable (by symbol id) its value, the relations refused (their
  // indices) and, when asked for, the variables the optimum leaves open.
  struct Solution {
    std::vector<double> values;
    std::vector<std::size_t> refused;
    std::vector<Symbol> undetermined;
  };

  // Empties the system, keeping its storage.
  void clear();
  // The next variable; variables are the solver's first symbols, in this order.
  Symbol newVariable();
  // Adds a relation; without a weight it is required. Returns its index.
  std::size_t add(const LinearExpression& expression, LayoutRelation relation,
                  std::optional<double> weight) {
    return add(expression.constant(), expression.terms(), relation, weight);
  }
  // The same with the expression given as its constant and terms.
  std::size_t add(double constant, std::span<const LinearExpression::Term> terms,
                  LayoutRelation relation, std::optional<double> weight);

  // Solves with the solver (emptied first) into solution, reusing its storage.
  void solve(SimplexSolver& solver, bool findUndetermined, Solution& solution) const;

  [[nodiscard]] std::uint64_t hash() const;
  friend bool operator==(const LinearSystem& l, const LinearSystem& r);

 private:
  struct Relation {
    double constant = 0;
    std::size_t firstTerm = 0;
    std::size_t termCount = 0;
    LayoutRelation relation = LayoutRelation::equal;
    std::optional<double> weight;
  };

  std::uint32_t variables_ = 0;
  std::vector<Relation> relations_;
  std::vector<LinearExpression::Term> terms_;
};

}  // namespace QVRAdKit::UI::detail
