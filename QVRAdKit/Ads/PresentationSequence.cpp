#include "QVRAdKit/Ads/PresentationSequence.h"

#include <string>

#include "QVRAdKit/Host/HostLogger.h"
#include "QVRAdKit/Host/MainQueueCheck.h"

namespace QVRAdKit {

bool PresentationSequence::opened(std::string_view callback, std::string_view adUnitID,
                                  std::string_view file, int line) {
  return advance(step_ == Step::asked, Step::open, callback, adUnitID, file, line);
}

bool PresentationSequence::willClose(std::string_view callback, std::string_view adUnitID,
                                     std::string_view file, int line) {
  return advance(step_ == Step::asked || step_ == Step::open, Step::closing, callback, adUnitID,
                 file, line);
}

bool PresentationSequence::rewarded(std::string_view callback, std::string_view adUnitID,
                                    std::string_view file, int line) {
  const bool counts = step_ != Step::none && !rewarded_;
  if (!advance(counts, step_, callback, adUnitID, file, line)) return false;
  rewarded_ = true;
  return true;
}

bool PresentationSequence::closed(std::string_view callback, std::string_view adUnitID,
                                  std::string_view file, int line) {
  return advance(step_ != Step::none, Step::none, callback, adUnitID, file, line);
}

bool PresentationSequence::advance(bool counts, Step next, std::string_view callback,
                                   std::string_view adUnitID, std::string_view file, int line) {
  checkMainQueue(file, callback, line);
  if (!counts) {
    QVLogAssertionFailure(std::string(callback) + " came for \"" + std::string(adUnitID) +
                              "\" out of turn (repeated, or with no showing under way); "
                              "it is ignored",
                          file, callback, line);
    return false;
  }
  step_ = next;
  return true;
}

}  // namespace QVRAdKit
