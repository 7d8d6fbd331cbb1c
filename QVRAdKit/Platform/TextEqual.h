#pragma once
// TextEqual compares texts for equality without a library call: eight bytes at a time, the last
// word overlapping the one before, and byte by byte below eight. The texts the module compares on
// every ad event (36-character uuids, parameter names of a few characters) are short enough that
// calling memcmp costs more than the comparison. It is transparent, the partner of TextHash in
// maps searched by std::string_view.
// Example:
//   std::unordered_map<std::string, int, Platform::TextHash, Platform::TextEqual> counts;
//   Platform::TextEqual{}("aaid", name);

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace QVRAdKit::Platform {

struct TextEqual {
  using is_transparent = void;

  bool operator()(std::string_view left, std::string_view right) const noexcept {
    const std::size_t size = left.size();
    if (size != right.size()) return false;
    if (size < sizeof(std::uint64_t)) {
      for (std::size_t i = 0; i < size; ++i) {
        if (left[i] != right[i]) return false;
      }
      return true;
    }
    const std::size_t last = size - sizeof(std::uint64_t);
    for (std::size_t at = 0; at < last; at += sizeof(std::uint64_t)) {
      if (word(left, at) != word(right, at)) return false;
    }
    return word(left, last) == word(right, last);
  }

 private:
  static std::uint64_t word(std::string_view text, std::size_t at) noexcept {
    std::uint64_t value = 0;
    std::memcpy(&value, text.data() + at, sizeof(value));
    return value;
  }
};

}  // namespace QVRAdKit::Platform
