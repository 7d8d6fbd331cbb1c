#pragma once
// SimplexSolver is an incremental Cassowary solver: it keeps a tableau of rows in solved form and
// an objective row, and finds the values of its variables that satisfy every required relation
// and minimise the weighted sum of how far the other relations are from holding.
//  - A required equation gets a dummy marker, a required inequality a slack; a required relation
//    that contradicts the ones added before it is refused and leaves the tableau as it was.
//  - A non-required relation gets error symbols whose weight enters the objective.
//  - Rows are solved for an external symbol when they have one (so the layout's variables stay
//    basic), otherwise through an artificial variable; the primal simplex then restores the
//    optimum after each addition.
// Symbols are ordered by creation and every scan follows that order, so the same relations added
// in the same order always give the same tableau.
// Internal to the UI kit. Threading: one thread at a time.

#include <cstddef>
#include <map>
#include <optional>
#include <vector>

#include "QVRAdKit/UI/LayoutRelation.h"
#include "QVRAdKit/UI/detail/LinearExpression.h"
#include "QVRAdKit/UI/detail/Row.h"
#include "QVRAdKit/UI/detail/Symbol.h"

namespace QVRAdKit::UI::detail {

class SimplexSolver {
 public:
  // A variable of the system (an external symbol); its value is 0 until relations say otherwise.
  Symbol newVariable();

  // Adds "expression (relation) 0". Without a weight the relation is required; a required one
  // that cannot hold together with those added before it is refused (false).
  bool addRelation(const LinearExpression& expression, LayoutRelation relation,
                   std::optional<double> weight);

  [[nodiscard]] double value(Symbol variable) const;

  // The variables the optimum does not fix: another solution exists that is as good for every
  // relation and gives them other values (equally strong wishes that disagree, or nothing at all
  // that decides them).
  [[nodiscard]] std::vector<Symbol> undeterminedVariables() const;

 private:
  struct Tag {
    Symbol marker;
    Symbol other;
  };

  Symbol make(Symbol::Kind kind);
  Row createRow(const LinearExpression& expression, LayoutRelation relation,
                std::optional<double> weight, Tag& tag);
  static Symbol chooseSubject(const Row& row, const Tag& tag);
  bool addWithArtificialVariable(const Row& row);
  void substitute(Symbol symbol, const Row& row);
  void optimize(Row& objective);
  [[nodiscard]] Symbol leavingSymbol(Symbol entering) const;
  // How far a nonbasic symbol may move (up when direction is 1, down when -1) before a
  // restricted basic symbol would turn negative; none when nothing stops it.
  [[nodiscard]] std::optional<double> room(Symbol symbol, double direction) const;

  std::map<Symbol, Row> rows_;  // basic symbol -> its row
  Row objective_;
  std::optional<Row> artificial_;
  std::vector<Symbol> variables_;
  std::uint32_t nextId_ = 1;
};

}  // namespace QVRAdKit::UI::detail
