#include "Sandbox/Consent/ConsentUserAnswer.h"

namespace QVRAdKit::Sandbox {

ConsentUserAnswer ConsentUserAnswer::acceptAll() {
  return purposes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {2, 7, 8, 9, 10});
}

ConsentUserAnswer ConsentUserAnswer::rejectAll() {
  return purposes({}, {});
}

ConsentUserAnswer ConsentUserAnswer::purposes(std::initializer_list<int> consented,
                                              std::initializer_list<int> legitimateInterests) {
  ConsentUserAnswer answer;
  answer.consented_ = makePurposes(consented);
  answer.legitimateInterests_ = makePurposes(legitimateInterests);
  return answer;
}

std::string ConsentUserAnswer::purposeConsents() const {
  return encode(consented_);
}

std::string ConsentUserAnswer::purposeLegitimateInterests() const {
  return encode(legitimateInterests_);
}

ConsentUserAnswer::Purposes ConsentUserAnswer::makePurposes(std::initializer_list<int> numbers) {
  Purposes purposes{};
  for (int number : numbers) {
    if (number >= 1 && number <= static_cast<int>(kPurposeCount)) {
      purposes[static_cast<std::size_t>(number - 1)] = true;
    }
  }
  return purposes;
}

std::string ConsentUserAnswer::encode(const Purposes& purposes) {
  std::string text;
  text.reserve(kPurposeCount);
  for (bool granted : purposes) text.push_back(granted ? '1' : '0');
  return text;
}

}  // namespace QVRAdKit::Sandbox
