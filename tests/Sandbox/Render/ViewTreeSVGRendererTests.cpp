#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <variant>

#include "QVRAdKit/ClientKit/WebImageView.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/UI/Button.h"
#include "QVRAdKit/UI/Label.h"
#include "QVRAdKit/UI/TextMeasurer.h"
#include "Sandbox/Fonts/FontTextMeasurer.h"
#include "Sandbox/Render/ViewTreeSVGRenderer.h"

namespace QVRAdKit::Sandbox {
namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ViewTreeSVGRendererTest, DrawsVisibleViewsInWindowCoordinatesAndEscapesText) {
  auto env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*env);
  auto root = UI::View::create({{0, 0}, {320, 100}});
  auto card = UI::View::create({{10, 20}, {300, 60}});
  card->setAccessibilityIdentifier("card \"1\"");
  card->setBackgroundColor(UI::Color::rgb(0x1A73E8, 0.5));
  card->layer().cornerRadius = 8;
  card->layer().borderWidth = 1;
  card->setClipsToBounds(true);
  root->addSubview(card);
  auto title = UI::Label::create({{5, 5}, {200, 20}});
  title->setFont(UI::Font::system(10));
  title->setText("Tom & Jerry <b>");
  title->setTextColor(UI::Color::rgb(0xFF0000));
  card->addSubview(title);
  auto icon = WebImageView::create(*env, {{250, 10}, {40, 40}});
  icon->setPlaceholder(UI::Image{"placeholder", {40, 40}});
  card->addSubview(icon);
  auto hidden = UI::Label::create({{0, 0}, {10, 10}});
  hidden->setText("secret-hidden");
  hidden->setHidden(true);
  card->addSubview(hidden);
  auto transparent = UI::Label::create({{0, 0}, {10, 10}});
  transparent->setText("secret-transparent");
  transparent->setAlpha(0);
  card->addSubview(transparent);

  const std::string svg = ViewTreeSVGRenderer::render(*root);
  EXPECT_TRUE(contains(svg, "width=\"320\" height=\"100\""));
  EXPECT_TRUE(contains(svg, "id=\"card &quot;1&quot;\""));
  EXPECT_TRUE(contains(svg,
                       "<rect x=\"10\" y=\"20\" width=\"300\" height=\"60\" rx=\"8\" "
                       "fill=\"#1A73E8\" fill-opacity=\"0.5\"/>"));
  EXPECT_TRUE(contains(svg, "clip-path=\"url(#clip1)\""));
  EXPECT_TRUE(contains(svg, "stroke=\"#000000\" stroke-width=\"1\""));
  // Label: window coordinates (10 + 5, 20 + 5 + (20 - 12) / 2 + 9.6), escaped text.
  EXPECT_TRUE(contains(svg,
                       "<text x=\"15\" y=\"38.6\" font-family=\"System\" font-size=\"10\" "
                       "text-anchor=\"start\" fill=\"#FF0000\" xml:space=\"preserve\">"
                       "Tom &amp; Jerry &lt;b&gt;</text>"));
  // An image the catalogue does not know: a picture glyph scaled into its rectangle, titled.
  EXPECT_TRUE(contains(svg,
                       "<g transform=\"translate(260 30) scale(1.6667 1.6667)\"><title>placeholder"
                       "</title><rect"));
  EXPECT_FALSE(contains(svg, "secret"));
  EXPECT_FALSE(contains(svg, "Tom & Jerry"));
  // Deterministic: the same tree gives the same text.
  EXPECT_EQ(svg, ViewTreeSVGRenderer::render(*root));
}

TEST(ViewTreeSVGRendererTest, DrawsShadowsIconsAndTextInTheMeasuredFaces) {
  auto env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*env);
  auto made = FontTextMeasurer::dejaVuSans();
  ASSERT_TRUE(std::holds_alternative<std::shared_ptr<FontTextMeasurer>>(made))
      << std::get<std::string>(made);
  const auto fonts = std::get<std::shared_ptr<FontTextMeasurer>>(made);
  env->setService<UI::TextMeasurer>(fonts);

  auto root = UI::View::create({{0, 0}, {320, 100}});
  auto card = UI::View::create({{10, 20}, {300, 60}});
  card->setBackgroundColor(UI::Color::white());
  card->layer().cornerRadius = 8;
  card->layer().shadowOpacity = 0.5;
  card->layer().shadowOffset = {0, 4};
  card->layer().shadowRadius = 6;
  root->addSubview(card);
  // A shadow with nothing to cast it (no background, no border) is not drawn.
  auto bare = UI::View::create({{0, 0}, {10, 10}});
  bare->layer().shadowOpacity = 1;
  card->addSubview(bare);
  auto close = UI::Button::create({{280, 30}, {24, 24}});
  close->setImage(UI::Image{"close", {24, 24}});
  card->addSubview(close);
  const UI::Font bold{"SF Pro Text", 15, UI::Font::Weight::bold};
  auto title = UI::Label::create({{5, 5}, {200, 30}});
  title->setFont(bold);
  title->setText("AV Premium");
  card->addSubview(title);

  ViewTreeSVGRenderer::Options options;
  options.fonts = fonts;
  options.topMargin = 10;
  const std::string svg = ViewTreeSVGRenderer::render(*root, options);
  EXPECT_TRUE(contains(svg, "width=\"320\" height=\"110\" viewBox=\"0 -10 320 110\""));
  // The shadow: the card's shape moved by the offset, blurred by half the radius, under the card.
  EXPECT_TRUE(contains(svg,
                       "<filter id=\"shadow1\" x=\"-50%\" y=\"-50%\" width=\"200%\" "
                       "height=\"200%\"><feGaussianBlur stdDeviation=\"3\"/></filter>"));
  const auto shadow = svg.find(
      "<rect x=\"10\" y=\"24\" width=\"300\" height=\"60\" rx=\"8\" "
      "fill=\"#000000\" fill-opacity=\"0.5\" filter=\"url(#shadow1)\"/>");
  const auto background = svg.find(
      "<rect x=\"10\" y=\"20\" width=\"300\" height=\"60\" rx=\"8\" "
      "fill=\"#FFFFFF\"/>");
  ASSERT_NE(shadow, std::string::npos);
  ASSERT_NE(background, std::string::npos);
  EXPECT_LT(shadow, background);
  EXPECT_FALSE(contains(svg, "shadow2"));
  // The close icon's shapes, at the button's place and size.
  EXPECT_TRUE(contains(svg,
                       "<g transform=\"translate(290 50) scale(1 1)\"><title>close</title>"
                       "<circle"));
  // The title in the bold face, on the baseline the measurer gives, centred in the label.
  const auto metrics = fonts->lineMetrics(bold, 15);
  const double baseline = 25 + (30 - metrics.lineHeight) / 2 + metrics.baseline;
  std::string text("<text x=\"15\" y=\"");
  text += ViewTreeSVGRenderer::formatNumber(baseline);
  text +=
      "\" font-family=\"DejaVu Sans\" font-weight=\"bold\" font-size=\"15\" text-anchor=\"start\"";
  EXPECT_TRUE(contains(svg, text));
  // Only the bold face is drawn, so only it is embedded.
  EXPECT_TRUE(contains(svg, "font-weight:700;src:url(data:font/ttf;base64,"));
  EXPECT_FALSE(contains(svg, "font-weight:400"));
}

TEST(ViewTreeSVGRendererTest, NumbersAndEscapesAreStable) {
  EXPECT_EQ(ViewTreeSVGRenderer::formatNumber(12), "12");
  EXPECT_EQ(ViewTreeSVGRenderer::formatNumber(0.5), "0.5");
  EXPECT_EQ(ViewTreeSVGRenderer::formatNumber(-3.254), "-3.25");
  EXPECT_EQ(ViewTreeSVGRenderer::formatNumber(-0.001), "0");
  EXPECT_EQ(ViewTreeSVGRenderer::formatNumber(std::numeric_limits<double>::infinity()), "0");
  EXPECT_EQ(ViewTreeSVGRenderer::escapeXML("a&b<c>d\"e'f\x01g"),
            "a&amp;b&lt;c&gt;d&quot;e&apos;fg");
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
