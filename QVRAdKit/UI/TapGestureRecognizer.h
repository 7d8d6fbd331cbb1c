#pragma once
// TapGestureRecognizer turns a tap on its view into a call of its handler. It is attached with
// View::addGestureRecognizer (the view owns it; it holds the view weakly). The host's touch
// handling, or a test, delivers a tap with recognizeTap(). A tap does nothing when the recogniser
// is disabled, not attached, or its view is gone, hidden or in a hidden superview.
// Handlers bound to an object should hold it weakly: addTarget does that.
// Example:
//   auto tap = TapGestureRecognizer::create();
//   tap->addTarget(weak_from_this(), &BannerView::ctaAction);
//   contentView->addGestureRecognizer(tap);
//   tap->recognizeTap();
// Threading: main queue only.

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace QVRAdKit::UI {

class View;

class TapGestureRecognizer : public std::enable_shared_from_this<TapGestureRecognizer> {
 public:
  using Handler = std::function<void(TapGestureRecognizer&)>;

  static std::shared_ptr<TapGestureRecognizer> create(Handler handler = {});

  void addHandler(Handler handler);
  template <class Target>
  void addTarget(std::weak_ptr<Target> target, void (Target::*action)()) {
    addHandler([target = std::move(target), action](TapGestureRecognizer&) {
      if (auto strong = target.lock()) ((*strong).*action)();
    });
  }

  [[nodiscard]] std::shared_ptr<View> view() const { return view_.lock(); }
  [[nodiscard]] bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }

  // Delivers one tap; answers whether the handlers ran.
  bool recognizeTap();

 private:
  friend class View;
  struct Key {};

 public:
  explicit TapGestureRecognizer(Key /*key*/) {}

 private:
  std::weak_ptr<View> view_;
  std::vector<Handler> handlers_;
  bool enabled_ = true;
};

}  // namespace QVRAdKit::UI
