#pragma once
// Sizes a layout computes (a stack view's intrinsic size, a fitting height) depend on the whole
// subtree below a view: its constraints, frames, content and the text measurer in use. Asking
// for them again and again in one pass repeats the same work, so they are kept, stamped with
// the layout generation, a count of every change that can alter one of them (a frame, an
// intrinsic size, a constraint, the tree, a view's end) together with the installed environment
// and its registry's version (the measurer). A kept size is used only under the same stamp.
// Internal to the UI kit. Threading: main queue only (the count itself may be bumped from any
// thread; a bump only makes kept sizes be computed again).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit::UI::detail {

struct LayoutStamp {
  std::uint64_t generation = 0;  // 0: never taken
  const Platform::Environment* environment = nullptr;
  std::uint64_t services = 0;
  friend bool operator==(const LayoutStamp&, const LayoutStamp&) = default;
};

// Called on every change that may alter a computed size.
void layoutChanged();
[[nodiscard]] LayoutStamp currentLayoutStamp();

// The last few values computed for some widths under one stamp. Widths compare exactly (NaN
// never matches), so a hit gives what computing again would.
template <std::size_t N>
class WidthMemo {
 public:
  [[nodiscard]] std::optional<double> find(const LayoutStamp& stamp, double width) const {
    if (!(stamp == stamp_)) return std::nullopt;
    for (std::size_t i = 0; i < count_; ++i) {
      if (entries_[i].width == width) return entries_[i].value;
    }
    return std::nullopt;
  }
  void store(const LayoutStamp& stamp, double width, double value) {
    if (!(stamp == stamp_)) {
      stamp_ = stamp;
      count_ = 0;
      next_ = 0;
    }
    entries_[next_] = {width, value};
    next_ = (next_ + 1) % N;
    if (count_ < N) ++count_;
  }

 private:
  struct Entry {
    double width = 0;
    double value = 0;
  };
  LayoutStamp stamp_;
  std::array<Entry, N> entries_{};
  std::size_t count_ = 0;
  std::size_t next_ = 0;  // the entry the next value replaces
};

}  // namespace QVRAdKit::UI::detail
