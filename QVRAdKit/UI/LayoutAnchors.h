#pragma once
// LayoutAnchors gives a view or a layout guide its anchors (leading, top, width...), written once
// for both. Owner derives from LayoutAnchors<Owner> and provides, to this class only,
//   std::weak_ptr<View> anchorView() const;      // the view the anchors refer to
//   static constexpr bool kAnchorsOnSafeArea;    // true for the safe-area guide
// Threading: main queue only, as its owner.

#include <memory>

#include "QVRAdKit/UI/LayoutAnchor.h"
#include "QVRAdKit/UI/LayoutAttribute.h"

namespace QVRAdKit::UI {

template <class Owner>
class LayoutAnchors {
 public:
  [[nodiscard]] LayoutXAxisAnchor leftAnchor() const {
    return make<LayoutXAxis>(LayoutAttribute::left);
  }
  [[nodiscard]] LayoutXAxisAnchor rightAnchor() const {
    return make<LayoutXAxis>(LayoutAttribute::right);
  }
  [[nodiscard]] LayoutXAxisAnchor leadingAnchor() const {
    return make<LayoutXAxis>(LayoutAttribute::leading);
  }
  [[nodiscard]] LayoutXAxisAnchor trailingAnchor() const {
    return make<LayoutXAxis>(LayoutAttribute::trailing);
  }
  [[nodiscard]] LayoutXAxisAnchor centerXAnchor() const {
    return make<LayoutXAxis>(LayoutAttribute::centerX);
  }
  [[nodiscard]] LayoutYAxisAnchor topAnchor() const {
    return make<LayoutYAxis>(LayoutAttribute::top);
  }
  [[nodiscard]] LayoutYAxisAnchor bottomAnchor() const {
    return make<LayoutYAxis>(LayoutAttribute::bottom);
  }
  [[nodiscard]] LayoutYAxisAnchor centerYAnchor() const {
    return make<LayoutYAxis>(LayoutAttribute::centerY);
  }
  [[nodiscard]] LayoutDimension widthAnchor() const {
    return make<LayoutDimensionAxis>(LayoutAttribute::width);
  }
  [[nodiscard]] LayoutDimension heightAnchor() const {
    return make<LayoutDimensionAxis>(LayoutAttribute::height);
  }

 protected:
  LayoutAnchors() = default;
  ~LayoutAnchors() = default;
  LayoutAnchors(const LayoutAnchors&) = default;
  LayoutAnchors& operator=(const LayoutAnchors&) = default;

 private:
  template <class Kind>
  [[nodiscard]] LayoutAnchor<Kind> make(LayoutAttribute attribute) const {
    const auto& owner = static_cast<const Owner&>(*this);
    return {owner.anchorView(), Owner::kAnchorsOnSafeArea, attribute};
  }
};

}  // namespace QVRAdKit::UI
