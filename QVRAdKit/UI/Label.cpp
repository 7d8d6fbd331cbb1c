#include "QVRAdKit/UI/Label.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/UI/TextCharacters.h"
#include "QVRAdKit/UI/detail/ThreadScratch.h"

namespace QVRAdKit::UI {
namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";  // "…"
constexpr double kUnlimited = std::numeric_limits<double>::infinity();

// One character each (a code point with what joins it, see TextCharacters), as views into one
// text, one after another (a range of them is a range of that text).
using Characters = std::vector<std::string_view>;

// Splits UTF-8 text into characters (its storage reused), so that no line breaks and no ellipsis
// cuts inside one.
void splitCharacters(std::string_view text, Characters& characters) {
  characters.clear();
  characters.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t end = TextCharacters::end(text, i);
    characters.push_back(text.substr(i, end - i));
    i = end;
  }
}

// The text of characters [from, to), read in place.
std::string_view run(const Characters& characters, size_t from, size_t to) {
  to = std::min(to, characters.size());
  if (from >= to) return {};
  const char* begin = characters[from].data();
  const char* end = characters[to - 1].data() + characters[to - 1].size();
  return {begin, static_cast<size_t>(end - begin)};
}

std::string join(const Characters& characters, size_t from, size_t to) {
  return std::string(run(characters, from, to));
}

struct Line {
  size_t begin = 0;  // character range within the paragraph
  size_t end = 0;
};

// A text's paragraphs, each as its characters.
using Paragraphs = std::span<const Characters>;

struct Wrapped {
  std::vector<std::pair<size_t, Line>> lines;  // paragraph index, range
  bool brokeWord = false;
  std::vector<size_t> wordEnds;  // storage for takeWords
};

// The text's paragraphs (split at "\n"), each as its characters, in storage that keeps its
// vectors (the inner ones too) from one call to the next; valid until the next call.
Paragraphs splitParagraphs(const std::string& text, std::vector<Characters>& storage) {
  size_t count = 0;
  std::string_view rest = text;
  for (;;) {
    const size_t newline = rest.find('\n');
    if (storage.size() <= count) storage.emplace_back();
    splitCharacters(rest.substr(0, newline), storage[count++]);
    if (newline == std::string_view::npos) break;
    rest.remove_prefix(newline + 1);
  }
  return {storage.data(), count};
}

// The largest n in [low, high] for which fits(n) holds, given that fits(low) does; fitting is
// taken to be monotonic (a longer run is never narrower), so a binary search finds it.
template <class Fits>
size_t largestFitting(size_t low, size_t high, const Fits& fits) {
  while (low < high) {
    const size_t middle = low + (high - low + 1) / 2;
    if (fits(middle)) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  return low;
}

// Up to this many characters, the rest of a word is searched by halving it whole and a line
// grows one word at a time, as every ordinary title does; past it, both searches start from the
// line's start and double, so that each measure is about a line long (see longestRun, takeWords).
constexpr size_t kShortRest = 512;

// What fits on one line of a width at a point size. Without a measurer, the estimate: a line holds
// a whole number of characters, each kGlyphWidthFactor x the point size wide (at least one per
// line). With one, a run fits when the measurer's width for it is within the line's width.
class LineFit {
 public:
  LineFit(const TextMeasurer* measurer, const Font& font, double width, double pointSize)
      : measurer_(measurer),
        font_(&font),
        width_(width),
        pointSize_(pointSize),
        glyph_(Label::kGlyphWidthFactor * pointSize),
        unlimited_(!(width > 0) || std::isinf(width) || (!measurer && glyph_ <= 0)),
        maxChars_(
            unlimited_ || measurer
                ? std::numeric_limits<size_t>::max()
                : std::max<size_t>(1, static_cast<size_t>(std::floor(width / glyph_ + 1e-9)))) {}

  // Whether characters [begin, end) fit on one line.
  [[nodiscard]] bool fits(const Characters& chars, size_t begin, size_t end) const {
    if (unlimited_) return true;
    if (!measurer_) return end - begin <= maxChars_;
    return within(measurer_->width(run(chars, begin, end), *font_, pointSize_));
  }

  // Whether a line of head characters, an ellipsis and tail characters fits; line builds it.
  template <class Line>
  [[nodiscard]] bool fitsEllipsized(size_t head, size_t tail, const Line& line) const {
    if (unlimited_) return true;
    if (!measurer_) return head + 1 + tail <= maxChars_;  // the ellipsis counts as one
    return within(measurer_->width(line(), *font_, pointSize_));
  }

  // The end of the longest run from begin (before limit > begin) that fits; one character at
  // least, so that every line makes progress. Over a long rest of text (a word of thousands of
  // characters), the search first doubles a run from begin until one does not fit: each
  // measure is then about as long as the line, not as the rest of the text, and breaking a long
  // word into lines costs its length, not its length times its lines.
  [[nodiscard]] size_t longestRun(const Characters& chars, size_t begin, size_t limit) const {
    if (!measurer_) return begin + std::min(limit - begin, maxChars_);
    const auto fitsTo = [&](size_t end) { return fits(chars, begin, end); };
    if (limit - begin <= kShortRest) return largestFitting(begin + 1, limit, fitsTo);
    size_t low = begin + 1;
    for (size_t step = 1;; step *= 2) {
      const size_t probe = begin + 1 + step;
      if (probe >= limit) return fitsTo(limit) ? limit : largestFitting(low, limit - 1, fitsTo);
      if (!fitsTo(probe)) return largestFitting(low, probe - 1, fitsTo);
      low = probe;
    }
  }

  // The end of the first line of a word [begin, wordEnd) broken over lines; none when the whole
  // rest of it fits on one line (as its last character alone always does).
  [[nodiscard]] std::optional<size_t> wordBreak(const Characters& chars, size_t begin,
                                                size_t wordEnd) const {
    if (wordEnd - begin <= 1) return std::nullopt;
    if (wordEnd - begin <= kShortRest) {
      if (fits(chars, begin, wordEnd)) return std::nullopt;
      return longestRun(chars, begin, wordEnd);
    }
    // A long rest is not measured whole: its longest fitting run reaches its end when it fits.
    const size_t end = longestRun(chars, begin, wordEnd);
    if (end == wordEnd) return std::nullopt;
    return end;
  }

  // The same measure on a line of unlimited width.
  [[nodiscard]] LineFit unlimited() const { return {measurer_, *font_, 0, pointSize_}; }

  // A laid-out line's width.
  [[nodiscard]] double width(const std::string& line) const {
    if (!measurer_) return static_cast<double>(TextCharacters::count(line)) * glyph_;
    return measurer_->width(line, *font_, pointSize_);
  }

  [[nodiscard]] TextMeasurer::LineMetrics lineMetrics() const {
    if (measurer_) return measurer_->lineMetrics(*font_, pointSize_);
    const double lineHeight = Label::kLineHeightFactor * pointSize_;
    return {lineHeight, lineHeight * Label::kBaselineFactor};
  }

 private:
  [[nodiscard]] bool within(double measured) const { return measured <= width_ + 1e-6; }

  const TextMeasurer* measurer_;
  const Font* font_;
  double width_;
  double pointSize_;
  double glyph_;
  bool unlimited_;
  size_t maxChars_;
};

// When wrapping may stop early: once it has more lines than a label shows, the lines after them
// change nothing (the last shown line is cut either way); and a caller that only asks whether the
// text fits whole has its answer at the first broken word.
struct WrapStop {
  size_t afterLines = std::numeric_limits<size_t>::max();
  bool atBrokenWord = false;
};

// How many of the words from i on (each up to the next space or the text's end) still fit on the
// line that starts at lineBegin, and whether that is all of them. Rather than trying one word more
// at a time, it doubles how many it tries, then halves: a line of hundreds of characters is then
// measured a handful of times, not once per word. ends is storage for the words' ends.
std::pair<size_t, bool> takeWords(const Characters& chars, size_t lineBegin, size_t i,
                                  const LineFit& fit, std::vector<size_t>& ends) {
  ends.clear();
  // The end of the k-th word from i (k from 1); none past the text.
  const auto wordEnd = [&](size_t k) -> std::optional<size_t> {
    while (ends.size() < k) {
      const size_t start = ends.empty() ? i : ends.back() + 1;
      if (start > chars.size()) return std::nullopt;
      size_t end = start;
      while (end < chars.size() && chars[end] != " ") ++end;
      ends.push_back(end);
    }
    return ends[k - 1];
  };
  size_t fitting = 0;  // words known to fit
  for (size_t tried = 1;; tried *= 2) {
    const auto end = wordEnd(tried);
    if (!end) break;
    if (!fit.fits(chars, lineBegin, *end)) {
      const size_t taken = largestFitting(fitting, tried - 1, [&](size_t count) {
        return count == 0 || fit.fits(chars, lineBegin, *wordEnd(count));
      });
      return {taken, false};
    }
    fitting = tried;
  }
  // Fewer words are left than were tried: the last of them decides.
  const size_t left = ends.size();
  if (left == fitting) return {fitting, true};
  if (fit.fits(chars, lineBegin, ends.back())) return {left, true};
  const size_t taken = largestFitting(fitting, left - 1, [&](size_t count) {
    return count == 0 || fit.fits(chars, lineBegin, ends[count - 1]);
  });
  return {taken, false};
}

// Greedy wrapping of every paragraph to the lines' width, into wrapped (its storage reused); it
// stops as soon as stop says the rest cannot matter.
void wrap(Paragraphs paragraphs, const LineFit& fit, bool byCharacter, Wrapped& wrapped,
          WrapStop stop = {}) {
  wrapped.lines.clear();
  wrapped.brokeWord = false;
  // Adds a line; false when wrapping is to stop.
  const auto add = [&](size_t paragraph, Line line) {
    wrapped.lines.push_back({paragraph, line});
    return wrapped.lines.size() <= stop.afterLines && !(stop.atBrokenWord && wrapped.brokeWord);
  };
  for (size_t p = 0; p < paragraphs.size(); ++p) {
    const Characters& chars = paragraphs[p];
    if (chars.empty()) {
      if (!add(p, {0, 0})) return;
      continue;
    }
    if (byCharacter) {
      for (size_t begin = 0; begin < chars.size();) {
        const size_t end = fit.longestRun(chars, begin, chars.size());
        if (!add(p, {begin, end})) return;
        begin = end;
      }
      continue;
    }
    size_t lineBegin = 0;
    size_t lineEnd = 0;  // exclusive; lineBegin == lineEnd while the line is empty
    bool lineEmpty = true;
    size_t i = 0;
    while (i <= chars.size()) {
      if (!lineEmpty && lineEnd - lineBegin > kShortRest) {
        // A long line takes as many of the next words as fit in one search.
        const auto [taken, all] = takeWords(chars, lineBegin, i, fit, wrapped.wordEnds);
        if (taken > 0) {
          lineEnd = wrapped.wordEnds[taken - 1];
          i = lineEnd + 1;  // past the space
        }
        if (all) continue;
        if (!add(p, {lineBegin, lineEnd})) return;
        lineEmpty = true;
        continue;  // the next word starts the next line
      }
      // The next word: [i, wordEnd).
      size_t wordEnd = i;
      while (wordEnd < chars.size() && chars[wordEnd] != " ") ++wordEnd;
      if (lineEmpty) {
        size_t begin = i;
        // A word wider than the line is broken; its last character takes a line even when it
        // alone is wider.
        while (const auto end = fit.wordBreak(chars, begin, wordEnd)) {
          wrapped.brokeWord = true;
          if (!add(p, {begin, *end})) return;
          begin = *end;
        }
        lineBegin = begin;
        lineEnd = wordEnd;
        lineEmpty = false;
      } else if (fit.fits(chars, lineBegin, wordEnd)) {  // the line, a space and the word
        lineEnd = wordEnd;
      } else {
        if (!add(p, {lineBegin, lineEnd})) return;
        lineEmpty = true;
        continue;  // the same word starts the next line
      }
      i = wordEnd + 1;  // past the space
    }
    if (!lineEmpty && !add(p, {lineBegin, lineEnd})) return;
  }
}

// The last allowed line's characters with an ellipsis, fitting the line: as many characters as
// fit beside the ellipsis.
std::string truncateLine(const Characters& rest, const LineFit& fit, LineBreakMode mode,
                         bool singleLine) {
  const auto ellipsized = [&](size_t head, size_t tail) {
    std::string line = join(rest, 0, head);
    line.append(kEllipsis);
    line.append(join(rest, rest.size() - std::min(tail, rest.size()), rest.size()));
    return line;
  };
  const auto fits = [&](size_t head, size_t tail) {
    return fit.fitsEllipsized(head, tail, [&] { return ellipsized(head, tail); });
  };
  if (singleLine && mode == LineBreakMode::byTruncatingHead) {
    const size_t keep = largestFitting(
        0, rest.size(), [&](size_t tail) { return fits(0, std::min(tail, rest.size())); });
    return ellipsized(0, keep);
  }
  if (singleLine && mode == LineBreakMode::byTruncatingMiddle) {
    const auto split = [](size_t keep) { return std::pair{(keep + 1) / 2, keep - (keep + 1) / 2}; };
    const size_t keep = largestFitting(0, rest.size(), [&](size_t kept) {
      const auto [head, tail] = split(kept);
      return fits(head, tail);
    });
    const auto [head, tail] = split(keep);
    return ellipsized(head, tail);
  }
  size_t end = largestFitting(0, rest.size(), [&](size_t head) { return fits(head, 0); });
  while (end > 0 && rest[end - 1] == " ") --end;  // no space before the ellipsis
  return ellipsized(end, 0);
}

// Storage for splitting and wrapping a text, kept between layouts.
struct MeasureScratch {
  std::vector<Characters> paragraphs;
  Wrapped wrapped;
};

bool isTruncating(LineBreakMode mode) {
  return mode == LineBreakMode::byTruncatingHead || mode == LineBreakMode::byTruncatingMiddle ||
         mode == LineBreakMode::byTruncatingTail;
}

struct Measure {
  TextLayout layout;
  bool fits = true;  // nothing cut and no word broken
};

size_t lineLimit(int numberOfLines) {
  return numberOfLines > 0 ? static_cast<size_t>(numberOfLines)
                           : std::numeric_limits<size_t>::max();
}

// Wrapping for a label of numberOfLines lines stops one line past them: that line says the text
// goes on.
WrapStop stopPast(int numberOfLines) {
  WrapStop stop;
  if (numberOfLines > 0) stop.afterLines = static_cast<size_t>(numberOfLines) + 1;
  return stop;
}

// Whether the whole text (paragraphs, not empty) shows on lines of fit without a cut or a broken
// word; the same answer measure() gives, without building the lines' text.
bool fitsAt(Paragraphs paragraphs, const LineFit& fit, int numberOfLines, LineBreakMode mode,
            Wrapped& wrapped) {
  if (numberOfLines == 1) {
    return paragraphs.size() == 1 && fit.fits(paragraphs.front(), 0, paragraphs.front().size());
  }
  WrapStop stop = stopPast(numberOfLines);
  stop.atBrokenWord = true;
  wrap(paragraphs, fit, mode == LineBreakMode::byCharWrapping, wrapped, stop);
  return !wrapped.brokeWord && wrapped.lines.size() <= lineLimit(numberOfLines);
}

// The text of the paragraphs (none for the empty text) laid out on lines of fit; wrapped is
// storage for the wrapping.
Measure measure(Paragraphs paragraphs, const LineFit& fit, double pointSize, int numberOfLines,
                LineBreakMode mode, Wrapped& wrapped) {
  Measure result;
  TextLayout& layout = result.layout;
  layout.pointSize = pointSize;
  const TextMeasurer::LineMetrics metrics = fit.lineMetrics();
  layout.lineHeight = metrics.lineHeight;
  layout.baseline = metrics.baseline;
  if (paragraphs.empty()) return result;
  const bool singleLine = numberOfLines == 1;
  // One line: no wrapping, the first paragraph only.
  if (singleLine) {
    wrap(paragraphs, fit.unlimited(), false, wrapped, stopPast(numberOfLines));
  } else {
    wrap(paragraphs, fit, mode == LineBreakMode::byCharWrapping, wrapped, stopPast(numberOfLines));
  }
  result.fits = !wrapped.brokeWord;
  const size_t limit = lineLimit(numberOfLines);
  const size_t shown = std::min(limit, wrapped.lines.size());
  layout.lines.reserve(shown);
  for (size_t i = 0; i < shown; ++i) {
    const auto& [paragraph, range] = wrapped.lines[i];
    const Characters& chars = paragraphs[paragraph];
    const bool last = i + 1 == shown;
    const bool moreLines = wrapped.lines.size() > shown;
    if (last && (moreLines || (singleLine && !fit.fits(chars, 0, chars.size())))) {
      // Text is cut after this line.
      result.fits = false;
      layout.truncated = true;
      const Characters rest(chars.begin() + static_cast<std::ptrdiff_t>(range.begin), chars.end());
      if (isTruncating(mode)) {
        layout.lines.push_back(truncateLine(rest, fit, mode, singleLine));
      } else if (singleLine) {
        layout.lines.push_back(join(rest, 0, fit.longestRun(rest, 0, rest.size())));  // clipped
      } else {
        layout.lines.push_back(join(chars, range.begin, range.end));  // as wrapped
      }
      continue;
    }
    layout.lines.push_back(join(chars, range.begin, range.end));
  }
  double widest = 0;
  for (const auto& line : layout.lines) widest = std::max(widest, fit.width(line));
  layout.size = {widest, static_cast<double>(layout.lines.size()) * layout.lineHeight};
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

const std::shared_ptr<const TextMeasurer>& Label::installedMeasurer() const {
  // Looking the measurer up takes the registry slot's lock: it is read again only when the
  // installed environment or what is registered in it has changed.
  const auto* environment = Platform::Environment::installed();
  const std::uint64_t version = environment ? environment->serviceVersion() : 0;
  if (environment != measurerSource_.environment || version != measurerSource_.version) {
    measurer_ = environment ? environment->service<TextMeasurer>() : nullptr;
    measurerSource_ = {environment, version};
  }
  return measurer_;
}

void Label::textChanged() {
  cachedLayouts_.fill(std::nullopt);
  invalidateIntrinsicContentSize();
}

const TextLayout& Label::layoutAt(double width) const {
  const std::shared_ptr<const TextMeasurer>& measurer = installedMeasurer();
  for (const auto& cached : cachedLayouts_) {
    // Widths compare exactly, NaN never matches: a hit gives what computing again would.
    if (cached && cached->width == width && cached->measurer == measurer) return cached->layout;
  }
  // A layout whose lines all fit, uncut and unshrunk, at a wider width is the layout at any
  // narrower width that still holds its widest line: every line still fits, and every break was
  // made because the next word did not fit the wider width, so it does not fit this one either.
  // A stack asks for a label's height at the width of its own text this way.
  const bool limited = width > 0 && !std::isinf(width);
  for (const auto& cached : cachedLayouts_) {
    if (limited && cached && cached->wholeAtFullSize && cached->measurer == measurer &&
        cached->layout.size.width <= width && width <= cached->width) {
      return cached->layout;
    }
  }
  auto& slot = cachedLayouts_[nextCachedLayout_];
  nextCachedLayout_ = (nextCachedLayout_ + 1) % kCachedLayouts;
  bool whole = false;
  TextLayout layout = computeLayout(width, measurer.get(), whole);
  slot = CachedLayout{width, measurer, std::move(layout), whole};
  return slot->layout;
}

TextLayout Label::computeLayout(double width, const TextMeasurer* measurer,
                                bool& wholeAtFullSize) const {
  // Storage for splitting and wrapping, reused from one layout to the next.
  detail::ThreadScratch<MeasureScratch> lease;
  MeasureScratch& scratch = *lease;

  // The text split once: the empty text has no paragraphs.
  const Paragraphs paragraphs =
      text_.empty() ? Paragraphs() : splitParagraphs(text_, scratch.paragraphs);
  const double size = font_.pointSize;
  const auto fitAt = [&](double pointSize) { return LineFit(measurer, font_, width, pointSize); };
  Measure full =
      measure(paragraphs, fitAt(size), size, numberOfLines_, lineBreakMode_, scratch.wrapped);
  wholeAtFullSize = full.fits && !full.layout.truncated;
  const bool mayShrink = adjustsFontSizeToFitWidth_ && minimumScaleFactor_ > 0 &&
                         minimumScaleFactor_ < 1 && width > 0 && !std::isinf(width);
  if (full.fits || !mayShrink) return std::move(full.layout);
  // The largest size, in steps of 1% of the point size, at which the text fits. Whether it fits
  // depends only on how much text a line holds, which never shrinks as the size goes down, and a
  // line that holds more never gives more lines or a broken word: so fitting is monotonic in the
  // size and a binary search over the steps finds the same size as trying each step downwards,
  // in a handful of wrapping passes over text split once.
  const int lowest = static_cast<int>(std::ceil(minimumScaleFactor_ * 100 - 1e-9));
  const auto fitsAtPercent = [&](int percent) {
    return fitsAt(paragraphs, fitAt(size * percent / 100.0), numberOfLines_, lineBreakMode_,
                  scratch.wrapped);
  };
  int fitting = lowest - 1;  // the largest step known to fit; none yet
  int failing = 100;         // the smallest step known not to fit (100%: measured above)
  while (failing - fitting > 1) {
    const int percent = fitting + (failing - fitting) / 2;
    (fitsAtPercent(percent) ? fitting : failing) = percent;
  }
  const double shrunk = fitting >= lowest ? size * fitting / 100.0 : size * minimumScaleFactor_;
  return measure(paragraphs, fitAt(shrunk), shrunk, numberOfLines_, lineBreakMode_, scratch.wrapped)
      .layout;
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
