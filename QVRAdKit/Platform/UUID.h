#pragma once
// UUID is a 128-bit universally unique identifier as a value, written in the canonical
// 8-4-4-4-12 upper-case hexadecimal form ("E621E1F8-C36C-495A-93FC-0C247A3E6E5F").
// Threading: a value; random() may be called from any thread (each thread has its own generator,
// which seedCurrentThread() reseeds).

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "QVRAdKit/Platform/UUIDText.h"

namespace QVRAdKit::Platform {

class UUID {
 public:
  using Bytes = std::array<std::uint8_t, 16>;

  // The nil UUID (all zero).
  constexpr UUID() = default;
  constexpr explicit UUID(const Bytes& bytes) : bytes_(bytes) {}

  // A random (version 4, RFC 4122 variant) UUID.
  static UUID random();
  // Makes the calling thread's later random() UUIDs a fixed sequence given by seed, so that a
  // seeded sandbox session names its ads the same way on every run.
  static void seedCurrentThread(std::uint64_t seed);
  // Parses the canonical form, hex digits in either case; none for anything else.
  static std::optional<UUID> fromString(std::string_view text);

  // The canonical form: as a string, or held inline.
  [[nodiscard]] std::string uuidString() const;
  [[nodiscard]] UUIDText text() const;
  [[nodiscard]] const Bytes& bytes() const { return bytes_; }

  auto operator<=>(const UUID&) const = default;

 private:
  Bytes bytes_{};
};

}  // namespace QVRAdKit::Platform
