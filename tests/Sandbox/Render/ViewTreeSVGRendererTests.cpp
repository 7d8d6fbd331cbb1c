#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>

#include "QVRAdKit/ClientKit/WebImageView.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/UI/Label.h"
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
  EXPECT_TRUE(contains(svg, ">placeholder</text>"));
  EXPECT_FALSE(contains(svg, "secret"));
  EXPECT_FALSE(contains(svg, "Tom & Jerry"));
  // Deterministic: the same tree gives the same text.
  EXPECT_EQ(svg, ViewTreeSVGRenderer::render(*root));
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
