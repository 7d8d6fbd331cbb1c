#include "QVRAdKit/UI/detail/Row.h"

#include <algorithm>

namespace QVRAdKit::UI::detail {
namespace {

auto findCell(std::vector<Row::Cell>& cells, Symbol symbol) {
  return std::lower_bound(cells.begin(), cells.end(), symbol,
                          [](const Row::Cell& cell, Symbol s) { return cell.first < s; });
}

}  // namespace

double Row::coefficientFor(Symbol symbol) const {
  const auto found = std::lower_bound(cells_.begin(), cells_.end(), symbol,
                                      [](const Cell& cell, Symbol s) { return cell.first < s; });
  return found != cells_.end() && found->first == symbol ? found->second : 0.0;
}

void Row::insert(Symbol symbol, double coefficient) {
  auto found = findCell(cells_, symbol);
  if (found != cells_.end() && found->first == symbol) {
    found->second += coefficient;
    if (nearZero(found->second)) cells_.erase(found);
    return;
  }
  if (nearZero(coefficient)) return;
  cells_.insert(found, {symbol, coefficient});
}

void Row::insert(const Row& other, double coefficient) {
  constant_ += other.constant_ * coefficient;
  // One merge of the two sorted rows instead of a search and a shifting insert per cell; each
  // cell gets the same sum and the same drop test as inserting it alone. The merge is built in a
  // scratch buffer that then takes this row's old one, so rows reuse their storage.
  thread_local std::vector<Cell> scratch;
  scratch.clear();
  scratch.reserve(cells_.size() + other.cells_.size());
  auto mine = cells_.begin();
  for (const auto& [symbol, value] : other.cells_) {
    const double added = value * coefficient;
    while (mine != cells_.end() && mine->first < symbol) scratch.push_back(*mine++);
    if (mine != cells_.end() && mine->first == symbol) {
      const double sum = mine->second + added;
      ++mine;
      if (!nearZero(sum)) scratch.emplace_back(symbol, sum);
    } else if (!nearZero(added)) {
      scratch.emplace_back(symbol, added);
    }
  }
  scratch.insert(scratch.end(), mine, cells_.end());
  cells_.swap(scratch);
}

void Row::remove(Symbol symbol) {
  auto found = findCell(cells_, symbol);
  if (found != cells_.end() && found->first == symbol) cells_.erase(found);
}

void Row::reverseSign() {
  constant_ = -constant_;
  for (auto& cell : cells_) cell.second = -cell.second;
}

void Row::solveFor(Symbol symbol) {
  auto found = findCell(cells_, symbol);
  const double factor = -1.0 / found->second;
  cells_.erase(found);
  constant_ *= factor;
  for (auto& cell : cells_) cell.second *= factor;
}

void Row::solveFor(Symbol lhs, Symbol rhs) {
  insert(lhs, -1.0);
  solveFor(rhs);
}

void Row::substitute(Symbol symbol, const Row& row) {
  auto found = findCell(cells_, symbol);
  if (found == cells_.end() || !(found->first == symbol)) return;
  const double coefficient = found->second;
  cells_.erase(found);
  insert(row, coefficient);
}

}  // namespace QVRAdKit::UI::detail
