#pragma once
// AdsReportable is what an ad object calls at each moment of its life: requested, loaded, failed
// (to load or to present), opened and viewed. `uuid` is the ad object's identity; `unitID` and
// `networkClassName` are passed as the ad object knows them. None of the calls fails.
// Threading: main queue.

#include <optional>
#include <string>

#include "QVRAdKit/Config/AdSource.h"
#include "QVRAdKit/Platform/Error.h"

namespace QVRAdKit {

class AdsReportable {
 public:
  virtual ~AdsReportable() = default;
  virtual void reportAdRequested(AdSource source, const std::optional<std::string>& unitID,
                                 const std::string& uuid) = 0;
  virtual void reportAdLoaded(AdSource source, const std::optional<std::string>& unitID,
                              const std::string& uuid,
                              const std::optional<std::string>& networkClassName) = 0;
  virtual void reportAdFailed(AdSource source, const std::optional<std::string>& unitID,
                              const std::string& uuid,
                              const std::optional<std::string>& networkClassName,
                              const Platform::Error& error) = 0;
  virtual void reportAdOpened(AdSource source, const std::optional<std::string>& unitID,
                              const std::string& uuid,
                              const std::optional<std::string>& networkClassName) = 0;
  virtual void reportAdViewed(AdSource source, const std::optional<std::string>& unitID,
                              const std::string& uuid,
                              const std::optional<std::string>& networkClassName,
                              const std::optional<Platform::Error>& error) = 0;
};

}  // namespace QVRAdKit
