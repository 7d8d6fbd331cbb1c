#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "QVRAdKit/Banner/PartnerAdsProvider.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Rx/DisposeBag.h"
#include "Sandbox/HostServices/SandboxConnectionService.h"
#include "Sandbox/HostServices/SandboxPartnerAd.h"
#include "Sandbox/HostServices/SandboxUser.h"
#include "Sandbox/HostServices/SandboxUserService.h"
#include "Sandbox/Logging/RecordingLogger.h"
#include "Support/BannerTestDoubles.h"
#include "Support/ThrowingHostServices.h"

namespace QVRAdKit {
namespace {

using Platform::URL;
using Sandbox::SandboxPartnerAd;
using Testing::url;
using Status = QVVPNManagerStatus;
using Ads = std::vector<std::shared_ptr<const QVPartnerAd>>;

SandboxPartnerAd::Fields shownAd(std::string title, std::int64_t enabledState = 1) {
  return {.redirectUrl = url("https://partner.example/landing"),
          .iconUrl = url("https://cdn.example/icon.png"),
          .title = std::move(title),
          .subtitle = "subtitle",
          .isCloseEnabled = true,
          .enabledState = enabledState,
          .partnerName = "kd_free_trial_2022"};
}

// A user that counts how often its partner ads are read, so a test sees whether a reload ran.
class CountingUser final : public QVUser {
 public:
  explicit CountingUser(Ads ads) : ads_(std::move(ads)) {}
  [[nodiscard]] bool isPremium() const override { return false; }
  [[nodiscard]] Ads partnerAds() const override {
    ++reads;
    return ads_;
  }
  mutable int reads = 0;

 private:
  Ads ads_;
};

struct ProviderHarness {
  std::unique_ptr<Platform::Environment> env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*env};
  std::shared_ptr<Sandbox::SandboxUserService> users =
      std::make_shared<Sandbox::SandboxUserService>();
  std::shared_ptr<Sandbox::SandboxConnectionService> connection =
      std::make_shared<Sandbox::SandboxConnectionService>(Status::disconnected);
  std::shared_ptr<PartnerAdsProvider> provider;
  std::vector<std::optional<BannerAdModel>> emitted;
  Rx::DisposeBag bag;

  void start() {
    provider = PartnerAdsProvider::create(users, connection);
    provider->model()
        ->asObservable()
        .subscribe([this](const std::optional<BannerAdModel>& model) { emitted.push_back(model); })
        .disposed(bag);
  }
  void setAds(Ads ads) { users->setUser(std::make_shared<Sandbox::SandboxUser>(false, ads)); }
  [[nodiscard]] std::optional<BannerAdModel> model() const { return provider->model()->value(); }
};

TEST(PartnerAdsProviderTest, ChoosesTheFirstAdWithATitleAndAnIconAddressWhateverItsState) {
  ProviderHarness h;
  auto noTitle = SandboxPartnerAd::make(shownAd(""));
  auto noIconFields = shownAd("no icon");
  noIconFields.iconUrl = std::nullopt;
  auto noIcon = SandboxPartnerAd::make(noIconFields);
  auto chosenFields = shownAd("Seven days free");
  chosenFields.subtitle = "";
  chosenFields.isCloseEnabled = false;
  chosenFields.partnerName = "someone_else";
  auto chosen = SandboxPartnerAd::make(chosenFields);
  auto later = SandboxPartnerAd::make(shownAd("later"));
  h.setAds({noTitle, noIcon, chosen, later});
  h.start();

  EXPECT_EQ(h.provider->currentAd(), chosen);
  EXPECT_EQ(h.model(), BannerAdModel("someone_else", "Seven days free", "",
                                     url("https://cdn.example/icon.png"),
                                     url("https://partner.example/landing"), false));

  // A disabled first candidate is chosen all the same and hides every later, enabled ad.
  auto disabled = SandboxPartnerAd::make(shownAd("disabled", 0));
  h.setAds({noIcon, disabled, chosen});
  EXPECT_EQ(h.provider->currentAd(), disabled);
  EXPECT_EQ(h.model(), std::nullopt);

  // No qualifying ad, or no ads at all: no current ad and no banner.
  h.setAds({noTitle, noIcon});
  EXPECT_EQ(h.provider->currentAd(), nullptr);
  EXPECT_EQ(h.model(), std::nullopt);
  h.setAds({chosen});
  h.setAds({});
  EXPECT_EQ(h.provider->currentAd(), nullptr);
  EXPECT_EQ(h.model(), std::nullopt);
}

TEST(PartnerAdsProviderTest, EnabledStateAndVPNStatusDecideWhetherTheAdIsShown) {
  const std::vector<Status> statuses = {Status::invalid,     Status::disconnected,
                                        Status::connecting,  Status::connected,
                                        Status::reasserting, Status::disconnecting};
  for (std::int64_t state : {-1, 0, 1, 2, 3, 4}) {
    for (Status status : statuses) {
      ProviderHarness h;
      h.connection->setStatus(status);
      h.setAds({SandboxPartnerAd::make(shownAd("ad", state))});
      h.start();
      const bool shown = state == 1 || state == 3 || (state == 2 && status != Status::connected);
      EXPECT_EQ(h.model().has_value(), shown)
          << "enabledState " << state << ", VPN status " << rawValue(status);
    }
  }
}

TEST(PartnerAdsProviderTest, ConnectionChangesReevaluateWithoutReloadingAndEveryUpdateEmits) {
  ProviderHarness h;
  auto user = std::make_shared<CountingUser>(Ads{SandboxPartnerAd::make(shownAd("ad", 2))});
  h.users->setUser(user);
  h.start();
  const int readsAfterStart = user->reads;
  ASSERT_TRUE(h.model().has_value());
  const auto shown = h.model();

  h.emitted.clear();
  h.connection->setStatus(Status::connecting);
  h.connection->setStatus(Status::connected);
  h.connection->setStatus(Status::connected);
  h.connection->setStatus(Status::disconnecting);
  // Equal values are published again: the provider suppresses nothing.
  EXPECT_EQ(h.emitted,
            (std::vector<std::optional<BannerAdModel>>{shown, std::nullopt, std::nullopt, shown}));
  EXPECT_EQ(user->reads, readsAfterStart);

  // A user event reloads; the same content is published again.
  h.emitted.clear();
  h.users->setUser(user);
  EXPECT_EQ(user->reads, readsAfterStart + 1);
  EXPECT_EQ(h.emitted, (std::vector<std::optional<BannerAdModel>>{shown}));
}

TEST(PartnerAdsProviderTest, ExperimentGroupsCollapseDuplicatesAndSkipIncompletePairs) {
  ProviderHarness h;
  auto withPair = [](std::string id, std::string group) {
    return SandboxPartnerAd::make({.testGroup = std::move(group), .testId = std::move(id)});
  };
  h.setAds({withPair("exp1", "a"), withPair("exp1", "a"), withPair("exp2", ""), withPair("", "b")});
  h.start();
  // Ads that are never shown (no title here) still take part in experiments.
  EXPECT_EQ(h.provider->experimentGroups(), "exp1:a");

  h.setAds({withPair("exp1", "a"), withPair("exp2", "b"), withPair("exp1", "a")});
  const std::string groups = h.provider->experimentGroups();
  EXPECT_TRUE(groups == "exp1:a,exp2:b" || groups == "exp2:b,exp1:a") << groups;

  // Host view: the provider is the host's experiments provider.
  const std::shared_ptr<ExperimentsProvider> experiments = h.provider;
  EXPECT_EQ(experiments->experimentGroups(), groups);

  h.setAds({withPair("", ""), SandboxPartnerAd::make(shownAd("ad"))});
  EXPECT_EQ(h.provider->experimentGroups(), "");
}

TEST(PartnerAdsProviderTest, WithoutAUserAndAfterMarkAsSeenEverythingStaysAsItWas) {
  ProviderHarness h;
  h.start();
  // No user at construction: the initial state, published as absent.
  EXPECT_EQ(h.provider->experimentGroups(), "");
  EXPECT_EQ(h.provider->currentAd(), nullptr);
  EXPECT_EQ(h.emitted, (std::vector<std::optional<BannerAdModel>>{std::nullopt}));

  auto ad = SandboxPartnerAd::make([] {
    auto fields = shownAd("ad");
    fields.testId = "exp";
    fields.testGroup = "b";
    return fields;
  }());
  h.setAds({ad});
  const auto shown = h.model();
  ASSERT_TRUE(shown.has_value());

  h.emitted.clear();
  h.users->setUser(nullptr);
  EXPECT_TRUE(h.emitted.empty());
  EXPECT_EQ(h.provider->experimentGroups(), "exp:b");
  EXPECT_EQ(h.provider->currentAd(), ad);
  EXPECT_EQ(h.model(), shown);

  h.provider->markAsSeen(*shown);
  EXPECT_TRUE(h.emitted.empty());
  EXPECT_EQ(h.provider->currentAd(), ad);
  EXPECT_EQ(h.model(), shown);
  // A connection change still publishes it: being seen does not hide a banner.
  h.connection->setStatus(Status::connected);
  EXPECT_EQ(h.emitted, (std::vector<std::optional<BannerAdModel>>{shown}));

  // A late subscriber gets the current value at once.
  std::vector<std::optional<BannerAdModel>> late;
  auto subscription = h.provider->model()->asObservable().subscribe(
      [&late](const std::optional<BannerAdModel>& model) { late.push_back(model); });
  EXPECT_EQ(late, (std::vector<std::optional<BannerAdModel>>{shown}));
}

TEST(PartnerAdsProviderTest, HostWritableStateAndNullServices) {
  ProviderHarness h;
  auto logger = std::make_shared<Sandbox::RecordingLogger>();
  h.env->setService<QVLogger>(logger);
  h.setAds({SandboxPartnerAd::make(shownAd("ad", 2))});
  h.start();
  const auto relay = h.provider->model();

  // An ad the host sets is what the next connection change publishes, until the next reload.
  h.provider->setCurrentAd(SandboxPartnerAd::make(shownAd("set by the host", 3)));
  h.connection->setStatus(Status::connected);
  ASSERT_TRUE(relay->value().has_value());
  EXPECT_EQ(relay->value()->title(), "set by the host");
  // One without an icon address cannot become a banner.
  auto noIcon = shownAd("no icon", 1);
  noIcon.iconUrl = std::nullopt;
  h.provider->setCurrentAd(SandboxPartnerAd::make(noIcon));
  h.connection->setStatus(Status::connected);
  EXPECT_EQ(relay->value(), std::nullopt);
  EXPECT_EQ(h.provider->model(), relay);  // one relay for the provider's life

  h.provider->setExperimentGroups("manual");
  EXPECT_EQ(h.provider->experimentGroups(), "manual");

  // Either service missing: no provider, and the log names the missing one.
  logger->clear();
  EXPECT_EQ(PartnerAdsProvider::create(nullptr, h.connection), nullptr);
  EXPECT_EQ(PartnerAdsProvider::create(h.users, nullptr), nullptr);
  const auto failures = logger->assertionFailures();
  ASSERT_EQ(failures.size(), 2U);
  EXPECT_NE(failures[0].message.find("user service"), std::string::npos);
  EXPECT_NE(failures[1].message.find("connection service"), std::string::npos);
}

// An ad whose every accessor throws, as a host object with a broken backing store might.
struct ThrowingAd final : QVPartnerAd {
  [[noreturn]] static void fail() { throw std::runtime_error("QVPartnerAd"); }
  [[nodiscard]] URL redirectUrl() const override { fail(); }
  [[nodiscard]] std::optional<URL> iconUrl() const override { fail(); }
  [[nodiscard]] std::string title() const override { fail(); }
  [[nodiscard]] std::string subtitle() const override { fail(); }
  [[nodiscard]] bool isCloseEnabled() const override { fail(); }
  [[nodiscard]] std::int64_t enabledState() const override { fail(); }
  [[nodiscard]] std::string partnerName() const override { fail(); }
  [[nodiscard]] std::string testGroup() const override { fail(); }
  [[nodiscard]] std::string testId() const override { fail(); }
};

TEST(PartnerAdsProviderTest, HostCodeThatThrowsIsLoggedAndNeverReachesTheHost) {
  ProviderHarness h;
  auto logger = std::make_shared<Sandbox::RecordingLogger>();
  h.env->setService<QVLogger>(logger);
  auto host = std::make_shared<Testing::ThrowingHostServices>();
  const auto errors = [&] {
    return std::ranges::count_if(logger->entries(),
                                 [](const auto& entry) { return entry.flag == LogFlag::error; });
  };

  // A user service that throws counts as no user.
  host->failing = "currentUser";
  std::shared_ptr<PartnerAdsProvider> provider;
  EXPECT_NO_THROW(provider = PartnerAdsProvider::create(host, h.connection));
  ASSERT_NE(provider, nullptr);
  EXPECT_EQ(provider->model()->value(), std::nullopt);
  EXPECT_EQ(errors(), 2) << "the first load and the user stream's replay";

  // A user stream that cannot be subscribed is not followed; the first load stands.
  host->failing = "userStream";
  std::shared_ptr<PartnerAdsProvider> unfollowing;
  EXPECT_NO_THROW(unfollowing = PartnerAdsProvider::create(host, h.connection));
  EXPECT_NE(unfollowing, nullptr);
  EXPECT_EQ(errors(), 3);
  unfollowing.reset();

  // An ad that throws is passed over, inside the host's own emission of the user.
  host->failing.clear();
  auto good = SandboxPartnerAd::make(shownAd("good"));
  auto bad = std::make_shared<ThrowingAd>();
  EXPECT_NO_THROW(host->user.accept(std::make_shared<Sandbox::SandboxUser>(false, Ads{bad, good})));
  EXPECT_EQ(provider->currentAd(), good);
  EXPECT_EQ(provider->experimentGroups(), "");
  ASSERT_TRUE(provider->model()->value().has_value());
  EXPECT_EQ(errors(), 5) << "its experiment pair and its title";

  // One that throws while published hides the banner.
  provider->setCurrentAd(bad);
  EXPECT_NO_THROW(h.connection->setStatus(Status::connected));
  EXPECT_EQ(provider->model()->value(), std::nullopt);
  EXPECT_EQ(errors(), 6);

  // An unreadable VPN status publishes nothing.
  host->user.accept(std::make_shared<Sandbox::SandboxUser>(false, Ads{good}));
  host->failing = "vpnStatus";
  std::shared_ptr<PartnerAdsProvider> blind;
  EXPECT_NO_THROW(blind = PartnerAdsProvider::create(host, host));
  EXPECT_EQ(blind->currentAd(), good);
  EXPECT_EQ(blind->model()->value(), std::nullopt);
  EXPECT_EQ(errors(), 8);
}

// Services that log every member the provider reaches, in order, into one trace.
using Testing::Trace;
struct TracingUsers final : UserServiceProtocol {
  [[nodiscard]] QVUserPtr currentUser() const override {
    trace->push_back("currentUser");
    return user;
  }
  [[nodiscard]] bool isPremium() const override { return false; }
  [[nodiscard]] Rx::Observable<QVUserPtr> userStream() const override {
    trace->push_back("userStream");
    return relay.asObservable();
  }
  std::shared_ptr<Trace> trace;
  QVUserPtr user;
  Rx::BehaviorRelay<QVUserPtr> relay{nullptr};
};
struct TracingConnection final : ConnectionServiceProtocol {
  [[nodiscard]] QVVPNManagerStatus vpnStatus() const override {
    trace->push_back("vpnStatus");
    return Status::connected;
  }
  [[nodiscard]] Rx::Observable<ConnectionStatus> connectionStatusStream() const override {
    trace->push_back("connectionStatusStream");
    return relay.asObservable();
  }
  std::shared_ptr<Trace> trace;
  Rx::BehaviorRelay<ConnectionStatus> relay{ConnectionStatus::connected};
};

TEST(PartnerAdsProviderTest, ConstructionLoadsOnceThenFollowsConnectionThenUser) {
  auto env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*env);
  const auto trace = std::make_shared<Trace>();
  auto users = std::make_shared<TracingUsers>();
  auto connection = std::make_shared<TracingConnection>();
  users->trace = connection->trace = trace;
  users->user =
      std::make_shared<Sandbox::SandboxUser>(false, Ads{SandboxPartnerAd::make(shownAd("ad", 1))});

  auto provider = PartnerAdsProvider::create(users, connection);
  // The first load, then each subscription and the value it replays at once.
  EXPECT_EQ(*trace, (Trace{"currentUser", "vpnStatus", "connectionStatusStream", "vpnStatus",
                           "userStream", "currentUser", "vpnStatus"}));
  EXPECT_TRUE(provider->model()->value().has_value());

  // Services whose streams replay nothing: the first load alone already gives the content.
  struct Silent final : UserServiceProtocol {
    [[nodiscard]] QVUserPtr currentUser() const override { return user; }
    [[nodiscard]] bool isPremium() const override { return false; }
    [[nodiscard]] Rx::Observable<QVUserPtr> userStream() const override {
      return Rx::Observable<QVUserPtr>::never();
    }
    QVUserPtr user;
  };
  auto silent = std::make_shared<Silent>();
  silent->user = users->user;
  auto quiet = PartnerAdsProvider::create(silent, connection);
  EXPECT_TRUE(quiet->model()->value().has_value());
}

TEST(PartnerAdsProviderTest, OwnsItsServicesWhichHoldItOnlyWeakly) {
  ProviderHarness h;
  h.setAds({SandboxPartnerAd::make(shownAd("ad", 2))});
  h.start();
  EXPECT_EQ(h.users->subscriberCount(), 1U);
  EXPECT_EQ(h.connection->subscriberCount(), 1U);

  // The test lets go of the services: the provider keeps them alive and working.
  std::weak_ptr<Sandbox::SandboxUserService> users = h.users;
  std::weak_ptr<Sandbox::SandboxConnectionService> connection = h.connection;
  auto usersHandle = std::exchange(h.users, nullptr);
  auto connectionHandle = std::exchange(h.connection, nullptr);
  usersHandle.reset();
  connectionHandle.reset();
  ASSERT_FALSE(users.expired());
  ASSERT_FALSE(connection.expired());
  connection.lock()->setStatus(Status::connected);
  EXPECT_EQ(h.model(), std::nullopt);

  // Dropping the provider frees it (no cycle through its subscriptions) and the services with it.
  auto relay = h.provider->model();
  std::weak_ptr<PartnerAdsProvider> weakProvider = h.provider;
  h.provider.reset();
  EXPECT_TRUE(weakProvider.expired());
  EXPECT_TRUE(users.expired());
  EXPECT_TRUE(connection.expired());
}

TEST(PartnerAdsProviderTest, ADroppedProviderIgnoresLaterEventsOfServicesItNoLongerOwns) {
  ProviderHarness h;
  h.setAds({SandboxPartnerAd::make(shownAd("ad", 2))});
  h.start();
  auto relay = h.provider->model();
  ASSERT_TRUE(relay->value().has_value());
  h.provider.reset();
  // The test still holds the services: their later events reach nobody.
  EXPECT_EQ(h.users->subscriberCount(), 0U);
  EXPECT_EQ(h.connection->subscriberCount(), 0U);
  h.connection->setStatus(Status::connected);
  h.setAds({});
  EXPECT_TRUE(relay->value().has_value());
}

}  // namespace
}  // namespace QVRAdKit
