#include "QVRAdKit/Consent/GDPRString.h"

namespace QVRAdKit {

bool hasChar(std::string_view text, char16_t codeUnit, std::size_t index) {
  if (index >= text.size()) return false;
  return static_cast<char16_t>(static_cast<unsigned char>(text[index])) == codeUnit;
}

}  // namespace QVRAdKit
