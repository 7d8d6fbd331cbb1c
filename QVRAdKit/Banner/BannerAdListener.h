#pragma once
// BannerAdListener is how the host hears about its partner banner: a tap, a close, and each
// change of whether there is a banner to show. The banner holds it weakly: the host keeps it alive.
// Threading: called on the main queue.

namespace QVRAdKit {

class BannerAdListener {
 public:
  virtual ~BannerAdListener() = default;
  // The banner was tapped (also while it shows nothing).
  virtual void bannerAdDidClick() = 0;
  // The close button was tapped while the banner had content.
  virtual void bannerAdDidClose() = 0;
  // Sent each time the view receives a view model; true when there is no banner to show.
  virtual void bannerAdDidChangeVisibility(bool isHidden) = 0;
};

}  // namespace QVRAdKit
