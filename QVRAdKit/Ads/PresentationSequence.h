#pragma once
// PresentationSequence follows the showings of one ad object: present() handing the ad to its
// network, the opening, the dismissal that is about to happen and the one that ends the showing.
// An ad counts an opening or a close only when a showing is under way and has not yet reached that
// step, so a network bridge that repeats a callback (an ad dismissed twice, an opening told twice)
// or calls one for an ad nobody presented cannot make the ad report a view twice, tell the host of
// a close twice or grant a reward twice. Such a callback is named through QVLogAssertionFailure
// (the bridge is at fault, and must not be so silently) and the ad ignores it.
// Each step also checks that the callback arrived on the main queue, where the ad keeps its state.
// Example:
//   void Ad::present(...) { if (sdkAd_) { sequence_.asked(); sdkAd_->present(...); } }
//   void Ad::adDidDismissFullScreenContent(...) {
//     if (!sequence_.closed("GADFullScreenContentDelegate.adDidDismissFullScreenContent",
//                           adUnitID_, QVR_FILE_TEXT, __LINE__)) return;
//     ...report the view and tell the host...
//   }
// Threading: main queue.

#include <string_view>

namespace QVRAdKit {

class PresentationSequence {
 public:
  // The ad was handed to its network to be shown. It starts a showing unless one is under way; a
  // present() during a showing is one the network answers with a failure, which must not end it.
  void asked();
  // The network failed to show the ad. It answers a pending present() when there is one: the
  // showing ends if that was its only present() and the ad never opened. Without a pending one
  // the showing itself broke off, and it ends. The next opening then needs a new present().
  void failed();

  // Each answers whether the callback counts. One that does not is logged, under `callback`,
  // naming the ad unit; the caller then does nothing.
  // The ad came on screen: counts once per showing, before any dismissal.
  [[nodiscard]] bool opened(std::string_view callback, std::string_view adUnitID,
                            std::string_view file, int line);
  // The ad is about to leave the screen: counts once per showing.
  [[nodiscard]] bool willClose(std::string_view callback, std::string_view adUnitID,
                               std::string_view file, int line);
  // The user earned the showing's reward: counts once per showing, before it ends.
  [[nodiscard]] bool rewarded(std::string_view callback, std::string_view adUnitID,
                              std::string_view file, int line);
  // The ad left the screen and the showing ended: counts once per showing, opened or not.
  [[nodiscard]] bool closed(std::string_view callback, std::string_view adUnitID,
                            std::string_view file, int line);

 private:
  enum class Step { none, asked, open, closing };
  [[nodiscard]] bool advance(bool counts, Step next, std::string_view callback,
                             std::string_view adUnitID, std::string_view file, int line);

  Step step_ = Step::none;
  // present() calls the network has answered with neither an opening nor a failure yet.
  int pending_ = 0;
  bool rewarded_ = false;
};

}  // namespace QVRAdKit
