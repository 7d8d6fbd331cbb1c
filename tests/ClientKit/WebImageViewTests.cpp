#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "QVRAdKit/ClientKit/WebImageView.h"
#include "QVRAdKit/Host/QVLogger.h"
#include "QVRAdKit/Platform/Environment.h"
#include "Sandbox/Images/ScriptedImageLoader.h"
#include "Sandbox/Images/SimulatedImageLoader.h"
#include "Sandbox/Logging/RecordingLogger.h"

namespace QVRAdKit {
namespace {

using Sandbox::ScriptedImageLoader;

const UI::Image kPlaceholder{"placeholder", {72, 44}};
const UI::Image kOffer{"offer", {144, 88}};
const UI::Image kOther{"other", {10, 10}};

std::optional<Platform::URL> imageUrl(const char* text) {
  return Platform::URL::string(text);
}

class WebImageViewTest : public ::testing::Test {
 protected:
  WebImageViewTest() {
    environment->setService<QVLogger>(logger);
    environment->setService<UI::ImageLoader>(loader);
    view->setPlaceholder(kPlaceholder);
    view->setPreferredImageSize(UI::Size{72, 44});
  }

  void drain() { environment->mainQueue().runUntilIdle(); }

  std::unique_ptr<Platform::Environment> environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*environment};
  std::shared_ptr<Sandbox::RecordingLogger> logger = std::make_shared<Sandbox::RecordingLogger>();
  std::shared_ptr<ScriptedImageLoader> loader = ScriptedImageLoader::create();
  std::shared_ptr<WebImageView> view = WebImageView::create(*environment);
};

TEST_F(WebImageViewTest, ShowsThePlaceholderAtOnceThenTheImageOnTheMainQueue) {
  view->fetchImage(imageUrl("https://cdn.example/offer.png"));
  EXPECT_EQ(view->image(), kPlaceholder);
  ASSERT_EQ(loader->requests().size(), 1u);
  EXPECT_EQ(loader->requests()[0].url.absoluteString(), "https://cdn.example/offer.png");
  EXPECT_EQ(loader->requests()[0].preferredSize, (UI::Size{72, 44}));

  ASSERT_TRUE(loader->succeed(0, kOffer));
  EXPECT_EQ(view->image(), kPlaceholder);  // delivered on the queue, not inside succeed()
  drain();
  EXPECT_EQ(view->image(), kOffer);
  EXPECT_EQ(view->intrinsicContentSize(), kOffer.size);
  EXPECT_FALSE(view->loadingURL().has_value());
  // A new placeholder does not replace a loaded image.
  view->setPlaceholder(kOther);
  EXPECT_EQ(view->image(), kOffer);
}

TEST_F(WebImageViewTest, ALaterFetchCancelsTheEarlierOneEvenIfItsAnswerIsQueued) {
  view->fetchImage(imageUrl("https://cdn.example/a.png"));
  view->fetchImage(imageUrl("https://cdn.example/b.png"));
  EXPECT_TRUE(loader->requests()[0].cancelled);
  EXPECT_FALSE(loader->succeed(0, kOther));  // a cancelled request cannot be answered
  EXPECT_EQ(loader->pendingCount(), 1u);

  // Answered, then replaced before the queue ran: the stale answer is dropped.
  ASSERT_TRUE(loader->succeed(1, kOther));
  view->fetchImage(imageUrl("https://cdn.example/c.png"));
  drain();
  EXPECT_EQ(view->image(), kPlaceholder);
  ASSERT_TRUE(loader->succeed(2, kOffer));
  drain();
  EXPECT_EQ(view->image(), kOffer);

  // An absent URL cancels and goes back to the placeholder without asking the loader.
  view->fetchImage(imageUrl("https://cdn.example/d.png"));
  view->fetchImage(std::nullopt);
  EXPECT_TRUE(loader->requests()[3].cancelled);
  EXPECT_EQ(loader->requests().size(), 4u);
  EXPECT_EQ(view->image(), kPlaceholder);

  // Setting an image directly ends the fetch too.
  view->fetchImage(imageUrl("https://cdn.example/e.png"));
  view->setImage(kOther);
  EXPECT_TRUE(loader->requests()[4].cancelled);
  EXPECT_EQ(view->image(), kOther);
}

TEST_F(WebImageViewTest, AViewDroppedMidFetchIsNotKeptAliveAndNothingHappensLater) {
  view->fetchImage(imageUrl("https://cdn.example/a.png"));
  ASSERT_TRUE(loader->succeed(0, kOffer));  // the answer is already queued
  std::weak_ptr<WebImageView> weak = view;
  view.reset();
  EXPECT_TRUE(weak.expired());
  drain();  // runs the queued answer against a gone view

  auto second = WebImageView::create(*environment);
  second->fetchImage(imageUrl("https://cdn.example/b.png"));
  second.reset();
  EXPECT_TRUE(loader->requests()[1].cancelled);
  EXPECT_FALSE(loader->succeed(1, kOffer));
}

TEST_F(WebImageViewTest, FailuresAndAMissingLoaderKeepThePlaceholder) {
  view->fetchImage(imageUrl("https://cdn.example/a.png"));
  ASSERT_TRUE(loader->fail(0, Platform::Error{"test", 500, "down"}));
  drain();
  EXPECT_EQ(view->image(), kPlaceholder);

  environment->setService<UI::ImageLoader>(nullptr);
  logger->clear();
  view->fetchImage(imageUrl("https://cdn.example/b.png"));
  view->fetchImage(imageUrl("https://cdn.example/c.png"));
  EXPECT_EQ(view->image(), kPlaceholder);
  EXPECT_EQ(logger->entries().size(), 1u);  // logged once per view
  // Replacing the placeholder while it shows shows the new one.
  view->setPlaceholder(kOther);
  EXPECT_EQ(view->image(), kOther);
}

TEST_F(WebImageViewTest, SimulatedLoaderAnswersAfterItsLatencyOrWithNotFound) {
  auto simulated = std::make_shared<Sandbox::SimulatedImageLoader>(
      Sandbox::SimulatedImageLoader::Images{{"https://cdn.example/offer.png", kOffer}}, 0.25);
  environment->setService<UI::ImageLoader>(simulated);
  view->fetchImage(imageUrl("https://cdn.example/offer.png"));
  environment->advance(0.24);
  EXPECT_EQ(view->image(), kPlaceholder);
  environment->advance(0.01);
  EXPECT_EQ(view->image(), kOffer);

  view->fetchImage(imageUrl("https://cdn.example/missing.png"));
  environment->advance(1);
  EXPECT_EQ(view->image(), kPlaceholder);

  // Cancelled by a later fetch: the first answer never lands.
  view->fetchImage(imageUrl("https://cdn.example/offer.png"));
  view->fetchImage(imageUrl("https://cdn.example/missing.png"));
  environment->advance(1);
  EXPECT_EQ(view->image(), kPlaceholder);
  EXPECT_EQ(simulated->requestCount(), 4u);
}

}  // namespace
}  // namespace QVRAdKit
