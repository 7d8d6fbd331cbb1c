#pragma once
// BannerAdPresentable is the banner view as the banner module's interactor sees it: the interactor
// sets the view model to render, and installs itself as the view's listener. The view owns that
// listener strongly (it keeps the interactor alive); the interactor holds the view weakly.
// Threading: main queue.

#include <memory>
#include <optional>

#include "QVRAdKit/Banner/BannerAdPresentableListener.h"
#include "QVRAdKit/Banner/BannerViewModel.h"

namespace QVRAdKit {

class BannerAdPresentable {
 public:
  virtual ~BannerAdPresentable() = default;
  [[nodiscard]] virtual std::optional<BannerViewModel> viewModel() const = 0;
  // Every assignment updates the view, also of an equal value; none hides the banner.
  virtual void setViewModel(std::optional<BannerViewModel> viewModel) = 0;
  [[nodiscard]] virtual std::shared_ptr<BannerAdPresentableListener> listener() const = 0;
  virtual void setListener(std::shared_ptr<BannerAdPresentableListener> listener) = 0;
};

}  // namespace QVRAdKit
