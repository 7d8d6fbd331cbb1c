#pragma once
// PresentationSequence follows the full-screen callbacks of one ad object so that a network bridge
// that repeats one (an ad dismissed twice, an opening told twice, a reward handler run twice)
// cannot make the ad report a view twice, tell the host of a close twice or grant a reward twice. A
// callback counts unless it repeats the last one of its kind without the showing having moved on:
// an opening counts again after a close, a dismissal or a reward again after an opening, and
// present() starts afresh when the ad is not on screen. Callbacks that come in any other order
// (a dismissal with no opening before it, say) are the network's to tell and still count. A repeat
// is named through QVLogAssertionFailure (the bridge is at fault, and must not be so silently) and
// the ad ignores it. Each callback is also checked for the main queue, where the ad keeps its
// state. Example:
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
  // The ad was handed to its network to be shown. While it is on screen (opened, not closed) this
  // is a second present() the network will refuse, and changes nothing; otherwise a new showing
  // starts, whose dismissal and reward count again even if no opening is told.
  void asked();

  // Each answers whether the callback counts. One that does not is logged, under `callback`,
  // naming the ad unit; the caller then does nothing.
  // The ad came on screen: counts unless it opened and has not closed since.
  [[nodiscard]] bool opened(std::string_view callback, std::string_view adUnitID,
                            std::string_view file, int line);
  // The ad is about to leave the screen: counts once per showing.
  [[nodiscard]] bool willClose(std::string_view callback, std::string_view adUnitID,
                               std::string_view file, int line);
  // The user earned the showing's reward: counts once per showing (before or after its close).
  [[nodiscard]] bool rewarded(std::string_view callback, std::string_view adUnitID,
                              std::string_view file, int line);
  // The ad left the screen: counts once per showing.
  [[nodiscard]] bool closed(std::string_view callback, std::string_view adUnitID,
                            std::string_view file, int line);

 private:
  // Checks the queue; when `repeated`, logs the callback and answers false. Otherwise sets `told`.
  [[nodiscard]] static bool count(bool& told, std::string_view callback, std::string_view adUnitID,
                                  std::string_view file, int line);
  void startShowing();

  bool open_ = false;  // opened and not closed since
  bool willClose_ = false;
  bool closed_ = false;
  bool rewarded_ = false;
};

}  // namespace QVRAdKit
