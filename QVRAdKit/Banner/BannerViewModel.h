#pragma once
// BannerViewModel is what the banner view renders: the texts as they are to be shown, the remote
// image address (none when the appearance brings its own icon), whether the close button is hidden
// and the partner's appearance overrides. The banner module builds one afresh for each model.
// Threading: a value.

#include <optional>
#include <string>

#include "QVRAdKit/Banner/BannerAppearance.h"
#include "QVRAdKit/Platform/URL.h"

namespace QVRAdKit {

struct BannerViewModel {
  std::string title;
  std::string subtitle;
  std::optional<Platform::URL> imageUrl;
  bool isCloseHidden = false;
  std::optional<BannerAppearance> appearance;

  bool operator==(const BannerViewModel&) const = default;
};

}  // namespace QVRAdKit
