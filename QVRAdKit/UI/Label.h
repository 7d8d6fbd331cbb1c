#pragma once
// Label shows text in one font and colour, broken into lines to its width. Text is measured by the
// UI::TextMeasurer registered in the installed environment, when there is one (a host that draws
// with a real font), so that lines break where that font needs them to. Without one, by a simple,
// deterministic estimate:
//  - every character is 0.55 x the point size wide, a space included; a character is what a reader
//    sees as one: a code point ("é" and "日" count once) with the combining marks (of any
//    script), variation selectors and skin tones that follow it (see TextCharacters), what a
//    zero-width joiner joins (an emoji family), and regional indicators in pairs (a flag); no line
//    breaks and no ellipsis cuts inside one; a line is 1.2 x the point size high;
//  - text wraps at spaces (and always at "\n") to the available width; a word wider than the
//    width is broken between characters; byCharWrapping breaks anywhere;
//  - numberOfLines limits the lines (0 = unlimited); text beyond the last allowed line is cut, and
//    with a truncating line-break mode the last line ends in "…" (the ellipsis counts as one
//    character); a line's baseline lies at 0.8 x its height;
//  - with adjustsFontSizeToFitWidth, text that would be cut (or a word that would be broken) is
//    first drawn at a smaller size, in steps of 1% of the point size, down to minimumScaleFactor;
//    only then is it cut.
// With a measurer, a run fits a line when its measured width does, and the lines are as far apart
// as the measurer says; the rules are otherwise the same.
// The available width is the label's width when laying out for drawing (textLayout()); for the
// intrinsic size it is preferredMaxLayoutWidth when set (> 0), otherwise unlimited (one line per
// paragraph). Empty text measures 0 x 0. Text is vertically centred in the bounds, as on the phone.
// Threading: main queue only.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "QVRAdKit/UI/Color.h"
#include "QVRAdKit/UI/Font.h"
#include "QVRAdKit/UI/LineBreakMode.h"
#include "QVRAdKit/UI/TextAlignment.h"
#include "QVRAdKit/UI/TextLayout.h"
#include "QVRAdKit/UI/TextMeasurer.h"
#include "QVRAdKit/UI/View.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit::UI {

class Label : public View {
 public:
  static constexpr double kGlyphWidthFactor = 0.55;
  static constexpr double kLineHeightFactor = 1.2;
  static constexpr double kBaselineFactor = 0.8;

  static std::shared_ptr<Label> create(Rect frame = {});

  // UTF-8. Setting an absent text (the phone's nil) is the empty text.
  [[nodiscard]] const std::string& text() const { return text_; }
  void setText(std::optional<std::string> text);
  [[nodiscard]] const Font& font() const { return font_; }
  void setFont(Font font);
  // Black by default.
  [[nodiscard]] const Color& textColor() const { return textColor_; }
  void setTextColor(Color color) { textColor_ = color; }
  // The colour while highlighted (none = textColor); kept for whoever draws highlighted labels.
  [[nodiscard]] const std::optional<Color>& highlightedTextColor() const {
    return highlightedTextColor_;
  }
  void setHighlightedTextColor(std::optional<Color> color) { highlightedTextColor_ = color; }
  // 1 by default, as on the phone; 0 = unlimited.
  [[nodiscard]] int numberOfLines() const { return numberOfLines_; }
  void setNumberOfLines(int lines);
  // byTruncatingTail by default.
  [[nodiscard]] LineBreakMode lineBreakMode() const { return lineBreakMode_; }
  void setLineBreakMode(LineBreakMode mode);
  // natural by default.
  [[nodiscard]] TextAlignment textAlignment() const { return textAlignment_; }
  void setTextAlignment(TextAlignment alignment) { textAlignment_ = alignment; }
  // 0 (none) by default.
  [[nodiscard]] double preferredMaxLayoutWidth() const { return preferredMaxLayoutWidth_; }
  void setPreferredMaxLayoutWidth(double width);
  [[nodiscard]] bool adjustsFontSizeToFitWidth() const { return adjustsFontSizeToFitWidth_; }
  void setAdjustsFontSizeToFitWidth(bool adjusts);
  // 0 by default (no shrinking); clamped to 0...1.
  [[nodiscard]] double minimumScaleFactor() const { return minimumScaleFactor_; }
  void setMinimumScaleFactor(double factor);

  // The text laid out at the label's current width (for drawing).
  [[nodiscard]] TextLayout textLayout() const { return textLayout(bounds().size.width); }
  // The text laid out at any width; a width <= 0 or infinite means unlimited.
  [[nodiscard]] TextLayout textLayout(double width) const { return layoutAt(width); }

  [[nodiscard]] Size intrinsicContentSize() const override;

 protected:
  explicit Label(Rect frame) : View(frame) {}
  [[nodiscard]] double heightForWidth(double width) const override;

 private:
  // A layout pass asks for the same few widths again and again (intrinsic size, height for the
  // width offered, drawing): the last layouts are kept until the text or a setting changes.
  struct CachedLayout {
    double width = 0;
    std::shared_ptr<const TextMeasurer> measurer;  // none: the estimate
    TextLayout layout;
    // Laid out at the font's size with nothing cut and no word broken: then any width from its
    // widest line up to `width` breaks the lines at the same places.
    bool wholeAtFullSize = false;
  };
  static constexpr std::size_t kCachedLayouts = 4;

  // Where the measurer was read: the installed environment and its registry's version.
  struct MeasurerSource {
    const Platform::Environment* environment = nullptr;
    std::uint64_t version = 0;
  };

  // The measurer registered in the installed environment; none: the estimate.
  [[nodiscard]] const std::shared_ptr<const TextMeasurer>& installedMeasurer() const;
  [[nodiscard]] const TextLayout& layoutAt(double width) const;
  // Sets wholeAtFullSize when the text shows whole at the font's size.
  [[nodiscard]] TextLayout computeLayout(double width, const TextMeasurer* measurer,
                                         bool& wholeAtFullSize) const;
  // Forgets the kept layouts and tells the layout pass that the intrinsic size may have changed.
  void textChanged();

  std::string text_;
  Font font_;
  Color textColor_ = Color::black();
  std::optional<Color> highlightedTextColor_;
  int numberOfLines_ = 1;
  LineBreakMode lineBreakMode_ = LineBreakMode::byTruncatingTail;
  TextAlignment textAlignment_ = TextAlignment::natural;
  double preferredMaxLayoutWidth_ = 0;
  bool adjustsFontSizeToFitWidth_ = false;
  double minimumScaleFactor_ = 0;
  mutable std::array<std::optional<CachedLayout>, kCachedLayouts> cachedLayouts_;
  mutable std::size_t nextCachedLayout_ = 0;  // the slot the next new layout replaces
  mutable std::shared_ptr<const TextMeasurer> measurer_;
  mutable MeasurerSource measurerSource_;
};

}  // namespace QVRAdKit::UI
