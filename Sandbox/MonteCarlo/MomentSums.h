#pragma once
// MomentSums adds up, over sessions, k whole-number quantities of each session (its requests,
// fills, shows, ...) and every product of two of them, so that means, variances and covariances
// of the per-session quantities come out without keeping one value per session: memory is fixed
// by k, whatever the number of sessions. The sums are whole numbers, so sums of parts merge
// exactly (a run split in shards adds up to the same sums as one run) and in any order. The
// number of sessions is kept by the owner: a session without a row counts as zeros there.
// Bounds: a quantity of 2^32 or more, or a sum beyond 2^64, throws std::overflow_error (a million
// sessions of a week each stay far below).
// Example:
//   MomentSums sums(2);
//   sums.add({{3, 1}});
//   sums.add({{5, 2}});
//   sums.covariance(0, 1, 2);  // 1
// Threading: a value.

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace QVRAdKit::Sandbox {

class MomentSums {
 public:
  explicit MomentSums(std::size_t quantities = 0);

  // One session's quantities (as many as quantities()).
  void add(std::span<const std::uint64_t> values);
  // Another's sums of the same quantities.
  void merge(const MomentSums& other);

  [[nodiscard]] std::size_t quantities() const { return sums_.size(); }
  [[nodiscard]] std::uint64_t sum(std::size_t i) const { return sums_.at(i); }
  // The sum of quantity i times quantity j over the sessions (symmetric).
  [[nodiscard]] std::uint64_t product(std::size_t i, std::size_t j) const;
  [[nodiscard]] double mean(std::size_t i, std::uint64_t sessions) const;
  // The sample covariance over sessions (n - 1 in the denominator); 0 with fewer than two.
  [[nodiscard]] double covariance(std::size_t i, std::size_t j, std::uint64_t sessions) const;

  // The state as stored in a shard: the sums, then the products of the upper triangle row by row
  // (i <= j). fromState() returns none for a state of another size.
  [[nodiscard]] const std::vector<std::uint64_t>& sums() const { return sums_; }
  [[nodiscard]] const std::vector<std::uint64_t>& products() const { return products_; }
  [[nodiscard]] static bool fromState(std::vector<std::uint64_t> sums,
                                      std::vector<std::uint64_t> products, MomentSums& into);

  bool operator==(const MomentSums&) const = default;

 private:
  [[nodiscard]] std::size_t at(std::size_t i, std::size_t j) const;

  std::vector<std::uint64_t> sums_;
  std::vector<std::uint64_t> products_;
};

// Merges named rows of sums into others: a name only in `from` is copied, a name in both merged.
void mergeNamedSums(const std::map<std::string, MomentSums>& from,
                    std::map<std::string, MomentSums>& into);

}  // namespace QVRAdKit::Sandbox
