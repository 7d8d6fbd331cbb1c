#pragma once
// UUIDText is a UUID's canonical text (UUID::text()), its 36 characters held inline: an object
// named by a uuid keeps its name without a heap allocation of its own and hands it out as a view.
// Example:
//   const Platform::UUIDText name = Platform::UUID::random().text();
//   reporter->reportAdRequested(AdSource::adMob, unitID, name.view());
// Threading: a value.

#include <array>
#include <cstddef>
#include <string_view>

namespace QVRAdKit::Platform {

class UUIDText {
 public:
  static constexpr std::size_t kLength = 36;
  using Characters = std::array<char, kLength>;

  explicit UUIDText(const Characters& characters) : characters_(characters) {}

  [[nodiscard]] std::string_view view() const { return {characters_.data(), kLength}; }

 private:
  Characters characters_;
};

}  // namespace QVRAdKit::Platform
