#include "QVRAdKit/UI/detail/SimplexSolver.h"

#include <algorithm>
#include <limits>
#include <set>
#include <utility>

namespace QVRAdKit::UI::detail {
namespace {

// A bound on pivots per optimisation: the tableaux here are small, so reaching it means the
// simplex cycles on a degenerate vertex; the solution found so far is kept.
constexpr int kMaxPivots = 10000;

bool allDummies(const Row& row) {
  return std::all_of(row.cells().begin(), row.cells().end(),
                     [](const Row::Cell& cell) { return cell.first.kind == Symbol::Kind::dummy; });
}

}  // namespace

Symbol SimplexSolver::make(Symbol::Kind kind) {
  return Symbol{nextId_++, kind};
}

Symbol SimplexSolver::newVariable() {
  const Symbol variable = make(Symbol::Kind::external);
  variables_.push_back(variable);
  return variable;
}

double SimplexSolver::value(Symbol variable) const {
  const auto found = rows_.find(variable);
  return found == rows_.end() ? 0.0 : found->second.constant();
}

Row SimplexSolver::createRow(const LinearExpression& expression, LayoutRelation relation,
                             std::optional<double> weight, Tag& tag) {
  Row row(expression.constant());
  for (const auto& [variable, coefficient] : expression.terms()) {
    if (Row::nearZero(coefficient)) continue;
    const auto basic = rows_.find(variable);
    if (basic != rows_.end()) {
      row.insert(basic->second, coefficient);
    } else {
      row.insert(variable, coefficient);
    }
  }
  if (relation == LayoutRelation::equal) {
    if (weight) {
      // expression = plus - minus, each error non-negative and weighed in the objective.
      const Symbol plus = make(Symbol::Kind::error);
      const Symbol minus = make(Symbol::Kind::error);
      tag = {plus, minus};
      row.insert(plus, -1.0);
      row.insert(minus, 1.0);
      objective_.insert(plus, *weight);
      objective_.insert(minus, *weight);
    } else {
      const Symbol dummy = make(Symbol::Kind::dummy);
      tag = {dummy, {}};
      row.insert(dummy, 1.0);
    }
  } else {
    // expression <= 0 becomes expression + slack = 0; >= 0 becomes expression - slack = 0.
    const double sign = relation == LayoutRelation::lessThanOrEqual ? 1.0 : -1.0;
    const Symbol slack = make(Symbol::Kind::slack);
    tag = {slack, {}};
    row.insert(slack, sign);
    if (weight) {
      const Symbol error = make(Symbol::Kind::error);
      tag.other = error;
      row.insert(error, -sign);
      objective_.insert(error, *weight);
    }
  }
  if (row.constant() < 0) row.reverseSign();
  return row;
}

Symbol SimplexSolver::chooseSubject(const Row& row, const Tag& tag) {
  for (const auto& cell : row.cells()) {
    if (cell.first.kind == Symbol::Kind::external) return cell.first;
  }
  for (const Symbol candidate : {tag.marker, tag.other}) {
    if (candidate.restricted() && row.coefficientFor(candidate) < 0) return candidate;
  }
  return {};
}

bool SimplexSolver::addRelation(const LinearExpression& expression, LayoutRelation relation,
                                std::optional<double> weight) {
  Tag tag;
  Row row = createRow(expression, relation, weight, tag);
  Symbol subject = chooseSubject(row, tag);
  if (!subject.valid() && allDummies(row)) {
    if (!Row::nearZero(row.constant())) return false;  // nothing changed yet
    subject = tag.marker;                              // a required relation that repeats others
  }
  if (!subject.valid()) {
    // Phase one pivots the tableau: a refused relation must leave no trace, so keep it.
    std::optional<std::pair<std::map<Symbol, Row>, Row>> saved;
    if (!weight) saved.emplace(rows_, objective_);
    if (!addWithArtificialVariable(row)) {
      if (saved) {
        rows_ = std::move(saved->first);
        objective_ = std::move(saved->second);
      }
      return false;
    }
  } else {
    row.solveFor(subject);
    substitute(subject, row);
    rows_[subject] = std::move(row);
  }
  optimize(objective_);
  return true;
}

bool SimplexSolver::addWithArtificialVariable(const Row& row) {
  // Phase one: an artificial slack equal to the row is driven to zero if the row can hold.
  const Symbol artificial = make(Symbol::Kind::slack);
  rows_[artificial] = row;
  artificial_ = row;
  optimize(*artificial_);
  const bool satisfiable = Row::nearZero(artificial_->constant());
  artificial_.reset();

  auto found = rows_.find(artificial);
  if (found != rows_.end()) {
    Row basic = std::move(found->second);
    rows_.erase(found);
    if (basic.cells().empty()) return satisfiable;
    Symbol entering;
    for (const auto& cell : basic.cells()) {
      if (cell.first.restricted()) {
        entering = cell.first;
        break;
      }
    }
    if (!entering.valid()) return false;
    basic.solveFor(artificial, entering);
    substitute(entering, basic);
    rows_[entering] = std::move(basic);
  }
  for (auto& [symbol, r] : rows_) r.remove(artificial);
  objective_.remove(artificial);
  return satisfiable;
}

void SimplexSolver::substitute(Symbol symbol, const Row& row) {
  for (auto& [basic, r] : rows_) r.substitute(symbol, row);
  objective_.substitute(symbol, row);
  if (artificial_) artificial_->substitute(symbol, row);
}

Symbol SimplexSolver::leavingSymbol(Symbol entering) const {
  double best = std::numeric_limits<double>::max();
  Symbol leaving;
  for (const auto& [basic, row] : rows_) {
    if (basic.kind == Symbol::Kind::external) continue;
    const double coefficient = row.coefficientFor(entering);
    if (coefficient >= 0) continue;
    const double ratio = -row.constant() / coefficient;
    if (ratio < best) {
      best = ratio;
      leaving = basic;
    }
  }
  return leaving;
}

void SimplexSolver::optimize(Row& objective) {
  for (int pivot = 0; pivot < kMaxPivots; ++pivot) {
    Symbol entering;
    for (const auto& cell : objective.cells()) {
      if (cell.first.kind != Symbol::Kind::dummy && cell.second < 0) {
        entering = cell.first;
        break;
      }
    }
    if (!entering.valid()) return;
    const Symbol leaving = leavingSymbol(entering);
    if (!leaving.valid()) return;  // unbounded: cannot happen with a non-negative objective
    auto found = rows_.find(leaving);
    Row row = std::move(found->second);
    rows_.erase(found);
    row.solveFor(leaving, entering);
    substitute(entering, row);
    rows_[entering] = std::move(row);
  }
}

std::optional<double> SimplexSolver::room(Symbol symbol, double direction) const {
  std::optional<double> limit;
  for (const auto& [basic, row] : rows_) {
    if (basic.kind == Symbol::Kind::dummy && !Row::nearZero(row.coefficientFor(symbol))) {
      return 0.0;  // a required equation's marker stays at zero
    }
    if (!basic.restricted()) continue;
    const double coefficient = row.coefficientFor(symbol) * direction;
    if (coefficient >= -Row::kEpsilon) continue;
    const double ratio = std::max(0.0, row.constant()) / -coefficient;
    if (!limit || ratio < *limit) limit = ratio;
  }
  return limit;
}

std::vector<Symbol> SimplexSolver::undeterminedVariables() const {
  // At the optimum, a nonbasic symbol whose objective coefficient is zero can move without making
  // anything worse; if it may move by a positive amount and moves a variable, the optimum is not
  // a single point.
  std::set<Symbol> undetermined;
  std::set<Symbol> nonbasic;
  for (const auto& [basic, row] : rows_) {
    for (const auto& cell : row.cells()) nonbasic.insert(cell.first);
  }
  for (const Symbol variable : variables_) {
    if (!rows_.contains(variable)) nonbasic.insert(variable);
  }
  constexpr double kMinimalMove = 1e-7;
  for (const Symbol symbol : nonbasic) {
    if (symbol.kind == Symbol::Kind::dummy) continue;
    if (!Row::nearZero(objective_.coefficientFor(symbol))) continue;
    std::vector<double> directions{1.0};
    if (!symbol.restricted()) directions.push_back(-1.0);
    bool movable = false;
    for (const double direction : directions) {
      const auto limit = room(symbol, direction);
      if (!limit || *limit > kMinimalMove) movable = true;
    }
    if (!movable) continue;
    if (symbol.kind == Symbol::Kind::external) undetermined.insert(symbol);
    for (const auto& [basic, row] : rows_) {
      if (basic.kind == Symbol::Kind::external && !Row::nearZero(row.coefficientFor(symbol))) {
        undetermined.insert(basic);
      }
    }
  }
  return {undetermined.begin(), undetermined.end()};
}

}  // namespace QVRAdKit::UI::detail
