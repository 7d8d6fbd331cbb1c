#pragma once
// MersenneTwister64 gives exactly the numbers std::mt19937_64 gives for the same seed, but works
// them out as they are drawn: the standard engine fills its whole state (312 words) when seeded
// and twists all of it at the first draw, while a simulated session seeds several engines and
// draws a few dozen numbers from each. Here the seeding chain is extended only as far as the next
// twist reads it, and each word is twisted when its number is drawn, in the standard order, so the
// sequence is the standard one. It is a uniform random bit generator: the standard distributions
// take it as they take std::mt19937_64.
// Example:
//   MersenneTwister64 random(42);
//   std::uint64_t bits = random();  // the same as std::mt19937_64(42)()
// Threading: a value; one thread at a time.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>

namespace QVRAdKit::Platform {

class MersenneTwister64 {
 public:
  using result_type = std::uint64_t;
  static constexpr result_type kDefaultSeed = std::mt19937_64::default_seed;

  explicit MersenneTwister64(result_type value = kDefaultSeed) { seed(value); }
  explicit MersenneTwister64(std::seed_seq& sequence) { seed(sequence); }

  static constexpr result_type min() { return 0; }
  static constexpr result_type max() { return std::numeric_limits<result_type>::max(); }

  void seed(result_type value) {
    state_[0] = value;
    seeded_ = 1;
    twisted_ = 0;
    next_ = 0;
  }
  // As std::mt19937_64::seed(seed_seq&): the whole state at once, from the sequence.
  void seed(std::seed_seq& sequence) {
    std::array<std::uint32_t, 2 * kWords> words{};
    sequence.generate(words.begin(), words.end());
    for (std::size_t i = 0; i < kWords; ++i) {
      state_[i] = words[2 * i] | (static_cast<std::uint64_t>(words[2 * i + 1]) << 32);
    }
    // An all-zero state would only ever give zeros.
    bool zero = (state_[0] & kUpperMask) == 0;
    for (std::size_t i = 1; zero && i < kWords; ++i) zero = state_[i] == 0;
    if (zero) state_[0] = std::uint64_t{1} << 63;
    seeded_ = kWords;
    twisted_ = 0;
    next_ = 0;
  }

  result_type operator()() {
    if (next_ == kWords) {
      // Every word has been drawn: the next ones come from twisting the state again.
      next_ = 0;
      twisted_ = 0;
    }
    if (next_ == twisted_) twistNext();
    return temper(state_[next_++]);
  }

 private:
  static constexpr std::size_t kWords = 312;
  static constexpr std::size_t kMiddle = 156;
  static constexpr std::uint64_t kUpperMask = ~std::uint64_t{0} << 31;
  static constexpr std::uint64_t kLowerMask = ~kUpperMask;
  static constexpr std::uint64_t kMatrix = 0xB5026F5AA96619E9ULL;
  static constexpr std::uint64_t kSeedMultiplier = 6364136223846793005ULL;

  // Extends the seeding chain to cover state_[index].
  void seededTo(std::size_t index) {
    for (; seeded_ <= index; ++seeded_) {
      const std::uint64_t previous = state_[seeded_ - 1];
      state_[seeded_] = kSeedMultiplier * (previous ^ (previous >> 62)) + seeded_;
    }
  }

  // Twists word twisted_, from its own old value, the next word's and the one kMiddle further
  // on (the new values of words already twisted once it wraps round), as the standard does.
  void twistNext() {
    const std::size_t k = twisted_;
    const std::size_t following = k + 1 == kWords ? 0 : k + 1;
    const std::size_t far = k + kMiddle < kWords ? k + kMiddle : k + kMiddle - kWords;
    if (seeded_ < kWords) seededTo(std::max(following, far));
    const std::uint64_t y = (state_[k] & kUpperMask) | (state_[following] & kLowerMask);
    state_[k] = state_[far] ^ (y >> 1) ^ ((y & 1U) != 0 ? kMatrix : 0);
    ++twisted_;
  }

  static std::uint64_t temper(std::uint64_t z) {
    z ^= (z >> 29) & 0x5555555555555555ULL;
    z ^= (z << 17) & 0x71D67FFFEDA60000ULL;
    z ^= (z << 37) & 0xFFF7EEE000000000ULL;
    z ^= z >> 43;
    return z;
  }

  std::array<std::uint64_t, kWords> state_{};
  std::size_t seeded_ = 0;   // words of state_ the seeding chain has reached
  std::size_t twisted_ = 0;  // words of this round twisted so far
  std::size_t next_ = 0;     // the word the next number comes from
};

}  // namespace QVRAdKit::Platform
