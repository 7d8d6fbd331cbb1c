#include "QVRAdKit/Ads/PresentationSequence.h"

#include <string>

#include "QVRAdKit/Host/HostLogger.h"
#include "QVRAdKit/Host/MainQueueCheck.h"

namespace QVRAdKit {

void PresentationSequence::asked() {
  if (!open_) startShowing();
}

bool PresentationSequence::opened(std::string_view callback, std::string_view adUnitID,
                                  std::string_view file, int line) {
  if (!count(open_, callback, adUnitID, file, line)) return false;
  startShowing();
  open_ = true;
  return true;
}

bool PresentationSequence::willClose(std::string_view callback, std::string_view adUnitID,
                                     std::string_view file, int line) {
  return count(willClose_, callback, adUnitID, file, line);
}

bool PresentationSequence::rewarded(std::string_view callback, std::string_view adUnitID,
                                    std::string_view file, int line) {
  return count(rewarded_, callback, adUnitID, file, line);
}

bool PresentationSequence::closed(std::string_view callback, std::string_view adUnitID,
                                  std::string_view file, int line) {
  if (!count(closed_, callback, adUnitID, file, line)) return false;
  open_ = false;
  return true;
}

void PresentationSequence::startShowing() {
  willClose_ = false;
  closed_ = false;
  rewarded_ = false;
}

bool PresentationSequence::count(bool& told, std::string_view callback, std::string_view adUnitID,
                                 std::string_view file, int line) {
  checkMainQueue(file, callback, line);
  if (told) {
    QVLogAssertionFailure(std::string(callback) + " came again for \"" + std::string(adUnitID) +
                              "\" in the same showing; the repeat is ignored",
                          file, callback, line);
    return false;
  }
  told = true;
  return true;
}

}  // namespace QVRAdKit
