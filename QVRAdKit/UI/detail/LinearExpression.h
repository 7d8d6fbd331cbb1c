#pragma once
// LinearExpression is a constant plus a sum of coefficient * variable, the sides of a layout
// relation once anchors are turned into a view's left, top, width and height. Terms on the same
// variable are merged, so "x - x" is the empty expression. Internal to the UI kit.
// Threading: a value.

#include <utility>
#include <vector>

#include "QVRAdKit/UI/detail/Symbol.h"

namespace QVRAdKit::UI::detail {

class LinearExpression {
 public:
  LinearExpression() = default;
  explicit LinearExpression(double constant) : constant_(constant) {}

  [[nodiscard]] double constant() const { return constant_; }
  [[nodiscard]] const std::vector<std::pair<Symbol, double>>& terms() const { return terms_; }

  LinearExpression& add(double value) {
    constant_ += value;
    return *this;
  }
  LinearExpression& add(Symbol variable, double coefficient) {
    for (auto& term : terms_) {
      if (term.first == variable) {
        term.second += coefficient;
        return *this;
      }
    }
    terms_.emplace_back(variable, coefficient);
    return *this;
  }
  LinearExpression& add(const LinearExpression& other, double factor) {
    constant_ += other.constant_ * factor;
    for (const auto& [variable, coefficient] : other.terms_) add(variable, coefficient * factor);
    return *this;
  }

 private:
  double constant_ = 0;
  std::vector<std::pair<Symbol, double>> terms_;
};

}  // namespace QVRAdKit::UI::detail
