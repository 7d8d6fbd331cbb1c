#include "Sandbox/MonteCarlo/PendingRequests.h"

#include <algorithm>
#include <iterator>

#include "QVRAdKit/Platform/OverwriteText.h"
#include "QVRAdKit/Platform/TextEqual.h"

namespace QVRAdKit::Sandbox {

void PendingRequests::remember(std::string_view aaid, std::size_t placement) {
  if (live_ >= limit_) forgetOldest();
  // A repeated request keeps its text: its entry moves to the newest place with a new serial.
  if (const std::size_t found = find(aaid); found != live_) drop(found);
  if (live_ == entries_.size()) entries_.emplace_back();
  Entry& entry = entries_[live_++];
  Platform::overwriteText(entry.aaid, aaid);
  entry.placement = placement;
  entry.serial = serial_++;
}

std::optional<std::size_t> PendingRequests::take(std::string_view aaid) {
  const std::size_t found = find(aaid);
  if (found == live_) return std::nullopt;
  const std::size_t placement = entries_[found].placement;
  drop(found);
  return placement;
}

void PendingRequests::clear() {
  live_ = 0;
  serial_ = 0;
}

std::size_t PendingRequests::find(std::string_view aaid) const {
  constexpr Platform::TextEqual same;
  for (std::size_t i = live_; i > 0; --i) {
    if (same(entries_[i - 1].aaid, aaid)) return i - 1;
  }
  return live_;
}

void PendingRequests::drop(std::size_t index) {
  const auto at = entries_.begin() + static_cast<std::ptrdiff_t>(index);
  std::rotate(at, std::next(at), entries_.begin() + static_cast<std::ptrdiff_t>(live_));
  --live_;
}

void PendingRequests::forgetOldest() {
  const std::uint64_t keepFrom = serial_ - limit_ / 2;
  const auto waiting = entries_.begin() + static_cast<std::ptrdiff_t>(live_);
  const auto kept = std::partition_point(entries_.begin(), waiting, [keepFrom](const Entry& entry) {
    return entry.serial < keepFrom;
  });
  std::rotate(entries_.begin(), kept, waiting);
  live_ -= static_cast<std::size_t>(kept - entries_.begin());
}

}  // namespace QVRAdKit::Sandbox
