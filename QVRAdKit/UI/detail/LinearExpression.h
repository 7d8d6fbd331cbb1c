#pragma once
// LinearExpression is a constant plus a sum of coefficient * variable, the sides of a layout
// relation once anchors are turned into a view's left, top, width and height. Terms on the same
// variable are merged, so "x - x" is the empty expression. A relation names at most two
// attributes of two frames, so up to four terms are kept inline and a longer expression moves
// to the heap. Internal to the UI kit.
// Threading: a value.

#include <array>
#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "QVRAdKit/UI/detail/Symbol.h"

namespace QVRAdKit::UI::detail {

class LinearExpression {
 public:
  using Term = std::pair<Symbol, double>;

  LinearExpression() = default;
  explicit LinearExpression(double constant) : constant_(constant) {}

  [[nodiscard]] double constant() const { return constant_; }
  [[nodiscard]] std::span<const Term> terms() const {
    return heap_.empty() ? std::span<const Term>(inline_.data(), count_)
                         : std::span<const Term>(heap_);
  }

  LinearExpression& add(double value) {
    constant_ += value;
    return *this;
  }
  LinearExpression& add(Symbol variable, double coefficient) {
    const std::span<Term> all =
        heap_.empty() ? std::span<Term>(inline_.data(), count_) : std::span<Term>(heap_);
    for (auto& term : all) {
      if (term.first == variable) {
        term.second += coefficient;
        return *this;
      }
    }
    if (heap_.empty() && count_ < inline_.size()) {
      inline_[count_++] = {variable, coefficient};
      return *this;
    }
    if (heap_.empty()) heap_.assign(inline_.begin(), inline_.begin() + count_);
    heap_.emplace_back(variable, coefficient);
    return *this;
  }
  LinearExpression& add(const LinearExpression& other, double factor) {
    constant_ += other.constant_ * factor;
    for (const auto& [variable, coefficient] : other.terms()) add(variable, coefficient * factor);
    return *this;
  }

 private:
  double constant_ = 0;
  std::array<Term, 4> inline_{};
  std::size_t count_ = 0;  // terms in inline_ while heap_ is empty
  std::vector<Term> heap_;
};

}  // namespace QVRAdKit::UI::detail
