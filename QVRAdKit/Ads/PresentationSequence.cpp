#include "QVRAdKit/Ads/PresentationSequence.h"

#include <string>

#include "QVRAdKit/Host/HostLogger.h"
#include "QVRAdKit/Host/MainQueueCheck.h"

namespace QVRAdKit {

void PresentationSequence::asked() {
  ++pending_;
  if (step_ != Step::none) return;
  step_ = Step::asked;
  rewarded_ = false;
}

void PresentationSequence::failed() {
  if (pending_ == 0) {
    step_ = Step::none;
    return;
  }
  --pending_;
  if (pending_ == 0 && step_ == Step::asked) step_ = Step::none;
}

bool PresentationSequence::opened(std::string_view callback, std::string_view adUnitID,
                                  std::string_view file, int line) {
  if (!advance(step_ == Step::asked, Step::open, callback, adUnitID, file, line)) return false;
  if (pending_ > 0) --pending_;
  return true;
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
  if (!advance(step_ != Step::none, Step::none, callback, adUnitID, file, line)) return false;
  pending_ = 0;  // a present() still unanswered belonged to this showing
  return true;
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
