#pragma once
// ImageLoader is the port through which views fetch remote images. The host installs one in the
// environment (environment->setService<UI::ImageLoader>(loader)); WebImageView finds it there.
// A load answers once, on the main queue, with the image or an error, unless it was cancelled
// first: disposing (or destroying) the returned Disposable cancels it, and a cancelled load never
// answers. preferredSize is a hint of the size the image will be shown at.
// Example:
//   auto load = loader->loadImage(url, Size{72, 44}, [weak](Expected<Image> image) { ... });
// Threading: call on the main queue; the completion runs on the main queue.

#include <functional>
#include <optional>

#include "QVRAdKit/Platform/Expected.h"
#include "QVRAdKit/Platform/URL.h"
#include "QVRAdKit/Rx/Disposable.h"
#include "QVRAdKit/UI/Image.h"
#include "QVRAdKit/UI/Size.h"

namespace QVRAdKit::UI {

class ImageLoader {
 public:
  using Completion = std::function<void(Platform::Expected<Image>)>;

  virtual ~ImageLoader() = default;

  [[nodiscard]] virtual Rx::Disposable loadImage(const Platform::URL& url,
                                                 std::optional<Size> preferredSize,
                                                 Completion completion) = 0;
};

}  // namespace QVRAdKit::UI
