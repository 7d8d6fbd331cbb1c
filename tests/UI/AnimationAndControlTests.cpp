#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/UI/Button.h"
#include "QVRAdKit/UI/TapGestureRecognizer.h"
#include "QVRAdKit/UI/View.h"

namespace QVRAdKit::UI {
namespace {

class AnimationAndControlTest : public ::testing::Test {
 protected:
  std::unique_ptr<Platform::Environment> environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*environment};
};

TEST_F(AnimationAndControlTest, CompletionRunsOnTheClockAfterTheDurationWithModelValuesSetAtOnce) {
  auto view = View::create();
  std::vector<bool> completions;
  View::animate(
      *environment, 0.4, [&] { view->setAlpha(0); },
      [&](bool finished) {
        completions.push_back(finished);
        view->setHidden(true);
      });
  EXPECT_EQ(view->alpha(), 0);  // the model value is final at once
  EXPECT_DOUBLE_EQ(view->presentationAlpha(), 1);
  environment->mainQueue().runUntilIdle();
  EXPECT_TRUE(completions.empty());  // not due yet
  environment->advance(0.2);
  EXPECT_NEAR(view->presentationAlpha(), 0.5, 1e-6);
  environment->advance(0.19);
  EXPECT_TRUE(completions.empty());
  environment->advance(0.01);
  EXPECT_EQ(completions, std::vector<bool>{true});
  EXPECT_TRUE(view->isHidden());
  EXPECT_EQ(view->presentationAlpha(), 0);

  // Zero (or negative) duration: the completion has run when animate() returns.
  View::animate(
      *environment, 0, [&] { view->setAlpha(1); },
      [&](bool finished) { completions.push_back(finished); });
  EXPECT_EQ(completions.size(), 2u);
  EXPECT_EQ(view->presentationAlpha(), 1);
  View::animate(*environment, -1, nullptr, [&](bool) { completions.push_back(false); });
  EXPECT_EQ(completions.size(), 3u);
  View::animate(*environment, 1, [&] { view->setAlpha(0.5); });  // no completion is fine
  environment->advance(1);
  EXPECT_EQ(environment->mainQueue().pendingCount(), 0u);
}

TEST_F(AnimationAndControlTest, AnimationDoesNotKeepADroppedViewAlive) {
  auto view = View::create();
  std::weak_ptr<View> weak = view;
  bool sawView = true;
  View::animate(
      *environment, 0.4, [&] { view->setAlpha(0); },
      [weak, &sawView](bool) { sawView = weak.lock() != nullptr; });
  view.reset();
  EXPECT_TRUE(weak.expired());
  environment->advance(0.4);
  EXPECT_FALSE(sawView);
}

class Target {
 public:
  void fire() { ++count; }
  int count = 0;
};

TEST_F(AnimationAndControlTest, ButtonActionsRunInOrderAndNotForAGoneTargetOrWhenDisabled) {
  auto button = Button::create();
  auto target = std::make_shared<Target>();
  std::vector<int> order;
  button->addAction(ControlEvent::touchUpInside, [&] { order.push_back(1); });
  button->addTarget(std::weak_ptr<Target>(target), &Target::fire, ControlEvent::touchUpInside);
  button->addAction(ControlEvent::touchUpInside, [&] {
    order.push_back(2);
    button->removeActions(ControlEvent::touchUpInside);  // removing while sending is safe
  });
  button->sendActions(ControlEvent::touchDown);
  EXPECT_TRUE(order.empty());
  button->sendActions(ControlEvent::touchUpInside);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_EQ(target->count, 1);

  button->addTarget(std::weak_ptr<Target>(target), &Target::fire, ControlEvent::touchUpInside);
  std::weak_ptr<Target> weakTarget = target;
  target.reset();
  EXPECT_TRUE(weakTarget.expired());  // the button does not own its target
  button->sendActions(ControlEvent::touchUpInside);

  auto counting = std::make_shared<Target>();
  button->addTarget(std::weak_ptr<Target>(counting), &Target::fire, ControlEvent::touchUpInside);
  button->setEnabled(false);
  button->sendActions(ControlEvent::touchUpInside);
  EXPECT_EQ(counting->count, 0);
  button->setEnabled(true);
  button->sendActions(ControlEvent::touchUpInside);
  EXPECT_EQ(counting->count, 1);
}

TEST_F(AnimationAndControlTest, ButtonImagesFallBackToNormalAndSizeTheButton) {
  auto button = Button::create();
  EXPECT_EQ(button->intrinsicContentSize(),
            (Size{View::noIntrinsicMetric, View::noIntrinsicMetric}));
  button->setImage(Image{"close", {24, 24}});
  button->setImage(Image{"close-pressed", {30, 30}}, ControlState::highlighted);
  EXPECT_EQ(button->image(ControlState::disabled)->name, "close");
  EXPECT_EQ(button->intrinsicContentSize(), (Size{24, 24}));
  button->setHighlighted(true);
  EXPECT_EQ(button->currentImage()->name, "close-pressed");
  EXPECT_EQ(button->intrinsicContentSize(), (Size{30, 30}));
  button->setImage(std::nullopt);
  button->setHighlighted(false);
  EXPECT_FALSE(button->currentImage().has_value());
}

TEST_F(AnimationAndControlTest, TapsReachHandlersOnlyWhileAttachedVisibleAndTheTargetLives) {
  auto parent = View::create();
  auto view = View::create();
  parent->addSubview(view);
  auto target = std::make_shared<Target>();
  auto tap = TapGestureRecognizer::create();
  tap->addTarget(std::weak_ptr<Target>(target), &Target::fire);
  EXPECT_FALSE(tap->recognizeTap());  // not attached
  view->addGestureRecognizer(tap);
  EXPECT_EQ(tap->view(), view);
  EXPECT_TRUE(tap->recognizeTap());
  EXPECT_EQ(target->count, 1);

  parent->setHidden(true);  // a hidden ancestor hides the view
  EXPECT_FALSE(tap->recognizeTap());
  parent->setHidden(false);
  tap->setEnabled(false);
  EXPECT_FALSE(tap->recognizeTap());
  tap->setEnabled(true);

  target.reset();
  EXPECT_TRUE(tap->recognizeTap());  // delivered, but the gone target is not called

  // The view owns the recogniser, which holds the view weakly.
  std::weak_ptr<TapGestureRecognizer> weakTap = tap;
  std::weak_ptr<View> weakView = view;
  tap.reset();
  EXPECT_FALSE(weakTap.expired());
  parent.reset();
  view.reset();
  EXPECT_TRUE(weakView.expired());
  EXPECT_TRUE(weakTap.expired());

  // Moving a recogniser to another view detaches it from the first.
  auto first = View::create();
  auto second = View::create();
  auto moved = TapGestureRecognizer::create([](TapGestureRecognizer&) {});
  first->addGestureRecognizer(moved);
  second->addGestureRecognizer(moved);
  EXPECT_TRUE(first->gestureRecognizers().empty());
  second->removeGestureRecognizer(moved);
  EXPECT_EQ(moved->view(), nullptr);
  EXPECT_FALSE(moved->recognizeTap());
}

}  // namespace
}  // namespace QVRAdKit::UI
