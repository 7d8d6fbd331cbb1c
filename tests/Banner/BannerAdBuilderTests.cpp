#include "QVRAdKit/Banner/BannerAdBuilder.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QVRAdKit/Banner/BannerAdRouter.h"
#include "QVRAdKit/Banner/PartnerAdsProvider.h"
#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/Host/QVLogger.h"
#include "QVRAdKit/Host/UCRSink.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/URL.h"
#include "QVRAdKit/Rx/DisposeBag.h"
#include "QVRAdKit/UI/TapGestureRecognizer.h"
#include "Sandbox/HostServices/SandboxConnectionService.h"
#include "Sandbox/HostServices/SandboxPartnerAd.h"
#include "Sandbox/HostServices/SandboxUser.h"
#include "Sandbox/HostServices/SandboxUserService.h"
#include "Sandbox/Logging/RecordingLogger.h"
#include "Sandbox/Reporting/RecordingReporting.h"
#include "Support/BannerTestDoubles.h"
#include "Support/ReportingMainQueueChecks.h"

namespace QVRAdKit {
namespace {

using Testing::FakeBannerAdConfigProvider;
using Testing::offer;
using Testing::plainStyle;

// The same look for every partner.
std::shared_ptr<Testing::TableBannerAppearanceProvider> sameLook(BannerAppearance look) {
  auto provider = std::make_shared<Testing::TableBannerAppearanceProvider>();
  provider->fallback = look;
  return provider;
}

// Records what the host hears, and what the banner looked like at each visibility call.
class RecordingBannerListener final : public BannerAdListener {
 public:
  void bannerAdDidClick() override { calls.emplace_back("click"); }
  void bannerAdDidClose() override { calls.emplace_back("close"); }
  void bannerAdDidChangeVisibility(bool isHidden) override {
    calls.emplace_back(isHidden ? "hidden" : "shown");
  }
  std::vector<std::string> calls;
};

class BannerAdBuilderTest : public ::testing::Test {
 protected:
  BannerAdBuilderTest() { env_->setService<UCRSink>(records_); }

  std::unique_ptr<Platform::Environment> env_ = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope_{*env_};
  std::shared_ptr<Sandbox::RecordingReporting> records_ =
      std::make_shared<Sandbox::RecordingReporting>();
  std::shared_ptr<FakeBannerAdConfigProvider> provider_ =
      std::make_shared<FakeBannerAdConfigProvider>();
  std::shared_ptr<RecordingBannerListener> listener_ = std::make_shared<RecordingBannerListener>();
};

TEST_F(BannerAdBuilderTest, TheListenerHearsTheFirstVisibilityBeforeBuildReturns) {
  const BannerAdBuilder builder(provider_);
  auto empty = builder.buildBannerAd(listener_);
  EXPECT_EQ(listener_->calls, std::vector<std::string>{"hidden"});
  EXPECT_FALSE(empty->hasContent());

  // With content waiting: shown during the build, as content only (no style yet).
  listener_->calls.clear();
  provider_->model()->accept(offer());
  listener_->calls.clear();
  auto banner = builder.buildBannerAd(listener_);
  EXPECT_EQ(listener_->calls, std::vector<std::string>{"shown"});
  EXPECT_TRUE(banner->hasContent());
  EXPECT_FALSE(banner->contentView()->isHidden());
  EXPECT_EQ(banner->titleLabel()->text(), "Seven days free");
  EXPECT_EQ(banner->style(), std::nullopt);
  EXPECT_EQ(banner->closeButton()->image(), std::nullopt);

  // Each call makes its own view and interactor; both follow the provider.
  EXPECT_NE(banner, empty);
  EXPECT_NE(banner->listener(), empty->listener());
  EXPECT_TRUE(empty->hasContent());
}

TEST_F(BannerAdBuilderTest, TheViewOwnsTheInteractorAndDroppingItFreesEverything) {
  const BannerAdBuilder builder(provider_, sameLook(BannerAppearance{}));
  provider_->model()->accept(offer());
  auto banner = builder.buildBannerAd(listener_);
  std::weak_ptr<BannerAdViewImpl> weakBanner = banner;
  std::weak_ptr<BannerAdPresentableListener> weakInteractor = banner->listener();
  ASSERT_FALSE(weakInteractor.expired());
  EXPECT_EQ(provider_->model()->subscriberCount(), 1U);

  // The banner does not keep the host's listener alive, and works on without it.
  std::weak_ptr<RecordingBannerListener> weakListener = listener_;
  listener_.reset();
  EXPECT_TRUE(weakListener.expired());
  provider_->model()->accept(offer("Another offer"));
  EXPECT_EQ(banner->titleLabel()->text(), "Another offer");
  banner->contentView()->gestureRecognizers().front()->recognizeTap();

  banner.reset();
  EXPECT_TRUE(weakBanner.expired());
  EXPECT_TRUE(weakInteractor.expired());
  EXPECT_EQ(provider_->model()->subscriberCount(), 0U);
  // The builder keeps only its providers: later content reaches nobody.
  const auto before = records_->names().size();
  provider_->model()->accept(offer("Third offer"));
  EXPECT_EQ(records_->names().size(), before);
  EXPECT_EQ(builder.configProvider(), provider_);
}

TEST_F(BannerAdBuilderTest, TapAndCloseGoFromTheViewThroughTheModuleToTheHost) {
  env_->application().setCanOpenURLHandler([](const Platform::URL&) { return true; });
  provider_->model()->accept(offer());
  auto banner = BannerAdBuilder(provider_).buildBannerAd(listener_);
  banner->apply(plainStyle());
  ASSERT_FALSE(banner->closeButton()->isHidden());

  ASSERT_TRUE(banner->contentView()->gestureRecognizers().front()->recognizeTap());
  EXPECT_EQ(
      env_->application().openedURLs(),
      std::vector<Platform::URL>{Platform::URL::string("https://partner.example/offer").value()});
  EXPECT_EQ(provider_->seen, std::vector<BannerAdModel>{offer()});

  std::vector<bool> hidden;
  Rx::DisposeBag bag;
  banner->isHiddenObservable()
      .subscribe([&](bool value) { hidden.push_back(value); })
      .disposed(bag);
  banner->closeButton()->sendActions(UI::ControlEvent::touchUpInside);
  env_->advance(0.5);
  EXPECT_EQ(hidden, (std::vector<bool>{false, true}));
  EXPECT_EQ(listener_->calls, (std::vector<std::string>{"shown", "click", "close"}));
  EXPECT_EQ(records_->names(),
            (std::vector<std::string>{"banner_ad_view", "banner_ad_click", "banner_ad_close"}));
  // A closed banner keeps its content: the provider's repeat does not bring it back.
  provider_->model()->accept(offer());
  EXPECT_TRUE(banner->contentView()->isHidden());
  EXPECT_TRUE(banner->hasContent());
}

TEST_F(BannerAdBuilderTest, ThePartnerAdsProviderDrivesTheBannerFromTheUsersAds) {
  Sandbox::SandboxPartnerAd::Fields fields;
  fields.iconUrl = Platform::URL::string("https://cdn.example/kd.png").value();
  fields.title = "Seven days free.\nNo card needed";
  fields.subtitle = "unused with an accessory icon";
  fields.enabledState = 2;
  fields.partnerName = "kd_free_trial_2022";
  auto users = std::make_shared<Sandbox::SandboxUserService>(std::make_shared<Sandbox::SandboxUser>(
      false, std::vector{Sandbox::SandboxPartnerAd::make(fields)}));
  auto connection = std::make_shared<Sandbox::SandboxConnectionService>();
  BannerAppearance look;
  look.cta = BannerAppearance::CTA(BannerCTAType::accessoryIcon);
  const BannerAdBuilder builder(PartnerAdsProvider::create(users, connection), sameLook(look));
  auto banner = builder.buildBannerAd(listener_);

  EXPECT_EQ(banner->titleLabel()->text(), "Seven days free");
  EXPECT_EQ(banner->subtitleLabel()->text(), "No card needed");
  EXPECT_TRUE(banner->closeButton()->isHidden());
  // Enabled state 2 hides the banner while connected.
  connection->setStatus(QVVPNManagerStatus::connected);
  EXPECT_FALSE(banner->hasContent());
  EXPECT_EQ(listener_->calls, (std::vector<std::string>{"shown", "hidden"}));
}

// The banner's public operations belong to the main queue: from another thread each reports an
// assertion failure naming itself, in every build, and goes on when checks only report.
TEST_F(BannerAdBuilderTest, PublicOperationsCalledOffTheMainQueueReportThemselvesByName) {
  auto logger = std::make_shared<Sandbox::RecordingLogger>();
  env_->setService<QVLogger>(logger);
  provider_->model()->accept(offer());
  const BannerAdBuilder builder(provider_);
  auto banner = builder.buildBannerAd(listener_);
  const BannerAdRouter router(*env_);
  const BannerAdViewStyle style = plainStyle();
  const std::vector<MainQueueOperation> operations = {
      {"buildBannerAd", [&] { (void)builder.buildBannerAd(listener_); }},
      {"setViewModel", [&] { banner->setViewModel(banner->viewModel()); }},
      {"apply", [&] { banner->apply(style); }},
      {"ctaAction", [&] { banner->ctaAction(); }},
      {"openRedirect", [&] { router.openRedirect(std::nullopt); }},
  };
  expectEachReportsItselfOffTheMainQueue(*logger, operations);
}

}  // namespace
}  // namespace QVRAdKit
