// The banner preview's parameters: each setting reaches the picture's options, and every bad value
// is refused with a message naming its parameter, by BannerRequest and by the server's route.

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "Workbench/BannerRequest.h"
#include "WorkbenchHttp.h"

namespace QVRAdKit::Workbench {
namespace {

using Options = Sandbox::BannerPicture::Options;
using Parameters = BannerRequest::Parameters;

TEST(BannerRequestTest, EverySettingReachesThePicture) {
  const auto read = BannerRequest::read({{"width", "768.5"},
                                         {"cta", "accessoryIconPinned"},
                                         {"position", "bottomToEdge"},
                                         {"insets", "1,2.5,3,64"},
                                         {"borderless", "true"},
                                         {"close", "false"},
                                         {"title", "Line one\nLine two"},
                                         {"subtitle", ""}});
  ASSERT_TRUE(std::holds_alternative<Options>(read)) << std::get<1>(read).message;
  const Options& options = std::get<Options>(read);
  EXPECT_DOUBLE_EQ(options.width, 768.5);
  EXPECT_FALSE(options.showCloseButton);
  EXPECT_EQ(options.title, "Line one\nLine two");
  EXPECT_EQ(options.subtitle, "");
  ASSERT_TRUE(options.appearance);
  EXPECT_EQ(options.appearance->cta, BannerAppearance::CTA(BannerCTAType::accessoryIconPinned));
  EXPECT_EQ(options.appearance->position, BannerAppearance::Position::bottomToEdge);
  EXPECT_EQ(options.appearance->insets, (UI::EdgeInsets{1, 2.5, 3, 64}));
  EXPECT_EQ(options.appearance->borderless, true);
  // The sample partner's colours stay under the settings.
  EXPECT_EQ(options.appearance->backgroundColor,
            Sandbox::SampleBannerStyle::partnerLook().backgroundColor);

  // Nothing given: the defaults, over the partner's look with its own call to action.
  const auto plain = BannerRequest::read({});
  ASSERT_TRUE(std::holds_alternative<Options>(plain));
  EXPECT_DOUBLE_EQ(std::get<Options>(plain).width, 375);
  EXPECT_TRUE(std::get<Options>(plain).showCloseButton);
  EXPECT_EQ(std::get<Options>(plain).appearance, Sandbox::SampleBannerStyle::partnerLook());
}

TEST(BannerRequestTest, BadValuesAreRefusedNamingTheParameter) {
  const std::string longest(BannerRequest::kMaxTextCharacters, 'x');
  // 120 characters of several bytes or code points fit: the limit counts what the label draws as
  // one character (é, e with a combining acute, a flag of two regional indicators).
  std::string longestWide;
  std::string longestMarked;
  std::string longestFlags;
  for (std::size_t i = 0; i < BannerRequest::kMaxTextCharacters; ++i) {
    longestWide += "\xC3\xA9";
    longestMarked += "e\xCC\x81";
    longestFlags += "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7";
  }
  for (const auto& fine :
       {Parameters{{"width", "200"}}, Parameters{{"width", "2048"}}, Parameters{{"title", longest}},
        Parameters{{"title", longestWide}}, Parameters{{"title", longestMarked}},
        Parameters{{"subtitle", longestFlags}}, Parameters{{"insets", "0,0,0,0"}}}) {
    EXPECT_TRUE(std::holds_alternative<Options>(BannerRequest::read(fine)))
        << fine.begin()->first << "=" << fine.begin()->second.substr(0, 20);
  }
  // Each parameter's bad values, refused with the same message.
  struct Case {
    const char* name;
    std::vector<std::string> values;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"width",
       {"199.99", "2048.01", "", "375px", "0x200", "inf", "nan", " 375"},
       "width: must be a number of points from 200 to 2048"},
      {"cta",
       {"AccessoryIcon", ""},
       "cta: must be bottomButton, accessoryIcon or accessoryIconPinned"},
      {"position", {"top"}, "position: must be regular, bottomSafeArea or bottomToEdge"},
      {"insets",
       {"1,2,3", "1,2,3,4,5", "1,2,-3,4", "1,2,3,64.5", "1,,3,4"},
       "insets: must be TOP,LEFT,BOTTOM,RIGHT: four numbers from 0 to 64"},
      {"borderless", {"yes"}, "borderless: must be true or false"},
      {"close", {"1"}, "close: must be true or false"},
      {"title",
       {longest + "x", longestMarked + "e\xCC\x81"},
       "title: must be at most 120 characters"},
      {"title", {""}, "title: a partner ad without a title is never shown"},
      {"subtitle",
       {longestWide + "\xC3\xA9", longestFlags + "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7"},
       "subtitle: must be at most 120 characters"},
      {"colour",
       {"red"},
       "colour: unknown parameter (known: width, cta, position, insets, borderless, close, title, "
       "subtitle)"},
  };
  const auto refusal = [](const Parameters& parameters) {
    const auto read = BannerRequest::read(parameters);
    const auto* bad = std::get_if<BannerRequest::BadParameter>(&read);
    return bad ? bad->message : std::string("(read)");
  };
  for (const Case& c : cases) {
    for (const std::string& value : c.values) {
      EXPECT_EQ(refusal({{c.name, value}}), c.message) << value.substr(0, 20);
    }
  }
  EXPECT_EQ(refusal({{"width", "375"}, {"width", "768"}}), "width: given more than once");
}

TEST(BannerRouteTest, DrawsTheSettingsOrAnswers400WithTheReason) {
  Testing::WorkbenchHttp http;
  auto drawn = http.get(
      "/api/banner.svg?width=768&cta=accessoryIcon&position=bottomSafeArea&insets=8,8,8,8"
      "&borderless=false&close=false&title=Caf%C3%A9%20%26%20%3Cfriends%3E&subtitle=Hi");
  ASSERT_TRUE(Testing::answeredWith(drawn, 200));
  EXPECT_EQ(drawn->get_header_value("Content-Type"), "image/svg+xml");
  EXPECT_NE(drawn->body.find("width=\"768\""), std::string::npos);
  EXPECT_NE(drawn->body.find("Caf\xC3\xA9 &amp; &lt;friends&gt;"), std::string::npos);
  EXPECT_NE(drawn->body.find("@font-face{font-family:\"DejaVu Sans\""), std::string::npos);
  EXPECT_EQ(drawn->body.find("<title>close</title>"), std::string::npos);  // close=false
  EXPECT_NE(drawn->get_header_value("Content-Security-Policy").find("default-src 'none'"),
            std::string::npos);

  std::string longTitle("title=");
  longTitle.append(121, 'x');
  for (const auto& [query, message] : std::vector<std::pair<std::string, std::string>>{
           {"width=10", "width: must be a number of points from 200 to 2048"},
           {"cta=banner", "cta: must be bottomButton, accessoryIcon or accessoryIconPinned"},
           {longTitle, "title: must be at most 120 characters"},
           {"width=375&width=768", "width: given more than once"}}) {
    auto refused = http.get("/api/banner.svg?" + query);
    ASSERT_TRUE(Testing::answeredWith(refused, 400)) << query;
    EXPECT_EQ(Testing::WorkbenchHttp::json(refused).value("error", ""), message) << query;
  }
}

}  // namespace
}  // namespace QVRAdKit::Workbench
