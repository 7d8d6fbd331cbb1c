#pragma once
// TextEqual compares texts for equality without a library call: eight bytes at a time, the last
// word overlapping the one before, and below eight with two overlapping words of four or two. The
// texts the module compares on every ad event (36-character uuids, parameter names of a few
// characters) are short enough that calling memcmp costs more than the comparison. It is
// transparent, the partner of TextHash in maps searched by std::string_view.
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
    if (size < sizeof(std::uint64_t)) return shortEqual(left.data(), right.data(), size);
    const std::size_t last = size - sizeof(std::uint64_t);
    for (std::size_t at = 0; at < last; at += sizeof(std::uint64_t)) {
      if (word<std::uint64_t>(left, at) != word<std::uint64_t>(right, at)) return false;
    }
    return word<std::uint64_t>(left, last) == word<std::uint64_t>(right, last);
  }

 private:
  template <class Word>
  static Word word(std::string_view text, std::size_t at) noexcept {
    Word value = 0;
    std::memcpy(&value, text.data() + at, sizeof(value));
    return value;
  }
  // Below eight bytes: two overlapping words of four, or of two, cover the text.
  static bool shortEqual(const char* left, const char* right, std::size_t size) noexcept {
    const auto same = [&]<class Word>(Word /*width*/) {
      const std::string_view a(left, size);
      const std::string_view b(right, size);
      const std::size_t last = size - sizeof(Word);
      return word<Word>(a, 0) == word<Word>(b, 0) && word<Word>(a, last) == word<Word>(b, last);
    };
    if (size >= sizeof(std::uint32_t)) return same(std::uint32_t{});
    if (size >= sizeof(std::uint16_t)) return same(std::uint16_t{});
    return size == 0 || *left == *right;
  }
};

}  // namespace QVRAdKit::Platform
