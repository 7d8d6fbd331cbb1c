#include "QVRAdKit/UI/Label.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

namespace QVRAdKit::UI {
namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";  // "…"
constexpr double kUnlimited = std::numeric_limits<double>::infinity();

using Characters = std::vector<std::string_view>;  // one UTF-8 code point each

// Splits UTF-8 text into code points; a malformed byte counts as one character.
Characters splitCharacters(std::string_view text) {
  Characters characters;
  characters.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 1;
    if (lead >= 0xF0 && lead < 0xF8) {
      length = 4;
    } else if (lead >= 0xE0) {
      length = lead < 0xF0 ? 3 : 1;
    } else if (lead >= 0xC0) {
      length = 2;
    }
    if (i + length > text.size()) length = 1;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
        length = 1;
        break;
      }
    }
    characters.push_back(text.substr(i, length));
    i += length;
  }
  return characters;
}

std::string join(const Characters& characters, size_t from, size_t to) {
  std::string text;
  for (size_t i = from; i < to && i < characters.size(); ++i) text.append(characters[i]);
  return text;
}

struct Line {
  size_t begin = 0;  // character range within the paragraph
  size_t end = 0;
};

struct Wrapped {
  std::vector<std::pair<size_t, Line>> lines;  // paragraph index, range
  bool brokeWord = false;
};

// The text's paragraphs (split at "\n"), each as its characters.
std::vector<Characters> splitParagraphs(const std::string& text) {
  std::vector<Characters> paragraphs;
  std::string_view rest = text;
  for (;;) {
    const size_t newline = rest.find('\n');
    paragraphs.push_back(splitCharacters(rest.substr(0, newline)));
    if (newline == std::string_view::npos) break;
    rest.remove_prefix(newline + 1);
  }
  return paragraphs;
}

// Greedy wrapping of every paragraph to maxChars characters per line.
Wrapped wrap(const std::vector<Characters>& paragraphs, size_t maxChars, bool byCharacter) {
  Wrapped wrapped;
  for (size_t p = 0; p < paragraphs.size(); ++p) {
    const Characters& chars = paragraphs[p];
    if (chars.empty()) {
      wrapped.lines.push_back({p, {0, 0}});
      continue;
    }
    if (byCharacter) {
      for (size_t begin = 0; begin < chars.size(); begin += maxChars) {
        wrapped.lines.push_back({p, {begin, std::min(chars.size(), begin + maxChars)}});
      }
      continue;
    }
    size_t lineBegin = 0;
    size_t lineEnd = 0;  // exclusive; lineBegin == lineEnd while the line is empty
    bool lineEmpty = true;
    size_t i = 0;
    while (i <= chars.size()) {
      // The next word: [i, wordEnd).
      size_t wordEnd = i;
      while (wordEnd < chars.size() && chars[wordEnd] != " ") ++wordEnd;
      const size_t wordLength = wordEnd - i;
      if (lineEmpty) {
        size_t begin = i;
        while (wordEnd - begin > maxChars) {  // a word wider than the line is broken
          wrapped.lines.push_back({p, {begin, begin + maxChars}});
          wrapped.brokeWord = true;
          begin += maxChars;
        }
        lineBegin = begin;
        lineEnd = wordEnd;
        lineEmpty = false;
      } else if ((lineEnd - lineBegin) + 1 + wordLength <= maxChars) {
        lineEnd = wordEnd;
      } else {
        wrapped.lines.push_back({p, {lineBegin, lineEnd}});
        lineEmpty = true;
        continue;  // the same word starts the next line
      }
      i = wordEnd + 1;  // past the space
    }
    if (!lineEmpty) wrapped.lines.push_back({p, {lineBegin, lineEnd}});
  }
  return wrapped;
}

// The last allowed line's characters with an ellipsis, fitting maxChars.
std::string truncateLine(const Characters& rest, size_t maxChars, LineBreakMode mode,
                         bool singleLine) {
  const size_t keep = maxChars > 0 ? maxChars - 1 : 0;
  if (singleLine && mode == LineBreakMode::byTruncatingHead) {
    return std::string(kEllipsis) +
           join(rest, rest.size() - std::min(keep, rest.size()), rest.size());
  }
  if (singleLine && mode == LineBreakMode::byTruncatingMiddle) {
    const size_t head = (keep + 1) / 2;
    const size_t tail = keep - head;
    return join(rest, 0, head) + std::string(kEllipsis) +
           join(rest, rest.size() - std::min(tail, rest.size()), rest.size());
  }
  size_t end = std::min(keep, rest.size());
  while (end > 0 && rest[end - 1] == " ") --end;  // no space before the ellipsis
  return join(rest, 0, end) + std::string(kEllipsis);
}

bool isTruncating(LineBreakMode mode) {
  return mode == LineBreakMode::byTruncatingHead || mode == LineBreakMode::byTruncatingMiddle ||
         mode == LineBreakMode::byTruncatingTail;
}

struct Measure {
  TextLayout layout;
  bool fits = true;  // nothing cut and no word broken
};

// How many characters fit on a line of width at pointSize.
size_t charactersPerLine(double width, double pointSize) {
  const double glyph = Label::kGlyphWidthFactor * pointSize;
  const bool unlimited = !(width > 0) || std::isinf(width) || glyph <= 0;
  return unlimited ? std::numeric_limits<size_t>::max()
                   : std::max<size_t>(1, static_cast<size_t>(std::floor(width / glyph + 1e-9)));
}

size_t lineLimit(int numberOfLines) {
  return numberOfLines > 0 ? static_cast<size_t>(numberOfLines)
                           : std::numeric_limits<size_t>::max();
}

// Whether the whole text (paragraphs, not empty) shows at maxChars characters per line without a
// cut or a broken word; the same answer measure() gives, without building the lines' text.
bool fitsAt(const std::vector<Characters>& paragraphs, size_t maxChars, int numberOfLines,
            LineBreakMode mode) {
  if (numberOfLines == 1) return paragraphs.size() == 1 && paragraphs.front().size() <= maxChars;
  const Wrapped wrapped = wrap(paragraphs, maxChars, mode == LineBreakMode::byCharWrapping);
  return !wrapped.brokeWord && wrapped.lines.size() <= lineLimit(numberOfLines);
}

Measure measure(const std::string& text, double width, double pointSize, int numberOfLines,
                LineBreakMode mode) {
  Measure result;
  TextLayout& layout = result.layout;
  layout.pointSize = pointSize;
  layout.lineHeight = Label::kLineHeightFactor * pointSize;
  if (text.empty()) return result;
  const double glyph = Label::kGlyphWidthFactor * pointSize;
  const size_t maxChars = charactersPerLine(width, pointSize);
  const bool singleLine = numberOfLines == 1;
  const std::vector<Characters> paragraphs = splitParagraphs(text);
  // One line: no wrapping, the first paragraph only.
  const Wrapped wrapped = singleLine
                              ? wrap(paragraphs, std::numeric_limits<size_t>::max(), false)
                              : wrap(paragraphs, maxChars, mode == LineBreakMode::byCharWrapping);
  result.fits = !wrapped.brokeWord;
  const size_t limit = lineLimit(numberOfLines);
  const size_t shown = std::min(limit, wrapped.lines.size());
  for (size_t i = 0; i < shown; ++i) {
    const auto& [paragraph, range] = wrapped.lines[i];
    const Characters& chars = paragraphs[paragraph];
    const bool last = i + 1 == shown;
    const bool moreLines = wrapped.lines.size() > shown;
    if (last && (moreLines || (singleLine && chars.size() > maxChars))) {
      // Text is cut after this line.
      result.fits = false;
      layout.truncated = true;
      const Characters rest(chars.begin() + static_cast<std::ptrdiff_t>(range.begin), chars.end());
      if (isTruncating(mode)) {
        layout.lines.push_back(truncateLine(rest, maxChars, mode, singleLine));
      } else if (singleLine) {
        layout.lines.push_back(join(rest, 0, std::min(rest.size(), maxChars)));  // clipped
      } else {
        layout.lines.push_back(join(chars, range.begin, range.end));  // as wrapped
      }
      continue;
    }
    layout.lines.push_back(join(chars, range.begin, range.end));
  }
  size_t widest = 0;
  for (const auto& line : layout.lines) widest = std::max(widest, splitCharacters(line).size());
  layout.size = {static_cast<double>(widest) * glyph,
                 static_cast<double>(layout.lines.size()) * layout.lineHeight};
  return result;
}

}  // namespace

std::shared_ptr<Label> Label::create(Rect frame) {
  return std::shared_ptr<Label>(new Label(frame));
}

void Label::setText(std::optional<std::string> text) {
  std::string value = text ? std::move(*text) : std::string();
  if (value == text_) return;
  text_ = std::move(value);
  textChanged();
}

void Label::setFont(Font font) {
  if (font == font_) return;
  font_ = std::move(font);
  textChanged();
}

void Label::setNumberOfLines(int lines) {
  lines = std::max(0, lines);
  if (lines == numberOfLines_) return;
  numberOfLines_ = lines;
  textChanged();
}

void Label::setLineBreakMode(LineBreakMode mode) {
  if (mode == lineBreakMode_) return;
  lineBreakMode_ = mode;
  textChanged();
}

void Label::setPreferredMaxLayoutWidth(double width) {
  width = std::max(0.0, width);
  if (width == preferredMaxLayoutWidth_) return;
  preferredMaxLayoutWidth_ = width;
  textChanged();
}

void Label::setAdjustsFontSizeToFitWidth(bool adjusts) {
  if (adjusts == adjustsFontSizeToFitWidth_) return;
  adjustsFontSizeToFitWidth_ = adjusts;
  textChanged();
}

void Label::setMinimumScaleFactor(double factor) {
  factor = std::clamp(factor, 0.0, 1.0);
  if (factor == minimumScaleFactor_) return;
  minimumScaleFactor_ = factor;
  textChanged();
}

void Label::textChanged() {
  cachedLayouts_.fill(std::nullopt);
  invalidateIntrinsicContentSize();
}

const TextLayout& Label::layoutAt(double width) const {
  for (const auto& cached : cachedLayouts_) {
    // Widths compare exactly, NaN never matches: a hit gives what computing again would.
    if (cached && cached->width == width) return cached->layout;
  }
  auto& slot = cachedLayouts_[nextCachedLayout_];
  nextCachedLayout_ = (nextCachedLayout_ + 1) % kCachedLayouts;
  slot = CachedLayout{width, computeLayout(width)};
  return slot->layout;
}

TextLayout Label::computeLayout(double width) const {
  const double size = font_.pointSize;
  Measure full = measure(text_, width, size, numberOfLines_, lineBreakMode_);
  const bool mayShrink = adjustsFontSizeToFitWidth_ && minimumScaleFactor_ > 0 &&
                         minimumScaleFactor_ < 1 && width > 0 && !std::isinf(width);
  if (full.fits || !mayShrink) return std::move(full.layout);
  // The largest size, in steps of 1% of the point size, at which the text fits. Whether it fits
  // depends only on the characters per line, which never shrink as the size goes down, and more
  // characters per line never give more lines or a broken word: so fitting is monotonic in the
  // size and a binary search over the steps finds the same size as trying each step downwards,
  // in a handful of wrapping passes over text split once.
  const int lowest = static_cast<int>(std::ceil(minimumScaleFactor_ * 100 - 1e-9));
  const std::vector<Characters> paragraphs = splitParagraphs(text_);
  const auto fitsAtPercent = [&](int percent) {
    return fitsAt(paragraphs, charactersPerLine(width, size * percent / 100.0), numberOfLines_,
                  lineBreakMode_);
  };
  int fitting = lowest - 1;  // the largest step known to fit; none yet
  int failing = 100;         // the smallest step known not to fit (100%: measured above)
  while (failing - fitting > 1) {
    const int percent = fitting + (failing - fitting) / 2;
    (fitsAtPercent(percent) ? fitting : failing) = percent;
  }
  if (fitting >= lowest) {
    return measure(text_, width, size * fitting / 100.0, numberOfLines_, lineBreakMode_).layout;
  }
  return measure(text_, width, size * minimumScaleFactor_, numberOfLines_, lineBreakMode_).layout;
}

Size Label::intrinsicContentSize() const {
  double width = kUnlimited;
  if (preferredMaxLayoutWidth_ > 0) width = preferredMaxLayoutWidth_;
  return layoutAt(width).size;
}

double Label::heightForWidth(double width) const {
  return layoutAt(width).size.height;
}

}  // namespace QVRAdKit::UI
