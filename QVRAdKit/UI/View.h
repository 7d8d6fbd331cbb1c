#pragma once
// View is a node of the headless view tree: a rectangle (frame, in its superview's coordinates)
// with a look (alpha, hidden, background colour, layer), subviews it owns and a superview it holds
// weakly, layout constraints, and animations on the main queue's clock. Labels, image views, stack
// views and buttons derive from it; so may a host's or the module's own views.
//
// Example:
//   auto root = View::create({{0, 0}, {390, 844}});
//   root->setSafeAreaInsets({47, 0, 34, 0});
//   auto banner = View::create();
//   root->addSubview(banner);
//   LayoutConstraint::activate({banner->leadingAnchor().equalTo(root->leadingAnchor()),
//                               banner->trailingAnchor().equalTo(root->trailingAnchor()),
//                               banner->bottomAnchor().equalTo(root->safeAreaLayoutGuide().bottomAnchor())});
//   root->layoutIfNeeded();   // banner's frame now follows from the constraints
//
// Layout. Changes that affect layout (constraints, intrinsic sizes, frames, stack properties) mark
// views as needing layout; layoutIfNeeded() then runs a pass over the subtree:
//  1. The kit lays out the whole subtree top down. For each view, its subviews' frames are solved
//     from the active constraints that name them (see below); a stack view places its arranged
//     subviews itself and solves its other subviews from constraints.
//  2. Then layoutSubviews() runs for every view of the subtree, parents before children. A
//     subclass overrides it to adjust what it owns after the kit's layout; reading any descendant's
//     frame there gives the values of step 1.
//  If step 2 changed something that needs layout again (a stack's axis, a label's preferred
//  width), the pass repeats, at most 8 times.
//
// Solving the subviews' frames. The subviews a view's pass places by constraints (those with an
// active constraint to a constant or to anything outside their own subtree; the others keep their
// frame) are solved together, as one linear system in the view's coordinates (Cassowary's
// simplex): each active constraint whose other side is one of them, the view or an ancestor, their
// safe-area guides or any other view of the tree already laid out, becomes a relation on their
// edges, centres and sizes. Ties to a subview's own descendants are left to the descendant's pass.
//  - Required constraints hold. One that cannot hold together with the required constraints
//    activated before it is refused: reported with QVLogAssertionFailure, and layout goes on
//    without it. A size the relations make negative is shown as zero.
//  - A constraint of priority p < 1000 weighs p: the layout minimises the weighted sum of how far
//    the non-required relations miss.
//  - Content: a view with an intrinsic size resists being smaller (compression resistance) and
//    larger (hugging), each weighed just under a constraint of the same priority, so content
//    yields to an equally strong constraint and never makes a layout unsatisfiable. A view whose
//    height follows its width (a label, a stack view) is measured at the width it gets.
//  - Whatever the relations leave free is pulled towards zero (sizes before positions). The
//    frames the views had before never enter: the same constraints give the same frames,
//    whichever side of a constraint a view is written on.
//  - When equally strong wishes disagree so that several layouts are equally good, the views
//    left open are reported with QVLogAssertionFailure and keep their frames.
// systemLayoutSizeFitting() runs the same solve over the view and the views inside it.
//
// Safe area. A root's safe-area insets are set by the host (or a test); every other view inherits
// the overlap of its superview's safe area with its own frame. An explicit setSafeAreaInsets() on
// a view with a superview is combined with the inherited one (the larger per edge).
//
// Animations. View::animate(environment, duration, animations, completion) runs `animations` at
// once: the model values (frame, alpha, ...) take their final values immediately, as on the phone.
// The completion is a main-queue task of that environment due at now + duration on its clock. A
// duration of zero or less runs the completion synchronously, before animate() returns: nothing is
// animated, so the caller sees the end state (hidden, relays updated) as soon as the call returns,
// with no tick of the queue in between. The animation holds no view: only what the completion
// captures stays alive. presentationAlpha() interpolates an animated alpha at the current time of
// the clock that animated it.
//
// Threading: main queue only. Views are shared_ptr objects made by create().

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QVRAdKit/Platform/Clock.h"
#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/UI/Color.h"
#include "QVRAdKit/UI/EdgeInsets.h"
#include "QVRAdKit/UI/Layer.h"
#include "QVRAdKit/UI/LayoutAnchor.h"
#include "QVRAdKit/UI/LayoutAnchors.h"
#include "QVRAdKit/UI/LayoutAxis.h"
#include "QVRAdKit/UI/LayoutConstraint.h"
#include "QVRAdKit/UI/LayoutGuide.h"
#include "QVRAdKit/UI/LayoutPriority.h"
#include "QVRAdKit/UI/Point.h"
#include "QVRAdKit/UI/Rect.h"
#include "QVRAdKit/UI/Size.h"
#include "QVRAdKit/UI/detail/LayoutMemo.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit::UI {

class TapGestureRecognizer;

namespace detail {
class LayoutEngine;
}

class View : public std::enable_shared_from_this<View>, public LayoutAnchors<View> {
 public:
  // An intrinsic size component that means "no intrinsic size on this axis".
  static constexpr double noIntrinsicMetric = -1;

  static std::shared_ptr<View> create(Rect frame = {});
  virtual ~View();
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  // Geometry. bounds() is {0, 0} with the frame's size. A size change asks for layout.
  [[nodiscard]] Rect frame() const { return frame_; }
  void setFrame(Rect frame);
  [[nodiscard]] Rect bounds() const { return {{0, 0}, frame_.size}; }
  // The rectangle, given in this view's coordinates, in `other`'s coordinates; in the root's
  // (window) coordinates when other is null. Both views must share a root.
  [[nodiscard]] Rect convert(Rect rect, const View* other) const;
  // This view's frame in the root's coordinates.
  [[nodiscard]] Rect frameInRoot() const { return convert(bounds(), nullptr); }

  // Look.
  [[nodiscard]] double alpha() const { return alpha_; }
  void setAlpha(double alpha);  // clamped to 0...1
  [[nodiscard]] bool isHidden() const { return hidden_; }
  void setHidden(bool hidden);
  // None is the phone's nil colour: nothing drawn.
  [[nodiscard]] const std::optional<Color>& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(std::optional<Color> color) { backgroundColor_ = color; }
  [[nodiscard]] bool clipsToBounds() const { return layer_.masksToBounds; }
  void setClipsToBounds(bool clips) { layer_.masksToBounds = clips; }
  [[nodiscard]] Layer& layer() { return layer_; }
  [[nodiscard]] const Layer& layer() const { return layer_; }
  [[nodiscard]] const std::string& accessibilityIdentifier() const { return identifier_; }
  void setAccessibilityIdentifier(std::string identifier) { identifier_ = std::move(identifier); }
  // The alpha drawn now: while an animate() block that changed alpha runs, the value interpolated
  // linearly at the clock's current time; otherwise alpha().
  [[nodiscard]] double presentationAlpha() const;

  // Tree. A view added to another leaves its former superview first. Adding a view to itself or
  // to one of its descendants is refused (reported with QVLogAssertionFailure).
  [[nodiscard]] std::shared_ptr<View> superview() const { return superview_.lock(); }
  // The superview without taking a share of it (nullptr without one): for walks up the tree on
  // the main queue, during which the superview lives on. Taking and giving back a share at each
  // step is two atomic operations, and layout walks up the tree all the time.
  [[nodiscard]] View* superviewPointer() const {
    return superview_.expired() ? nullptr : superviewPointer_;
  }
  [[nodiscard]] const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  void addSubview(const std::shared_ptr<View>& view);
  void insertSubview(const std::shared_ptr<View>& view, size_t index);
  void removeFromSuperview();
  [[nodiscard]] bool isDescendant(const View& ancestor) const;
  // The first view of the subtree (this one included, depth first) with the identifier.
  [[nodiscard]] std::shared_ptr<View> viewWithAccessibilityIdentifier(
      const std::string& identifier);

  // Intrinsic size and its priorities (hugging 250, compression resistance 750 by default).
  [[nodiscard]] virtual Size intrinsicContentSize() const;
  // Call when what intrinsicContentSize() answers has changed: asks the superviews for layout.
  void invalidateIntrinsicContentSize();
  [[nodiscard]] float contentHuggingPriority(LayoutAxis axis) const;
  void setContentHuggingPriority(float priority, LayoutAxis axis);
  [[nodiscard]] float contentCompressionResistancePriority(LayoutAxis axis) const;
  void setContentCompressionResistancePriority(float priority, LayoutAxis axis);

  // The size this view needs at the given width: the width as given and the smallest height the
  // layout solve allows, with the view pinned at that width and its height pulled down at
  // fittingSizeLevel, over the view's own constraints and those of the views inside it (down to
  // views that measure their own content: labels, image views, stack views). Does not change
  // frames.
  [[nodiscard]] Size systemLayoutSizeFitting(double width) const;

  // Layout.
  void setNeedsLayout();
  [[nodiscard]] bool needsLayout() const { return needsLayout_; }
  // Runs the layout pass described above on this view's subtree if any view of it needs layout.
  void layoutIfNeeded();
  // Extension point; runs after the kit has laid out this view's subtree. Does nothing here.
  virtual void layoutSubviews() {}

  // Safe area.
  [[nodiscard]] EdgeInsets safeAreaInsets() const;
  void setSafeAreaInsets(EdgeInsets insets);
  [[nodiscard]] LayoutGuide safeAreaLayoutGuide() const { return LayoutGuide(weakSelf()); }

  // Anchors: see LayoutAnchors.
  // The active constraints that name this view or its safe-area guide, in activation order.
  [[nodiscard]] const std::vector<std::shared_ptr<LayoutConstraint>>& constraints() const {
    return constraints_;
  }

  // Gesture recognisers: the view owns them; each holds the view weakly.
  void addGestureRecognizer(const std::shared_ptr<TapGestureRecognizer>& recognizer);
  void removeGestureRecognizer(const std::shared_ptr<TapGestureRecognizer>& recognizer);
  [[nodiscard]] const std::vector<std::shared_ptr<TapGestureRecognizer>>& gestureRecognizers()
      const {
    return gestureRecognizers_;
  }

  // See "Animations" above. completion(finished) gets true.
  static void animate(Platform::Environment& environment, Platform::TimeInterval duration,
                      const std::function<void()>& animations,
                      std::function<void(bool)> completion = {});

 protected:
  explicit View(Rect frame);

  // For subclasses that change what intrinsicContentSize() answers depending on the width they
  // get (labels, stack views): the height needed at that width. By default the intrinsic height.
  [[nodiscard]] virtual double heightForWidth(double width) const;
  // For subclasses that place some subviews themselves (stack views): runs in the kit's layout
  // step, after this view's frame is final and before its subviews' own layout. Returns the
  // subviews it placed; the others are solved from constraints.
  virtual std::vector<const View*> arrangeSubviews() { return {}; }

 private:
  friend class LayoutConstraint;
  friend class detail::LayoutEngine;

  [[nodiscard]] std::weak_ptr<View> weakSelf() const {
    return const_cast<View*>(this)
        ->weak_from_this();  // NOLINT(cppcoreguidelines-pro-type-const-cast)
  }
  friend class LayoutAnchors<View>;
  static constexpr bool kAnchorsOnSafeArea = false;
  [[nodiscard]] std::weak_ptr<View> anchorView() const { return weakSelf(); }
  void attachConstraint(const std::shared_ptr<LayoutConstraint>& constraint);
  void detachConstraint(const LayoutConstraint* constraint);
  [[nodiscard]] bool subtreeNeedsLayout() const;
  void runKitLayout();
  void runLayoutHooks();

  struct AlphaAnimation {
    double from = 1;
    double to = 1;
    Platform::Date start;
    Platform::TimeInterval duration = 0;
    // The clock of the environment that animated the change.
    std::shared_ptr<const Platform::Clock> clock;
  };

  Rect frame_;
  double alpha_ = 1;
  bool hidden_ = false;
  std::optional<Color> backgroundColor_;
  Layer layer_;
  std::string identifier_;
  std::weak_ptr<View> superview_;
  View* superviewPointer_ = nullptr;  // set and cleared with superview_
  std::vector<std::shared_ptr<View>> subviews_;
  std::vector<std::shared_ptr<LayoutConstraint>> constraints_;
  std::vector<std::shared_ptr<TapGestureRecognizer>> gestureRecognizers_;
  float hugging_[2] = {LayoutPriority::defaultLow, LayoutPriority::defaultLow};
  float compression_[2] = {LayoutPriority::defaultHigh, LayoutPriority::defaultHigh};
  EdgeInsets ownSafeAreaInsets_;
  bool needsLayout_ = true;
  std::optional<AlphaAnimation> alphaAnimation_;
  // The last fitting heights, by width (a pass asks for the same ones many times).
  mutable detail::WidthMemo<4> fittingHeights_;
};

}  // namespace QVRAdKit::UI
