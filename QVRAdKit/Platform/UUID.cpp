#include "QVRAdKit/Platform/UUID.h"

#include <array>
#include <cstring>
#include <random>

#include "QVRAdKit/Platform/MersenneTwister64.h"

namespace QVRAdKit::Platform {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The two upper-case hex digits of every byte value, so that a byte is written in one copy.
constexpr std::array<std::array<char, 2>, 256> kHexPairs = [] {
  std::array<std::array<char, 2>, 256> pairs{};
  for (std::size_t value = 0; value < pairs.size(); ++value) {
    pairs[value] = {kHexDigits[value >> 4], kHexDigits[value & 0x0F]};
  }
  return pairs;
}();

bool isHyphenPosition(size_t index) {
  return index == 8 || index == 13 || index == 18 || index == 23;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

MersenneTwister64& threadGenerator() {
  thread_local MersenneTwister64 generator = [] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device(),
                       device(), device(), device(), device()};
    return MersenneTwister64(seed);
  }();
  return generator;
}

}  // namespace

void UUID::seedCurrentThread(std::uint64_t seed) {
  threadGenerator().seed(seed);
}

UUID UUID::random() {
  MersenneTwister64& generator = threadGenerator();
  Bytes bytes{};
  for (size_t half = 0; half < 2; ++half) {
    std::uint64_t bits = generator();
    for (size_t i = 0; i < 8; ++i) {
      bytes[half * 8 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
  }
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // variant 10xx
  return UUID(bytes);
}

std::optional<UUID> UUID::fromString(std::string_view text) {
  if (text.size() != 36) return std::nullopt;
  Bytes bytes{};
  size_t nibble = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (isHyphenPosition(i)) {
      if (text[i] != '-') return std::nullopt;
      continue;
    }
    const int value = hexValue(text[i]);
    if (value < 0) return std::nullopt;
    bytes[nibble / 2] |= static_cast<std::uint8_t>(nibble % 2 == 0 ? value << 4 : value);
    ++nibble;
  }
  return UUID(bytes);
}

std::string UUID::uuidString() const {
  return std::string(text().view());
}

UUIDText UUID::text() const {
  // Every ad's uuid is written here. Groups of 4, 2, 2, 2 and 6 bytes, joined by hyphens: where
  // each byte's digits go.
  static constexpr std::array<std::uint8_t, 16> kPlaces{0,  2,  4,  6,  9,  11, 14, 16,
                                                        19, 21, 24, 26, 28, 30, 32, 34};
  UUIDText::Characters text{};
  text[8] = text[13] = text[18] = text[23] = '-';
  for (size_t i = 0; i < bytes_.size(); ++i) {
    std::memcpy(&text[kPlaces[i]], kHexPairs[bytes_[i]].data(), 2);
  }
  return UUIDText(text);
}

}  // namespace QVRAdKit::Platform
