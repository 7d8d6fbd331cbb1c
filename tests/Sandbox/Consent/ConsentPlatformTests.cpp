#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "Consent/ConsentTestSupport.h"
#include "Sandbox/Consent/SimulatedConsentPlatform.h"

namespace QVRAdKit::ConsentTesting {
namespace {

using Sandbox::ConsentRegion;
using Sandbox::ConsentUserAnswer;
using Sandbox::SimulatedConsentPlatform;

// The module's consent service over the simulated platform, on the manual clock.
class SimulatedConsentTest : public ::testing::Test {
 protected:
  void install(ConsentRegion region, ConsentUserAnswer answer) {
    SimulatedConsentPlatform::Options options;
    options.region = region;
    options.userAnswer = answer;
    platform = SimulatedConsentPlatform::create(options);
    platform->install(*environment);
    unity->install(*environment);
  }

  // Runs loadGDPRConsent until it calls back, on the clock.
  std::vector<ConsentCall> loadConsent() {
    std::vector<ConsentCall> calls;
    service->loadGDPRConsent([&](bool loaded, std::optional<Platform::Error> error) {
      calls.push_back({loaded, error});
    });
    environment->advance(10);
    return calls;
  }

  // Presents the kept form and lets the user answer.
  std::vector<std::optional<Platform::Error>> presentForm() {
    std::vector<std::optional<Platform::Error>> answers;
    service->gdprConsentForm()->presentFromViewController(
        std::make_shared<Platform::ViewController>(),
        [&](std::optional<Platform::Error> error) { answers.push_back(error); });
    environment->advance(60);
    return answers;
  }

  std::unique_ptr<Platform::Environment> environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*environment};
  std::shared_ptr<SimulatedConsentPlatform> platform;
  std::shared_ptr<Sandbox::RecordingMetaDataStore> unity =
      std::make_shared<Sandbox::RecordingMetaDataStore>();
  std::shared_ptr<QVRAdsConsentServiceImpl> service = QVRAdsConsentServiceImpl::create();
};

TEST_F(SimulatedConsentTest, RequiredRegionAndAcceptAllAllowsPersonalizedAds) {
  install(ConsentRegion::consentRequired, ConsentUserAnswer::acceptAll());
  EXPECT_EQ(platform->consentStatus(), UMPConsentStatus::unknown);

  auto calls = loadConsent();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(calls[0].formLoaded);
  EXPECT_FALSE(calls[0].error);
  EXPECT_EQ(platform->consentStatus(), UMPConsentStatus::required);
  EXPECT_FALSE(service->gdprConsentResolved());
  EXPECT_FALSE(service->personalizedAdsAreAllowed());  // nothing written before the answer

  auto answers = presentForm();
  EXPECT_EQ(answers, (std::vector<std::optional<Platform::Error>>{std::nullopt}));
  EXPECT_EQ(platform->consentStatus(), UMPConsentStatus::obtained);
  EXPECT_EQ(environment->userDefaults().stringForKey("IABTCF_PurposeConsents"), "1111111111");
  EXPECT_EQ(environment->userDefaults().stringForKey("IABTCF_PurposeLegitimateInterests"),
            "0100001111");
  EXPECT_TRUE(service->personalizedAdsAreAllowed());
  service->notifyMediators();
  EXPECT_EQ(unity->value("gdpr.consent"), UADSMetaDataValue(true));

  // The next run goes on at once, and the form stays single-use.
  calls = loadConsent();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_FALSE(calls[0].formLoaded);
  EXPECT_EQ(platform->consentStatus(), UMPConsentStatus::obtained);
  auto first = service->gdprConsentForm();
  ASSERT_TRUE(first);
  EXPECT_EQ(presentForm().size(), 1u);  // the fresh form reloaded by the run
  auto again = presentForm();
  ASSERT_EQ(again.size(), 1u);
  ASSERT_TRUE(again[0]);
  EXPECT_EQ(again[0]->code, Sandbox::ConsentPlatformCore::kErrorFormAlreadyUsed);
}

TEST_F(SimulatedConsentTest, RejectAllForbidsPersonalizedAds) {
  install(ConsentRegion::consentRequired, ConsentUserAnswer::rejectAll());
  ASSERT_TRUE(loadConsent().at(0).formLoaded);
  presentForm();
  EXPECT_EQ(platform->consentStatus(), UMPConsentStatus::obtained);
  EXPECT_EQ(environment->userDefaults().stringForKey("IABTCF_PurposeConsents"), "0000000000");
  EXPECT_FALSE(service->personalizedAdsAreAllowed());
  service->notifyMediators();
  EXPECT_EQ(unity->value("gdpr.consent"), UADSMetaDataValue(false));
}

TEST_F(SimulatedConsentTest, NotRequiredRegionResolvesAtTheFirstUpdateWithoutAForm) {
  install(ConsentRegion::consentNotRequired, ConsentUserAnswer::acceptAll());
  auto calls = loadConsent();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_FALSE(calls[0].formLoaded);
  EXPECT_FALSE(calls[0].error);
  EXPECT_EQ(platform->consentStatus(), UMPConsentStatus::notRequired);
  EXPECT_TRUE(service->gdprConsentResolved());
  EXPECT_EQ(service->gdprConsentForm(), nullptr);
  EXPECT_EQ(platform->formLoadRequestCount(), 0u);
  EXPECT_FALSE(environment->userDefaults().stringForKey("IABTCF_PurposeConsents"));
}

TEST_F(SimulatedConsentTest, AnswersArriveAfterTheirLatencyOnTheClock) {
  install(ConsentRegion::consentRequired, ConsentUserAnswer::acceptAll());
  int updates = 0;
  platform->requestConsentInfoUpdateWithParameters({}, [&](auto) { ++updates; });
  environment->advance(0.39);
  EXPECT_EQ(updates, 0);
  EXPECT_EQ(platform->consentStatus(), UMPConsentStatus::unknown);
  environment->advance(0.02);
  EXPECT_EQ(updates, 1);

  std::shared_ptr<UMPConsentForm> form;
  UMPConsentForm::loadWithCompletionHandler([&](auto loaded, auto) { form = loaded; });
  environment->advance(0.59);
  EXPECT_FALSE(form);
  environment->advance(0.02);
  ASSERT_TRUE(form);

  platform->setUserAnswer(ConsentUserAnswer::purposes({1, 3, 4, 11}, {2, 7, 9, 10, 0}));
  bool answered = false;
  form->presentFromViewController(nullptr, [&](auto error) { answered = !error; });
  environment->advance(2.99);
  EXPECT_FALSE(answered);
  EXPECT_EQ(platform->consentStatus(), UMPConsentStatus::required);
  environment->advance(0.02);
  EXPECT_TRUE(answered);
  EXPECT_EQ(environment->userDefaults().stringForKey("IABTCF_PurposeConsents"), "1011000000");
  EXPECT_EQ(environment->userDefaults().stringForKey("IABTCF_PurposeLegitimateInterests"),
            "0100001011");
}

TEST(ScriptedConsentPlatformTest, AnswersOldestFirstOnTheMainQueue) {
  auto environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*environment);
  auto platform = Sandbox::ScriptedConsentPlatform::create();
  platform->install(*environment);
  EXPECT_FALSE(platform->answerUpdate());
  EXPECT_EQ(platform->answerFormLoad(), nullptr);

  std::vector<int> order;
  platform->requestConsentInfoUpdateWithParameters(
      {}, [&](auto error) { order.push_back(error ? -1 : 1); });
  platform->requestConsentInfoUpdateWithParameters(
      {}, [&](auto error) { order.push_back(error ? -2 : 2); });
  EXPECT_TRUE(platform->answerUpdate(networkError()));
  EXPECT_TRUE(platform->answerUpdate());
  EXPECT_TRUE(order.empty());
  environment->mainQueue().runUntilIdle();
  EXPECT_EQ(order, (std::vector<int>{-1, 2}));
  EXPECT_EQ(platform->updateRequestCount(), 2u);
  EXPECT_EQ(platform->pendingUpdateCount(), 0u);
}

}  // namespace
}  // namespace QVRAdKit::ConsentTesting
