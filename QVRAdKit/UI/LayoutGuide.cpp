#include "QVRAdKit/UI/LayoutGuide.h"

#include <algorithm>

#include "QVRAdKit/UI/View.h"

namespace QVRAdKit::UI {

Rect LayoutGuide::layoutFrame() const {
  auto view = owningView_.lock();
  if (!view) return {};
  const Rect bounds = view->bounds();
  const EdgeInsets insets = view->safeAreaInsets();
  return {{insets.left, insets.top},
          {std::max(0.0, bounds.width() - insets.left - insets.right),
           std::max(0.0, bounds.height() - insets.top - insets.bottom)}};
}

}  // namespace QVRAdKit::UI
