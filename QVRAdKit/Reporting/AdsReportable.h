#pragma once
// AdsReportable is what an ad object calls at each moment of its life: requested, loaded, failed
// (to load or to present), opened and viewed. `uuid` is the ad object's identity; `unitID` and
// `networkClassName` are passed as the ad object knows them. None of the calls fails.
// Threading: main queue.

#include <optional>
#include <string>
#include <string_view>

#include "QVRAdKit/Config/AdSource.h"
#include "QVRAdKit/Platform/Error.h"

namespace QVRAdKit {

class AdsReportable {
 public:
  // Optional text the call only reads: the unit and the network class name are passed without a
  // copy, so a report costs no allocation for them.
  using Text = std::optional<std::string_view>;

  virtual ~AdsReportable() = default;
  virtual void reportAdRequested(AdSource source, Text unitID, std::string_view uuid) = 0;
  virtual void reportAdLoaded(AdSource source, Text unitID, std::string_view uuid,
                              Text networkClassName) = 0;
  virtual void reportAdFailed(AdSource source, Text unitID, std::string_view uuid,
                              Text networkClassName, const Platform::Error& error) = 0;
  virtual void reportAdOpened(AdSource source, Text unitID, std::string_view uuid,
                              Text networkClassName) = 0;
  virtual void reportAdViewed(AdSource source, Text unitID, std::string_view uuid,
                              Text networkClassName,
                              const std::optional<Platform::Error>& error) = 0;
};

}  // namespace QVRAdKit
