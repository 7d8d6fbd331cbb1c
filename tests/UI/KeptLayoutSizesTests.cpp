// Sizes the layout keeps between questions (a stack view's intrinsic size, fitting heights, a
// label's measurer): after any change that alters them, the next question must answer as a tree
// built in the changed state does, without a layout pass in between.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/UI/Button.h"
#include "QVRAdKit/UI/Label.h"
#include "QVRAdKit/UI/StackView.h"
#include "QVRAdKit/UI/TextMeasurer.h"

namespace QVRAdKit::UI {
namespace {

// Every character `advance` x the point size wide; lines 2 x the point size apart.
class UniformMeasurer final : public TextMeasurer {
 public:
  explicit UniformMeasurer(double advance) : advance_(advance) {}
  [[nodiscard]] double width(std::string_view text, const Font& /*font*/,
                             double pointSize) const override {
    return static_cast<double>(text.size()) * advance_ * pointSize;
  }
  [[nodiscard]] LineMetrics lineMetrics(const Font& /*font*/, double pointSize) const override {
    return {2 * pointSize, 1.5 * pointSize};
  }

 private:
  double advance_;
};

// A card like the banner's: a root with a bottom safe area, a card inside it whose column of two
// labels stops 4 above the card's safe area.
struct Card {
  Card() {
    root->setSafeAreaInsets({0, 0, 30, 0});
    root->addSubview(card);
    card->addSubview(column);
    column->setAxis(LayoutAxis::vertical);
    column->setSpacing(2);
    title->setNumberOfLines(0);
    subtitle->setNumberOfLines(0);
    title->setFont(Font::system(10));
    subtitle->setFont(Font::system(10));
    title->setText("Premium free for seven days");
    subtitle->setText("No card needed");
    column->addArrangedSubview(title);
    column->addArrangedSubview(subtitle);
    top = column->topAnchor().equalTo(card->topAnchor(), 6);
    LayoutConstraint::activate({
        top,
        column->leadingAnchor().equalTo(card->leadingAnchor()),
        column->trailingAnchor().equalTo(card->trailingAnchor()),
        column->bottomAnchor().equalTo(card->safeAreaLayoutGuide().bottomAnchor(), -4),
    });
    card->setFrame({{0, 100}, {120, 80}});
  }

  // Puts the root on a screen whose lower part is safe area, pinned to its top, but left low by
  // the host (all of the card in the safe area) until a layout pass lifts it.
  [[nodiscard]] std::shared_ptr<View> onScreenLeftLow() const {
    auto screen = View::create({{0, 0}, {120, 400}});
    screen->setSafeAreaInsets({0, 0, 250, 0});
    screen->addSubview(root);
    LayoutConstraint::activate({
        root->topAnchor().equalTo(screen->topAnchor()),
        root->leadingAnchor().equalTo(screen->leadingAnchor()),
        root->trailingAnchor().equalTo(screen->trailingAnchor()),
        root->bottomAnchor().equalTo(screen->topAnchor(), 200),
    });
    root->setFrame({{0, 200}, {120, 200}});
    return screen;
  }

  // What the questions answer now.
  [[nodiscard]] std::vector<double> sizes() const {
    const Size intrinsic = column->intrinsicContentSize();
    return {card->systemLayoutSizeFitting(120).height,
            card->systemLayoutSizeFitting(60).height,
            column->systemLayoutSizeFitting(90).height,
            intrinsic.width,
            intrinsic.height,
            title->intrinsicContentSize().width};
  }

  std::shared_ptr<View> root = View::create({{0, 0}, {120, 200}});
  std::shared_ptr<View> card = View::create();
  std::shared_ptr<StackView> column = StackView::create();
  std::shared_ptr<Label> title = Label::create();
  std::shared_ptr<Label> subtitle = Label::create();
  std::shared_ptr<LayoutConstraint> top;
};

class KeptLayoutSizesTest : public ::testing::Test {
 protected:
  std::unique_ptr<Platform::Environment> environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*environment};
};

TEST_F(KeptLayoutSizesTest, AnyChangeIsSeenByTheNextQuestion) {
  const auto wide = std::make_shared<UniformMeasurer>(0.9);
  struct Case {
    const char* name;
    std::function<void(Card&)> change;
  };
  const Case cases[] = {
      {"a longer title", [](Card& c) { c.title->setText("Premium free for seven days, on us"); }},
      {"a larger font", [](Card& c) { c.subtitle->setFont(Font::system(14)); }},
      {"a measurer registered", [&](Card& /*c*/) { environment->setService<TextMeasurer>(wide); }},
      {"a constraint's constant", [](Card& c) { c.top->setConstant(20); }},
      {"a constraint removed", [](Card& c) { c.top->setActive(false); }},
      {"the stack's spacing", [](Card& c) { c.column->setSpacing(9); }},
      {"an arranged view hidden", [](Card& c) { c.subtitle->setHidden(true); }},
      {"an arranged view gone", [](Card& c) { c.subtitle->removeFromSuperview(); }},
      // The card's safe area comes from where its frame lies in the root.
      {"the card moved off the safe area",
       [](Card& c) {
         c.card->setFrame({{0, 0}, {120, 80}});
       }},
      // Frames alone: a kept fitting height must see the safe area they give.
      {"the root shortened over the card",
       [](Card& c) {
         c.root->setFrame({{0, 0}, {120, 150}});
       }},
      {"the root's safe area",
       [](Card& c) {
         c.root->setSafeAreaInsets({0, 0, 50, 0});
       }},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    environment->setService<TextMeasurer>(nullptr);
    Card asked;
    const std::vector<double> before = asked.sizes();
    EXPECT_EQ(asked.sizes(), before);  // kept answers are the same answers
    test.change(asked);
    const std::vector<double> after = asked.sizes();

    environment->setService<TextMeasurer>(nullptr);
    Card fresh;
    test.change(fresh);
    EXPECT_EQ(after, fresh.sizes());
    EXPECT_NE(after, before);  // the change matters to some question
  }
}

// Fitting heights are kept across frame changes whose effects they do not read, so what the
// frames a pass sets do change must still be seen: here the pass moves the card's parent within a
// screen, and with it the safe area the card inherits, while the card's own frame stays.
TEST_F(KeptLayoutSizesTest, AFittingHeightSeesTheSafeAreaALayoutPassMovesAnAncestorOff) {
  Card shape;
  const auto screen = shape.onScreenLeftLow();  // left low by the host: all of it safe area
  const double low = shape.card->systemLayoutSizeFitting(120).height;
  screen->layoutIfNeeded();  // the pass lifts the root: the card's safe area shrinks 80 -> 30
  ASSERT_EQ(shape.root->frame(), (Rect{{0, 0}, {120, 200}}));
  ASSERT_EQ(shape.card->frame(), (Rect{{0, 100}, {120, 80}}));
  EXPECT_EQ(shape.card->systemLayoutSizeFitting(120).height, low - 50);
}

// A stack view's sizes are kept across frame changes when no frame entered them; here one did
// (the card's safe area), so the frames a pass sets must be seen: the pass lifts the root off
// the screen's safe area and moves the card within the stack.
TEST_F(KeptLayoutSizesTest, AStackViewSeesTheSafeAreaALayoutPassMovesAnArrangedViewOff) {
  Card shape;
  shape.card->widthAnchor().equalToConstant(120)->activate();
  auto stack = StackView::create({shape.card}, {{0, 100}, {120, 80}});
  stack->setAxis(LayoutAxis::vertical);
  shape.root->addSubview(stack);
  const auto screen = shape.onScreenLeftLow();  // all of the card in the safe area
  const double low = stack->intrinsicContentSize().height;
  const double lowFitting = stack->systemLayoutSizeFitting(120).height;
  screen->layoutIfNeeded();  // the card's safe area shrinks 80 -> 30
  ASSERT_EQ(shape.root->frame(), (Rect{{0, 0}, {120, 200}}));
  ASSERT_EQ(shape.card->frame(), (Rect{{0, 0}, {120, 80}}));
  EXPECT_EQ(stack->intrinsicContentSize().height, low - 50);
  EXPECT_EQ(stack->systemLayoutSizeFitting(120).height, lowFitting - 50);
}

// A button's size follows the image of its state: a stack view's kept size must see the state.
TEST_F(KeptLayoutSizesTest, AStackViewSeesAButtonChangeState) {
  auto button = Button::create();
  button->setImage(Image{"normal", {10, 10}});
  button->setImage(Image{"disabled", {20, 14}}, ControlState::disabled);
  button->setImage(Image{"pressed", {16, 12}}, ControlState::highlighted);
  auto row = StackView::create({button});
  EXPECT_EQ(row->intrinsicContentSize(), (Size{10, 10}));
  button->setEnabled(false);
  EXPECT_EQ(row->intrinsicContentSize(), (Size{20, 14}));
  button->setEnabled(true);
  button->setHighlighted(true);
  EXPECT_EQ(row->intrinsicContentSize(), (Size{16, 12}));
}

TEST_F(KeptLayoutSizesTest, ALabelUsesTheMeasurerOfTheEnvironmentInstalledNow) {
  const auto narrow = std::make_shared<UniformMeasurer>(0.1);
  const auto wide = std::make_shared<UniformMeasurer>(1.0);
  auto label = Label::create();
  label->setFont(Font::system(10));
  label->setText("abcd");
  struct Step {
    const char* name;
    std::function<void()> change;
    double width;
  };
  auto other = Platform::Environment::makeForTesting();
  other->setService<TextMeasurer>(wide);
  std::unique_ptr<Platform::Environment::Scope> otherScope;
  const Step steps[] = {
      {"the estimate", [] {}, 4 * Label::kGlyphWidthFactor * 10},
      {"one registered", [&] { environment->setService<TextMeasurer>(narrow); }, 4},
      {"it replaced", [&] { environment->setService<TextMeasurer>(wide); }, 40},
      {"replaced again", [&] { environment->setService<TextMeasurer>(narrow); }, 4},
      {"another environment installed",
       [&] { otherScope = std::make_unique<Platform::Environment::Scope>(*other); }, 40},
      {"its measurer removed", [&] { other->setService<TextMeasurer>(nullptr); },
       4 * Label::kGlyphWidthFactor * 10},
      {"back to the first", [&] { otherScope.reset(); }, 4},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    step.change();
    EXPECT_DOUBLE_EQ(label->intrinsicContentSize().width, step.width);
    EXPECT_DOUBLE_EQ(label->textLayout(100).size.width, step.width);
  }
}

}  // namespace
}  // namespace QVRAdKit::UI
