#include <gtest/gtest.h>

#include "QVRAdKit/ClientKit/ApplyStyle.h"
#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit {
namespace {

TEST(ApplyStyleTest, ViewStyleChangesOnlyPresentMembersAndLayerStyleReplacesTheLook) {
  auto env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*env);
  auto view = UI::View::create();
  view->setBackgroundColor(UI::Color::white());
  view->setAlpha(0.5);

  LayerStyle rounded;
  rounded.cornerRadius = 12;
  rounded.borderWidth = 1;
  rounded.borderColor = UI::Color::rgb(0xFF0000);
  rounded.shadow = ShadowStyle{UI::Color::rgb(0x000000), 0.3, {0, 2}, 6};
  rounded.masksToBounds = true;
  applyStyle(*view, ViewStyle{"card", std::nullopt, std::nullopt, rounded});
  EXPECT_EQ(view->backgroundColor(), UI::Color::white());  // absent: unchanged
  EXPECT_EQ(view->alpha(), 0.5);
  EXPECT_EQ(view->layer().cornerRadius, 12);
  EXPECT_EQ(view->layer().borderColor, UI::Color::rgb(0xFF0000));
  EXPECT_EQ(view->layer().shadowOpacity, 0.3);
  EXPECT_TRUE(view->clipsToBounds());

  applyStyle(*view, ViewStyle{"tint", UI::Color::rgb(0x123456), 1.0, std::nullopt});
  EXPECT_EQ(view->backgroundColor(), UI::Color::rgb(0x123456));
  EXPECT_EQ(view->alpha(), 1);
  EXPECT_EQ(view->layer().cornerRadius, 12);  // no layer style: layer untouched

  // The empty layer style resets the layer to the plain look.
  applyStyle(view->layer(), LayerStyle{});
  EXPECT_EQ(view->layer(), UI::Layer{});
}

TEST(ApplyStyleTest, TextStyleSetsFontAndColourAndTheHighlightedColour) {
  auto env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*env);
  auto label = UI::Label::create();
  label->setText("abc");
  const UI::Size before = label->intrinsicContentSize();
  TextStyle title{"title", UI::Font::system(20, UI::Font::Weight::bold), UI::Color::rgb(0x202020)};
  TextStyle pressed{"pressed", UI::Font::system(20), UI::Color::rgb(0x808080)};
  applyStyle(*label, title, pressed);
  EXPECT_EQ(label->font(), title.font);
  EXPECT_EQ(label->textColor(), title.textColor);
  EXPECT_EQ(label->highlightedTextColor(), pressed.textColor);
  EXPECT_NE(label->intrinsicContentSize(), before);  // measured at the new size
  applyStyle(*label, title);
  EXPECT_FALSE(label->highlightedTextColor().has_value());
}

}  // namespace
}  // namespace QVRAdKit
