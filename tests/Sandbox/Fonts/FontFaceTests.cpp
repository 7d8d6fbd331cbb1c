// The sandbox's fonts: DejaVu Sans opened with FreeType and shaped with HarfBuzz, the measurer
// the banner picture registers, and the subsets it embeds.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <variant>

#include "QVRAdKit/UI/Font.h"
#include "QVRAdKit/UI/Label.h"
#include "Sandbox/Fonts/FontFace.h"
#include "Sandbox/Fonts/FontTextMeasurer.h"

namespace QVRAdKit::Sandbox {
namespace {

// What a factory made, or a failure naming its problem and null.
template <class Pointer>
Pointer made(std::variant<Pointer, std::string> result) {
  if (const auto* problem = std::get_if<std::string>(&result)) {
    ADD_FAILURE() << *problem;
    return nullptr;
  }
  return std::get<Pointer>(std::move(result));
}

TEST(FontFaceTest, MissingOrBrokenFilesSayWhy) {
  const auto missing = FontFace::open("/nonexistent/NoSuchFont.ttf");
  ASSERT_TRUE(std::holds_alternative<std::string>(missing));
  EXPECT_NE(std::get<std::string>(missing).find("/nonexistent/NoSuchFont.ttf"), std::string::npos);

  const auto notAFont = FontFace::fromBytes("this is not a font", "notes.txt");
  ASSERT_TRUE(std::holds_alternative<std::string>(notAFont));
  EXPECT_NE(std::get<std::string>(notAFont).find("notes.txt is not a scalable font"),
            std::string::npos);
  EXPECT_TRUE(std::holds_alternative<std::string>(FontFace::fromBytes("", "empty.ttf")));
}

TEST(FontFaceTest, DejaVuSansMeasuresRunsInProportionToTheSize) {
  const auto face = made(FontFace::open(FontTextMeasurer::kDejaVuSansPath));
  ASSERT_TRUE(face);
  EXPECT_EQ(face->familyName(), "DejaVu Sans");
  EXPECT_FALSE(face->isBold());
  EXPECT_DOUBLE_EQ(face->advance("", 15), 0);
  const double at15 = face->advance("Get 7 days of Premium free", 15);
  EXPECT_GT(at15, 100);
  EXPECT_LT(at15, 300);
  EXPECT_NEAR(face->advance("Get 7 days of Premium free", 30), 2 * at15, 1e-9);
  // A run is wider than any of its parts, and narrow letters are narrower than wide ones.
  EXPECT_GT(face->advance("Premium free", 15), face->advance("Premium", 15));
  EXPECT_LT(face->advance("iiii", 15), face->advance("WWWW", 15));
  // Lines: ascender above the baseline, descender below, the line at least both.
  EXPECT_GT(face->ascender(10), 5);
  EXPECT_GT(face->descender(10), 0);
  EXPECT_GE(face->lineHeight(10), face->ascender(10) + face->descender(10) - 1e-9);
  EXPECT_TRUE(face->hasGlyph(U'A'));
  EXPECT_TRUE(face->hasGlyph(U'\u2026'));  // the labels' ellipsis
  EXPECT_FALSE(face->hasGlyph(0xE000));    // a private-use code point
}

TEST(FontFaceTest, ASubsetHoldsTheDrawnCharactersAtTheSameAdvances) {
  const auto face = made(FontFace::open(FontTextMeasurer::kDejaVuSansBoldPath));
  ASSERT_TRUE(face);
  const std::string text = "Caf\xC3\xA9 AVA\xE2\x80\xA6";
  std::set<char32_t> characters = {U'C', U'a', U'f', U'\u00E9', U' ', U'A', U'V', U'\u2026'};
  const std::string bytes = face->subset(characters);
  ASSERT_FALSE(bytes.empty());
  EXPECT_LT(bytes.size(), std::filesystem::file_size(face->path()) / 10);
  const auto cut = made(FontFace::fromBytes(bytes, "subset"));
  ASSERT_TRUE(cut);
  for (const char32_t c : characters) EXPECT_TRUE(cut->hasGlyph(c)) << static_cast<int>(c);
  EXPECT_FALSE(cut->hasGlyph(U'z'));
  // Kerning and advances travel with it: the browser draws the embedded subset as wide as the
  // full face measured.
  EXPECT_NEAR(cut->advance(text, 16), face->advance(text, 16), 1e-9);
  EXPECT_NEAR(cut->lineHeight(16), face->lineHeight(16), 1e-9);
}

TEST(FontTextMeasurerTest, WeightsPickTheirFaceAndLinesUseItsMetrics) {
  const auto measurer = made(FontTextMeasurer::dejaVuSans());
  ASSERT_TRUE(measurer);
  const UI::Font regular{"SF Pro Text", 15, UI::Font::Weight::regular};
  const UI::Font medium{"SF Pro Text", 15, UI::Font::Weight::medium};
  const UI::Font semibold{"SF Pro Text", 15, UI::Font::Weight::semibold};
  const UI::Font bold{"SF Pro Text", 15, UI::Font::Weight::bold};
  EXPECT_FALSE(measurer->face(regular).isBold());
  EXPECT_FALSE(measurer->face(medium).isBold());
  EXPECT_TRUE(measurer->face(semibold).isBold());
  EXPECT_TRUE(measurer->face(bold).isBold());
  EXPECT_GT(measurer->width("Premium", bold, 15), measurer->width("Premium", regular, 15));
  const auto metrics = measurer->lineMetrics(regular, 20);
  EXPECT_DOUBLE_EQ(metrics.lineHeight, measurer->face(regular).lineHeight(20));
  EXPECT_GE(metrics.baseline, measurer->face(regular).ascender(20) - 1e-9);
  EXPECT_LE(metrics.baseline, metrics.lineHeight);
  // Why the picture needs the font: the view kit's fixed estimate (0.55 em a character) is far
  // too narrow for wide capitals, so lines it lays out would run past their label.
  const double estimated = 10 * UI::Label::kGlyphWidthFactor * 16;
  EXPECT_GT(measurer->width("WWWWWWWWWW", UI::Font{"SF Pro Text", 16, UI::Font::Weight::bold}, 16),
            estimated * 1.5);
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
