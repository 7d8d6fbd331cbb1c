#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "QVRAdKit/ClientKit/HostViewKitLogger.h"
#include "QVRAdKit/Host/QVLogger.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/UI/Label.h"
#include "QVRAdKit/UI/LayoutConstraintGroup.h"
#include "QVRAdKit/UI/StackView.h"
#include "Sandbox/Logging/RecordingLogger.h"

namespace QVRAdKit::UI {
namespace {

class ConstraintLayoutTest : public ::testing::Test {
 protected:
  ConstraintLayoutTest() {
    environment->setService<QVLogger>(logger);
    HostViewKitLogger::installIfMissing(*environment);
  }

  std::shared_ptr<View> child(const std::shared_ptr<View>& parent) {
    auto view = View::create();
    parent->addSubview(view);
    return view;
  }

  std::unique_ptr<Platform::Environment> environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*environment};
  std::shared_ptr<Sandbox::RecordingLogger> logger = std::make_shared<Sandbox::RecordingLogger>();
  std::shared_ptr<View> root = View::create({{0, 0}, {390, 844}});
};

TEST_F(ConstraintLayoutTest, EdgesWithConstantsSiblingsAndTheSafeAreaBottom) {
  root->setSafeAreaInsets({47, 0, 34, 0});
  auto banner = child(root);
  auto below = child(root);
  auto edge = child(root);
  // Activated before the view it follows: the pass solves banner first anyway.
  LayoutConstraint::activate({
      below->topAnchor().equalTo(banner->bottomAnchor(), 4),
      below->leadingAnchor().equalTo(banner->leadingAnchor(), 10),
      below->widthAnchor().equalTo(banner->widthAnchor(), 0.5, 0),
      below->heightAnchor().equalToConstant(10),
      banner->leadingAnchor().equalTo(root->leadingAnchor(), 8),
      banner->trailingAnchor().equalTo(root->trailingAnchor(), -8),
      banner->bottomAnchor().equalTo(root->safeAreaLayoutGuide().bottomAnchor(), -16),
      banner->heightAnchor().equalToConstant(100),
      edge->leadingAnchor().equalTo(root->leadingAnchor()),
      edge->trailingAnchor().equalTo(root->trailingAnchor()),
      edge->bottomAnchor().equalTo(root->bottomAnchor()),
      edge->topAnchor().equalTo(root->safeAreaLayoutGuide().bottomAnchor(), -50),
  });
  root->layoutIfNeeded();

  EXPECT_EQ(banner->frame(), (Rect{{8, 694}, {374, 100}}));  // 844 - 34 - 16 - 100
  EXPECT_EQ(below->frame(), (Rect{{18, 798}, {187, 10}}));
  EXPECT_EQ(edge->frame(), (Rect{{0, 760}, {390, 84}}));
  // Safe areas are inherited as the overlap with the parent's.
  EXPECT_EQ(edge->safeAreaInsets(), (EdgeInsets{0, 0, 34, 0}));
  EXPECT_EQ(banner->safeAreaInsets(), (EdgeInsets{}));
  EXPECT_EQ(edge->safeAreaLayoutGuide().layoutFrame(), (Rect{{0, 0}, {390, 50}}));

  // A changed constant takes effect at the next pass.
  root->layoutIfNeeded();
  EXPECT_FALSE(root->needsLayout());
  banner->constraints().back()->setConstant(120);  // the height
  EXPECT_TRUE(root->needsLayout());
  root->layoutIfNeeded();
  EXPECT_EQ(banner->frame(), (Rect{{8, 674}, {374, 120}}));
  EXPECT_TRUE(logger->assertionFailures().empty());
}

TEST_F(ConstraintLayoutTest, LowerPriorityYieldsAndRequiredConflictsAreReported) {
  auto view = child(root);
  view->setAccessibilityIdentifier("box");
  LayoutConstraint::activate({
      view->topAnchor().equalTo(root->topAnchor()),
      view->heightAnchor().equalToConstant(10),
      view->leadingAnchor().equalTo(root->leadingAnchor(), 10),
      view->trailingAnchor().equalTo(root->trailingAnchor(), -10)->withPriority(500),
      view->widthAnchor().equalToConstant(100),
  });
  root->layoutIfNeeded();
  EXPECT_EQ(view->frame(), (Rect{{10, 0}, {100, 10}}));  // the 500 trailing edge yields
  EXPECT_TRUE(logger->assertionFailures().empty());

  // Raising it to required makes two required relations disagree: reported, layout goes on
  // with the one activated first.
  view->constraints()[3]->setPriority(LayoutPriority::required);
  root->layoutIfNeeded();
  ASSERT_EQ(logger->assertionFailures().size(), 1u);
  EXPECT_NE(logger->assertionFailures()[0].message.find("'box'"), std::string::npos);
  EXPECT_EQ(view->frame(), (Rect{{10, 0}, {370, 10}}));
}

// A view's frame comes from its ties to the outside; ties to its own descendants place the
// descendants. Using a descendant's stale frame to place its ancestor made required constraints
// look contradictory (and could move or shrink the ancestor).
TEST_F(ConstraintLayoutTest, TiesToDescendantsPlaceTheDescendantsNotTheView) {
  auto card = child(root);
  card->setAccessibilityIdentifier("card");
  auto inner = child(card);
  auto badge = child(inner);
  LayoutConstraint::activate({
      card->leadingAnchor().equalTo(root->leadingAnchor(), 8),
      card->trailingAnchor().equalTo(root->trailingAnchor(), -8),
      card->topAnchor().equalTo(root->topAnchor(), 20),
      card->heightAnchor().equalToConstant(100),
      inner->leadingAnchor().equalTo(card->leadingAnchor(), 12),
      inner->trailingAnchor().equalTo(card->trailingAnchor(), -12),
      inner->topAnchor().equalTo(card->topAnchor(), 6),
      inner->bottomAnchor().equalTo(card->bottomAnchor(), -6),
      // The grandchild is tied to the outer card too, across its own parent.
      badge->trailingAnchor().equalTo(card->trailingAnchor(), -20),
      badge->topAnchor().equalTo(inner->topAnchor(), 2),
      badge->widthAnchor().equalToConstant(30),
      badge->heightAnchor().equalToConstant(10),
  });
  root->layoutIfNeeded();
  EXPECT_EQ(card->frame(), (Rect{{8, 20}, {374, 100}}));
  EXPECT_EQ(inner->frame(), (Rect{{12, 6}, {350, 88}}));
  EXPECT_EQ(badge->frame(), (Rect{{312, 2}, {30, 10}}));  // 374 - 20 - 30 - 12 in inner's space
  EXPECT_TRUE(logger->assertionFailures().empty());

  // A second pass after the outside changes starts from the descendants' old frames.
  root->setFrame({{0, 0}, {300, 844}});
  root->layoutIfNeeded();
  EXPECT_EQ(card->frame(), (Rect{{8, 20}, {284, 100}}));
  EXPECT_EQ(inner->frame(), (Rect{{12, 6}, {260, 88}}));
  EXPECT_EQ(badge->frame(), (Rect{{222, 2}, {30, 10}}));
  EXPECT_TRUE(logger->assertionFailures().empty());
}

// Views without constraints of their own to the outside are placed by their frame: the pass keeps
// it, whether they have no constraints at all or only ones that place their subviews, and
// whatever their constrained siblings do.
TEST_F(ConstraintLayoutTest, ViewsPlacedByFrameKeepTheirFrame) {
  auto plain = View::create({{5, 6}, {70, 40}});
  root->addSubview(plain);
  auto label = Label::create();
  label->setText("Frame-placed text");
  label->setFrame({{10, 300}, {120, 30}});
  root->addSubview(label);
  auto holder = View::create({{0, 500}, {390, 80}});
  root->addSubview(holder);
  auto pinned = child(holder);
  auto constrained = child(root);
  LayoutConstraint::activate({
      pinned->leadingAnchor().equalTo(holder->leadingAnchor(), 10),
      pinned->trailingAnchor().equalTo(holder->trailingAnchor(), -10),
      pinned->topAnchor().equalTo(holder->topAnchor(), 10),
      pinned->bottomAnchor().equalTo(holder->bottomAnchor(), -10),
      constrained->leadingAnchor().equalTo(root->leadingAnchor()),
      constrained->trailingAnchor().equalTo(root->trailingAnchor()),
      constrained->topAnchor().equalTo(root->topAnchor()),
      constrained->heightAnchor().equalToConstant(44),
  });
  for (int pass = 0; pass < 2; ++pass) {
    root->layoutIfNeeded();
    EXPECT_EQ(plain->frame(), (Rect{{5, 6}, {70, 40}})) << pass;
    EXPECT_EQ(label->frame(), (Rect{{10, 300}, {120, 30}})) << pass;
    EXPECT_EQ(holder->frame(), (Rect{{0, 500}, {390, 80}})) << pass;
    EXPECT_EQ(pinned->frame(), (Rect{{10, 10}, {370, 60}})) << pass;
    EXPECT_EQ(constrained->frame(), (Rect{{0, 0}, {root->frame().width(), 44}})) << pass;
    root->setFrame({{0, 0}, {320, 600}});  // the second pass runs in a resized root
  }
  // A frame set later by hand holds at the next pass, and the subviews follow it.
  holder->setFrame({{4, 100}, {200, 50}});
  root->layoutIfNeeded();
  EXPECT_EQ(holder->frame(), (Rect{{4, 100}, {200, 50}}));
  EXPECT_EQ(pinned->frame(), (Rect{{10, 10}, {180, 30}}));
  EXPECT_TRUE(logger->assertionFailures().empty());
}

TEST_F(ConstraintLayoutTest, IntrinsicSizeFillsFreeAxesAndRespectsContentPriorities) {
  auto text = Label::create();
  text->setFont(Font::system(10));
  text->setNumberOfLines(0);
  std::string words;
  for (int i = 0; i < 20; ++i) words += i == 0 ? "abcd" : " abcd";  // 99 characters, 544.5 wide
  text->setText(words);
  root->setFrame({{0, 0}, {300, 600}});
  root->addSubview(text);
  LayoutConstraint::activate({
      text->topAnchor().equalTo(root->topAnchor(), 5),
      text->leadingAnchor().equalTo(root->leadingAnchor(), 10),
      text->trailingAnchor().lessThanOrEqualTo(root->trailingAnchor(), -10),
  });
  root->layoutIfNeeded();
  // Compressed by the required inequality; the height follows the wrapped width (49 per line).
  EXPECT_EQ(text->frame(), (Rect{{10, 5}, {280, 24}}));

  // A width wish weaker than the compression resistance does not squeeze it below its content.
  text->setText("abcd");
  auto narrow = text->widthAnchor().equalToConstant(10);
  narrow->setPriority(700);
  narrow->activate();
  root->layoutIfNeeded();
  EXPECT_EQ(text->frame().width(), 22);
  narrow->setPriority(800);
  root->layoutIfNeeded();
  EXPECT_EQ(text->frame().width(), 10);
  narrow->deactivate();
  EXPECT_TRUE(narrow.use_count() == 1);  // the views let go of an inactive constraint
}

TEST_F(ConstraintLayoutTest, GroupsReplaceTheirConstraintsAtOnce) {
  auto view = child(root);
  LayoutConstraintGroup group;
  group.activate(
      {view->topAnchor().equalTo(root->topAnchor(), 10), view->heightAnchor().equalToConstant(20)});
  EXPECT_EQ(view->constraints().size(), 2u);
  root->layoutIfNeeded();
  EXPECT_EQ(view->frame().minY(), 10);

  group = LayoutConstraintGroup();  // the old relations are gone
  EXPECT_TRUE(view->constraints().empty());
  group.activate(view->topAnchor().equalTo(root->topAnchor(), 30));
  root->layoutIfNeeded();
  EXPECT_EQ(view->frame().minY(), 30);
  // No relation left on the height: it falls to zero, whatever the frame was before.
  EXPECT_EQ(view->frame().height(), 0);

  {
    LayoutConstraintGroup scoped;
    scoped.activate(view->heightAnchor().equalToConstant(5));
    EXPECT_EQ(view->constraints().size(), 2u);
  }
  EXPECT_EQ(view->constraints().size(), 1u);

  // A constraint does not keep its views alive, and one whose view is gone is left out.
  std::weak_ptr<View> weak = view;
  view->removeFromSuperview();
  view.reset();
  EXPECT_TRUE(weak.expired());
  root->layoutIfNeeded();
  group.removeAll();
}

// What the relations leave open is decided by the pull towards zero (sizes first), never by the
// order of activation, the side a view is written on, or the frames before the pass.
TEST_F(ConstraintLayoutTest, FreedomIsDecidedTheSameWayWhateverTheOrderSidesAndFrames) {
  struct Case {
    const char* name;
    bool reversed;  // activation order
    bool swapped;   // sides of the edge constraints
    Rect before;    // the frame before the pass
  };
  const Case cases[] = {
      {"as written", false, false, {{0, 0}, {0, 0}}},
      {"reversed", true, false, {{50, 60}, {70, 80}}},
      {"swapped", false, true, {{-5, 900}, {1, 2}}},
      {"reversed and swapped", true, true, {{300, 300}, {300, 300}}},
  };
  for (const Case& c : cases) {
    auto view = View::create(c.before);
    view->setAccessibilityIdentifier("free");
    root->addSubview(view);
    std::vector<std::shared_ptr<LayoutConstraint>> constraints{
        // Two equally strong wishes for the left edge: anything between 10 and 30 is as good.
        c.swapped ? root->leadingAnchor().equalTo(view->leadingAnchor(), -10)->withPriority(500)
                  : view->leadingAnchor().equalTo(root->leadingAnchor(), 10)->withPriority(500),
        c.swapped ? root->leadingAnchor().equalTo(view->leadingAnchor(), -30)->withPriority(500)
                  : view->leadingAnchor().equalTo(root->leadingAnchor(), 30)->withPriority(500),
        // The right edge at most 300 on the root's width, which is no wish on the width.
        c.swapped ? root->trailingAnchor().greaterThanOrEqualTo(view->trailingAnchor(), 90)
                  : view->trailingAnchor().lessThanOrEqualTo(root->trailingAnchor(), -90),
        view->widthAnchor().equalToConstant(100),
        view->topAnchor().equalTo(root->topAnchor(), 4),
    };
    if (c.reversed) std::reverse(constraints.begin(), constraints.end());
    LayoutConstraint::activate(constraints);
    root->layoutIfNeeded();
    // Left at 10 (nearest zero); nothing asks for a height.
    EXPECT_EQ(view->frame(), (Rect{{10, 4}, {100, 0}})) << c.name;
    view->removeFromSuperview();
  }
  EXPECT_TRUE(logger->assertionFailures().empty());
}

// Where even the pull towards zero leaves a tie, the kit says so and keeps the frame rather than
// pick one of the equally good layouts.
TEST_F(ConstraintLayoutTest, ALayoutLeftOpenIsReportedAndNotGuessed) {
  auto view = View::create({{7, 8}, {9, 10}});
  view->setAccessibilityIdentifier("open");
  root->addSubview(view);
  auto fixed = child(root);
  fixed->setAccessibilityIdentifier("fixed");
  // left = 100 - 2 * width: every width from 0 to 50 weighs the same against the pull to zero.
  LayoutConstraint::activate({
      LayoutConstraint::create({view, false, LayoutAttribute::left}, LayoutRelation::equal,
                               LayoutConstraint::Item{view, false, LayoutAttribute::width}, -2,
                               100),
      view->topAnchor().equalTo(root->topAnchor()),
      view->heightAnchor().equalToConstant(10),
      fixed->topAnchor().equalTo(root->topAnchor(), 1),
      fixed->leadingAnchor().equalTo(root->leadingAnchor(), 2),
      fixed->widthAnchor().equalToConstant(3),
      fixed->heightAnchor().equalToConstant(4),
  });
  root->layoutIfNeeded();
  ASSERT_EQ(logger->assertionFailures().size(), 1u);
  const std::string message = logger->assertionFailures()[0].message;
  EXPECT_NE(message.find("Ambiguous layout"), std::string::npos) << message;
  EXPECT_NE(message.find("'open'"), std::string::npos) << message;
  EXPECT_EQ(message.find("'fixed'"), std::string::npos) << message;
  EXPECT_EQ(view->frame(), (Rect{{7, 8}, {9, 10}}));
  EXPECT_EQ(fixed->frame(), (Rect{{2, 1}, {3, 4}}));  // the rest of the pass is laid out
}

// A required constraint that contradicts earlier ones is refused whichever way it is written, and
// the frames follow the ones that hold.
TEST_F(ConstraintLayoutTest, RefusedRequiredConstraintsAreNamedAndLeftOut) {
  struct Case {
    const char* name;
    bool swapped;
  };
  root->setAccessibilityIdentifier("root");
  for (const Case c : {Case{"as written", false}, Case{"swapped", true}}) {
    logger->clear();
    auto view = child(root);
    view->setAccessibilityIdentifier("box");
    auto late = c.swapped ? root->trailingAnchor().equalTo(view->trailingAnchor(), 20)
                          : view->trailingAnchor().equalTo(root->trailingAnchor(), -20);
    late->setIdentifier("late");
    LayoutConstraint::activate({
        view->leadingAnchor().equalTo(root->leadingAnchor(), 10),
        view->widthAnchor().equalToConstant(100),
        view->topAnchor().equalTo(root->topAnchor()),
        view->heightAnchor().greaterThanOrEqualToConstant(5),
        late,
        view->heightAnchor().equalToConstant(7),
    });
    root->layoutIfNeeded();
    ASSERT_EQ(logger->assertionFailures().size(), 1u) << c.name;
    const std::string message = logger->assertionFailures()[0].message;
    EXPECT_NE(message.find(c.swapped ? "[late] 'root'.trailing == 'box'.trailing + 20"
                                     : "[late] 'box'.trailing == 'root'.trailing - 20"),
              std::string::npos)
        << message;
    EXPECT_EQ(view->frame(), (Rect{{10, 0}, {100, 7}})) << c.name;
    view->removeFromSuperview();
  }
}

// The banner's shape: a content view inside the banner, a margin-relative row inside it.
class BannerShape {
 public:
  explicit BannerShape(double insetTop) {
    banner->addSubview(content);
    content->addSubview(row);
    row->addArrangedSubview(icon);
    row->addArrangedSubview(text);
    row->setAlignment(StackView::Alignment::center);
    row->setSpacing(12);
    row->setDirectionalLayoutMargins({10, 12, 10, 12});
    row->setLayoutMarginsRelativeArrangement(true);
    text->setFont(Font::system(10));
    text->setNumberOfLines(0);
    text->setText("abcd abcd abcd abcd abcd abcd abcd abcd abcd abcd");  // 269.5 wide
    LayoutConstraint::activate({
        icon->widthAnchor().equalToConstant(44),
        icon->heightAnchor().equalToConstant(44),
        content->topAnchor().equalTo(banner->topAnchor(), insetTop),
        content->leadingAnchor().equalTo(banner->leadingAnchor()),
        content->trailingAnchor().equalTo(banner->trailingAnchor()),
        row->topAnchor().equalTo(content->topAnchor()),
        row->leadingAnchor().equalTo(content->leadingAnchor()),
        row->trailingAnchor().equalTo(content->trailingAnchor()),
    });
  }

  std::shared_ptr<View> banner = View::create();
  std::shared_ptr<View> content = View::create();
  std::shared_ptr<StackView> row = StackView::create();
  std::shared_ptr<View> icon = View::create();
  std::shared_ptr<Label> text = Label::create();
};

TEST_F(ConstraintLayoutTest, SystemLayoutSizeFittingFollowsTheConstraintChain) {
  BannerShape shape(8);
  LayoutConstraint::activate({
      shape.content->bottomAnchor().equalTo(shape.banner->bottomAnchor(), -8),
      shape.row->bottomAnchor().equalTo(shape.content->bottomAnchor()),
  });
  // At 300: the label gets 300 - 24 - 12 - 44 = 220 and wraps to two lines; the icon is taller.
  EXPECT_EQ(shape.banner->systemLayoutSizeFitting(300), (Size{300, 8 + 64 + 8}));
  // Narrow enough for the label to need four lines, taller than the icon.
  EXPECT_EQ(shape.banner->systemLayoutSizeFitting(160).height, 8 + 20 + 48 + 8);

  shape.banner->setFrame({{0, 0}, {300, 80}});
  shape.banner->layoutIfNeeded();
  EXPECT_EQ(shape.content->frame(), (Rect{{0, 8}, {300, 64}}));
  EXPECT_EQ(shape.icon->frame(), (Rect{{12, 10}, {44, 44}}));
  EXPECT_EQ(shape.text->frame(), (Rect{{68, 20}, {220, 24}}));
  // Converting to the root's coordinates adds every origin on the way up.
  EXPECT_EQ(shape.text->frameInRoot(), (Rect{{68, 28}, {220, 24}}));
}

TEST_F(ConstraintLayoutTest, FittingCountsTheSafeAreaWhenTiedToTheBannersGuide) {
  BannerShape shape(0);
  shape.banner->setSafeAreaInsets({0, 0, 34, 0});
  // The content view runs to the banner's edge; the row stops 16 above the safe area.
  LayoutConstraint::activate({
      shape.content->bottomAnchor().equalTo(shape.banner->bottomAnchor()),
      shape.row->bottomAnchor().equalTo(shape.banner->safeAreaLayoutGuide().bottomAnchor(), -16),
  });
  const double height = shape.banner->systemLayoutSizeFitting(300).height;
  EXPECT_EQ(height, 64 + 16 + 34);
  shape.banner->setFrame({{0, 0}, {300, height}});
  shape.banner->layoutIfNeeded();
  EXPECT_EQ(shape.content->frame(), (Rect{{0, 0}, {300, 114}}));
  EXPECT_EQ(shape.row->frame(), (Rect{{0, 0}, {300, 64}}));
}

// A view whose own layout pass reads a descendant's frame and changes a stack's axis, as the
// banner does: the hook sees the kit's frames and the pass repeats until nothing changes.
class WidthSwitchingView : public View {
 public:
  static std::shared_ptr<WidthSwitchingView> create() {
    auto view = std::shared_ptr<WidthSwitchingView>(new WidthSwitchingView());
    view->addSubview(view->stack);
    LayoutConstraint::activate({view->stack->topAnchor().equalTo(view->topAnchor()),
                                view->stack->leadingAnchor().equalTo(view->leadingAnchor()),
                                view->stack->trailingAnchor().equalTo(view->trailingAnchor()),
                                view->stack->bottomAnchor().equalTo(view->bottomAnchor())});
    view->stack->addArrangedSubview(view->first);
    view->stack->addArrangedSubview(view->second);
    return view;
  }

  void layoutSubviews() override {
    ++hookRuns;
    secondFrameSeen = second->frame();
    stack->setAxis(bounds().width() > 500 ? LayoutAxis::horizontal : LayoutAxis::vertical);
  }

  std::shared_ptr<StackView> stack = StackView::create();
  std::shared_ptr<View> first = View::create();
  std::shared_ptr<View> second = View::create();
  int hookRuns = 0;
  Rect secondFrameSeen;

 private:
  WidthSwitchingView() : View({{0, 0}, {501, 100}}) {}
};

TEST_F(ConstraintLayoutTest, LayoutSubviewsRunsAfterTheKitAndRepeatsUntilSettled) {
  auto view = WidthSwitchingView::create();
  view->stack->setDistribution(StackView::Distribution::fillEqually);
  view->layoutIfNeeded();
  EXPECT_EQ(view->second->frame(), (Rect{{250.5, 0}, {250.5, 100}}));
  EXPECT_EQ(view->secondFrameSeen, view->second->frame());
  EXPECT_EQ(view->hookRuns, 1);  // horizontal already: nothing changed, no second pass

  view->setFrame({{0, 0}, {500, 100}});
  view->layoutIfNeeded();
  // The hook switched to a column: the kit ran again and the hook saw the new frames.
  EXPECT_EQ(view->second->frame(), (Rect{{0, 50}, {500, 50}}));
  EXPECT_EQ(view->secondFrameSeen, view->second->frame());
  EXPECT_EQ(view->hookRuns, 3);
  view->layoutIfNeeded();
  EXPECT_EQ(view->hookRuns, 3);  // nothing needs layout
}

TEST_F(ConstraintLayoutTest, TreeRefusesCyclesAndMovesViewsBetweenParents) {
  auto a = child(root);
  auto b = child(a);
  a->addSubview(root);  // would make a cycle
  EXPECT_EQ(logger->assertionFailures().size(), 1u);
  EXPECT_EQ(root->superview(), nullptr);

  root->addSubview(b);  // leaves a first
  EXPECT_TRUE(a->subviews().empty());
  EXPECT_EQ(b->superview(), root);
  EXPECT_EQ(b->superviewPointer(), root.get());
  root->insertSubview(b, 0);  // moving within the same parent
  EXPECT_EQ(root->subviews().front(), b);
  EXPECT_EQ(root->subviews().size(), 2u);

  b->setAccessibilityIdentifier("b");
  EXPECT_EQ(root->viewWithAccessibilityIdentifier("b"), b);
  EXPECT_EQ(root->viewWithAccessibilityIdentifier("nothing"), nullptr);

  // Subviews outlive a dropped parent only if someone else holds them.
  std::weak_ptr<View> weakA = a;
  a.reset();
  root.reset();
  EXPECT_TRUE(weakA.expired());
  EXPECT_EQ(b->superview(), nullptr);
  EXPECT_EQ(b->superviewPointer(), nullptr);
}

}  // namespace
}  // namespace QVRAdKit::UI
