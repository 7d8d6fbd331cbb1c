#pragma once
// FontTextMeasurer measures the view kit's text with real fonts: a regular and a bold face (the
// view kit's semibold and bold weights take the bold one; the font's name is not consulted, since
// the sandbox draws every label in one family). Registered as the environment's UI::TextMeasurer,
// it makes labels break their lines where these fonts need them broken, so a picture drawn in the
// same faces shows each line inside its label. Lines are the faces' own height apart.
// Example:
//   auto made = FontTextMeasurer::dejaVuSans();
//   if (auto* measurer = std::get_if<std::shared_ptr<FontTextMeasurer>>(&made))
//     environment->setService<UI::TextMeasurer>(*measurer);
// Threading: immutable; any thread.

#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "QVRAdKit/UI/TextMeasurer.h"
#include "Sandbox/Fonts/FontFace.h"

namespace QVRAdKit::Sandbox {

class FontTextMeasurer final : public UI::TextMeasurer {
 public:
  // Debian's fonts-dejavu-core.
  static constexpr const char* kDejaVuSansPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  static constexpr const char* kDejaVuSansBoldPath =
      "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

  // The measurer, or why its fonts could not be opened.
  using Made = std::variant<std::shared_ptr<FontTextMeasurer>, std::string>;

  // DejaVu Sans and DejaVu Sans Bold; the files are read once per process.
  [[nodiscard]] static Made dejaVuSans();

  FontTextMeasurer(std::shared_ptr<const FontFace> regular, std::shared_ptr<const FontFace> bold);

  // The face a font is drawn in.
  [[nodiscard]] const FontFace& face(const UI::Font& font) const;

  [[nodiscard]] double width(std::string_view text, const UI::Font& font,
                             double pointSize) const override;
  [[nodiscard]] LineMetrics lineMetrics(const UI::Font& font, double pointSize) const override;

 private:
  std::shared_ptr<const FontFace> regular_;
  std::shared_ptr<const FontFace> bold_;
};

}  // namespace QVRAdKit::Sandbox
