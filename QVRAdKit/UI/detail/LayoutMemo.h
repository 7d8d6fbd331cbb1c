#pragma once
// Sizes a layout computes (a stack view's intrinsic size, a fitting height) depend on the whole
// subtree below a view: its constraints, content, the text measurer in use and, for some, frames.
// Asking for them again and again in one pass repeats the same work, so they are kept, stamped
// with two counts: the layout generation, of every change other than a frame (an intrinsic size,
// a constraint, the tree, a view's end), with the installed environment and its registry's
// version (the measurer); and the count of frame changes. A kept size is used only under the
// same generation, and under the same frame count unless computing it read no frame.
// Whether a computation read frames is told by a count of the thread's frame reads: the fitting
// solves that read frames and safe areas, and kept sizes that did, add to it when they answer.
// Intrinsic sizes and heights for a width themselves depend on content alone (a view whose answer
// changes calls invalidateIntrinsicContentSize()).
// Internal to the UI kit. Threading: main queue only (the counts of changes may be bumped from
// any thread; a bump only makes kept sizes be computed again).

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
  std::uint64_t frames = 0;  // frame changes
  // The same state but for frames.
  [[nodiscard]] bool sameContent(const LayoutStamp& other) const {
    return generation == other.generation && environment == other.environment &&
           services == other.services;
  }
  friend bool operator==(const LayoutStamp&, const LayoutStamp&) = default;
};

// Called on every change other than a frame's that may alter a computed size.
void layoutChanged();
// Called when a view's frame changes.
void frameChanged();
[[nodiscard]] LayoutStamp currentLayoutStamp();

// The thread's count of frame reads by sizing computations; a computation that leaves it as it
// was read no frame.
void noteFramesRead();
[[nodiscard]] std::uint64_t framesReadCount();

// A value kept with its stamp and whether computing it read frames.
template <class Value>
struct KeptSize {
  LayoutStamp stamp;
  bool readsFrames = true;
  Value value{};

  // Whether the value holds under the stamp; one that read frames notes the read again, as
  // computing it would have.
  [[nodiscard]] bool holds(const LayoutStamp& now) const {
    if (!now.sameContent(stamp)) return false;
    if (!readsFrames) return true;
    if (now.frames != stamp.frames) return false;
    noteFramesRead();
    return true;
  }
  // Computes the value and keeps it under the stamp.
  template <class Compute>
  const Value& store(const LayoutStamp& now, const Compute& compute) {
    const std::uint64_t readsBefore = framesReadCount();
    value = compute();
    readsFrames = framesReadCount() != readsBefore;
    stamp = now;
    return value;
  }
};

// The last few values computed for some widths under one generation. Widths compare exactly
// (NaN never matches), so a hit gives what computing again would.
template <std::size_t N>
class WidthMemo {
 public:
  [[nodiscard]] std::optional<double> find(const LayoutStamp& stamp, double width) const {
    for (std::size_t i = 0; i < count_; ++i) {
      if (entries_[i].width == width && entries_[i].kept.holds(stamp)) {
        return entries_[i].kept.value;
      }
    }
    return std::nullopt;
  }
  // The value for the width: the kept one if it holds, else computed and kept. Computing may
  // ask other memos, never this one.
  template <class Compute>
  double findOrCompute(const LayoutStamp& stamp, double width, const Compute& compute) {
    if (const auto kept = find(stamp, width)) return *kept;
    KeptSize<double> computed;
    computed.store(stamp, compute);
    // An outdated value for the width is replaced; else the oldest entry.
    std::size_t slot = next_;
    for (std::size_t i = 0; i < count_; ++i) {
      if (entries_[i].width == width) slot = i;
    }
    if (slot == next_) {
      next_ = (next_ + 1) % N;
      if (count_ < N) ++count_;
    }
    entries_[slot] = {width, computed};
    return computed.value;
  }

 private:
  struct Entry {
    double width = 0;
    KeptSize<double> kept;
  };
  std::array<Entry, N> entries_{};
  std::size_t count_ = 0;
  std::size_t next_ = 0;  // the entry the next new width replaces
};

}  // namespace QVRAdKit::UI::detail
