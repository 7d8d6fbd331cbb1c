#include "QVRAdKit/UI/StackView.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory_resource>
#include <numeric>
#include <utility>
#include <vector>

#include "QVRAdKit/UI/detail/LayoutEngine.h"

namespace QVRAdKit::UI {
namespace {

using detail::LayoutEngine;

// A visible arranged view and what the stack wants for it along its axis.
struct Entry {
  View* view = nullptr;
  double wanted = 0;
  bool fixed = false;  // a required size constraint along the axis
};

// Storage for the lists one sizing question or arrangement builds: a few views' worth on the
// stack, the heap beyond (a pass asks many questions, each of a handful of views).
class Scratch {
 public:
  Scratch() = default;
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  [[nodiscard]] std::pmr::memory_resource* resource() { return &resource_; }

 private:
  // Left uninitialised: only what the resource hands out is ever written and read.
  std::array<std::byte, 768> buffer_;
  std::pmr::monotonic_buffer_resource resource_{buffer_.data(), buffer_.size()};
};

double wantedWidth(const View& view) {
  if (auto fixed = LayoutEngine::requiredSize(view, LayoutAxis::horizontal)) return *fixed;
  const double intrinsic = view.intrinsicContentSize().width;
  return intrinsic >= 0 ? intrinsic : 0;
}

}  // namespace

std::shared_ptr<StackView> StackView::create(const std::vector<std::shared_ptr<View>>& arranged,
                                             Rect frame) {
  auto stack = std::shared_ptr<StackView>(new StackView(frame));
  for (const auto& view : arranged) stack->addArrangedSubview(view);
  return stack;
}

std::vector<std::shared_ptr<View>> StackView::arrangedSubviews() const {
  std::vector<std::shared_ptr<View>> views;
  for (const auto& weak : arranged_) {
    auto view = weak.lock();
    if (view && view->superview().get() == this) views.push_back(std::move(view));
  }
  return views;
}

void StackView::addArrangedSubview(const std::shared_ptr<View>& view) {
  insertArrangedSubview(view, arrangedSubviews().size());
}

void StackView::insertArrangedSubview(const std::shared_ptr<View>& view, size_t index) {
  if (!view || view.get() == this) return;
  // Forget entries that left the stack, and this view's earlier place.
  std::erase_if(arranged_, [&](const std::weak_ptr<View>& weak) {
    auto arranged = weak.lock();
    return !arranged || arranged->superview().get() != this || arranged == view;
  });
  index = std::min(index, arranged_.size());
  arranged_.insert(arranged_.begin() + static_cast<std::ptrdiff_t>(index), view);
  if (view->superview().get() != this) addSubview(view);
  invalidateIntrinsicContentSize();
}

void StackView::removeArrangedSubview(const std::shared_ptr<View>& view) {
  const auto before = arranged_.size();
  std::erase_if(arranged_, [&](const std::weak_ptr<View>& weak) {
    auto arranged = weak.lock();
    return !arranged || arranged == view;
  });
  if (arranged_.size() != before) invalidateIntrinsicContentSize();
}

void StackView::setAxis(LayoutAxis axis) {
  if (axis == axis_) return;
  axis_ = axis;
  invalidateIntrinsicContentSize();
}

void StackView::setAlignment(Alignment alignment) {
  if (alignment == alignment_) return;
  alignment_ = alignment;
  invalidateIntrinsicContentSize();
}

void StackView::setDistribution(Distribution distribution) {
  if (distribution == distribution_) return;
  distribution_ = distribution;
  invalidateIntrinsicContentSize();
}

void StackView::setSpacing(double spacing) {
  if (spacing == spacing_) return;
  spacing_ = spacing;
  invalidateIntrinsicContentSize();
}

void StackView::setDirectionalLayoutMargins(DirectionalEdgeInsets margins) {
  if (margins == margins_) return;
  margins_ = margins;
  invalidateIntrinsicContentSize();
}

void StackView::setLayoutMarginsRelativeArrangement(bool relative) {
  if (relative == marginsRelative_) return;
  marginsRelative_ = relative;
  invalidateIntrinsicContentSize();
}

namespace {

using Entries = std::pmr::vector<Entry>;
using Lengths = std::pmr::vector<double>;

// Wanted lengths along the axis; in a column they depend on the cross width each view gets.
// forEach(visit) visits the arranged views in order.
template <class ForEach, class CrossWidth>
Entries entriesFor(const ForEach& forEach, LayoutAxis axis, const CrossWidth& crossWidth,
                   Scratch& scratch) {
  Entries entries(scratch.resource());
  entries.reserve(4);
  forEach([&](View& arrangedView) {
    View* view = &arrangedView;
    if (view->isHidden()) return;
    Entry entry{view, 0, false};
    if (auto fixed = LayoutEngine::requiredSize(*view, axis)) {
      entry.wanted = *fixed;
      entry.fixed = true;
    } else if (axis == LayoutAxis::horizontal) {
      entry.wanted = wantedWidth(*view);
    } else {
      entry.wanted = std::max(0.0, view->systemLayoutSizeFitting(crossWidth(*view)).height);
    }
    entries.push_back(entry);
  });
  return entries;
}

Lengths distribute(const Entries& entries, double available, StackView::Distribution distribution,
                   LayoutAxis axis, Scratch& scratch) {
  const size_t n = entries.size();
  Lengths lengths(n, scratch.resource());
  if (n == 0) return lengths;
  if (distribution == StackView::Distribution::fillEqually) {
    std::fill(lengths.begin(), lengths.end(), std::max(0.0, available / static_cast<double>(n)));
    return lengths;
  }
  const double total = std::accumulate(entries.begin(), entries.end(), 0.0,
                                       [](double sum, const Entry& e) { return sum + e.wanted; });
  if (distribution == StackView::Distribution::fillProportionally) {
    for (size_t i = 0; i < n; ++i) {
      lengths[i] = total > 0 ? std::max(0.0, available) * entries[i].wanted / total
                             : std::max(0.0, available / static_cast<double>(n));
    }
    return lengths;
  }
  for (size_t i = 0; i < n; ++i) lengths[i] = entries[i].wanted;
  const double extra = available - total;
  if (extra > 0) {
    // The surplus goes to the view that hugs its content least.
    std::optional<size_t> loosest;
    for (size_t i = 0; i < n; ++i) {
      if (entries[i].fixed) continue;
      if (!loosest || entries[i].view->contentHuggingPriority(axis) <
                          entries[*loosest].view->contentHuggingPriority(axis)) {
        loosest = i;
      }
    }
    if (loosest) lengths[*loosest] += extra;
  } else if (extra < 0) {
    // The shortfall is taken from the least resistant views first.
    std::pmr::vector<size_t> order(scratch.resource());
    order.reserve(n);
    for (size_t i = 0; i < n; ++i) {
      if (!entries[i].fixed) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t l, size_t r) {
      return entries[l].view->contentCompressionResistancePriority(axis) <
             entries[r].view->contentCompressionResistancePriority(axis);
    });
    double missing = -extra;
    for (size_t i : order) {
      const double take = std::min(missing, lengths[i]);
      lengths[i] -= take;
      missing -= take;
      if (missing <= 0) break;
    }
  }
  return lengths;
}

}  // namespace

Size StackView::intrinsicContentSize() const {
  const detail::LayoutStamp stamp = detail::currentLayoutStamp();
  if (intrinsic_.holds(stamp)) return intrinsic_.value;
  return intrinsic_.store(stamp, [this] { return computeIntrinsicContentSize(); });
}

Size StackView::computeIntrinsicContentSize() const {
  const double marginsX = marginsRelative_ ? margins_.leading + margins_.trailing : 0;
  const double marginsY = marginsRelative_ ? margins_.top + margins_.bottom : 0;
  size_t visible = 0;
  double along = 0;
  double cross = 0;
  bool crossKnown = true;
  bool alongKnown = true;
  forEachArranged([&](const View& view) {
    if (view.isHidden()) return;
    ++visible;
    const Size intrinsic = view.intrinsicContentSize();
    const auto fixedWidth = LayoutEngine::requiredSize(view, LayoutAxis::horizontal);
    const bool hasWidth = fixedWidth || intrinsic.width >= 0;
    // wantedWidth(view), from what was just asked.
    const double width = fixedWidth ? *fixedWidth : (intrinsic.width >= 0 ? intrinsic.width : 0);
    const double height = view.systemLayoutSizeFitting(width).height;
    if (axis_ == LayoutAxis::horizontal) {
      alongKnown = alongKnown && hasWidth;
      along += width;
      cross = std::max(cross, height);
    } else {
      crossKnown = crossKnown && hasWidth;
      along += height;
      cross = std::max(cross, width);
    }
  });
  if (visible > 1) along += spacing_ * static_cast<double>(visible - 1);
  if (axis_ == LayoutAxis::horizontal) {
    return {alongKnown ? along + marginsX : noIntrinsicMetric, cross + marginsY};
  }
  return {crossKnown ? cross + marginsX : noIntrinsicMetric, along + marginsY};
}

double StackView::heightForWidth(double width) const {
  return heights_.findOrCompute(detail::currentLayoutStamp(), width,
                                [&] { return computeHeightForWidth(width); });
}

double StackView::computeHeightForWidth(double width) const {
  const double marginsX = marginsRelative_ ? margins_.leading + margins_.trailing : 0;
  const double marginsY = marginsRelative_ ? margins_.top + margins_.bottom : 0;
  const double contentWidth = std::max(0.0, width - marginsX);
  const auto crossWidth = [&](const View& view) {
    if (alignment_ == Alignment::fill) return contentWidth;
    return std::min(wantedWidth(view), contentWidth);
  };
  Scratch scratch;
  const auto entries =
      entriesFor([this](const auto& visit) { forEachArranged(visit); }, axis_, crossWidth, scratch);
  const double spacing =
      entries.size() > 1 ? spacing_ * static_cast<double>(entries.size() - 1) : 0;
  if (axis_ == LayoutAxis::vertical) {
    double height = 0;
    for (const auto& entry : entries) height += entry.wanted;
    return height + spacing + marginsY;
  }
  const auto lengths = distribute(entries, contentWidth - spacing, distribution_, axis_, scratch);
  double height = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    height = std::max(height, entries[i].view->systemLayoutSizeFitting(lengths[i]).height);
  }
  return height + marginsY;
}

std::vector<const View*> StackView::arrangeSubviews() {
  Scratch scratch;
  // Held while they are placed.
  std::pmr::vector<std::shared_ptr<View>> arranged(scratch.resource());
  arranged.reserve(arranged_.size());
  forEachArranged([&](View& view) { arranged.push_back(view.shared_from_this()); });
  std::vector<const View*> placed;
  placed.reserve(arranged.size());
  for (const auto& view : arranged) placed.push_back(view.get());

  const Rect box = bounds();
  const DirectionalEdgeInsets margins = marginsRelative_ ? margins_ : DirectionalEdgeInsets{};
  const Rect content{{margins.leading, margins.top},
                     {std::max(0.0, box.width() - margins.leading - margins.trailing),
                      std::max(0.0, box.height() - margins.top - margins.bottom)}};
  const bool horizontal = axis_ == LayoutAxis::horizontal;
  const double crossExtent = horizontal ? content.height() : content.width();
  const auto columnWidth = [&](const View& view) {
    if (alignment_ == Alignment::fill) return content.width();
    return std::min(wantedWidth(view), content.width());
  };
  const auto entries = entriesFor(
      [&arranged](const auto& visit) {
        for (const auto& view : arranged) visit(*view);
      },
      axis_, columnWidth, scratch);
  const double spacing =
      entries.size() > 1 ? spacing_ * static_cast<double>(entries.size() - 1) : 0;
  const double alongExtent = horizontal ? content.width() : content.height();
  const auto lengths = distribute(entries, alongExtent - spacing, distribution_, axis_, scratch);

  double cursor = horizontal ? content.minX() : content.minY();
  size_t next = 0;
  for (const auto& view : arranged) {
    if (view->isHidden()) {
      // Collapsed: no room along the axis.
      Rect frame = view->frame();
      if (horizontal) {
        frame.origin.x = cursor;
        frame.size.width = 0;
      } else {
        frame.origin.y = cursor;
        frame.size.height = 0;
      }
      view->setFrame(frame);
      continue;
    }
    const double length = lengths[next++];
    double crossLength = crossExtent;
    if (alignment_ != Alignment::fill) {
      if (horizontal) {
        auto fixed = LayoutEngine::requiredSize(*view, LayoutAxis::vertical);
        crossLength = fixed ? *fixed : view->systemLayoutSizeFitting(length).height;
      } else {
        crossLength = columnWidth(*view);
      }
    }
    double crossStart = horizontal ? content.minY() : content.minX();
    if (alignment_ == Alignment::center) crossStart += (crossExtent - crossLength) / 2;
    if (alignment_ == Alignment::trailing) crossStart += crossExtent - crossLength;
    if (horizontal) {
      view->setFrame({{cursor, crossStart}, {length, crossLength}});
    } else {
      view->setFrame({{crossStart, cursor}, {crossLength, length}});
    }
    cursor += length + spacing_;
  }
  return placed;
}

}  // namespace QVRAdKit::UI
