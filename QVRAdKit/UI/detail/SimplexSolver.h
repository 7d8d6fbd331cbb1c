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
// Rows live in slots indexed by their basic symbol's id, and reset() empties the tableau without
// giving its storage back: a solver reused for system after system allocates nothing once its
// slots and rows have grown to the largest system's size.
// Internal to the UI kit. Threading: one thread at a time.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "QVRAdKit/UI/LayoutRelation.h"
#include "QVRAdKit/UI/detail/LinearExpression.h"
#include "QVRAdKit/UI/detail/Row.h"
#include "QVRAdKit/UI/detail/Symbol.h"

namespace QVRAdKit::UI::detail {

class SimplexSolver {
 public:
  // Forgets every variable and relation; the storage stays for the next system.
  void reset();

  // A variable of the system (an external symbol); its value is 0 until relations say otherwise.
  Symbol newVariable();

  // Adds "expression (relation) 0". Without a weight the relation is required; a required one
  // that cannot hold together with those added before it is refused (false).
  bool addRelation(const LinearExpression& expression, LayoutRelation relation,
                   std::optional<double> weight) {
    return addRelation(expression.constant(), expression.terms(), relation, weight);
  }
  // The same with the expression given as its constant and terms.
  bool addRelation(double constant, std::span<const LinearExpression::Term> terms,
                   LayoutRelation relation, std::optional<double> weight);

  [[nodiscard]] double value(Symbol variable) const;

  // The variables the optimum does not fix: another solution exists that is as good for every
  // relation and gives them other values (equally strong wishes that disagree, or nothing at all
  // that decides them). In creation order.
  [[nodiscard]] std::vector<Symbol> undeterminedVariables() const;

 private:
  struct Tag {
    Symbol marker;
    Symbol other;
  };

  Symbol make(Symbol::Kind kind);
  [[nodiscard]] bool isBasic(Symbol symbol) const { return basics_[symbol.id].valid(); }
  // Makes row (its storage swapped in) the row of the nonbasic symbol.
  void makeBasic(Symbol symbol, Row& row);
  // Takes the basic symbol's row out of the tableau into row (their storage swapped).
  void takeRow(Symbol symbol, Row& row);
  void createRow(double constant, std::span<const LinearExpression::Term> terms,
                 LayoutRelation relation, std::optional<double> weight, Tag& tag, Row& row);
  static Symbol chooseSubject(const Row& row, const Tag& tag);
  bool addWithArtificialVariable(const Row& row);
  void substitute(Symbol symbol, const Row& row);
  void optimize(Row& objective);
  [[nodiscard]] Symbol leavingSymbol(Symbol entering) const;
  // How far a nonbasic symbol may move (up when direction is 1, down when -1) before a
  // restricted basic symbol would turn negative; none when nothing stops it.
  [[nodiscard]] std::optional<double> room(Symbol symbol, double direction) const;
  void saveTableau();
  void restoreTableau();

  // Per symbol id: its row while it is basic (the invalid symbol otherwise), scanned in id order.
  std::vector<Symbol> basics_;
  std::vector<Row> rows_;
  Row objective_;
  Row artificial_;
  bool hasArtificial_ = false;
  std::vector<Symbol> variables_;
  std::uint32_t nextId_ = 1;
  // Reused storage: the row being added, a row taken out to pivot, and the tableau kept while a
  // required relation that may be refused is tried.
  Row added_;
  Row pivot_;
  std::vector<Symbol> savedBasics_;
  std::vector<Row> savedRows_;
  Row savedObjective_;
};

}  // namespace QVRAdKit::UI::detail
