// Feeds arbitrary text to the parsers of the platform's value types and to the consent string
// check. None may crash or read out of bounds, and what a parser accepts must survive a round
// trip through its own text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "QVRAdKit/Consent/GDPRString.h"
#include "QVRAdKit/Platform/Decimal.h"
#include "QVRAdKit/Platform/URL.h"
#include "QVRAdKit/Platform/UUID.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  using namespace QVRAdKit;

  if (auto uuid = Platform::UUID::fromString(text)) {
    const auto canonical = uuid->uuidString();
    require(canonical.size() == text.size());
    require(Platform::UUID::fromString(canonical) == uuid);
  }
  if (auto url = Platform::URL::string(text)) {
    require(url->absoluteString() == text);
    require(!url->scheme().empty());
    (void)url->host();
  }
  if (auto decimal = Platform::Decimal::fromString(text)) {
    const auto again = Platform::Decimal::fromString(decimal->stringValue());
    require(again.has_value() && again->stringValue() == decimal->stringValue());
  }
  // The first byte picks the position; the rest is the consent string. Positions count UTF-16
  // code units, so only an ASCII text can be checked byte by byte; any text must give the same
  // answer one position further on once an ASCII letter is put in front of it, and a text never
  // has more code units than bytes.
  if (!text.empty()) {
    const auto index = static_cast<std::size_t>(data[0]);
    const auto consent = text.substr(1);
    const bool found = hasChar(consent, u'1', index);
    bool ascii = true;
    for (const char byte : consent) ascii = ascii && static_cast<unsigned char>(byte) < 0x80;
    if (ascii) require(found == (index < consent.size() && consent[index] == '1'));
    if (found) require(index < consent.size());
    const std::string shifted = "0" + std::string(consent);
    require(hasChar(shifted, u'1', index + 1) == found);
  }
  return 0;
}
