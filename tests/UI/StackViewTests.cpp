#include <gtest/gtest.h>

#include <memory>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/UI/Button.h"
#include "QVRAdKit/UI/Label.h"
#include "QVRAdKit/UI/StackView.h"

namespace QVRAdKit::UI {
namespace {

std::shared_ptr<View> fixedView(double width, double height) {
  auto view = View::create();
  LayoutConstraint::activate(
      {view->widthAnchor().equalToConstant(width), view->heightAnchor().equalToConstant(height)});
  return view;
}

std::shared_ptr<Label> label(const std::string& text, double pointSize = 10) {
  auto label = Label::create();
  label->setFont(Font::system(pointSize));
  label->setText(text);
  return label;
}

class StackViewTest : public ::testing::Test {
 protected:
  std::unique_ptr<Platform::Environment> environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*environment};
};

// A row like the banner's: fixed icon, stretchy label, hugging button, and a hidden view that
// must take neither room nor spacing.
TEST_F(StackViewTest, RowGivesSurplusToLowestHuggingViewAndCollapsesHiddenViews) {
  auto icon = fixedView(44, 44);
  auto hidden = fixedView(50, 50);
  hidden->setHidden(true);
  auto text = label("Hello");  // 27.5 x 12
  auto button = Button::create();
  button->setImage(Image{"close", {24, 24}});
  button->setContentHuggingPriority(LayoutPriority::required, LayoutAxis::horizontal);
  auto stack = StackView::create({icon, hidden, text, button}, {{0, 0}, {300, 60}});
  stack->setAlignment(StackView::Alignment::center);
  stack->setSpacing(12);
  stack->setDirectionalLayoutMargins({10, 12, 10, 12});
  stack->setLayoutMarginsRelativeArrangement(true);

  stack->layoutIfNeeded();

  EXPECT_EQ(icon->frame(), (Rect{{12, 8}, {44, 44}}));
  EXPECT_EQ(hidden->frame().width(), 0);
  EXPECT_EQ(text->frame(), (Rect{{68, 24}, {184, 12}}));  // 300 - 24 margins - 24 spacing - 68
  EXPECT_EQ(button->frame(), (Rect{{264, 18}, {24, 24}}));
  EXPECT_EQ(button->frame().maxX(), 288);  // ends at the trailing margin

  // Showing the hidden view takes its width and one more spacing from the label.
  hidden->setHidden(false);
  stack->layoutIfNeeded();
  EXPECT_EQ(hidden->frame(), (Rect{{68, 5}, {50, 50}}));
  EXPECT_EQ(text->frame().minX(), 130);
  EXPECT_EQ(text->frame().width(), 184 - 62);

  // Without margin-relative arrangement the margins are ignored.
  stack->setLayoutMarginsRelativeArrangement(false);
  stack->layoutIfNeeded();
  EXPECT_EQ(icon->frame().minX(), 0);
  EXPECT_EQ(button->frame().maxX(), 300);
}

TEST_F(StackViewTest, MissingRoomComesFromTheLeastResistantViewThenTheNext) {
  auto first = label("aaaaaaaaaa");   // 55 wide
  auto second = label("bbbbbbbbbb");  // 55 wide
  auto third = fixedView(30, 10);     // a required width never shrinks
  second->setContentCompressionResistancePriority(751, LayoutAxis::horizontal);
  auto stack = StackView::create({first, second, third}, {{0, 0}, {100, 20}});

  stack->layoutIfNeeded();
  EXPECT_EQ(first->frame().width(), 15);  // 140 wanted, 100 available: 40 from the 750 one
  EXPECT_EQ(second->frame().width(), 55);
  EXPECT_EQ(third->frame(), (Rect{{70, 0}, {30, 20}}));  // fill alignment stretches across

  // More missing than the least resistant view has: the next one gives the rest.
  stack->setFrame({{0, 0}, {60, 20}});
  stack->layoutIfNeeded();
  EXPECT_EQ(first->frame().width(), 0);
  EXPECT_EQ(second->frame().width(), 30);
  EXPECT_EQ(third->frame().minX(), 30);
}

TEST_F(StackViewTest, ColumnSizesFromItsArrangedViewsAndFollowsAlignment) {
  auto title = label("Title");          // 27.5 x 12
  auto subtitle = label("Subtitle x");  // 55 x 12
  auto stack = StackView::create({title, subtitle});
  stack->setAxis(LayoutAxis::vertical);
  stack->setAlignment(StackView::Alignment::leading);
  stack->setSpacing(2);
  stack->setDirectionalLayoutMargins({2, 0, 2, 0});
  stack->setLayoutMarginsRelativeArrangement(true);

  EXPECT_EQ(stack->intrinsicContentSize(), (Size{55, 30}));
  subtitle->setHidden(true);
  EXPECT_EQ(stack->intrinsicContentSize(), (Size{27.5, 16}));  // no spacing for the hidden one
  subtitle->setHidden(false);

  stack->setFrame({{0, 0}, {100, 30}});
  stack->layoutIfNeeded();
  EXPECT_EQ(title->frame(), (Rect{{0, 2}, {27.5, 12}}));
  EXPECT_EQ(subtitle->frame(), (Rect{{0, 16}, {55, 12}}));
  // Taller than its content: the extra height goes to the view that hugs least.
  subtitle->setContentHuggingPriority(249, LayoutAxis::vertical);
  stack->setFrame({{0, 0}, {100, 40}});
  stack->layoutIfNeeded();
  EXPECT_EQ(title->frame().height(), 12);
  EXPECT_EQ(subtitle->frame(), (Rect{{0, 16}, {55, 22}}));

  stack->setAlignment(StackView::Alignment::trailing);
  stack->layoutIfNeeded();
  EXPECT_EQ(title->frame().maxX(), 100);
  stack->setAlignment(StackView::Alignment::center);
  stack->layoutIfNeeded();
  EXPECT_EQ(subtitle->frame().minX(), 22.5);

  // A column narrower than a label wraps it: the label gets the column's width and its height.
  auto wrapping = label("one two three");
  wrapping->setNumberOfLines(0);
  stack->addArrangedSubview(wrapping);
  EXPECT_EQ(stack->systemLayoutSizeFitting(40).height, 2 + 12 + 2 + 12 + 2 + 24 + 2);
}

TEST_F(StackViewTest, FillEquallyAndArrangedViewBookkeeping) {
  auto a = View::create();
  auto b = View::create();
  auto c = View::create();
  auto stack = StackView::create({a, b}, {{0, 0}, {100, 10}});
  stack->setDistribution(StackView::Distribution::fillEqually);
  stack->setSpacing(10);
  stack->insertArrangedSubview(c, 1);
  ASSERT_EQ(stack->arrangedSubviews(), (std::vector<std::shared_ptr<View>>{a, c, b}));
  stack->layoutIfNeeded();
  EXPECT_EQ(a->frame(), (Rect{{0, 0}, {80.0 / 3, 10}}));
  EXPECT_DOUBLE_EQ(b->frame().maxX(), 100);

  // Removing from the arrangement keeps the subview; removing from the superview drops both.
  stack->removeArrangedSubview(c);
  EXPECT_EQ(c->superview(), stack);
  EXPECT_EQ(stack->arrangedSubviews().size(), 2u);
  a->removeFromSuperview();
  EXPECT_EQ(stack->arrangedSubviews(), (std::vector<std::shared_ptr<View>>{b}));
  // Re-adding an arranged view moves it instead of listing it twice.
  stack->addArrangedSubview(b);
  EXPECT_EQ(stack->arrangedSubviews().size(), 1u);
}

}  // namespace
}  // namespace QVRAdKit::UI
