#pragma once
// BannerAdViewStylable is the partner banner view as the host receives it from the banner
// builder: the host gives it its base style, asks whether it has a banner to show, and follows its
// hidden state to make room for it in its own layout.
// Example:
//   banner->apply(style);
//   banner->isHiddenObservable().subscribe([weakLayout](bool hidden) { ... }).disposed(bag);
// Threading: main queue.

#include "QVRAdKit/Banner/BannerAdViewStyle.h"
#include "QVRAdKit/Rx/Observable.h"

namespace QVRAdKit {

class BannerAdViewStylable {
 public:
  virtual ~BannerAdViewStylable() = default;
  // Keeps the style as the view's own and re-applies the whole look at once.
  virtual void apply(const BannerAdViewStyle& style) = 0;
  // True while the view holds a view model (a closed banner still has content).
  [[nodiscard]] virtual bool hasContent() const = 0;
  // The view's hidden state: true at once for a new view, then a value after every view-model
  // assignment and every close, repeats included.
  [[nodiscard]] virtual Rx::Observable<bool> isHiddenObservable() const = 0;
};

}  // namespace QVRAdKit
