// The banner picture's text fits where the banner's layout put it: for a table of titles, widths
// and calls to action, every line of the title and subtitle labels, measured with FreeType and
// HarfBuzz in the face the picture draws it in, is no wider than its label, the lines together
// no taller, and the picture draws exactly those lines in that face.

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "QVRAdKit/UI/Label.h"
#include "Sandbox/Banner/BannerPicture.h"
#include "Sandbox/Banner/SampleBannerStyle.h"
#include "Sandbox/Fonts/FontTextMeasurer.h"
#include "Sandbox/Render/ViewTreeSVGRenderer.h"

namespace QVRAdKit::Sandbox {
namespace {

const UI::Label* findLabel(const UI::View& view, const std::string& identifier) {
  if (view.accessibilityIdentifier() == identifier) return dynamic_cast<const UI::Label*>(&view);
  for (const auto& subview : view.subviews()) {
    if (const auto* found = findLabel(*subview, identifier)) return found;
  }
  return nullptr;
}

struct Checked {
  int lines = 0;
  bool shrunk = false;
};

// Every line of the label inside its bounds by the font's measure; the lines drawn in the SVG.
Checked expectLinesFit(const UI::Label& label, const FontTextMeasurer& fonts,
                       std::vector<std::string>& drawn) {
  Checked checked;
  const UI::TextLayout layout = label.textLayout();
  const UI::Size bounds = label.bounds().size;
  for (const auto& line : layout.lines) {
    const double width = fonts.width(line, label.font(), layout.pointSize);
    EXPECT_LE(width, bounds.width + 1e-6) << label.accessibilityIdentifier() << " line \"" << line
                                          << "\" at " << layout.pointSize << " pt";
    drawn.push_back(line);
  }
  EXPECT_LE(layout.size.height, bounds.height + 1e-6) << label.accessibilityIdentifier();
  EXPECT_DOUBLE_EQ(layout.lineHeight, fonts.lineMetrics(label.font(), layout.pointSize).lineHeight);
  checked.lines = static_cast<int>(layout.lines.size());
  checked.shrunk = layout.pointSize < label.font().pointSize;
  return checked;
}

TEST(BannerPictureTextFitTest, EveryWrappedLineFitsItsLabelByTheDrawnFontsMeasure) {
  auto made = FontTextMeasurer::dejaVuSans();
  ASSERT_TRUE(std::holds_alternative<std::shared_ptr<FontTextMeasurer>>(made))
      << std::get<std::string>(made);
  const auto fonts = std::get<std::shared_ptr<FontTextMeasurer>>(made);

  const std::vector<std::string> titles = {
      "Get 7 days of Premium free",
      "Illuminating little lilies fill the hill with light",
      "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW",
      "M\xC3\xBCnchen, Z\xC3\xBCrich & S\xC3\xA3o Paulo \xE2\x80\x94 na\xC3\xAFve caf\xC3\xA9 "
      "deals",
      "Two lines\nMAXIMUM WIDTH WORDS HERE",
      "A title of the longest kind allowed: it goes on and on about fast, private browsing on "
      "every network you join, all week",
  };
  const std::vector<double> widths = {200, 320, 375, 768, 1024};
  const std::vector<BannerCTAType> ctas = {BannerCTAType::bottomButton,
                                           BannerCTAType::accessoryIcon,
                                           BannerCTAType::accessoryIconPinned};
  int wrapped = 0;
  int shrunk = 0;
  for (const auto& title : titles) {
    for (const double width : widths) {
      for (const BannerCTAType cta : ctas) {
        SCOPED_TRACE(title);
        SCOPED_TRACE(width);
        SCOPED_TRACE(std::string(rawValue(cta)));
        BannerPicture::Options options;
        options.width = width;
        options.title = title;
        options.subtitle = "Fast, private browsing on every network WWW";
        options.embedFonts = false;
        BannerAppearance look = SampleBannerStyle::partnerLook();
        look.cta = BannerAppearance::CTA(cta);
        options.appearance = look;
        std::vector<std::string> drawn;
        int labels = 0;
        const std::string svg = BannerPicture::svg(options, [&](const UI::View& banner) {
          for (const char* identifier : {"titleLabel", "subtitleLabel"}) {
            const auto* label = findLabel(banner, identifier);
            ASSERT_NE(label, nullptr) << identifier;
            ++labels;
            const Checked checked = expectLinesFit(*label, *fonts, drawn);
            if (checked.lines > 1) ++wrapped;
            if (checked.shrunk) ++shrunk;
          }
        });
        EXPECT_EQ(labels, 2);
        for (const auto& line : drawn) {
          std::string element(">");
          element += ViewTreeSVGRenderer::escapeXML(line);
          element += "</text>";
          EXPECT_NE(svg.find(element), std::string::npos) << line;
        }
        EXPECT_NE(svg.find("font-family=\"DejaVu Sans\" font-weight=\"bold\""), std::string::npos);
      }
    }
  }
  // The table exercises wrapping and shrinking, not only text that fits on one line.
  EXPECT_GT(wrapped, 20);
  EXPECT_GT(shrunk, 0);
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
