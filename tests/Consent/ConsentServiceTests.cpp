#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Consent/ConsentTestSupport.h"
#include "QVRAdKit/Consent/GDPRString.h"
#include "QVRAdKit/Rx/Rx.h"
#include "QVRAdKit/SDK/UnityAds/UADSMetaData.h"

namespace QVRAdKit::ConsentTesting {
namespace {

using ReloadGDPRConsentFormTest = ConsentServiceTest;
using PersonalizedAdsTest = ConsentServiceTest;
using NotifyMediatorsTest = ConsentServiceTest;
using ConsentFormStreamTest = ConsentServiceTest;
using ConsentFormWrapperTest = ConsentServiceTest;

std::shared_ptr<QVRConsentForm> someForm(Platform::Environment& environment) {
  return QVRConsentForm::formWith(std::make_shared<Sandbox::ScriptedConsentForm>(environment));
}

TEST_F(ReloadGDPRConsentFormTest, AvailableFormIsLoadedWithoutAnUpdate) {
  setStatuses(UMPConsentStatus::obtained, UMPFormStatus::available);
  service->reloadGDPRConsentForm(recordForm());
  EXPECT_EQ(platform->updateRequestCount(), 0u);
  auto form = platform->answerFormLoad();
  drain();
  ASSERT_EQ(formCalls->size(), 1u);
  ASSERT_TRUE((*formCalls)[0].form);
  EXPECT_EQ((*formCalls)[0].form->consentForm(), form);
  EXPECT_EQ((*formCalls)[0].form, service->gdprConsentForm());
  EXPECT_FALSE((*formCalls)[0].error);

  // A failed load clears the kept form and passes the error on.
  service->reloadGDPRConsentForm(recordForm());
  platform->answerFormLoad(nullptr, networkError());
  drain();
  ASSERT_EQ(formCalls->size(), 2u);
  EXPECT_EQ((*formCalls)[1].form, nullptr);
  EXPECT_EQ((*formCalls)[1].error, networkError());
  EXPECT_EQ(service->gdprConsentForm(), nullptr);
}

TEST_F(ReloadGDPRConsentFormTest, FailedUpdateClearsTheFormAndReportsTheError) {
  setStatuses(UMPConsentStatus::required, UMPFormStatus::unknown);
  service->setGdprConsentForm(someForm(*environment));
  service->reloadGDPRConsentForm(recordForm());
  EXPECT_EQ(platform->pendingUpdateCount(), 1u);
  platform->setFormStatus(UMPFormStatus::available);  // ignored: the update failed
  platform->answerUpdate(networkError());
  drain();
  ASSERT_EQ(formCalls->size(), 1u);
  EXPECT_EQ((*formCalls)[0].form, nullptr);
  EXPECT_EQ((*formCalls)[0].error, networkError());
  EXPECT_EQ(service->gdprConsentForm(), nullptr);
  EXPECT_EQ(platform->formLoadRequestCount(), 0u);
}

TEST_F(ReloadGDPRConsentFormTest, UpdateThenLoadsTheFormOnlyWhenOneBecameAvailable) {
  setStatuses(UMPConsentStatus::required, UMPFormStatus::unavailable);
  service->reloadGDPRConsentForm(recordForm());
  platform->setFormStatus(UMPFormStatus::available);
  platform->answerUpdate();
  drain();
  EXPECT_TRUE(formCalls->empty());
  auto form = platform->answerFormLoad();
  drain();
  ASSERT_EQ(formCalls->size(), 1u);
  ASSERT_TRUE((*formCalls)[0].form);
  EXPECT_EQ((*formCalls)[0].form->consentForm(), form);

  // Still no form after the update: (nil, nil) and the kept form is cleared.
  platform->setFormStatus(UMPFormStatus::unavailable);
  service->reloadGDPRConsentForm(recordForm());
  platform->answerUpdate();
  drain();
  ASSERT_EQ(formCalls->size(), 2u);
  EXPECT_EQ((*formCalls)[1].form, nullptr);
  EXPECT_FALSE((*formCalls)[1].error);
  EXPECT_EQ(service->gdprConsentForm(), nullptr);
  EXPECT_EQ(platform->formLoadRequestCount(), 1u);
}

TEST_F(PersonalizedAdsTest, NeedsConsentFor134AndLegitimateInterestFor27910) {
  // The consented positions 0, 2, 3 (not 1); legitimate interest at 1, 6, 8, 9 only.
  setStrings("1011", "0100001011");
  EXPECT_TRUE(service->personalizedAdsAreAllowed());
  EXPECT_TRUE(service->gdprConsentAccepted());

  for (std::size_t position : {0u, 2u, 3u}) {
    std::string consents = "1011";
    consents[position] = '0';
    setStrings(consents, "0100001011");
    EXPECT_FALSE(service->personalizedAdsAreAllowed()) << "consent position " << position;
  }
  for (std::size_t position : {1u, 6u, 8u, 9u}) {
    std::string interests = "0100001011";
    interests[position] = '0';
    setStrings("1011", interests);
    EXPECT_FALSE(service->personalizedAdsAreAllowed()) << "interest position " << position;
  }
  // The other string is never consulted for a purpose: swapping the roles does not help.
  setStrings("1111111111", "1011000000");
  EXPECT_FALSE(service->personalizedAdsAreAllowed());
}

TEST_F(PersonalizedAdsTest, ShortOrMissingStringsDoNotAllow) {
  setStrings("101", "0100001011");  // purpose 4 beyond the end
  EXPECT_FALSE(service->personalizedAdsAreAllowed());
  setStrings("1011", "01");  // purpose 7 beyond the end
  EXPECT_FALSE(service->personalizedAdsAreAllowed());
  setStrings("1011", "010000101");  // purpose 10 just beyond the end
  EXPECT_FALSE(service->personalizedAdsAreAllowed());
  setStrings("", "");
  EXPECT_FALSE(service->personalizedAdsAreAllowed());

  auto& defaults = environment->userDefaults();
  setStrings("1011", "0100001011");
  defaults.removeObjectForKey("IABTCF_PurposeLegitimateInterests");
  EXPECT_FALSE(service->personalizedAdsAreAllowed());
  setStrings("1011", "0100001011");
  defaults.removeObjectForKey("IABTCF_PurposeConsents");
  EXPECT_FALSE(service->personalizedAdsAreAllowed());
  defaults.setObject(std::int64_t{1011}, "IABTCF_PurposeConsents");  // not a string
  EXPECT_FALSE(service->personalizedAdsAreAllowed());
}

TEST(HasCharTest, ComparesOneCodeUnitInsideTheString) {
  EXPECT_TRUE(hasChar("01", u'1', 1));
  EXPECT_FALSE(hasChar("01", u'1', 0));
  EXPECT_FALSE(hasChar("01", u'1', 2));  // index equal to the length
  EXPECT_FALSE(hasChar("01", u'1', static_cast<std::size_t>(-1)));
  EXPECT_FALSE(hasChar("", u'\0', 0));
  EXPECT_FALSE(hasChar("1", u'\u0131', 0));  // same low byte, different code unit
}

TEST_F(ConsentServiceTest, AppliesAndResolvedFollowTheStatusAsked) {
  struct Row {
    UMPConsentStatus status;
    bool applies;
    bool resolved;
  };
  for (Row row :
       {Row{UMPConsentStatus::unknown, false, false}, Row{UMPConsentStatus::required, true, false},
        Row{UMPConsentStatus::notRequired, false, true},
        Row{UMPConsentStatus::obtained, true, true}}) {
    platform->setConsentStatus(row.status);
    EXPECT_EQ(service->gdprApplies(), row.applies) << static_cast<int>(row.status);
    EXPECT_EQ(service->gdprConsentResolved(), row.resolved) << static_cast<int>(row.status);
  }
}

TEST_F(NotifyMediatorsTest, TellsNobodyUnlessConsentWasObtained) {
  setStrings("1111111111", "1111111111");
  for (auto status :
       {UMPConsentStatus::unknown, UMPConsentStatus::required, UMPConsentStatus::notRequired}) {
    platform->setConsentStatus(status);
    service->notifyMediators();
  }
  EXPECT_TRUE(unity->commits().empty());
  EXPECT_TRUE(ironSource->consents.empty());
}

TEST_F(NotifyMediatorsTest, PassesTheAnswerToUnityAndIronSource) {
  platform->setConsentStatus(UMPConsentStatus::obtained);
  setStrings("1011", "0100001011");
  service->notifyMediators();
  ASSERT_EQ(unity->commits().size(), 1u);
  EXPECT_EQ(unity->commits()[0].size(), 1u);
  EXPECT_EQ(unity->value("gdpr.consent"), UADSMetaDataValue(true));
  EXPECT_EQ(ironSource->consents, std::vector<bool>{true});

  // Missing strings: the networks hear that personalised ads are not allowed.
  environment->userDefaults().removeObjectForKey("IABTCF_PurposeConsents");
  service->notifyMediators();
  ASSERT_EQ(unity->commits().size(), 2u);
  EXPECT_EQ(unity->value("gdpr.consent"), UADSMetaDataValue(false));
  EXPECT_EQ(ironSource->consents, (std::vector<bool>{true, false}));
}

TEST_F(ConsentFormStreamTest, EmitsTheCurrentFormThenEverySet) {
  auto first = someForm(*environment);
  service->setGdprConsentForm(first);
  std::vector<std::shared_ptr<QVRConsentForm>> emitted;
  auto subscription = service->gdprConsentFormStream().subscribe(
      [&](const std::shared_ptr<QVRConsentForm>& form) { emitted.push_back(form); });
  auto second = someForm(*environment);
  service->setGdprConsentForm(second);
  service->setGdprConsentForm(second);  // a repeated set is still announced
  service->setGdprConsentForm(nullptr);
  EXPECT_EQ(emitted,
            (std::vector<std::shared_ptr<QVRConsentForm>>{first, second, second, nullptr}));
}

TEST_F(ConsentFormStreamTest, DoesNotKeepTheServiceAliveAndCompletesWithIt) {
  service->setGdprConsentForm(someForm(*environment));
  auto stream = service->gdprConsentFormStream();
  int values = 0;
  bool completed = false;
  auto subscription =
      stream.subscribe([&](const auto&) { ++values; }, {}, [&] { completed = true; });
  std::weak_ptr<QVRAdsConsentServiceImpl> weak = service;
  service.reset();
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(values, 1);
  EXPECT_TRUE(completed);

  bool lateCompleted = false;
  auto late = stream.subscribe([&](const auto&) { ++values; }, {}, [&] { lateCompleted = true; });
  EXPECT_EQ(values, 1);
  EXPECT_TRUE(lateCompleted);
}

TEST_F(ConsentFormWrapperTest, WrapsOnlyARealFormAndForwardsItsPresentation) {
  EXPECT_EQ(QVRConsentForm::formWith(nullptr), nullptr);
  EXPECT_EQ(QVRConsentForm::initWithForm(nullptr), nullptr);

  auto scripted = std::make_shared<Sandbox::ScriptedConsentForm>(*environment);
  auto wrapper = QVRConsentForm::formWith(scripted);
  ASSERT_TRUE(wrapper);
  EXPECT_EQ(wrapper->consentForm(), scripted);

  auto viewController = std::make_shared<Platform::ViewController>("settings");
  std::vector<std::optional<Platform::Error>> answers;
  wrapper->presentFromViewController(
      viewController, [&](std::optional<Platform::Error> error) { answers.push_back(error); });
  EXPECT_EQ(scripted->lastViewController(), viewController);
  EXPECT_TRUE(scripted->answerPresentation(networkError()));
  EXPECT_TRUE(answers.empty());
  drain();
  EXPECT_EQ(answers, (std::vector<std::optional<Platform::Error>>{networkError()}));

  // An emptied wrapper still answers, with an error, on the main queue.
  wrapper->setConsentForm(nullptr);
  wrapper->presentFromViewController(
      viewController, [&](std::optional<Platform::Error> error) { answers.push_back(error); });
  EXPECT_EQ(answers.size(), 1u);
  drain();
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_TRUE(answers[1]);
  EXPECT_EQ(scripted->presentationCount(), 1u);
}

TEST(ConsentPortsTest, AnswerUnknownOrFailOnTheMainQueueWhenNothingIsRegistered) {
  auto environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*environment);
  auto information = UMPConsentInformation::sharedInstance();
  ASSERT_TRUE(information);
  EXPECT_EQ(information->consentStatus(), UMPConsentStatus::unknown);
  EXPECT_NE(information->formStatus(), UMPFormStatus::available);

  int updates = 0;
  information->requestConsentInfoUpdateWithParameters(
      {}, [&](std::optional<Platform::Error> error) { updates += error ? 1 : 100; });
  int loads = 0;
  UMPConsentForm::loadWithCompletionHandler(
      [&](std::shared_ptr<UMPConsentForm> form, std::optional<Platform::Error> error) {
        loads += (!form && error) ? 1 : 100;
      });
  EXPECT_EQ(updates + loads, 0);
  environment->mainQueue().runUntilIdle();
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(loads, 1);

  UADSMetaData orphan;  // no store: committing is harmless
  orphan.set("gdpr.consent", true);
  orphan.commit();

  // Registered later, the platform is what sharedInstance() answers.
  auto platform = Sandbox::ScriptedConsentPlatform::create();
  platform->install(*environment);
  platform->setConsentStatus(UMPConsentStatus::required);
  EXPECT_EQ(UMPConsentInformation::sharedInstance()->consentStatus(), UMPConsentStatus::required);
}

TEST(ConsentPortsTest, UnityMetaDataReachesTheStoreOnlyOnCommit) {
  auto environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*environment);
  auto store = std::make_shared<Sandbox::RecordingMetaDataStore>();
  store->install(*environment);

  UADSMetaData metaData;
  metaData.set("gdpr.consent", false);
  metaData.set("gdpr.consent", true);
  metaData.set("user.level", std::int64_t{3});
  EXPECT_TRUE(store->commits().empty());
  EXPECT_FALSE(store->value("gdpr.consent"));
  metaData.commit();
  ASSERT_EQ(store->commits().size(), 1u);
  EXPECT_EQ(store->commits()[0].size(), 2u);
  EXPECT_EQ(store->value("gdpr.consent"), UADSMetaDataValue(true));
  EXPECT_EQ(store->value("user.level"), UADSMetaDataValue(std::int64_t{3}));
}

}  // namespace
}  // namespace QVRAdKit::ConsentTesting
