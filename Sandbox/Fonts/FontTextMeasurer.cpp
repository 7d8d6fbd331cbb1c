#include "Sandbox/Fonts/FontTextMeasurer.h"

#include <mutex>
#include <utility>

namespace QVRAdKit::Sandbox {

FontTextMeasurer::Made FontTextMeasurer::dejaVuSans() {
  static std::once_flag once;
  static Made made;
  std::call_once(once, [] {
    auto regular = FontFace::open(kDejaVuSansPath);
    auto bold = FontFace::open(kDejaVuSansBoldPath);
    if (const auto* problem = std::get_if<std::string>(&regular)) {
      made = *problem + " (Debian's fonts-dejavu-core has it)";
    } else if (const auto* problem = std::get_if<std::string>(&bold)) {
      made = *problem + " (Debian's fonts-dejavu-core has it)";
    } else {
      made = std::make_shared<FontTextMeasurer>(
          std::get<std::shared_ptr<const FontFace>>(std::move(regular)),
          std::get<std::shared_ptr<const FontFace>>(std::move(bold)));
    }
  });
  return made;
}

FontTextMeasurer::FontTextMeasurer(std::shared_ptr<const FontFace> regular,
                                   std::shared_ptr<const FontFace> bold)
    : regular_(std::move(regular)), bold_(std::move(bold)) {}

const FontFace& FontTextMeasurer::face(const UI::Font& font) const {
  const bool bold =
      font.weight == UI::Font::Weight::semibold || font.weight == UI::Font::Weight::bold;
  return bold ? *bold_ : *regular_;
}

double FontTextMeasurer::width(std::string_view text, const UI::Font& font,
                               double pointSize) const {
  return face(font).advance(text, pointSize);
}

UI::TextMeasurer::LineMetrics FontTextMeasurer::lineMetrics(const UI::Font& font,
                                                            double pointSize) const {
  const FontFace& drawn = face(font);
  const double lineHeight = drawn.lineHeight(pointSize);
  // A line gap beyond the glyphs' extent is shared above and below them.
  const double glyphs = drawn.ascender(pointSize) + drawn.descender(pointSize);
  return {lineHeight, (lineHeight - glyphs) / 2 + drawn.ascender(pointSize)};
}

}  // namespace QVRAdKit::Sandbox
