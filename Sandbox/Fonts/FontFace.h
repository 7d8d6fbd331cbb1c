#pragma once
// FontFace is one font file as the sandbox draws and measures with it: FreeType reads its names
// and vertical metrics, HarfBuzz shapes runs of text (kerning and ligatures included, unhinted,
// so a run's width grows in proportion to the point size) and cuts subsets of it for embedding.
// A browser that draws the same file with HarfBuzz (every current one) places the same glyphs at
// the same advances, so text measured here fits where it is drawn.
// Example:
//   auto face = FontFace::open("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
//   double width = face.value()->advance("Get Premium", 15);
// Threading: immutable once opened; any thread may measure with a shared face.

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <variant>

namespace QVRAdKit::Sandbox {

class FontFace {
 public:
  // The face, or why it could not be opened (missing file, not a font).
  using Opened = std::variant<std::shared_ptr<const FontFace>, std::string>;

  [[nodiscard]] static Opened open(const std::string& path);
  // A font held in memory (a subset, say); name stands for its path in messages.
  [[nodiscard]] static Opened fromBytes(std::string bytes, const std::string& name);

  ~FontFace();
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  // The advance width, in points, of a run of UTF-8 text at pointSize (invalid bytes count as
  // U+FFFD, as a browser draws them).
  [[nodiscard]] double advance(std::string_view text, double pointSize) const;
  // In points at pointSize: from the baseline up to the top of the tallest glyphs, and from the
  // baseline down to the lowest; the distance between two lines' baselines.
  [[nodiscard]] double ascender(double pointSize) const;
  [[nodiscard]] double descender(double pointSize) const;
  [[nodiscard]] double lineHeight(double pointSize) const;

  // "DejaVu Sans"
  [[nodiscard]] const std::string& familyName() const;
  [[nodiscard]] bool isBold() const;
  [[nodiscard]] const std::string& path() const;
  // Whether the font has a glyph for the code point.
  [[nodiscard]] bool hasGlyph(char32_t codePoint) const;

  // The font cut down to the glyphs of these code points (and what shaping them needs), without
  // hinting, as TrueType bytes; empty when the font cannot be cut.
  [[nodiscard]] std::string subset(const std::set<char32_t>& codePoints) const;

 private:
  struct Impl;
  explicit FontFace(std::unique_ptr<Impl> impl);

  std::unique_ptr<Impl> impl_;
};

}  // namespace QVRAdKit::Sandbox
