#pragma once
// ConsentUserAnswer is what a simulated user answers on the consent form, as the two TCF purpose
// strings a consent platform writes: for each of the ten purposes, '1' when the user consented
// (or, in the second string, did not object to legitimate interest) and '0' otherwise.
// Example:
//   ConsentUserAnswer::purposes({1, 3, 4}, {2, 7, 9, 10}).purposeConsents() == "1011000000"

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>

namespace QVRAdKit::Sandbox {

class ConsentUserAnswer {
 public:
  static constexpr std::size_t kPurposeCount = 10;

  // Consent for every purpose, and legitimate interest for every purpose that admits it
  // (2, 7, 8, 9 and 10).
  [[nodiscard]] static ConsentUserAnswer acceptAll();
  // Neither consent nor legitimate interest for any purpose.
  [[nodiscard]] static ConsentUserAnswer rejectAll();
  // Consent for the given purposes and legitimate interest for the given ones (numbered 1 to 10;
  // other numbers are ignored).
  [[nodiscard]] static ConsentUserAnswer purposes(std::initializer_list<int> consented,
                                                  std::initializer_list<int> legitimateInterests);

  // The value of "IABTCF_PurposeConsents": kPurposeCount characters of 0 and 1.
  [[nodiscard]] std::string purposeConsents() const;
  // The value of "IABTCF_PurposeLegitimateInterests": kPurposeCount characters of 0 and 1.
  [[nodiscard]] std::string purposeLegitimateInterests() const;

  bool operator==(const ConsentUserAnswer&) const = default;

 private:
  using Purposes = std::array<bool, kPurposeCount>;

  static Purposes makePurposes(std::initializer_list<int> numbers);
  static std::string encode(const Purposes& purposes);

  Purposes consented_{};
  Purposes legitimateInterests_{};
};

}  // namespace QVRAdKit::Sandbox
