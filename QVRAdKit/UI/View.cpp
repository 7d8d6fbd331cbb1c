#include "QVRAdKit/UI/View.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/ModuleFileText.h"
#include "QVRAdKit/UI/TapGestureRecognizer.h"
#include "QVRAdKit/UI/ViewKitLogger.h"
#include "QVRAdKit/UI/detail/LayoutEngine.h"
#include "QVRAdKit/UI/detail/LayoutMemo.h"

namespace QVRAdKit::UI {
namespace {

// How many times a layout pass repeats while layoutSubviews() keeps asking for layout.
constexpr int kMaxLayoutPasses = 8;

int index(LayoutAxis axis) {
  return axis == LayoutAxis::horizontal ? 0 : 1;
}

// The alpha changes made by the animations closure of the innermost running animate() call.
struct AnimationCapture {
  std::vector<std::pair<std::weak_ptr<View>, double>> alphaChanges;  // view, alpha before
};
thread_local AnimationCapture* currentCapture = nullptr;

// True while the kit's own layout step sets frames: those frames are the step's result, not a
// reason for another pass.
thread_local bool kitLayoutRunning = false;

}  // namespace

std::shared_ptr<View> View::create(Rect frame) {
  return std::shared_ptr<View>(new View(frame));
}

View::View(Rect frame) : frame_(frame) {}

View::~View() {
  detail::layoutChanged();  // constraints that name this view no longer count
  // Constraints held by other views may still name this view; they are skipped once it is gone.
  for (auto& subview : subviews_) {
    subview->superview_.reset();
    subview->superviewPointer_ = nullptr;
  }
}

void View::setFrame(Rect frame) {
  if (frame == frame_) return;
  detail::frameChanged();  // safe areas and kept frames enter fitting sizes
  const bool resized = !(frame.size == frame_.size);
  frame_ = frame;
  if (kitLayoutRunning) return;
  if (resized) setNeedsLayout();
  if (View* parent = superviewPointer()) parent->setNeedsLayout();  // safe areas may change
}

Rect View::convert(Rect rect, const View* other) const {
  // To the root's coordinates, then into other's.
  for (const View* view = this; view != nullptr;) {
    const View* parent = view->superviewPointer();
    if (parent == nullptr) break;
    rect.origin.x += view->frame_.origin.x;
    rect.origin.y += view->frame_.origin.y;
    view = parent;
  }
  if (other == nullptr) return rect;
  const Rect otherInRoot = other->convert(other->bounds(), nullptr);
  rect.origin.x -= otherInRoot.origin.x;
  rect.origin.y -= otherInRoot.origin.y;
  return rect;
}

void View::setAlpha(double alpha) {
  alpha = std::clamp(alpha, 0.0, 1.0);
  if (currentCapture != nullptr) currentCapture->alphaChanges.emplace_back(weakSelf(), alpha_);
  alpha_ = alpha;
}

void View::setHidden(bool hidden) {
  if (hidden == hidden_) return;
  hidden_ = hidden;
  detail::layoutChanged();
  // Hidden arranged views collapse in a stack view.
  if (View* parent = superviewPointer()) parent->invalidateIntrinsicContentSize();
}

double View::presentationAlpha() const {
  if (!alphaAnimation_) return alpha_;
  const AlphaAnimation& animation = *alphaAnimation_;
  if (animation.to != alpha_ || animation.duration <= 0 || !animation.clock) return alpha_;
  const double elapsed = animation.clock->now().timeIntervalSince(animation.start);
  const double progress = std::clamp(elapsed / animation.duration, 0.0, 1.0);
  return animation.from + (animation.to - animation.from) * progress;
}

void View::addSubview(const std::shared_ptr<View>& view) {
  insertSubview(view, subviews_.size());
}

void View::insertSubview(const std::shared_ptr<View>& view, size_t index) {
  if (!view) return;
  if (view.get() == this || isDescendant(*view)) {
    viewKitAssertionFailure("A view cannot become a subview of itself or of its descendant",
                            QVR_FILE_TEXT, "insertSubview(_:at:)", __LINE__);
    return;
  }
  // A strong copy on purpose: removing the view from its superview must not destroy it.
  const std::shared_ptr<View> keep = view;  // NOLINT(performance-unnecessary-copy-initialization)
  if (keep->superview_.lock().get() == this) {
    auto found = std::find(subviews_.begin(), subviews_.end(), keep);
    const auto oldIndex = static_cast<size_t>(found - subviews_.begin());
    subviews_.erase(found);
    if (oldIndex < index && index > 0) --index;
  } else {
    keep->removeFromSuperview();
  }
  index = std::min(index, subviews_.size());
  subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), keep);
  keep->superview_ = weakSelf();
  keep->superviewPointer_ = this;
  keep->setNeedsLayout();
  invalidateIntrinsicContentSize();
}

void View::removeFromSuperview() {
  auto parent = superview_.lock();
  superview_.reset();
  superviewPointer_ = nullptr;
  if (!parent) return;
  const std::shared_ptr<View> keep = shared_from_this();  // alive until the parent let go
  auto found = std::find(parent->subviews_.begin(), parent->subviews_.end(), keep);
  if (found != parent->subviews_.end()) parent->subviews_.erase(found);
  parent->invalidateIntrinsicContentSize();
}

bool View::isDescendant(const View& ancestor) const {
  for (const View* view = superviewPointer(); view != nullptr; view = view->superviewPointer()) {
    if (view == &ancestor) return true;
  }
  return false;
}

std::shared_ptr<View> View::viewWithAccessibilityIdentifier(const std::string& identifier) {
  if (identifier_ == identifier) return shared_from_this();
  for (auto& subview : subviews_) {
    if (auto found = subview->viewWithAccessibilityIdentifier(identifier)) return found;
  }
  return nullptr;
}

Size View::intrinsicContentSize() const {
  return {noIntrinsicMetric, noIntrinsicMetric};
}

void View::invalidateIntrinsicContentSize() {
  detail::layoutChanged();
  // Whoever sizes this view from its content (a stack view, a constraint pass) lives above it.
  for (View* view = this; view != nullptr;) {
    view->needsLayout_ = true;
    view = view->superviewPointer();
  }
}

float View::contentHuggingPriority(LayoutAxis axis) const {
  return hugging_[index(axis)];
}

void View::setContentHuggingPriority(float priority, LayoutAxis axis) {
  priority = LayoutPriority::clamped(priority);
  if (hugging_[index(axis)] == priority) return;
  hugging_[index(axis)] = priority;
  invalidateIntrinsicContentSize();
}

float View::contentCompressionResistancePriority(LayoutAxis axis) const {
  return compression_[index(axis)];
}

void View::setContentCompressionResistancePriority(float priority, LayoutAxis axis) {
  priority = LayoutPriority::clamped(priority);
  if (compression_[index(axis)] == priority) return;
  compression_[index(axis)] = priority;
  invalidateIntrinsicContentSize();
}

Size View::systemLayoutSizeFitting(double width) const {
  const double height = fittingHeights_.findOrCompute(detail::currentLayoutStamp(), width, [&] {
    return detail::LayoutEngine::fittingHeight(*this, width);
  });
  return {width, height};
}

double View::heightForWidth(double /*width*/) const {
  return intrinsicContentSize().height;
}

void View::setNeedsLayout() {
  // The pass starts from whichever ancestor layoutIfNeeded() is called on: mark the way up.
  invalidateIntrinsicContentSize();
}

bool View::subtreeNeedsLayout() const {
  if (needsLayout_) return true;
  return std::any_of(subviews_.begin(), subviews_.end(),
                     [](const auto& subview) { return subview->subtreeNeedsLayout(); });
}

void View::layoutIfNeeded() {
  const std::shared_ptr<View> keep = shared_from_this();  // a hook may drop the last owner
  for (int pass = 0; pass < kMaxLayoutPasses && subtreeNeedsLayout(); ++pass) {
    const bool outer = std::exchange(kitLayoutRunning, true);
    runKitLayout();
    kitLayoutRunning = outer;
    runLayoutHooks();
  }
  if (subtreeNeedsLayout()) {
    viewKitWarning("Layout did not settle: layoutSubviews keeps asking for layout", QVR_FILE_TEXT,
                   "layoutIfNeeded()", __LINE__);
  }
}

namespace {

// The subviews as they were when a pass over them started, held while the pass visits them. A
// few fit on the stack; more go to the heap.
class SubviewSnapshot {
 public:
  explicit SubviewSnapshot(const std::vector<std::shared_ptr<View>>& subviews)
      : count_(subviews.size()) {
    if (count_ <= kInline) {
      std::copy(subviews.begin(), subviews.end(), inline_.begin());
    } else {
      heap_ = subviews;
    }
  }
  [[nodiscard]] const std::shared_ptr<View>* begin() const {
    return heap_.empty() ? inline_.data() : heap_.data();
  }
  [[nodiscard]] const std::shared_ptr<View>* end() const { return begin() + count_; }

 private:
  static constexpr std::size_t kInline = 8;
  std::size_t count_;
  std::array<std::shared_ptr<View>, kInline> inline_;
  std::vector<std::shared_ptr<View>> heap_;
};

}  // namespace

void View::runKitLayout() {
  needsLayout_ = false;
  const std::vector<const View*> placed = arrangeSubviews();
  detail::LayoutEngine::layoutChildren(*this, placed);
  // A snapshot: nothing here should change the tree, but be safe.
  const SubviewSnapshot children(subviews_);
  for (const auto& child : children) child->runKitLayout();
}

void View::runLayoutHooks() {
  layoutSubviews();
  const SubviewSnapshot children(subviews_);  // a hook may add or remove subviews
  for (const auto& child : children) child->runLayoutHooks();
}

EdgeInsets View::safeAreaInsets() const {
  EdgeInsets insets = ownSafeAreaInsets_;
  const View* parent = superviewPointer();
  if (parent == nullptr) return insets;
  const EdgeInsets outer = parent->safeAreaInsets();
  const Size parentSize = parent->frame_.size;
  const Rect& frame = frame_;
  const EdgeInsets inherited{
      std::clamp(outer.top - frame.minY(), 0.0, frame.height()),
      std::clamp(outer.left - frame.minX(), 0.0, frame.width()),
      std::clamp(frame.maxY() - (parentSize.height - outer.bottom), 0.0, frame.height()),
      std::clamp(frame.maxX() - (parentSize.width - outer.right), 0.0, frame.width()),
  };
  insets.top = std::max(insets.top, inherited.top);
  insets.left = std::max(insets.left, inherited.left);
  insets.bottom = std::max(insets.bottom, inherited.bottom);
  insets.right = std::max(insets.right, inherited.right);
  return insets;
}

void View::setSafeAreaInsets(EdgeInsets insets) {
  if (insets == ownSafeAreaInsets_) return;
  ownSafeAreaInsets_ = insets;
  setNeedsLayout();
}

void View::attachConstraint(const std::shared_ptr<LayoutConstraint>& constraint) {
  if (std::find(constraints_.begin(), constraints_.end(), constraint) == constraints_.end()) {
    constraints_.push_back(constraint);
  }
}

void View::detachConstraint(const LayoutConstraint* constraint) {
  std::erase_if(constraints_, [constraint](const auto& c) { return c.get() == constraint; });
}

void View::addGestureRecognizer(const std::shared_ptr<TapGestureRecognizer>& recognizer) {
  if (!recognizer) return;
  if (auto previous = recognizer->view_.lock(); previous && previous.get() != this) {
    previous->removeGestureRecognizer(recognizer);
  }
  if (std::find(gestureRecognizers_.begin(), gestureRecognizers_.end(), recognizer) ==
      gestureRecognizers_.end()) {
    gestureRecognizers_.push_back(recognizer);
  }
  recognizer->view_ = weakSelf();
}

void View::removeGestureRecognizer(const std::shared_ptr<TapGestureRecognizer>& recognizer) {
  auto found = std::find(gestureRecognizers_.begin(), gestureRecognizers_.end(), recognizer);
  if (found == gestureRecognizers_.end()) return;
  (*found)->view_.reset();
  gestureRecognizers_.erase(found);
}

void View::animate(Platform::Environment& environment, Platform::TimeInterval duration,
                   const std::function<void()>& animations, std::function<void(bool)> completion) {
  AnimationCapture capture;
  AnimationCapture* const outer = std::exchange(currentCapture, &capture);
  if (animations) animations();
  currentCapture = outer;

  if (duration > 0) {
    const Platform::Date start = environment.clock().now();
    for (const auto& [weakView, before] : capture.alphaChanges) {
      auto view = weakView.lock();
      if (!view) continue;
      // The first change in the block is where the fade starts from.
      if (view->alphaAnimation_ && view->alphaAnimation_->start == start &&
          view->alphaAnimation_->duration == duration) {
        view->alphaAnimation_->to = view->alpha_;
        continue;
      }
      view->alphaAnimation_ =
          AlphaAnimation{before, view->alpha_, start, duration, environment.clockPtr()};
    }
  }
  if (!completion) return;
  if (duration <= 0) {
    completion(true);
    return;
  }
  environment.mainQueue().asyncAfter(duration,
                                     [completion = std::move(completion)] { completion(true); });
}

}  // namespace QVRAdKit::UI
