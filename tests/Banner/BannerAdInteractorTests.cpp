#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "QVRAdKit/Banner/BannerAdInteractor.h"
#include "QVRAdKit/Banner/BannerAdRouter.h"
#include "QVRAdKit/Banner/PartnerAdsProvider.h"
#include "QVRAdKit/Host/UCRSink.h"
#include "QVRAdKit/Platform/Environment.h"
#include "Sandbox/HostServices/SandboxConnectionService.h"
#include "Sandbox/HostServices/SandboxPartnerAd.h"
#include "Sandbox/HostServices/SandboxUser.h"
#include "Sandbox/HostServices/SandboxUserService.h"
#include "Sandbox/Reporting/RecordingReporting.h"
#include "Support/BannerTestDoubles.h"

namespace QVRAdKit {
namespace {

using Platform::URL;
using Testing::FakeBannerAdConfigProvider;
using Testing::FakeBannerPresenter;
using Testing::RecordingBannerAdListener;
using Testing::TableBannerAppearanceProvider;
using Testing::Trace;
using Testing::url;
using Parameters = std::vector<std::pair<std::string, ReportingValue>>;

const URL kImage = url("https://cdn.example/icon.png");
const URL kRedirect = url("https://partner.example/landing");

BannerAdModel makeModel(std::string title, std::string subtitle = "subtitle",
                        std::string partner = "kd_free_trial_2022", bool showClose = true) {
  return {std::move(partner), std::move(title), std::move(subtitle), kImage, kRedirect, showClose};
}

BannerAppearance withCTA(BannerCTAType type) {
  return BannerAppearance{.cta = BannerAppearance::CTA(type)};
}

ReportingObject viewRecord(const std::string& partner) {
  return {"banner_ad_view",
          Parameters{{"partner_name", partner}, {"view_version", std::string("")}}};
}
ReportingObject clickRecord(const std::string& partner) {
  return {"banner_ad_click", Parameters{{"partner_name", partner}}};
}
ReportingObject closeRecord(const std::string& partner) {
  return {"banner_ad_close", Parameters{{"partner_name", partner}}};
}

struct InteractorHarness {
  std::unique_ptr<Platform::Environment> env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*env};
  std::shared_ptr<Trace> trace = std::make_shared<Trace>();
  std::shared_ptr<Sandbox::RecordingReporting> records = [this] {
    auto sink = std::make_shared<Sandbox::RecordingReporting>();
    env->setService<UCRSink>(sink);
    return sink;
  }();
  std::shared_ptr<FakeBannerAdConfigProvider> provider =
      std::make_shared<FakeBannerAdConfigProvider>(trace);
  std::shared_ptr<TableBannerAppearanceProvider> appearances =
      std::make_shared<TableBannerAppearanceProvider>();
  std::shared_ptr<FakeBannerPresenter> presenter = std::make_shared<FakeBannerPresenter>();
  std::shared_ptr<RecordingBannerAdListener> listener =
      std::make_shared<RecordingBannerAdListener>(trace);
  std::weak_ptr<BannerAdInteractor> interactor;

  // Builds as the banner builder does; the presenter alone owns the interactor afterwards.
  void build(bool withAppearances = true, bool withRouter = true) {
    auto made = BannerAdInteractor::create(*env, provider, withAppearances ? appearances : nullptr,
                                           presenter, listener);
    if (withRouter) made->setRouter(std::make_shared<BannerAdRouter>(*env));
    interactor = made;
  }
  void publish(std::optional<BannerAdModel> model) { provider->model()->accept(std::move(model)); }
  // The view model the presenter holds now.
  [[nodiscard]] BannerViewModel shown() const { return presenter->viewModel().value(); }
  [[nodiscard]] std::shared_ptr<BannerAdPresentableListener> viewListener() const {
    return presenter->listener();
  }
};

TEST(BannerAdInteractorTest, InstallsItselfInTheViewBeforeTheFirstViewModelArrives) {
  InteractorHarness h;
  h.build();
  // The view owns the interactor and already had it as listener at the first assignment, so the
  // host heard the visibility before the build returned.
  ASSERT_EQ(h.viewListener(), h.interactor.lock());
  EXPECT_EQ(h.presenter->assignments, (std::vector<std::optional<BannerViewModel>>{std::nullopt}));
  EXPECT_EQ(h.presenter->listenerSetAtAssignment, (std::vector<bool>{true}));
  EXPECT_EQ(h.listener->visibility, (std::vector<bool>{true}));
  EXPECT_TRUE(h.records->events().empty());  // nothing to show: nothing reported

  // With content already published, the first view model carries it.
  InteractorHarness shown;
  shown.publish(makeModel("Seven days free"));
  shown.build();
  EXPECT_EQ(shown.listener->visibility, (std::vector<bool>{false}));
  EXPECT_EQ(shown.shown().title, "Seven days free");
  EXPECT_EQ(shown.records->events(),
            (std::vector<ReportingObject>{viewRecord("kd_free_trial_2022")}));
}

TEST(BannerAdInteractorTest, RepeatsAreDroppedButAbsentThenTheSameModelShowsItAgain) {
  InteractorHarness h;
  h.build();
  const auto model = makeModel("Title");
  h.publish(model);
  h.publish(model);
  EXPECT_EQ(h.records->events(), (std::vector<ReportingObject>{viewRecord("kd_free_trial_2022")}));
  EXPECT_EQ(h.presenter->assignments.size(), 2U);  // the initial absent, then the model once
  EXPECT_EQ(h.interactor.lock()->currentModel(), model);

  h.publish(std::nullopt);
  EXPECT_EQ(h.presenter->viewModel(), std::nullopt);
  EXPECT_EQ(h.interactor.lock()->currentModel(), std::nullopt);
  h.publish(model);
  EXPECT_EQ(h.records->events().size(), 2U);
  EXPECT_EQ(h.listener->visibility, (std::vector<bool>{true, false, true, false}));

  // A different model is shown at once.
  h.publish(makeModel("Other", "subtitle", "someone"));
  EXPECT_EQ(h.records->events().back(), viewRecord("someone"));
  EXPECT_EQ(h.shown().title, "Other");
}

TEST(BannerAdInteractorTest, ViewModelWithoutAppearance) {
  struct Case {
    std::string title;
    std::string expected;
  };
  // One trailing full stop goes; the rest of the title and the model's subtitle stay.
  for (const auto& [title, expected] :
       std::vector<Case>{{"Seven days free.", "Seven days free"},
                         {"Wait..", "Wait."},
                         {".", ""},
                         {"Line one.\nLine two.", "Line one.\nLine two"},
                         {"No stop", "No stop"}}) {
    InteractorHarness h;
    h.build(/*withAppearances=*/false);
    h.publish(makeModel(title, "Subtitle."));
    EXPECT_EQ(h.shown(), (BannerViewModel{expected, "Subtitle.", kImage, false, std::nullopt}))
        << title;
  }

  // The close button follows showCloseButton; a provider answering none gives no appearance.
  InteractorHarness h;
  h.build();
  h.publish(makeModel("Title", "sub", "kd_free_trial_2022", /*showClose=*/false));
  EXPECT_EQ(h.shown(), (BannerViewModel{"Title", "sub", kImage, true, std::nullopt}));
}

TEST(BannerAdInteractorTest, AccessoryCallsToActionSplitTheTitleIntoTitleAndSubtitle) {
  struct Case {
    std::string title;
    std::string expectedTitle;
    std::string expectedSubtitle;
  };
  const std::vector<Case> cases = {
      {"First\nSecond", "First", "Second"},
      {"First\nMiddle\nLast", "First", "Last"},
      {"Only line", "Only line", "Only line"},
      {"\n\nFirst\n\n\nSecond\n", "First", "Second"},
      {"First.\nSecond.", "First", "Second."},  // the full stop goes from the title only
      {" \nSecond", " ", "Second"},             // a line of spaces is not empty
      {"\n", "", ""},
  };
  for (auto type : {BannerCTAType::accessoryIcon, BannerCTAType::accessoryIconPinned}) {
    for (const auto& [title, expectedTitle, expectedSubtitle] : cases) {
      InteractorHarness h;
      h.appearances->table.emplace(PartnerAdName::kdFreeTrial2022, withCTA(type));
      h.build();
      h.publish(makeModel(title, "own subtitle"));
      EXPECT_EQ(h.shown().title, expectedTitle) << title;
      EXPECT_EQ(h.shown().subtitle, expectedSubtitle) << title;
      EXPECT_EQ(h.shown().appearance, withCTA(type));
    }
  }

  // A bottom button, or an appearance without CTA, keeps the title whole and its own subtitle.
  for (auto appearance : {withCTA(BannerCTAType::bottomButton), BannerAppearance{}}) {
    InteractorHarness h;
    h.appearances->table.emplace(PartnerAdName::kdFreeTrial2022, appearance);
    h.build();
    h.publish(makeModel("First\nSecond.", "own subtitle"));
    EXPECT_EQ(h.shown().title, "First\nSecond");
    EXPECT_EQ(h.shown().subtitle, "own subtitle");
  }
}

TEST(BannerAdInteractorTest, AppearanceIsLookedUpByKnownPartnerAndItsIconReplacesTheImage) {
  InteractorHarness h;
  const BannerAppearance known{.titleColor = UI::Color::white(),
                               .icon = UI::Image{"gift", {44, 44}}};
  const BannerAppearance common{.borderless = true};
  h.appearances->table.emplace(PartnerAdName::kdFreeTrial2022, known);
  h.appearances->fallback = common;
  h.build();
  h.publish(makeModel("Title", "sub", "kd_free_trial_2022"));
  EXPECT_EQ(h.shown(), (BannerViewModel{"Title", "sub", std::nullopt, false, known}));

  // Any other name (a different case included) is asked for as no partner.
  h.publish(makeModel("Title", "sub", "KD_FREE_TRIAL_2022"));
  EXPECT_EQ(h.shown(), (BannerViewModel{"Title", "sub", kImage, false, common}));
  EXPECT_EQ(h.appearances->asked, (std::vector<std::optional<PartnerAdName>>{
                                      PartnerAdName::kdFreeTrial2022, std::nullopt}));
  // The record carries the model's own name.
  EXPECT_EQ(h.records->events().back(), viewRecord("KD_FREE_TRIAL_2022"));
}

// Host code the banner calls while presenting (its analytics sink, its appearance provider) may
// publish newer content: that content is what the view ends with, and the older is never drawn.
class ActingSink final : public UCRSink {
 public:
  std::function<void()> onFirst;
  void report(const ReportingObject& /*event*/) override {
    if (auto act = std::exchange(onFirst, nullptr)) act();
  }
};

class ActingAppearances final : public BannerAppearanceProvider {
 public:
  mutable std::function<void()> onFirst;
  [[nodiscard]] std::optional<BannerAppearance> appearance(
      std::optional<PartnerAdName> /*name*/) const override {
    if (auto act = std::exchange(onFirst, nullptr)) act();
    return std::nullopt;
  }
};

TEST(BannerAdInteractorTest, ContentPublishedByHostCodeDuringAPresentationWins) {
  for (const bool fromAppearances : {false, true}) {
    SCOPED_TRACE(fromAppearances ? "appearance provider" : "view record");
    InteractorHarness h;
    auto sink = std::make_shared<ActingSink>();
    h.env->setService<UCRSink>(sink);
    auto appearances = std::make_shared<ActingAppearances>();
    auto made = BannerAdInteractor::create(*h.env, h.provider, appearances, h.presenter, nullptr);
    const auto newer = makeModel("Second");
    (fromAppearances ? appearances->onFirst : sink->onFirst) = [&] { h.publish(newer); };
    h.publish(makeModel("First"));
    EXPECT_EQ(made->currentModel(), newer);
    EXPECT_EQ(h.presenter->assignments.size(), 2U);  // the initial absent, then the newer only
    EXPECT_EQ(h.presenter->viewModel()->title, "Second");
  }
}

TEST(BannerAdInteractorTest, TapAndCloseInTheirOrder) {
  InteractorHarness h;
  h.env->setService<UCRSink>(std::make_shared<Testing::TracingUCRSink>(h.trace));
  h.env->application().setCanOpenURLHandler([trace = h.trace](const URL&) {
    trace->push_back("canOpenURL");
    return true;
  });
  h.build();

  // Nothing shown: the host hears of the tap; nothing is reported, marked or opened; a close does
  // nothing at all.
  h.viewListener()->didTapBanner();
  h.viewListener()->didTapClose();
  EXPECT_EQ(*h.trace, (Trace{"didClick"}));

  const auto model = makeModel("Title", "sub", "partner");
  h.publish(model);
  h.trace->clear();
  h.viewListener()->didTapBanner();
  EXPECT_EQ(*h.trace, (Trace{"didClick", "report:banner_ad_click", "markAsSeen", "canOpenURL",
                             "canOpenURL"}));  // the router asks, then the application's open does
  EXPECT_EQ(h.provider->seen, (std::vector<BannerAdModel>{model}));
  EXPECT_EQ(h.env->application().openedURLs(), (std::vector<URL>{kRedirect}));

  h.trace->clear();
  h.viewListener()->didTapClose();
  EXPECT_EQ(*h.trace, (Trace{"report:banner_ad_close", "didClose"}));
  // A close does not clear the model: a later tap still acts on it.
  EXPECT_EQ(h.interactor.lock()->currentModel(), model);
}

TEST(BannerAdInteractorTest, RedirectsTheApplicationCannotOpenOrWithoutARouterAreDropped) {
  InteractorHarness h;
  std::vector<URL> asked;
  h.env->application().setCanOpenURLHandler([&asked](const URL& url) {
    asked.push_back(url);
    return false;
  });
  h.build();
  h.publish(makeModel("Title"));
  h.viewListener()->didTapBanner();
  // The click is reported and marked before the address is refused.
  EXPECT_EQ(h.records->names(), (std::vector<std::string>{"banner_ad_view", "banner_ad_click"}));
  EXPECT_EQ(h.provider->seen.size(), 1U);
  EXPECT_EQ(asked, (std::vector<URL>{kRedirect}));
  EXPECT_TRUE(h.env->application().openedURLs().empty());

  InteractorHarness noRouter;
  noRouter.build(/*withAppearances=*/true, /*withRouter=*/false);
  noRouter.publish(makeModel("Title"));
  noRouter.viewListener()->didTapBanner();
  EXPECT_EQ(noRouter.records->names().back(), "banner_ad_click");
  EXPECT_EQ(noRouter.provider->seen.size(), 1U);
  EXPECT_TRUE(noRouter.env->application().openedURLs().empty());
}

TEST(BannerAdRouterTest, OpensOnlyWhatTheApplicationCanOpen) {
  auto env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*env);
  int asked = 0;
  env->application().setCanOpenURLHandler([&asked](const URL& url) {
    ++asked;
    return url.scheme() == "https";
  });
  const BannerAdRouter router(*env);
  router.openRedirect(std::nullopt);
  EXPECT_EQ(asked, 0);
  router.openRedirect(url("itms-apps://apps.example/app"));
  router.openRedirect(kRedirect);
  EXPECT_EQ(env->application().openedURLs(), (std::vector<URL>{kRedirect}));
}

TEST(BannerAdInteractorTest, VisibilityIsPassedOnWhileTheHostListenerLives) {
  InteractorHarness h;
  h.build();
  h.viewListener()->didChangeVisibility(false);
  h.viewListener()->didChangeVisibility(true);
  EXPECT_EQ(h.listener->visibility, (std::vector<bool>{true, false, true}));

  // The host listener is held weakly: once gone, taps and closes still report.
  h.publish(makeModel("Title", "sub", "partner"));
  h.listener.reset();
  h.viewListener()->didChangeVisibility(true);
  h.viewListener()->didTapBanner();
  h.viewListener()->didTapClose();
  EXPECT_EQ(h.records->events(),
            (std::vector<ReportingObject>{viewRecord("partner"), clickRecord("partner"),
                                          closeRecord("partner")}));
  EXPECT_EQ(h.provider->seen.size(), 1U);
}

TEST(BannerAdInteractorTest, TheViewOwnsTheInteractorWhichOwnsItsProvidersAndNotTheView) {
  InteractorHarness h;
  h.build();
  ASSERT_FALSE(h.interactor.expired());  // alive through the view alone
  std::weak_ptr<FakeBannerAdConfigProvider> provider = h.provider;
  std::weak_ptr<TableBannerAppearanceProvider> appearances = h.appearances;
  auto relay = h.provider->model();
  h.provider.reset();
  h.appearances.reset();
  EXPECT_FALSE(provider.expired());
  EXPECT_FALSE(appearances.expired());
  EXPECT_EQ(relay->subscriberCount(), 1U);

  // A presenter that is gone is skipped; the view is still counted as reported.
  std::weak_ptr<FakeBannerPresenter> presenter = h.presenter;
  auto keptInteractor = h.interactor.lock();
  h.presenter.reset();
  EXPECT_TRUE(presenter.expired());  // the interactor holds the view weakly
  relay->accept(makeModel("Title"));
  EXPECT_EQ(h.records->names(), (std::vector<std::string>{"banner_ad_view"}));
  relay->accept(std::nullopt);

  // Dropping the last owner frees the interactor, its providers and its subscription; later
  // values reach nobody.
  keptInteractor.reset();
  EXPECT_TRUE(h.interactor.expired());
  EXPECT_TRUE(provider.expired());
  EXPECT_TRUE(appearances.expired());
  EXPECT_EQ(relay->subscriberCount(), 0U);
  relay->accept(makeModel("Later"));
  EXPECT_EQ(h.records->events().size(), 1U);
}

// A host that drops its banner view when the banner is tapped.
class DroppingListener final : public BannerAdListener {
 public:
  void bannerAdDidClick() override { view.reset(); }
  void bannerAdDidClose() override {}
  void bannerAdDidChangeVisibility(bool /*isHidden*/) override {}
  std::shared_ptr<FakeBannerPresenter> view;
};

TEST(BannerAdInteractorTest, AHostDroppingTheViewFromTheTapCallbackEndsTheTapSafely) {
  InteractorHarness h;
  auto host = std::make_shared<DroppingListener>();
  host->view = h.presenter;
  auto interactor = BannerAdInteractor::create(*h.env, h.provider, nullptr, h.presenter, host);
  interactor->setRouter(std::make_shared<BannerAdRouter>(*h.env));
  std::weak_ptr<BannerAdInteractor> weak = interactor;
  interactor.reset();
  h.publish(makeModel("Title", "sub", "partner"));
  auto listener = h.presenter->listener();
  h.presenter.reset();
  listener.reset();
  // Only the host's view owns the interactor now; the tap lets the host drop it. The call goes
  // through a plain pointer, as a view calls the listener it holds.
  ASSERT_FALSE(weak.expired());
  BannerAdPresentableListener* viewListener = host->view->listener().get();
  viewListener->didTapBanner();
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(h.records->names().back(), "banner_ad_click");
  EXPECT_EQ(h.env->application().openedURLs(), (std::vector<URL>{kRedirect}));
}

TEST(BannerAdInteractorTest, FollowsThePartnerAdsProviderAcrossConnectionChanges) {
  InteractorHarness h;
  auto users = std::make_shared<Sandbox::SandboxUserService>();
  auto connection =
      std::make_shared<Sandbox::SandboxConnectionService>(QVVPNManagerStatus::disconnected);
  users->setUser(std::make_shared<Sandbox::SandboxUser>(
      false, std::vector<std::shared_ptr<const QVPartnerAd>>{
                 Sandbox::SandboxPartnerAd::make({.redirectUrl = kRedirect,
                                                  .iconUrl = kImage,
                                                  .title = "Seven days free.",
                                                  .subtitle = "Then monthly",
                                                  .isCloseEnabled = true,
                                                  .enabledState = 2,
                                                  .partnerName = "kd_free_trial_2022"})}));
  auto provider = PartnerAdsProvider::create(users, connection);
  auto interactor = BannerAdInteractor::create(*h.env, provider, nullptr, h.presenter, h.listener);

  // The provider publishes at every change; the banner shows and reports only real changes.
  connection->setStatus(QVVPNManagerStatus::connecting);
  connection->setStatus(QVVPNManagerStatus::connected);
  connection->setStatus(QVVPNManagerStatus::connected);
  connection->setStatus(QVVPNManagerStatus::disconnecting);
  EXPECT_EQ(h.listener->visibility, (std::vector<bool>{false, true, false}));
  EXPECT_EQ(h.records->names(), (std::vector<std::string>{"banner_ad_view", "banner_ad_view"}));
  EXPECT_EQ(h.shown(),
            (BannerViewModel{"Seven days free", "Then monthly", kImage, false, std::nullopt}));
}

}  // namespace
}  // namespace QVRAdKit
