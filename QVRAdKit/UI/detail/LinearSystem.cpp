#include "QVRAdKit/UI/detail/LinearSystem.h"

#include <algorithm>
#include <bit>
#include <span>

#include "QVRAdKit/UI/detail/SimplexSolver.h"

namespace QVRAdKit::UI::detail {
namespace {

// Numbers compare by their bits: the solver gives the same answer for the same bits (0 and -0
// differ here, which at worst means solving again).
bool same(double l, double r) {
  return std::bit_cast<std::uint64_t>(l) == std::bit_cast<std::uint64_t>(r);
}

// A multiplicative mix of one 64-bit word into the hash; the high bits, which the multiply
// stirs most, are folded down once at the end (hash() only picks the systems to compare).
void mix(std::uint64_t& hash, std::uint64_t word) {
  constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15ULL;
  hash = (hash ^ word) * kGolden;
}

}  // namespace

void LinearSystem::clear() {
  variables_ = 0;
  relations_.clear();
  terms_.clear();
}

Symbol LinearSystem::newVariable() {
  return Symbol{++variables_, Symbol::Kind::external};
}

std::size_t LinearSystem::add(double constant, std::span<const LinearExpression::Term> terms,
                              LayoutRelation relation, std::optional<double> weight) {
  // Written field by field into its place: a relation built aside and copied in is read back
  // in wider pieces than it was written, which stalls the copy.
  Relation& added = relations_.emplace_back();
  added.constant = constant;
  added.firstTerm = terms_.size();
  added.termCount = terms.size();
  added.relation = relation;
  added.weight = weight;
  terms_.insert(terms_.end(), terms.begin(), terms.end());
  return relations_.size() - 1;
}

void LinearSystem::solve(SimplexSolver& solver, bool findUndetermined, Solution& solution) const {
  solver.reset();
  for (std::uint32_t i = 0; i < variables_; ++i) (void)solver.newVariable();
  solution.refused.clear();
  for (std::size_t i = 0; i < relations_.size(); ++i) {
    const Relation& relation = relations_[i];
    const std::span<const LinearExpression::Term> terms(terms_.data() + relation.firstTerm,
                                                        relation.termCount);
    if (!solver.addRelation(relation.constant, terms, relation.relation, relation.weight)) {
      solution.refused.push_back(i);
    }
  }
  solution.values.assign(variables_ + 1, 0.0);
  for (std::uint32_t id = 1; id <= variables_; ++id) {
    solution.values[id] = solver.value(Symbol{id, Symbol::Kind::external});
  }
  solution.undetermined.clear();
  if (findUndetermined) solution.undetermined = solver.undeterminedVariables();
}

std::uint64_t LinearSystem::hash() const {
  std::uint64_t hash = 14695981039346656037ULL;
  mix(hash, variables_);
  for (const Relation& relation : relations_) {
    mix(hash, std::bit_cast<std::uint64_t>(relation.constant));
    mix(hash, (relation.termCount << 8U) | static_cast<std::uint64_t>(relation.relation) << 1U |
                  (relation.weight ? 1U : 0U));
    if (relation.weight) mix(hash, std::bit_cast<std::uint64_t>(*relation.weight));
  }
  for (const auto& [symbol, coefficient] : terms_) {
    mix(hash, std::bit_cast<std::uint64_t>(coefficient) + symbol.id);
  }
  return hash ^ (hash >> 29U);
}

bool operator==(const LinearSystem& l, const LinearSystem& r) {
  const auto sameRelation = [](const LinearSystem::Relation& a, const LinearSystem::Relation& b) {
    return same(a.constant, b.constant) && a.firstTerm == b.firstTerm &&
           a.termCount == b.termCount && a.relation == b.relation &&
           a.weight.has_value() == b.weight.has_value() &&
           (!a.weight || same(*a.weight, *b.weight));
  };
  const auto sameTerm = [](const LinearExpression::Term& a, const LinearExpression::Term& b) {
    return a.first == b.first && same(a.second, b.second);
  };
  return l.variables_ == r.variables_ &&
         std::equal(l.relations_.begin(), l.relations_.end(), r.relations_.begin(),
                    r.relations_.end(), sameRelation) &&
         std::equal(l.terms_.begin(), l.terms_.end(), r.terms_.begin(), r.terms_.end(), sameTerm);
}

}  // namespace QVRAdKit::UI::detail
