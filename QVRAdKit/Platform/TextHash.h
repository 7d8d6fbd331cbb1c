#pragma once
// TextHash hashes text for the module's hash maps keyed by short strings (ad uuids, ad-unit keys,
// storage keys). It is transparent: a map declared with it and TextEqual is searched with a
// std::string_view, building no std::string. It reads eight bytes at a time with one multiply
// each, less work than std::hash on a 36-character uuid, and mixes every byte into the result.
// It is not meant to resist keys chosen to collide.
// Example:
//   std::unordered_map<std::string, int, Platform::TextHash, Platform::TextEqual> counts;
//   counts.find(std::string_view("key"));

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace QVRAdKit::Platform {

struct TextHash {
  using is_transparent = void;

  // Not noexcept on purpose: the standard library's maps then keep each entry's hash, so walking a
  // bucket compares stored hashes instead of hashing every key it passes again.
  std::size_t operator()(std::string_view text) const {
    constexpr std::size_t kWord = sizeof(std::uint64_t);
    std::uint64_t hash = 0x9E3779B97F4A7C15ULL ^ text.size();
    const char* bytes = text.data();
    std::size_t left = text.size();
    for (; left > kWord; left -= kWord, bytes += kWord) hash = mix(hash ^ word(bytes));
    // The last one to eight bytes: as the word that ends the text (overlapping bytes already
    // mixed) when the text has one, else byte by byte.
    std::uint64_t last = 0;
    if (text.size() >= kWord) {
      last = word(text.data() + text.size() - kWord);
    } else {
      for (std::size_t i = 0; i < left; ++i) {
        last |= std::uint64_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
      }
    }
    hash = mix(hash ^ last);
    return static_cast<std::size_t>(hash ^ (hash >> 31));
  }

 private:
  static std::uint64_t word(const char* bytes) noexcept {
    std::uint64_t value = 0;
    std::memcpy(&value, bytes, sizeof(value));
    return value;
  }
  // One multiply spreads the low bits upwards; folding the high half back spreads them down.
  static std::uint64_t mix(std::uint64_t value) noexcept {
    value *= 0xFF51AFD7ED558CCDULL;
    return value ^ (value >> 32);
  }
};

}  // namespace QVRAdKit::Platform
