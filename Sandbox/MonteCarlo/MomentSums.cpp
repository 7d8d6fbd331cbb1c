#include "Sandbox/MonteCarlo/MomentSums.h"

#include <stdexcept>
#include <utility>

namespace QVRAdKit::Sandbox {
namespace {

// Below 2^32, so that a product of two fits 64 bits.
constexpr std::uint64_t kQuantityLimit = std::uint64_t{1} << 32;

void addTo(std::uint64_t& total, std::uint64_t value) {
  if (__builtin_add_overflow(total, value, &total)) {
    throw std::overflow_error("per-session sums beyond 2^64");
  }
}

}  // namespace

MomentSums::MomentSums(std::size_t quantities)
    : sums_(quantities, 0), products_(quantities * (quantities + 1) / 2, 0) {}

std::size_t MomentSums::at(std::size_t i, std::size_t j) const {
  if (i > j) std::swap(i, j);
  const std::size_t k = sums_.size();
  if (j >= k) throw std::out_of_range("MomentSums: no such quantity");
  // Rows of the upper triangle: row i starts after the k + (k-1) + ... + (k-i+1) before it.
  return i * k - i * (i - 1) / 2 + (j - i);
}

void MomentSums::add(std::span<const std::uint64_t> values) {
  if (values.size() != sums_.size()) throw std::invalid_argument("MomentSums: wrong quantities");
  for (std::uint64_t value : values) {
    if (value >= kQuantityLimit) throw std::overflow_error("a per-session quantity beyond 2^32");
  }
  std::size_t index = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    addTo(sums_[i], values[i]);
    for (std::size_t j = i; j < values.size(); ++j)
      addTo(products_[index++], values[i] * values[j]);
  }
}

void MomentSums::merge(const MomentSums& other) {
  if (other.sums_.size() != sums_.size()) {
    throw std::invalid_argument("MomentSums: merging sums of different quantities");
  }
  for (std::size_t i = 0; i < sums_.size(); ++i) addTo(sums_[i], other.sums_[i]);
  for (std::size_t i = 0; i < products_.size(); ++i) addTo(products_[i], other.products_[i]);
}

std::uint64_t MomentSums::product(std::size_t i, std::size_t j) const {
  return products_[at(i, j)];
}

double MomentSums::mean(std::size_t i, std::uint64_t sessions) const {
  return sessions == 0 ? 0.0 : static_cast<double>(sum(i)) / static_cast<double>(sessions);
}

double MomentSums::covariance(std::size_t i, std::size_t j, std::uint64_t sessions) const {
  if (sessions < 2) return 0;
  // In extended precision: the sums are exact there, and the difference of two large numbers
  // loses less.
  const auto n = static_cast<long double>(sessions);
  const auto crossed = static_cast<long double>(product(i, j));
  const auto spread =
      crossed - static_cast<long double>(sum(i)) * static_cast<long double>(sum(j)) / n;
  return static_cast<double>(spread / (n - 1));
}

bool MomentSums::fromState(std::vector<std::uint64_t> sums, std::vector<std::uint64_t> products,
                           MomentSums& into) {
  const std::size_t k = sums.size();
  if (products.size() != k * (k + 1) / 2) return false;
  into.sums_ = std::move(sums);
  into.products_ = std::move(products);
  return true;
}

void mergeNamedSums(const std::map<std::string, MomentSums>& from,
                    std::map<std::string, MomentSums>& into) {
  for (const auto& [name, sums] : from) {
    const auto [found, added] = into.emplace(name, sums);
    if (!added) found->second.merge(sums);
  }
}

}  // namespace QVRAdKit::Sandbox
