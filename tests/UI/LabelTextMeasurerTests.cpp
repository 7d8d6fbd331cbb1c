// Labels measured by a registered UI::TextMeasurer: lines break, words break, ellipses and
// shrinking follow the measurer's widths, lines are its metrics apart, and a measurer registered
// (or removed) after a layout is used at the next one.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/UI/Label.h"
#include "QVRAdKit/UI/TextMeasurer.h"

namespace QVRAdKit::UI {
namespace {

using Lines = std::vector<std::string>;
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

// A proportional font at point size 10: "i" and " " are 2 wide, "W" 10, the ellipsis 4, anything
// else 5; widths scale with the point size. Bold text is 20% wider. Lines 15 apart, baseline 11.
class ProportionalMeasurer final : public TextMeasurer {
 public:
  mutable int calls = 0;

  [[nodiscard]] double width(std::string_view text, const Font& font,
                             double pointSize) const override {
    ++calls;
    double units = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text.substr(i).starts_with(kEllipsis)) {
        units += 4;
        i += kEllipsis.size() - 1;
      } else if (text[i] == 'i' || text[i] == ' ') {
        units += 2;
      } else if (text[i] == 'W') {
        units += 10;
      } else {
        units += 5;
      }
    }
    const double bold = font.weight == Font::Weight::bold ? 1.2 : 1.0;
    return units * bold * pointSize / 10;
  }

  [[nodiscard]] LineMetrics lineMetrics(const Font& /*font*/, double pointSize) const override {
    return {1.5 * pointSize, 1.1 * pointSize};
  }
};

class LabelTextMeasurerTest : public ::testing::Test {
 protected:
  void SetUp() override { environment_->setService<TextMeasurer>(measurer_); }

  static std::shared_ptr<Label> label(const std::string& text, int lines, LineBreakMode mode) {
    auto label = Label::create();
    label->setFont(Font::system(10));
    label->setText(text);
    label->setNumberOfLines(lines);
    label->setLineBreakMode(mode);
    return label;
  }

  std::unique_ptr<Platform::Environment> environment_ = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope_{*environment_};
  std::shared_ptr<ProportionalMeasurer> measurer_ = std::make_shared<ProportionalMeasurer>();
};

TEST_F(LabelTextMeasurerTest, LinesBreakWhereTheMeasuredWidthsSay) {
  struct Case {
    const char* text;
    int lines;
    LineBreakMode mode;
    double width;
    Lines expected;
    bool truncated;
  };
  const std::string e(kEllipsis);
  const std::vector<Case> cases = {
      // Narrow letters fit more on a line than the estimate's 5.5 per character would allow:
      // "iiiii iiiii" is 22 wide.
      {"iiiii iiiii", 0, LineBreakMode::byWordWrapping, 22, {"iiiii iiiii"}, false},
      // ... and wide ones fewer: "WW" is 20, "WW WW" 42.
      {"WW WW", 0, LineBreakMode::byWordWrapping, 41, {"WW", "WW"}, false},
      // Exactly as wide as the line still fits.
      {"WW WW", 0, LineBreakMode::byWordWrapping, 42, {"WW WW"}, false},
      // A word wider than the line breaks at the last character that fits.
      {"WWWab", 0, LineBreakMode::byWordWrapping, 25, {"WW", "Wab"}, false},
      {"WWWab", 0, LineBreakMode::byCharWrapping, 25, {"WW", "Wab"}, false},
      // A single character wider than the line still takes a line of its own.
      {"WW", 0, LineBreakMode::byWordWrapping, 4, {"W", "W"}, false},
      // The ellipsis keeps what fits beside it: "aaa" 15 + 4.
      {"aaaaaa", 1, LineBreakMode::byTruncatingTail, 20, {"aaa" + e}, true},
      {"abcdef", 1, LineBreakMode::byTruncatingHead, 20, {e + "def"}, true},
      {"abcdef", 1, LineBreakMode::byTruncatingMiddle, 20, {"ab" + e + "f"}, true},
      {"abcdef", 1, LineBreakMode::byClipping, 20, {"abcd"}, true},
      // The last allowed line ends in an ellipsis, without the space before it.
      {"aa bb cc", 2, LineBreakMode::byTruncatingTail, 14, {"aa", "bb" + e}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SCOPED_TRACE(c.width);
    const TextLayout layout = label(c.text, c.lines, c.mode)->textLayout(c.width);
    EXPECT_EQ(layout.lines, c.expected);
    EXPECT_EQ(layout.truncated, c.truncated);
    double widest = 0;
    for (const auto& line : layout.lines) {
      const double width = measurer_->width(line, Font::system(10), 10);
      if (line.size() > 1 && c.mode != LineBreakMode::byClipping) {
        EXPECT_LE(width, c.width);
      }
      widest = std::max(widest, width);
    }
    // The text's size is the widest line by the measurer, and the lines at its height.
    EXPECT_DOUBLE_EQ(layout.size.width, widest);
    EXPECT_DOUBLE_EQ(layout.size.height, 15.0 * static_cast<double>(layout.lines.size()));
    EXPECT_DOUBLE_EQ(layout.lineHeight, 15);
    EXPECT_DOUBLE_EQ(layout.baseline, 11);
  }
}

TEST_F(LabelTextMeasurerTest, TheFontGoesToTheMeasurer) {
  auto regular = label("aa aa", 0, LineBreakMode::byWordWrapping);
  EXPECT_EQ(regular->textLayout(25).lines, (Lines{"aa aa"}));  // 22
  auto bold = label("aa aa", 0, LineBreakMode::byWordWrapping);
  bold->setFont(Font::system(10, Font::Weight::bold));
  EXPECT_EQ(bold->textLayout(25).lines, (Lines{"aa", "aa"}));  // 26.4
}

TEST_F(LabelTextMeasurerTest, ShrinksByTheMeasuredWidths) {
  // "WWWW" is 40 at 10 points; 30 points hold it at 7.5 points, the largest 1% step that fits.
  auto title = label("WWWW", 1, LineBreakMode::byTruncatingTail);
  title->setAdjustsFontSizeToFitWidth(true);
  title->setMinimumScaleFactor(0.5);
  const TextLayout layout = title->textLayout(30);
  EXPECT_EQ(layout.lines, (Lines{"WWWW"}));
  EXPECT_DOUBLE_EQ(layout.pointSize, 7.5);
  EXPECT_DOUBLE_EQ(layout.lineHeight, 1.5 * 7.5);
  EXPECT_FALSE(layout.truncated);
  // Below the minimum scale it is cut at the smallest size.
  const TextLayout cut = title->textLayout(15);
  EXPECT_DOUBLE_EQ(cut.pointSize, 5);
  EXPECT_TRUE(cut.truncated);
}

TEST_F(LabelTextMeasurerTest, AMeasurerRegisteredOrRemovedLaterIsUsedAtTheNextLayout) {
  environment_->setService<TextMeasurer>(nullptr);
  auto narrow = label("iiiii iiiii", 0, LineBreakMode::byWordWrapping);
  // The estimate: 5.5 per character, so 22 points hold 4.
  EXPECT_EQ(narrow->textLayout(22).lines, (Lines{"iiii", "i", "iiii", "i"}));
  EXPECT_DOUBLE_EQ(narrow->textLayout(22).lineHeight, 12);
  environment_->setService<TextMeasurer>(measurer_);
  EXPECT_EQ(narrow->textLayout(22).lines, (Lines{"iiiii iiiii"}));
  EXPECT_DOUBLE_EQ(narrow->intrinsicContentSize().width, 22);
  environment_->setService<TextMeasurer>(nullptr);
  EXPECT_EQ(narrow->textLayout(22).lines, (Lines{"iiii", "i", "iiii", "i"}));
}

// A label that laid its text out at one width answers for narrower widths from that layout when
// it may; whatever it answers must be what measuring afresh at that width gives, on both sides of
// the widest line and with cut, broken, shrunk and multi-paragraph text, measured or estimated.
TEST_F(LabelTextMeasurerTest, NarrowerWidthsGiveWhatMeasuringAfreshGives) {
  struct Case {
    const char* text;
    int lines;
    LineBreakMode mode;
    bool shrinks;
  };
  const std::vector<Case> cases = {
      {"aa bb cc dd", 0, LineBreakMode::byWordWrapping, false},
      {"Get 7 days\nNo card needed", 0, LineBreakMode::byTruncatingTail, false},
      {"aa bb cc dd", 2, LineBreakMode::byTruncatingTail, false},
      {"WWWWab cd", 0, LineBreakMode::byWordWrapping, false},
      {"abcdefgh ij", 0, LineBreakMode::byCharWrapping, false},
      {"one two\n\nthree", 1, LineBreakMode::byTruncatingTail, false},
      {"Premium for a week", 0, LineBreakMode::byTruncatingTail, true},
      {"WWWW", 1, LineBreakMode::byTruncatingTail, true},
  };
  const auto configured = [](const Case& c) {
    auto made = label(c.text, c.lines, c.mode);
    made->setAdjustsFontSizeToFitWidth(c.shrinks);
    made->setMinimumScaleFactor(c.shrinks ? 0.5 : 0);
    return made;
  };
  for (const bool measured : {true, false}) {
    environment_->setService<TextMeasurer>(measured ? measurer_ : nullptr);
    for (const Case& c : cases) {
      for (const double first : {0.0, 60.0, 120.0}) {
        auto kept = configured(c);
        const TextLayout wide = kept->textLayout(first);
        // Widths from the widest line's down to below it, and a few between it and the first.
        std::vector<double> widths = {wide.size.width, wide.size.width - 0.5, 1, 7.5};
        for (int step = 0; wide.size.width + 1 + 3.5 * step < std::max(first, 200.0); ++step) {
          widths.push_back(wide.size.width + 1 + 3.5 * step);
        }
        for (const double width : widths) {
          SCOPED_TRACE(testing::Message() << c.text << " | measured " << measured << " | first "
                                          << first << " | width " << width);
          EXPECT_EQ(kept->textLayout(width), configured(c)->textLayout(width));
        }
      }
    }
  }
}

// A word of hundreds or thousands of characters breaks, line after line, at the last character
// that fits, whatever way the label finds it; a label of a few lines cuts it on its last line, and
// a shrinking one gives up at its smallest size. The measurer adds up characters, so a greedy pass
// adding widths one by one tells what each line holds.
TEST_F(LabelTextMeasurerTest, LongWordsBreakWhereAddingCharacterWidthsSays) {
  // "a" 5, "i" 2, "W" 10 wide at 10 points: a mix, so line lengths vary.
  const auto longWord = [](size_t length) {
    std::string word;
    for (size_t i = 0; i < length; ++i) word += "aiWaa"[i % 5];
    return word;
  };
  // The longest start of text no wider than width, adding up its characters' widths.
  const auto prefixWithin = [this](std::string_view text, double width, double pointSize) {
    double used = 0;
    size_t length = 0;
    for (; length < text.size(); ++length) {
      used += measurer_->width(text.substr(length, 1), Font::system(10), pointSize);
      if (used > width + 1e-6) break;
    }
    return std::string(text.substr(0, length));
  };
  // Greedy lines of at least one character each.
  const auto greedyLines = [&](std::string_view text, double width, double pointSize) {
    Lines lines;
    while (!text.empty()) {
      std::string line = prefixWithin(text, width, pointSize);
      if (line.empty()) line = std::string(text.substr(0, 1));
      text.remove_prefix(line.size());
      lines.push_back(std::move(line));
    }
    return lines;
  };
  struct Case {
    size_t length;
    double width;
  };
  const std::vector<Case> cases = {
      {511, 23}, {512, 23}, {513, 23}, {514, 97}, {600, 9}, {3000, 97}, {3000, 1000}, {20000, 310},
  };
  const std::string e(kEllipsis);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.length << " characters at " << c.width);
    const std::string word = longWord(c.length);
    const Lines expected = greedyLines(word, c.width, 10);
    ASSERT_GT(expected.size(), 3U);
    EXPECT_EQ(label(word, 0, LineBreakMode::byWordWrapping)->textLayout(c.width).lines, expected);
    EXPECT_EQ(label(word, 0, LineBreakMode::byCharWrapping)->textLayout(c.width).lines, expected);
    // Three lines: the third holds what fits of the rest beside the ellipsis (4 wide).
    const TextLayout cut = label(word, 3, LineBreakMode::byTruncatingTail)->textLayout(c.width);
    const std::string rest = word.substr(expected[0].size() + expected[1].size());
    EXPECT_EQ(cut.lines,
              (Lines{expected[0], expected[1], prefixWithin(rest, c.width - 4, 10) + e}));
    EXPECT_TRUE(cut.truncated);
    // Broken at every size, a shrinking label ends at its smallest and breaks the word there.
    auto shrinking = label(word, 0, LineBreakMode::byTruncatingTail);
    shrinking->setAdjustsFontSizeToFitWidth(true);
    shrinking->setMinimumScaleFactor(0.5);
    const TextLayout shrunk = shrinking->textLayout(c.width);
    EXPECT_DOUBLE_EQ(shrunk.pointSize, 5);
    EXPECT_EQ(shrunk.lines, greedyLines(word, c.width, 5));
  }
}

// A kept layout is reused at its own width, and at any narrower one that still holds its widest
// line; a narrower width or new text is measured again.
TEST_F(LabelTextMeasurerTest, AKeptLayoutOrANarrowerWidthThatHoldsEveryLineIsNotMeasuredAgain) {
  auto text = label("aa bb cc dd", 0, LineBreakMode::byWordWrapping);
  const TextLayout first = text->textLayout(30);
  int calls = measurer_->calls;
  EXPECT_GT(calls, 0);
  EXPECT_EQ(text->textLayout(30), first);
  EXPECT_EQ(measurer_->calls, calls);

  const TextLayout wide = text->textLayout(60);  // one line, 46 wide
  calls = measurer_->calls;
  EXPECT_EQ(text->textLayout(wide.size.width), wide);
  EXPECT_EQ(text->textLayout(50), wide);
  EXPECT_EQ(measurer_->calls, calls);
  // Narrower than the widest line: measured again, and wrapped differently.
  EXPECT_NE(text->textLayout(wide.size.width - 1).lines, wide.lines);
  EXPECT_GT(measurer_->calls, calls);

  calls = measurer_->calls;
  text->setText("aa bb cc dd ee");
  (void)text->textLayout(30);
  EXPECT_GT(measurer_->calls, calls);
}

}  // namespace
}  // namespace QVRAdKit::UI
