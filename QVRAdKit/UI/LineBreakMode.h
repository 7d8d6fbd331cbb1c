#pragma once
// LineBreakMode says how a label breaks text into lines and what it does with text that does not
// fit its lines. Word and character wrapping and clipping cut the text after the last allowed
// line; the truncating modes wrap by word and put an ellipsis ("…") at the tail, head or middle of
// the last allowed line (head and middle apply to single-line labels; a multi-line label always
// truncates its last line at the tail).
// Threading: a value.

namespace QVRAdKit::UI {

enum class LineBreakMode {
  byWordWrapping,
  byCharWrapping,
  byClipping,
  byTruncatingHead,
  byTruncatingTail,
  byTruncatingMiddle,
};

}  // namespace QVRAdKit::UI
