// What a host holding a banner relies on: the height stream, a listener it lets go, models from
// another thread, host code that throws, and calls from the wrong thread.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "QVRAdKit/Banner/BannerAdBuilder.h"
#include "QVRAdKit/Host/QVLogger.h"
#include "QVRAdKit/Host/UCRSink.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/URL.h"
#include "QVRAdKit/Rx/DisposeBag.h"
#include "Sandbox/Logging/RecordingLogger.h"
#include "Sandbox/Reporting/RecordingReporting.h"
#include "Support/BannerTestDoubles.h"

namespace QVRAdKit {
namespace {

using Testing::offer;
using Testing::plainStyle;

class BannerHostContractTest : public ::testing::Test {
 protected:
  BannerHostContractTest() {
    env_->setService<UCRSink>(records_);
    env_->setService<QVLogger>(logger_);
  }

  [[nodiscard]] size_t entriesContaining(const std::string& text) const {
    size_t count = 0;
    for (const auto& entry : logger_->entries()) {
      if (entry.message.find(text) != std::string::npos) ++count;
    }
    return count;
  }

  std::unique_ptr<Platform::Environment> env_ = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope_{*env_};
  std::shared_ptr<Sandbox::RecordingReporting> records_ =
      std::make_shared<Sandbox::RecordingReporting>();
  std::shared_ptr<Sandbox::RecordingLogger> logger_ = std::make_shared<Sandbox::RecordingLogger>();
  std::shared_ptr<Testing::FakeBannerAdConfigProvider> provider_ =
      std::make_shared<Testing::FakeBannerAdConfigProvider>();
};

TEST_F(BannerHostContractTest, HeightStreamFollowsModelStyleAndWidth) {
  auto banner = BannerAdBuilder(provider_).buildBannerAd();
  std::vector<double> heights;
  Rx::DisposeBag bag;
  banner->requiredHeightObservable()
      .subscribe([&heights](double height) { heights.push_back(height); })
      .disposed(bag);
  EXPECT_EQ(heights, std::vector<double>{0});  // current value at once: no model, no width

  banner->apply(plainStyle());
  banner->setFrame({{0, 0}, {390, 10}});
  banner->layoutIfNeeded();
  EXPECT_EQ(heights, std::vector<double>{0});  // a width but still no model

  provider_->model()->accept(offer());
  banner->layoutIfNeeded();
  const double wide = banner->systemLayoutSizeFitting(390).height;
  ASSERT_GT(wide, 0);
  EXPECT_EQ(heights.back(), wide);
  EXPECT_EQ(banner->requiredHeight(), wide);

  // A narrow width wraps the long title onto more lines: the host hears the new height.
  provider_->model()->accept(offer("Seven days free, then a plan that suits the way you browse"));
  banner->setFrame({{0, 0}, {200, wide}});
  banner->layoutIfNeeded();
  const double narrow = banner->systemLayoutSizeFitting(200).height;
  EXPECT_GT(narrow, wide);
  EXPECT_EQ(heights.back(), narrow);
  for (size_t i = 1; i < heights.size(); ++i) EXPECT_NE(heights[i], heights[i - 1]) << i;

  provider_->model()->accept(std::nullopt);
  EXPECT_EQ(heights.back(), 0);
}

TEST_F(BannerHostContractTest, AListenerLetGoWhileTheBannerLivesIsReportedOnce) {
  auto listener = std::make_shared<Testing::RecordingBannerAdListener>();
  provider_->model()->accept(offer());
  auto banner = BannerAdBuilder(provider_).buildBannerAd(listener);
  const std::string kText = "listener was released";
  banner->ctaAction();
  EXPECT_EQ(listener->clicks, 1);
  EXPECT_EQ(entriesContaining(kText), 0U);

  listener.reset();  // an inline listener the host never kept
  banner->ctaAction();
  banner->closeButtonAction();
  provider_->model()->accept(offer("Another offer"));
  EXPECT_EQ(entriesContaining(kText), 1U);

  // A host that wants no listener passes none and hears nothing about it.
  logger_->clear();
  auto quiet = BannerAdBuilder(provider_).buildBannerAd();
  quiet->ctaAction();
  EXPECT_EQ(entriesContaining(kText), 0U);
}

TEST_F(BannerHostContractTest, AModelPublishedOnAnotherThreadIsDrawnOnTheMainQueue) {
  auto banner = BannerAdBuilder(provider_).buildBannerAd();
  ASSERT_FALSE(banner->hasContent());
  std::thread([this] { provider_->model()->accept(offer("From the network thread")); }).join();
  EXPECT_FALSE(banner->hasContent());  // nothing drawn on the publishing thread
  env_->mainQueue().runUntilIdle();
  ASSERT_TRUE(banner->hasContent());
  EXPECT_EQ(banner->titleLabel()->text(), "From the network thread");
  EXPECT_TRUE(logger_->assertionFailures().empty());

  // A model queued from another thread is older than one the main thread then published and
  // drew at once: it is dropped, not drawn over the newer one.
  std::thread([this] { provider_->model()->accept(offer("Queued from the network")); }).join();
  provider_->model()->accept(offer("From the main thread"));
  env_->mainQueue().runUntilIdle();
  EXPECT_EQ(banner->titleLabel()->text(), "From the main thread");
  EXPECT_EQ(records_->events().size(), 2U);  // one view record per model drawn
}

// Host code that throws: logged once per call with the operation's name; the banner goes on.
class ThrowingListener final : public BannerAdListener {
 public:
  void bannerAdDidClick() override { throw std::runtime_error("click handler broke"); }
  void bannerAdDidClose() override { throw std::runtime_error("close handler broke"); }
  void bannerAdDidChangeVisibility(bool /*isHidden*/) override {
    throw std::runtime_error("layout handler broke");
  }
};

class ThrowingAppearances final : public BannerAppearanceProvider {
 public:
  [[nodiscard]] std::optional<BannerAppearance> appearance(
      std::optional<PartnerAdName> /*name*/) const override {
    throw std::runtime_error("no appearances today");
  }
};

TEST_F(BannerHostContractTest, ThrowingHostCodeIsLoggedAndTheBannerGoesOn) {
  auto listener = std::make_shared<ThrowingListener>();
  provider_->model()->accept(offer());
  auto banner =
      BannerAdBuilder(provider_, std::make_shared<ThrowingAppearances>()).buildBannerAd(listener);
  EXPECT_TRUE(banner->hasContent());  // shown with the bare style
  banner->ctaAction();
  EXPECT_EQ(provider_->seen.size(), 1U);  // the tap went on past the throwing listener
  banner->closeButtonAction();
  for (const char* text : {"no appearances today", "layout handler broke", "click handler broke",
                           "close handler broke"}) {
    EXPECT_GE(entriesContaining(text), 1U) << text;
  }
}

TEST(BannerHostContractDeathTest, AnAssignmentFromAnotherThreadStopsTheTestBuildNamingTheCall) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        auto env = Platform::Environment::makeForTesting();
        Platform::Environment::Scope scope(*env);
        auto banner = BannerAdBuilder(std::make_shared<Testing::FakeBannerAdConfigProvider>())
                          .buildBannerAd();
        std::thread([&banner] { banner->setViewModel(std::nullopt); }).join();
      },
      "setViewModel called off the main queue");
}

}  // namespace
}  // namespace QVRAdKit
