#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "QVRAdKit/Banner/BannerAdModel.h"
#include "QVRAdKit/Banner/BannerAdViewStyle.h"
#include "QVRAdKit/Banner/BannerAppearance.h"
#include "QVRAdKit/Banner/BannerCTAType.h"
#include "QVRAdKit/Banner/PartnerAdName.h"
#include "Support/BannerTestDoubles.h"

namespace QVRAdKit {
namespace {

using Platform::URL;
using Testing::url;

TEST(BannerValueTypesTest, RawValuesMatchExactly) {
  EXPECT_EQ(rawValue(PartnerAdName::kdFreeTrial2022), "kd_free_trial_2022");
  EXPECT_EQ(partnerAdName("kd_free_trial_2022"), PartnerAdName::kdFreeTrial2022);
  for (const char* other : {"", "KD_FREE_TRIAL_2022", "kd_free_trial_2022 ", " kd_free_trial_2022",
                            "kd_free_trial_202", "kd_free_trial_2023"}) {
    EXPECT_EQ(partnerAdName(other), std::nullopt) << '"' << other << '"';
  }

  const std::vector<std::pair<BannerCTAType, std::string>> types = {
      {BannerCTAType::bottomButton, "bottomButton"},
      {BannerCTAType::accessoryIcon, "accessoryIcon"},
      {BannerCTAType::accessoryIconPinned, "accessoryIconPinned"}};
  std::unordered_set<BannerCTAType> distinct;
  for (const auto& [type, raw] : types) {
    EXPECT_EQ(rawValue(type), raw);
    EXPECT_EQ(bannerCTAType(raw), type);
    distinct.insert(type);
  }
  EXPECT_EQ(distinct.size(), 3U);
  for (const char* other : {"", "BottomButton", "accessoryicon", "accessoryIconPinned ",
                            "accessory", "accessoryIconPinnedX"}) {
    EXPECT_EQ(bannerCTAType(other), std::nullopt) << '"' << other << '"';
  }
}

TEST(BannerValueTypesTest, ModelsAreEqualOnlyWhenEverySixFieldsAre) {
  const URL image = url("https://cdn.example/i.png");
  const URL redirect = url("https://partner.example/go");
  const BannerAdModel base("partner", "title", "subtitle", image, redirect, true);
  // The constructor takes the partner first; the accessors give each field back.
  EXPECT_EQ(base.partnerName(), "partner");
  EXPECT_EQ(base.title(), "title");
  EXPECT_EQ(base.subtitle(), "subtitle");
  EXPECT_EQ(base.imageUrl(), image);
  EXPECT_EQ(base.redirectUrl(), redirect);
  EXPECT_TRUE(base.showCloseButton());

  EXPECT_EQ(base, BannerAdModel("partner", "title", "subtitle", url("https://cdn.example/i.png"),
                                url("https://partner.example/go"), true));
  const std::vector<BannerAdModel> others = {
      {"other", "title", "subtitle", image, redirect, true},
      {"partner", "Title", "subtitle", image, redirect, true},
      {"partner", "title", "", image, redirect, true},
      {"partner", "title", "subtitle", url("https://cdn.example/j.png"), redirect, true},
      {"partner", "title", "subtitle", image, url("https://partner.example/go?x"), true},
      {"partner", "title", "subtitle", image, redirect, false}};
  for (const auto& other : others) EXPECT_NE(base, other);
}

TEST(BannerValueTypesTest, StyleKeepsEachImageInItsPlaceAndHasNoName) {
  const TextStyle title{"title", UI::Font::system(15), UI::Color::black()};
  const TextStyle subtitle{"subtitle", UI::Font::system(13), UI::Color::white()};
  const ViewStyle view{"card", UI::Color::white(), std::nullopt, std::nullopt};
  const BannerAdViewStyle style(title, subtitle, UI::Image{"close", {24, 24}},
                                UI::Image{"placeholder", {72, 44}}, view,
                                UI::Image{"chevron", {24, 24}});
  EXPECT_EQ(style.titleStyle(), title);
  EXPECT_EQ(style.subtitleStyle(), subtitle);
  EXPECT_EQ(style.closeButtonImage().name, "close");
  EXPECT_EQ(style.placeholderImage().name, "placeholder");
  EXPECT_EQ(style.viewStyle(), view);
  EXPECT_EQ(style.disclosureImage(), (UI::Image{"chevron", {24, 24}}));
  // Whatever the styles' own names, the banner style's is empty.
  EXPECT_EQ(style.name, "");
  static_assert(StyleProtocol<BannerAdViewStyle>);

  // A fresh appearance overrides nothing; one field set differs from it.
  const BannerAppearance none;
  EXPECT_FALSE(none.backgroundColor || none.titleColor || none.subtitleColor || none.titleFont ||
               none.subtitleFont || none.icon || none.accessoryIcon || none.cta || none.position ||
               none.insets || none.borderless);
  EXPECT_NE(none, BannerAppearance{.borderless = false});
  EXPECT_NE(BannerAppearance{.cta = BannerAppearance::CTA(BannerCTAType::accessoryIcon)},
            BannerAppearance{.cta = BannerAppearance::CTA(BannerCTAType::accessoryIconPinned)});
}

}  // namespace
}  // namespace QVRAdKit
