#include "QVRAdKit/UI/detail/SimplexSolver.h"

#include <algorithm>
#include <limits>
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

void SimplexSolver::reset() {
  std::fill(basics_.begin(), basics_.end(), Symbol{});
  objective_.reset(0);
  hasArtificial_ = false;
  variables_.clear();
  nextId_ = 1;
}

Symbol SimplexSolver::make(Symbol::Kind kind) {
  const Symbol symbol{nextId_++, kind};
  if (basics_.size() <= symbol.id) {
    basics_.resize(symbol.id + 1);
    rows_.resize(symbol.id + 1);
  }
  return symbol;
}

Symbol SimplexSolver::newVariable() {
  const Symbol variable = make(Symbol::Kind::external);
  variables_.push_back(variable);
  return variable;
}

void SimplexSolver::makeBasic(Symbol symbol, Row& row) {
  basics_[symbol.id] = symbol;
  std::swap(rows_[symbol.id], row);
}

void SimplexSolver::takeRow(Symbol symbol, Row& row) {
  basics_[symbol.id] = Symbol{};
  std::swap(rows_[symbol.id], row);
}

double SimplexSolver::value(Symbol variable) const {
  return variable.id < basics_.size() && isBasic(variable) ? rows_[variable.id].constant() : 0.0;
}

void SimplexSolver::createRow(double constant, std::span<const LinearExpression::Term> terms,
                              LayoutRelation relation, std::optional<double> weight, Tag& tag,
                              Row& row) {
  row.reset(constant);
  for (const auto& [variable, coefficient] : terms) {
    if (Row::nearZero(coefficient)) continue;
    if (isBasic(variable)) {
      row.insert(rows_[variable.id], coefficient);
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

bool SimplexSolver::addRelation(double constant, std::span<const LinearExpression::Term> terms,
                                LayoutRelation relation, std::optional<double> weight) {
  Tag tag;
  createRow(constant, terms, relation, weight, tag, added_);
  Symbol subject = chooseSubject(added_, tag);
  if (!subject.valid() && allDummies(added_)) {
    if (!Row::nearZero(added_.constant())) return false;  // nothing changed yet
    subject = tag.marker;                                 // a required relation that repeats others
  }
  if (!subject.valid()) {
    // Phase one pivots the tableau: a refused relation must leave no trace, so keep it.
    if (!weight) saveTableau();
    if (!addWithArtificialVariable(added_)) {
      if (!weight) restoreTableau();
      return false;
    }
  } else {
    added_.solveFor(subject);
    substitute(subject, added_);
    makeBasic(subject, added_);
  }
  optimize(objective_);
  return true;
}

void SimplexSolver::saveTableau() {
  savedBasics_.assign(basics_.begin(), basics_.begin() + nextId_);
  if (savedRows_.size() < nextId_) savedRows_.resize(nextId_);
  for (std::uint32_t id = 1; id < nextId_; ++id) {
    if (basics_[id].valid()) savedRows_[id] = rows_[id];
  }
  savedObjective_ = objective_;
}

void SimplexSolver::restoreTableau() {
  for (std::uint32_t id = 1; id < nextId_; ++id) {
    const Symbol saved = id < savedBasics_.size() ? savedBasics_[id] : Symbol{};
    basics_[id] = saved;
    if (saved.valid()) std::swap(rows_[id], savedRows_[id]);
  }
  std::swap(objective_, savedObjective_);
}

bool SimplexSolver::addWithArtificialVariable(const Row& row) {
  // Phase one: an artificial slack equal to the row is driven to zero if the row can hold.
  const Symbol artificial = make(Symbol::Kind::slack);
  basics_[artificial.id] = artificial;
  rows_[artificial.id] = row;
  artificial_ = row;
  hasArtificial_ = true;
  optimize(artificial_);
  const bool satisfiable = Row::nearZero(artificial_.constant());
  hasArtificial_ = false;

  if (isBasic(artificial)) {
    Row& basic = pivot_;
    takeRow(artificial, basic);
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
    makeBasic(entering, basic);
  }
  for (std::uint32_t id = 1; id < nextId_; ++id) {
    if (basics_[id].valid()) rows_[id].remove(artificial);
  }
  objective_.remove(artificial);
  return satisfiable;
}

void SimplexSolver::substitute(Symbol symbol, const Row& row) {
  for (std::uint32_t id = 1; id < nextId_; ++id) {
    if (basics_[id].valid()) rows_[id].substitute(symbol, row);
  }
  objective_.substitute(symbol, row);
  if (hasArtificial_) artificial_.substitute(symbol, row);
}

Symbol SimplexSolver::leavingSymbol(Symbol entering) const {
  double best = std::numeric_limits<double>::max();
  Symbol leaving;
  for (std::uint32_t id = 1; id < nextId_; ++id) {
    const Symbol basic = basics_[id];
    if (!basic.valid() || basic.kind == Symbol::Kind::external) continue;
    const Row& row = rows_[id];
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
    Row& row = pivot_;
    takeRow(leaving, row);
    row.solveFor(leaving, entering);
    substitute(entering, row);
    makeBasic(entering, row);
  }
}

std::optional<double> SimplexSolver::room(Symbol symbol, double direction) const {
  std::optional<double> limit;
  for (std::uint32_t id = 1; id < nextId_; ++id) {
    const Symbol basic = basics_[id];
    if (!basic.valid()) continue;
    const Row& row = rows_[id];
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
  // a single point. Both sets are kept per symbol id, so they come out in creation order.
  std::vector<Symbol> nonbasic(nextId_);
  std::vector<bool> undetermined(nextId_, false);
  for (std::uint32_t id = 1; id < nextId_; ++id) {
    if (!basics_[id].valid()) continue;
    for (const auto& cell : rows_[id].cells()) nonbasic[cell.first.id] = cell.first;
  }
  for (const Symbol variable : variables_) {
    if (!isBasic(variable)) nonbasic[variable.id] = variable;
  }
  constexpr double kMinimalMove = 1e-7;
  for (const Symbol symbol : nonbasic) {
    if (!symbol.valid() || symbol.kind == Symbol::Kind::dummy) continue;
    if (!Row::nearZero(objective_.coefficientFor(symbol))) continue;
    bool movable = false;
    for (const double direction : {1.0, -1.0}) {
      if (direction < 0 && symbol.restricted()) continue;
      const auto limit = room(symbol, direction);
      if (!limit || *limit > kMinimalMove) movable = true;
    }
    if (!movable) continue;
    if (symbol.kind == Symbol::Kind::external) undetermined[symbol.id] = true;
    for (std::uint32_t id = 1; id < nextId_; ++id) {
      const Symbol basic = basics_[id];
      if (basic.valid() && basic.kind == Symbol::Kind::external &&
          !Row::nearZero(rows_[id].coefficientFor(symbol))) {
        undetermined[id] = true;
      }
    }
  }
  std::vector<Symbol> open;
  for (std::uint32_t id = 1; id < nextId_; ++id) {
    if (undetermined[id]) open.push_back(basics_[id].valid() ? basics_[id] : nonbasic[id]);
  }
  return open;
}

}  // namespace QVRAdKit::UI::detail
