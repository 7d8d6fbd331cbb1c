#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/UI/Label.h"

namespace QVRAdKit::UI {
namespace {

using Lines = std::vector<std::string>;

// Point size 10: every character is 5.5 wide, every line 12 high.
std::shared_ptr<Label> label(const std::string& text, int lines, LineBreakMode mode) {
  auto label = Label::create();
  label->setFont(Font::system(10));
  label->setText(text);
  label->setNumberOfLines(lines);
  label->setLineBreakMode(mode);
  return label;
}

class LabelTest : public ::testing::Test {
 protected:
  std::unique_ptr<Platform::Environment> env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*env};
};

TEST_F(LabelTest, WrapsByWordAndLimitsLinesWithOrWithoutEllipsis) {
  // 40 points hold 7 characters.
  auto unlimited = label("one two three", 0, LineBreakMode::byWordWrapping);
  TextLayout layout = unlimited->textLayout(40);
  EXPECT_EQ(layout.lines, (Lines{"one two", "three"}));
  EXPECT_EQ(layout.size, (Size{38.5, 24}));
  EXPECT_FALSE(layout.truncated);

  auto twoLines = label("one two three four five", 2, LineBreakMode::byTruncatingTail);
  layout = twoLines->textLayout(40);
  EXPECT_EQ(layout.lines, (Lines{"one two", "three\xE2\x80\xA6"}));
  EXPECT_TRUE(layout.truncated);
  twoLines->setLineBreakMode(LineBreakMode::byWordWrapping);
  EXPECT_EQ(twoLines->textLayout(40).lines, (Lines{"one two", "three"}));

  // One line does not wrap; the truncating modes put the ellipsis where they say.
  auto single = label("one two three", 1, LineBreakMode::byTruncatingTail);
  EXPECT_EQ(single->textLayout(40).lines, (Lines{"one tw\xE2\x80\xA6"}));
  single->setLineBreakMode(LineBreakMode::byTruncatingHead);
  EXPECT_EQ(single->textLayout(40).lines, (Lines{"\xE2\x80\xA6 three"}));
  single->setLineBreakMode(LineBreakMode::byTruncatingMiddle);
  EXPECT_EQ(single->textLayout(40).lines, (Lines{"one\xE2\x80\xA6ree"}));
  single->setLineBreakMode(LineBreakMode::byClipping);
  EXPECT_EQ(single->textLayout(40).lines, (Lines{"one two"}));
  // Exactly as wide as the text: nothing cut.
  EXPECT_FALSE(single->textLayout(13 * 5.5).truncated);

  // A word wider than the line is broken; hard line breaks always break.
  auto longWord = label("abcdefghij\nxy", 0, LineBreakMode::byWordWrapping);
  EXPECT_EQ(longWord->textLayout(22).lines, (Lines{"abcd", "efgh", "ij", "xy"}));
}

TEST_F(LabelTest, CountsCodePointsNotBytes) {
  // Five characters per 30-point line, though "héllo" is six bytes.
  auto accented = label("h\xC3\xA9llo w\xC3\xB6rld", 0, LineBreakMode::byWordWrapping);
  EXPECT_EQ(accented->textLayout(30).lines, (Lines{"h\xC3\xA9llo", "w\xC3\xB6rld"}));
  auto japanese = label("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", 1, LineBreakMode::byTruncatingTail);
  EXPECT_EQ(japanese->intrinsicContentSize(), (Size{16.5, 12}));
  // Truncation never splits a multi-byte character.
  EXPECT_EQ(japanese->textLayout(12).lines, (Lines{"\xE6\x97\xA5\xE2\x80\xA6"}));
  // Malformed UTF-8 still measures, one character per stray byte.
  auto malformed = label(std::string("a\xC3") + "b", 1, LineBreakMode::byClipping);
  EXPECT_EQ(malformed->intrinsicContentSize().width, 3 * 5.5);
}

TEST_F(LabelTest, NeverBreaksOrCutsInsideACharacterOfSeveralCodePoints) {
  const std::string ellipsis = "\xE2\x80\xA6";
  struct Case {
    const char* what;
    std::string unit;  // one character as a reader sees it
  };
  const Case cases[] = {
      // man ZWJ woman ZWJ girl: five code points, one character.
      {"family", "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"},
      {"flag", "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7"},       // regional indicators F R
      {"combining", "e\xCC\x81"},                         // e, combining acute
      {"arabic", "\xD8\xA8\xD9\x90"},                     // beh, kasra
      {"hebrew", "\xD7\x91\xD6\xB0"},                     // bet, sheva
      {"devanagari", "\xE0\xA4\x95\xE0\xA4\xBF"},         // ka, vowel sign i (spacing)
      {"thai", "\xE0\xB8\x81\xE0\xB8\xB4"},               // ko kai, sara i
      {"skin tone", "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"},  // thumbs up, medium tone
      {"variation", "\xE2\x9D\xA4\xEF\xB8\x8F"},          // heart, emoji style
  };
  for (const Case& c : cases) {
    std::string text;
    for (int i = 0; i < 5; ++i) text += c.unit;
    const auto wholeUnits = [&](std::string line) {
      if (line.ends_with(ellipsis)) line.resize(line.size() - ellipsis.size());
      for (size_t at = 0; at < line.size(); at += c.unit.size()) {
        if (line.compare(at, c.unit.size(), c.unit) != 0) return false;
      }
      return true;
    };
    // One character per 9-point line; each is 5.5 wide, however many code points it has.
    auto wrapping = label(text, 0, LineBreakMode::byWordWrapping);
    EXPECT_EQ(wrapping->intrinsicContentSize().width, 5 * 5.5) << c.what;
    const TextLayout wrapped = wrapping->textLayout(9);
    std::string joined;
    for (const std::string& line : wrapped.lines) {
      EXPECT_TRUE(wholeUnits(line)) << c.what << ": \"" << line << "\"";
      joined += line;
    }
    EXPECT_EQ(joined, text) << c.what << ": nothing lost";
    EXPECT_EQ(wrapped.lines.size(), 5U) << c.what;
    for (LineBreakMode mode : {LineBreakMode::byTruncatingTail, LineBreakMode::byClipping}) {
      for (const std::string& line : label(text, 1, mode)->textLayout(13.5).lines) {
        EXPECT_TRUE(wholeUnits(line)) << c.what << " cut: \"" << line << "\"";
      }
    }
  }
  // Three indicators: the first two make a flag, the third stands alone.
  const std::string fr = "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7";
  const std::string lone = "\xF0\x9F\x87\xA9";
  EXPECT_EQ(label(fr + lone, 0, LineBreakMode::byWordWrapping)->textLayout(9).lines,
            (Lines{fr, lone}));
}

TEST_F(LabelTest, ShrinksDownToTheMinimumScaleBeforeTruncating) {
  auto title = label("abcdefghij", 1, LineBreakMode::byTruncatingTail);  // 55 wide at size 10
  title->setMinimumScaleFactor(0.5);
  EXPECT_TRUE(title->textLayout(44).truncated);  // not adjusting yet

  title->setAdjustsFontSizeToFitWidth(true);
  TextLayout layout = title->textLayout(44);
  EXPECT_EQ(layout.lines, (Lines{"abcdefghij"}));
  EXPECT_DOUBLE_EQ(layout.pointSize, 8);  // the largest 1% step that fits
  EXPECT_DOUBLE_EQ(layout.lineHeight, 9.6);
  EXPECT_FALSE(layout.truncated);

  // Below the minimum scale: drawn at half size, then truncated.
  layout = title->textLayout(20);
  EXPECT_DOUBLE_EQ(layout.pointSize, 5);
  EXPECT_EQ(layout.lines, (Lines{"abcdef\xE2\x80\xA6"}));

  // Multi-line text that wraps at word boundaries needs no shrinking.
  auto wrapping = label("abc abc abc", 0, LineBreakMode::byTruncatingTail);
  wrapping->setAdjustsFontSizeToFitWidth(true);
  wrapping->setMinimumScaleFactor(0.5);
  EXPECT_DOUBLE_EQ(wrapping->textLayout(22).pointSize, 10);
}

// The shrink size is searched, not tried step by step: it must be the size the step-by-step rule
// gives, the largest 1% step of the point size (down to the minimum scale) at which nothing is cut
// and no word is broken. The reference here tries every step on labels that do not shrink.
TEST_F(LabelTest, ShrinkSearchFindsTheLargestFittingStepForEveryShapeOfText) {
  const std::vector<std::string> texts = {"Premium",
                                          "Get 7 days of Premium free",
                                          "Get 7 days\nof Premium free, no card",
                                          "a verylongwordthatmustbreak here",
                                          "x x x x x x x x x x x x x x x x x x x x x x",
                                          "one\ntwo\nthree\nfour"};
  const std::vector<double> widths = {12, 30, 44, 61.5, 90, 200};
  const LineBreakMode modes[] = {LineBreakMode::byTruncatingTail, LineBreakMode::byWordWrapping,
                                 LineBreakMode::byCharWrapping};
  const double minimumScales[] = {0.25, 0.5, 0.83};
  int shrunk = 0;
  for (const std::string& text : texts) {
    for (int lines : {1, 2, 3, 0}) {
      for (LineBreakMode mode : modes) {
        for (double minimumScale : minimumScales) {
          auto shrinking = label(text, lines, mode);
          shrinking->setAdjustsFontSizeToFitWidth(true);
          shrinking->setMinimumScaleFactor(minimumScale);
          auto fixed = label(text, lines, mode);
          for (double width : widths) {
            const auto layoutAt = [&](double pointSize) {
              fixed->setFont(Font::system(pointSize));
              return fixed->textLayout(width);
            };
            // A word is broken when it is wider than the line, wrapping by word on several lines.
            const auto breaksWord = [&](double pointSize) {
              if (lines == 1 || mode == LineBreakMode::byCharWrapping) return false;
              const auto perLine =
                  static_cast<size_t>(width / (Label::kGlyphWidthFactor * pointSize) + 1e-9);
              size_t word = 0;
              for (char c : text + " ") {
                if (c == ' ' || c == '\n') {
                  if (word > std::max<size_t>(1, perLine)) return true;
                  word = 0;
                } else {
                  ++word;
                }
              }
              return false;
            };
            TextLayout expected = layoutAt(10);
            if (expected.truncated || breaksWord(10)) {
              expected = layoutAt(10 * minimumScale);
              for (int percent = 99; percent >= std::ceil(minimumScale * 100 - 1e-9); --percent) {
                const double size = 10.0 * percent / 100.0;
                TextLayout candidate = layoutAt(size);
                if (!candidate.truncated && !breaksWord(size)) {
                  expected = candidate;
                  break;
                }
              }
            }
            const TextLayout actual = shrinking->textLayout(width);
            if (actual.pointSize < 10) ++shrunk;
            EXPECT_EQ(actual, expected) << text << " | lines " << lines << " | width " << width
                                        << " | minimum scale " << minimumScale;
          }
        }
      }
    }
  }
  EXPECT_GT(shrunk, 100) << "the table must exercise shrinking";
}

TEST_F(LabelTest, IntrinsicSizeFollowsPreferredWidthAndEmptyTextIsZero) {
  auto text = label("one two three", 0, LineBreakMode::byWordWrapping);
  EXPECT_EQ(text->intrinsicContentSize(), (Size{71.5, 12}));  // one line without a width
  text->setPreferredMaxLayoutWidth(40);
  EXPECT_EQ(text->intrinsicContentSize(), (Size{38.5, 24}));
  EXPECT_EQ(text->systemLayoutSizeFitting(28).height, 36);  // "one", "two", "three"

  text->setText(std::nullopt);
  EXPECT_EQ(text->text(), "");
  EXPECT_EQ(text->intrinsicContentSize(), (Size{0, 0}));
  EXPECT_TRUE(text->textLayout(40).lines.empty());
}

}  // namespace
}  // namespace QVRAdKit::UI
