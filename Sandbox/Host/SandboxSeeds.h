#pragma once
// SandboxSeeds derives the independent seeds of one sandbox session from its one seed
// (SplitMix64), so that a change in how often one simulator draws does not shift the others.
// Streams: 1 Google Mobile Ads, 2 IronSource, 3 the user, 4 the ads' uuids.
// Threading: pure function.

#include <cstdint>

namespace QVRAdKit::Sandbox {

[[nodiscard]] constexpr std::uint64_t derivedSeed(std::uint64_t seed, std::uint64_t stream) {
  std::uint64_t z = seed + 0x9E3779B97F4A7C15ull * (stream + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace QVRAdKit::Sandbox
