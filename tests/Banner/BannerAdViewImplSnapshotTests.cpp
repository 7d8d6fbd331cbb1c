// Pictures of the banner as SVG documents, compared with the ones committed in snapshots/ (open
// them in a browser to see the banner). When a change to the banner or its drawing is meant,
// rewrite them with QVR_UPDATE_SNAPSHOTS=1 and review the difference before committing.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Sandbox/Banner/BannerPicture.h"
#include "Sandbox/Banner/SampleBannerStyle.h"
#include "Support/TemporaryDirectory.h"

namespace QVRAdKit::Sandbox {
namespace {

using Options = BannerPicture::Options;
using Position = BannerAppearance::Position;

std::filesystem::path snapshotDirectory() {
  return std::filesystem::path(__FILE__).parent_path() / "snapshots";
}

bool updatingSnapshots() {
  const char* flag = std::getenv("QVR_UPDATE_SNAPSHOTS");
  return flag != nullptr && std::string(flag) == "1";
}

// The first line where the texts differ, both versions, for the failure message.
std::string firstDifference(const std::string& expected, const std::string& actual) {
  std::istringstream left(expected);
  std::istringstream right(actual);
  std::string a;
  std::string b;
  for (int line = 1;; ++line) {
    const bool moreLeft = static_cast<bool>(std::getline(left, a));
    const bool moreRight = static_cast<bool>(std::getline(right, b));
    if (!moreLeft && !moreRight) return "texts differ only in line endings";
    if (!moreLeft || !moreRight || a != b) {
      return "line " + std::to_string(line) + "\n  snapshot: " + (moreLeft ? a : "<end>") +
             "\n  now:      " + (moreRight ? b : "<end>");
    }
  }
}

void expectMatchesSnapshot(const std::string& name, const std::string& svg) {
  const auto path = snapshotDirectory() / (name + ".svg");
  if (updatingSnapshots()) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << svg;
    return;
  }
  ASSERT_TRUE(std::filesystem::exists(path))
      << path << " is missing; run with QVR_UPDATE_SNAPSHOTS=1 to write it";
  const std::string expected = Testing::contents(path);
  EXPECT_TRUE(expected == svg) << name << " no longer matches " << path << " at "
                               << firstDifference(expected, svg)
                               << "\nIf the change is meant, run with QVR_UPDATE_SNAPSHOTS=1 "
                                  "and review the new picture.";
}

struct Case {
  std::string name;
  Options options;
};

Options partner(BannerCTAType cta) {
  Options options;
  options.title = "Get 7 days of Premium free\nNo card needed";
  BannerAppearance look = SampleBannerStyle::partnerLook();
  look.cta = BannerAppearance::CTA(cta);
  options.appearance = look;
  return options;
}

Options positioned(Position position, UI::EdgeInsets insets) {
  Options options;
  BannerAppearance look;
  look.position = position;
  look.insets = insets;
  options.appearance = look;
  return options;
}

std::vector<Case> cases() {
  std::vector<Case> all;
  all.push_back({"cta-bottomButton-375", partner(BannerCTAType::bottomButton)});
  all.push_back({"cta-accessoryIcon-375", partner(BannerCTAType::accessoryIcon)});
  all.push_back({"cta-accessoryIconPinned-375", partner(BannerCTAType::accessoryIconPinned)});
  all.push_back({"position-regular-375", positioned(Position::regular, {8, 8, 8, 8})});
  all.push_back(
      {"position-bottomSafeArea-375", positioned(Position::bottomSafeArea, {8, 8, 8, 8})});
  all.push_back({"position-bottomToEdge-375", positioned(Position::bottomToEdge, {8, 0, 8, 0})});
  Options borderless = partner(BannerCTAType::accessoryIcon);
  borderless.appearance->borderless = true;
  borderless.appearance->insets = UI::EdgeInsets{0, 8, 0, 8};
  all.push_back({"borderless-375", borderless});
  Options bare;
  all.push_back({"bare-375", bare});
  bare.width = 768;
  all.push_back({"bare-768", bare});
  Options wide = partner(BannerCTAType::bottomButton);
  wide.width = 768;
  all.push_back({"cta-bottomButton-768", wide});
  return all;
}

TEST(BannerAdViewImplSnapshotTest, PicturesMatchTheCommittedSnapshots) {
  for (Case picture : cases()) {
    SCOPED_TRACE(picture.name);
    // The snapshots name the font without carrying its glyphs, so they do not change with the
    // font subsetter's version (the embedding has tests of its own).
    picture.options.embedFonts = false;
    const std::string svg = BannerPicture::svg(picture.options);
    // The same options draw the same document.
    EXPECT_EQ(svg, BannerPicture::svg(picture.options));
    expectMatchesSnapshot(picture.name, svg);
  }
}

TEST(BannerAdViewImplSnapshotTest, ThePictureCarriesItsFontAndDrawsItsIconsAndShadow) {
  Options options;
  options.title = "Caf\xC3\xA9 \xE2\x80\x94 AV";
  const std::string embedded = BannerPicture::svg(options);
  // Both faces travel in the document, as data: nothing is fetched to show it.
  EXPECT_NE(embedded.find("@font-face{font-family:\"DejaVu Sans\";font-weight:400;src:url(data:"
                          "font/ttf;base64,"),
            std::string::npos);
  EXPECT_NE(embedded.find("@font-face{font-family:\"DejaVu Sans\";font-weight:700;src:url(data:"
                          "font/ttf;base64,"),
            std::string::npos);
  EXPECT_EQ(embedded.find("http://", embedded.find("<defs>")), std::string::npos);
  EXPECT_EQ(embedded.find("SF Pro Text"), std::string::npos);
  // Icons are shapes, titled with their image's name; no named placeholder boxes.
  EXPECT_NE(embedded.find("<title>close</title><circle"), std::string::npos);
  EXPECT_NE(embedded.find("<title>chevron-right</title><path"), std::string::npos);
  EXPECT_EQ(embedded.find("stroke-dasharray"), std::string::npos);
  // The card's shadow: a blur filter on a copy of the card above the banner's top.
  EXPECT_NE(embedded.find("<feGaussianBlur stdDeviation=\"6\"/>"), std::string::npos);
  EXPECT_NE(embedded.find("y=\"-2\" width=\"375\""), std::string::npos);
  EXPECT_NE(embedded.find("viewBox=\"0 -16 375 "), std::string::npos);

  // Without embedding the faces are named only; the layout is the same.
  options.embedFonts = false;
  const std::string named = BannerPicture::svg(options);
  EXPECT_EQ(named.find("@font-face"), std::string::npos);
  EXPECT_NE(named.find("font-family=\"DejaVu Sans\""), std::string::npos);
  EXPECT_EQ(embedded.substr(embedded.find("<g id=\"bannerAdView\">")),
            named.substr(named.find("<g id=\"bannerAdView\">")));

  // Borderless: no card, so no shadow.
  BannerAppearance look;
  look.borderless = true;
  options.appearance = look;
  EXPECT_EQ(BannerPicture::svg(options).find("feGaussianBlur"), std::string::npos);
}

TEST(BannerAdViewImplSnapshotTest, ThePictureDrawsWhatTheBannerShows) {
  Options options;
  options.title = "Fish & <Chips>";
  const std::string withClose = BannerPicture::svg(options);
  EXPECT_NE(withClose.find("Fish &amp; &lt;Chips&gt;"), std::string::npos);
  EXPECT_EQ(withClose.find("Fish & <Chips>"), std::string::npos);
  EXPECT_NE(withClose.find(std::string(BannerPicture::kPartnerImageName)), std::string::npos);
  EXPECT_NE(withClose.find(">close<"), std::string::npos);
  EXPECT_NE(withClose.find("chevron-right"), std::string::npos);

  options.showCloseButton = false;
  EXPECT_EQ(BannerPicture::svg(options).find(">close<"), std::string::npos);

  // A partner icon replaces the remote image.
  BannerAppearance look;
  look.icon = UI::Image{"partner-icon", {40, 40}};
  options.appearance = look;
  const std::string withIcon = BannerPicture::svg(options);
  EXPECT_NE(withIcon.find("partner-icon"), std::string::npos);
  EXPECT_EQ(withIcon.find(std::string(BannerPicture::kPartnerImageName)), std::string::npos);
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
