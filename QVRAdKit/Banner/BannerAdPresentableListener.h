#pragma once
// BannerAdPresentableListener is the banner module's interactor as the banner view sees it: the
// view forwards its taps and visibility changes here. The view owns its listener.
// Threading: main queue.

namespace QVRAdKit {

class BannerAdPresentableListener {
 public:
  virtual ~BannerAdPresentableListener() = default;
  // The call-to-action tap on the banner's content.
  virtual void didTapBanner() = 0;
  // The close button.
  virtual void didTapClose() = 0;
  // After each view-model assignment: true when the view's model is absent.
  virtual void didChangeVisibility(bool isHidden) = 0;
};

}  // namespace QVRAdKit
