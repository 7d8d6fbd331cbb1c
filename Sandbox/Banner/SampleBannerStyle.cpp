#include "Sandbox/Banner/SampleBannerStyle.h"

#include "QVRAdKit/ClientKit/LayerStyle.h"
#include "QVRAdKit/ClientKit/ShadowStyle.h"
#include "QVRAdKit/ClientKit/TextStyle.h"
#include "QVRAdKit/ClientKit/ViewStyle.h"
#include "QVRAdKit/UI/Color.h"
#include "QVRAdKit/UI/Font.h"
#include "QVRAdKit/UI/Image.h"

namespace QVRAdKit::Sandbox {

BannerAdViewStyle SampleBannerStyle::style() {
  TextStyle title;
  title.font = UI::Font{"SF Pro Text", 15, UI::Font::Weight::semibold};
  title.textColor = UI::Color::rgb(0x101828);
  TextStyle subtitle;
  subtitle.font = UI::Font{"SF Pro Text", 13, UI::Font::Weight::regular};
  subtitle.textColor = UI::Color::rgb(0x667085);

  LayerStyle card;
  card.cornerRadius = 12;
  card.borderWidth = 1;
  card.borderColor = UI::Color::rgb(0xD0D5DD);
  card.masksToBounds = true;
  // A soft shadow over the screen above the banner.
  ShadowStyle shadow;
  shadow.color = UI::Color::rgb(0x101828);
  shadow.opacity = 0.18;
  shadow.offset = {0, -2};
  shadow.radius = 12;
  card.shadow = shadow;
  ViewStyle view;
  view.backgroundColor = UI::Color::white();
  view.layerStyle = card;

  return BannerAdViewStyle(title, subtitle, UI::Image{"close", {24, 24}},
                           UI::Image{"partner-placeholder", {72, 44}}, view,
                           UI::Image{"chevron-right", {8, 14}});
}

BannerAppearance SampleBannerStyle::partnerLook() {
  BannerAppearance look;
  look.backgroundColor = UI::Color::rgb(0x1D2A5B);
  look.titleColor = UI::Color::white();
  look.subtitleColor = UI::Color::rgb(0xB9C6F2);
  look.titleFont = UI::Font{"SF Pro Text", 16, UI::Font::Weight::bold};
  look.accessoryIcon = UI::Image{"arrow-circle", {28, 28}};
  return look;
}

}  // namespace QVRAdKit::Sandbox
