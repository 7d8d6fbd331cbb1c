#pragma once
// The sandbox's stand-ins for what a host's design kit and asset catalogue give the partner
// banner: a base style (a white card with a thin rounded border and a soft shadow, a dark semibold
// title, a grey subtitle, close, placeholder and disclosure images with their point sizes) and one
// partner's look over it (a dark blue card with light texts and a round arrow as accessory icon).
// The banner picture of qvr-sandbox and the snapshot tests draw with them. Threading: plain values.

#include "QVRAdKit/Banner/BannerAdViewStyle.h"
#include "QVRAdKit/Banner/BannerAppearance.h"

namespace QVRAdKit::Sandbox {

class SampleBannerStyle {
 public:
  SampleBannerStyle() = delete;

  // The host's base banner style.
  static BannerAdViewStyle style();
  // A partner's colours, fonts and accessory icon; no call to action, position, insets or border
  // setting, so those can be combined with it.
  static BannerAppearance partnerLook();
};

}  // namespace QVRAdKit::Sandbox
