#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Consent/ConsentTestSupport.h"
#include "QVRAdKit/Rx/Rx.h"
#include "QVRAdKit/SDK/UnityAds/UADSMetaData.h"
#include "QVRAdKit/SDK/UnityAds/UADSMetaDataStore.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentFormLoader.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentInformation.h"
#include "Sandbox/Consent/ScriptedConsentForm.h"
#include "Sandbox/Logging/RecordingLogger.h"

namespace QVRAdKit::ConsentTesting {
namespace {

using ReloadGDPRConsentFormTest = ConsentServiceTest;
using LoadGDPRConsentTest = ConsentServiceTest;

TEST_F(LoadGDPRConsentTest, ObtainedAnswersAtOnceAndTheUpdateOnlyRefreshesTheForm) {
  setStatuses(UMPConsentStatus::obtained, UMPFormStatus::available);
  service->loadGDPRConsent(recordConsent);
  EXPECT_EQ(consentCalls, (ConsentCalls{{false, std::nullopt}}));  // before any update answer
  EXPECT_FALSE(platform->lastUpdateParameters().value().tagForUnderAgeOfConsent);

  // Even a failed update goes on to load the form, without calling back again.
  answerUpdate(networkError());
  auto form = answerFormLoad();
  EXPECT_EQ(keptForm(), form);

  // Without an available form, the next run clears the kept form and loads none.
  platform->setFormStatus(UMPFormStatus::unavailable);
  service->loadGDPRConsent(recordConsent);
  answerUpdate();
  EXPECT_EQ(consentCalls, (ConsentCalls{{false, std::nullopt}, {false, std::nullopt}}));
  EXPECT_EQ(keptForm(), nullptr);
  EXPECT_EQ(platform->formLoadRequestCount(), 1u);
}

TEST_F(LoadGDPRConsentTest, RequiredAnswersTrueOnlyWithALoadedFormAndPublishesIt) {
  Forms emitted;
  auto subscription = service->gdprConsentFormStream().subscribe(
      [&](const std::shared_ptr<QVRConsentForm>& form) { emitted.push_back(form); });
  setStatuses(UMPConsentStatus::required, UMPFormStatus::available);
  service->loadGDPRConsent(recordConsent);
  answerUpdate();
  EXPECT_TRUE(consentCalls.empty());  // waits for the form
  auto form = answerFormLoad();
  EXPECT_EQ(keptForm(), form);
  EXPECT_EQ(emitted, (Forms{nullptr, service->gdprConsentForm()}));
  EXPECT_TRUE(service->gdprApplies());

  // A failed or empty form load answers false, passing the load's error on.
  for (const auto& error : {std::optional(networkError()), std::optional<Platform::Error>()}) {
    service->loadGDPRConsent(recordConsent);
    answerUpdate();
    EXPECT_TRUE(platform->answerFormLoad(nullptr, error));
    drain();
  }
  EXPECT_EQ(consentCalls,
            (ConsentCalls{{true, std::nullopt}, {false, networkError()}, {false, std::nullopt}}));
  EXPECT_EQ(keptForm(), nullptr);
}

TEST_F(LoadGDPRConsentTest, UnresolvedWithoutAFormAnswersFalseAndClearsTheForm) {
  service->setGdprConsentForm(someForm());
  setStatuses(UMPConsentStatus::required, UMPFormStatus::unknown);
  service->loadGDPRConsent(recordConsent);
  answerUpdate();
  EXPECT_EQ(service->gdprConsentForm(), nullptr);

  // Unresolved after a failed update: the update's error.
  for (auto status : {UMPConsentStatus::unknown, UMPConsentStatus::required}) {
    setStatuses(status, UMPFormStatus::available);
    service->loadGDPRConsent(recordConsent);
    answerUpdate(networkError());
  }
  EXPECT_EQ(
      consentCalls,
      (ConsentCalls{{false, std::nullopt}, {false, networkError()}, {false, networkError()}}));
  EXPECT_EQ(platform->formLoadRequestCount(), 0u);
}

TEST_F(LoadGDPRConsentTest, ResolvedByTheUpdateAnswersFalseThenLoadsTheFormSilently) {
  setStatuses(UMPConsentStatus::unknown, UMPFormStatus::unknown);
  service->loadGDPRConsent(recordConsent);
  EXPECT_TRUE(consentCalls.empty());
  // The update resolves consent; being resolved wins over the update's error.
  setStatuses(UMPConsentStatus::notRequired, UMPFormStatus::available);
  answerUpdate(networkError());
  EXPECT_EQ(consentCalls, (ConsentCalls{{false, std::nullopt}}));
  auto form = answerFormLoad();
  EXPECT_EQ(keptForm(), form);
  EXPECT_EQ(consentCalls.size(), 1u);
}

TEST_F(LoadGDPRConsentTest, WithoutAnyConsentPlatformRequestsFailOnTheMainQueue) {
  auto bare = Platform::Environment::makeForTesting();
  Platform::Environment::Scope bareScope(*bare);
  auto lonely = QVRAdsConsentServiceImpl::create(*bare);
  lonely->loadGDPRConsent(recordConsent);
  lonely->loadGDPRConsentForm(recordForm);
  EXPECT_TRUE(consentCalls.empty() && formCalls.empty());
  bare->mainQueue().runUntilIdle();
  ASSERT_EQ(consentCalls.size(), 1u);
  EXPECT_FALSE(consentCalls[0].formLoaded);
  EXPECT_TRUE(consentCalls[0].error);
  ASSERT_EQ(formCalls.size(), 1u);
  EXPECT_TRUE(formCalls[0].error && !formCalls[0].form);
  lonely->notifyMediators();  // status unknown: nothing to tell, nothing to crash on
}

TEST_F(LoadGDPRConsentTest, PendingUpdateKeepsTheServiceAndALaterFormLoadLeavesNoTrace) {
  setStatuses(UMPConsentStatus::required, UMPFormStatus::available);
  std::weak_ptr<QVRAdsConsentServiceImpl> weak = service;
  service->loadGDPRConsent(recordConsent);
  service.reset();
  EXPECT_FALSE(weak.expired());  // the pending update holds it
  answerUpdate();
  EXPECT_TRUE(weak.expired());  // released once its handler has run; the form load holds it weakly

  auto form = answerFormLoad();
  EXPECT_EQ(form.use_count(), 1);  // nobody kept the form
  // The run still ends, once: no form is kept for a user who can no longer be shown it.
  EXPECT_EQ(consentCalls, (ConsentCalls{{false, std::nullopt}}));
}

// A consent platform that keeps every completion, so that the test can call one twice.
struct RepeatingConsentPlatform final : UMPConsentInformation, UMPConsentFormLoader {
  [[nodiscard]] UMPConsentStatus consentStatus() const override {
    return UMPConsentStatus::required;
  }
  [[nodiscard]] UMPFormStatus formStatus() const override { return UMPFormStatus::available; }
  void requestConsentInfoUpdateWithParameters(const UMPRequestParameters& /*parameters*/,
                                              UpdateCompletion completion) override {
    updates.push_back(std::move(completion));
  }
  void loadForm(UMPConsentForm::LoadCompletion completion) override {
    formLoads.push_back(std::move(completion));
  }
  std::vector<UpdateCompletion> updates;
  std::vector<UMPConsentForm::LoadCompletion> formLoads;
};

// Each request's first answer counts; a second is named in the log, starts no second form load
// and reaches no completion twice.
TEST(ConsentPlatformAnsweringTwiceTest, OnlyTheFirstAnswerOfEachRequestCounts) {
  auto environment = Platform::Environment::makeForTesting();
  const Platform::Environment::Scope scope(*environment);
  auto logger = std::make_shared<Sandbox::RecordingLogger>();
  environment->setService<QVLogger>(logger);
  auto platform = std::make_shared<RepeatingConsentPlatform>();
  environment->setService<UMPConsentInformation>(platform);
  environment->setService<UMPConsentFormLoader>(platform);
  auto service = QVRAdsConsentServiceImpl::create(*environment);
  ConsentCalls consentCalls;
  service->loadGDPRConsent([&](bool formLoaded, std::optional<Platform::Error> error) {
    consentCalls.push_back({formLoaded, std::move(error)});
  });
  std::size_t reloads = 0;
  service->reloadGDPRConsentForm([&](auto&&...) { ++reloads; });
  ASSERT_EQ(platform->updates.size(), 1u);  // the form is available: the reload loads it directly
  ASSERT_EQ(platform->formLoads.size(), 1u);

  platform->updates[0](std::nullopt);
  platform->updates[0](std::nullopt);
  ASSERT_EQ(platform->formLoads.size(), 2u) << "one form load for the update, not two";
  for (const auto& answer : platform->formLoads) {
    const auto copy = answer;  // the platform keeps a copy, as it may
    answer(std::make_shared<Sandbox::ScriptedConsentForm>(*environment), std::nullopt);
    copy(nullptr, networkError());
  }
  EXPECT_EQ(consentCalls, (ConsentCalls{{true, std::nullopt}}));
  EXPECT_EQ(reloads, 1u);
  EXPECT_NE(service->gdprConsentForm(), nullptr) << "the late failures did not clear the form";
  std::vector<std::string> functions;
  for (const auto& failure : logger->assertionFailures()) functions.push_back(failure.function);
  EXPECT_EQ(functions,
            (std::vector<std::string>{"UMPConsentInformation.requestConsentInfoUpdate completion",
                                      "UMPConsentFormLoader.loadForm completion",
                                      "UMPConsentFormLoader.loadForm completion"}));
}

TEST_F(ReloadGDPRConsentFormTest, AvailableFormIsLoadedWithoutAnUpdateAndAFailureClearsIt) {
  setStatuses(UMPConsentStatus::obtained, UMPFormStatus::available);
  service->reloadGDPRConsentForm(recordForm);
  auto form = answerFormLoad();
  EXPECT_EQ(keptForm(), form);

  service->reloadGDPRConsentForm(recordForm);
  EXPECT_TRUE(platform->answerFormLoad(nullptr, networkError()));
  drain();
  EXPECT_EQ(formCalls, (FormCalls{{form, std::nullopt}, {nullptr, networkError()}}));
  EXPECT_EQ(keptForm(), nullptr);
  EXPECT_EQ(platform->updateRequestCount(), 0u);
}

TEST_F(ReloadGDPRConsentFormTest, OtherwiseUpdatesFirstAndLoadsOnlyAFormThatBecameAvailable) {
  setStatuses(UMPConsentStatus::required, UMPFormStatus::unavailable);
  service->setGdprConsentForm(someForm());
  service->reloadGDPRConsentForm(recordForm);
  platform->setFormStatus(UMPFormStatus::available);  // ignored: the update fails
  answerUpdate(networkError());
  EXPECT_EQ(keptForm(), nullptr);

  platform->setFormStatus(UMPFormStatus::unavailable);
  service->reloadGDPRConsentForm(recordForm);
  platform->setFormStatus(UMPFormStatus::available);
  answerUpdate();
  EXPECT_EQ(formCalls.size(), 1u);  // waits for the form
  auto form = answerFormLoad();

  // Still no form after the update: (nil, nil) and the kept form is cleared.
  platform->setFormStatus(UMPFormStatus::unavailable);
  service->reloadGDPRConsentForm(recordForm);
  answerUpdate();
  EXPECT_EQ(formCalls,
            (FormCalls{{nullptr, networkError()}, {form, std::nullopt}, {nullptr, std::nullopt}}));
  EXPECT_EQ(keptForm(), nullptr);
  EXPECT_EQ(platform->formLoadRequestCount(), 1u);
}

TEST_F(ConsentServiceTest, PersonalizedAdsNeedConsentFor134AndLegitimateInterestFor27910) {
  auto logger = std::make_shared<Sandbox::RecordingLogger>();
  environment->setService<QVLogger>(logger);
  struct Row {
    std::optional<std::string> consents, interests;
    bool allowed;
  };
  const Row rows[] = {
      {"1011", "0100001011", true},  // consent at positions 0, 2, 3; interest at 1, 6, 8, 9
      {"1001", "0100001011", false},
      {"1011", "0100001001", false},
      {"1111111111", "1011000000", false},  // each string counts only for its own purposes
      {"101", "0100001011", false},         // purpose 4 beyond the end
      {"1011", "010000101", false},         // purpose 10 just beyond the end
      {"", "", false},
      {"1011", std::nullopt, false},
      {std::nullopt, "0100001011", false},
  };
  for (const Row& row : rows) {
    setStrings(row.consents, row.interests);
    EXPECT_EQ(service->personalizedAdsAreAllowed(), row.allowed)
        << row.consents.value_or("(none)") << " / " << row.interests.value_or("(none)");
    EXPECT_EQ(service->gdprConsentAccepted(), row.allowed);
  }
  EXPECT_TRUE(logger->entries().empty());  // a missing string is not named
  // A number where the text belongs reads as missing, and is named in the log once.
  setStrings("1011", "0100001011");
  environment->userDefaults().setObject(std::int64_t{1011}, "IABTCF_PurposeConsents");
  EXPECT_FALSE(service->personalizedAdsAreAllowed());
  EXPECT_FALSE(service->gdprConsentAccepted());
  ASSERT_EQ(logger->entries().size(), 1u);
  EXPECT_EQ(logger->entries()[0].message.rfind(
                "IABTCF_PurposeConsents holds a value that is not text", 0),
            0u);
}

TEST_F(ConsentServiceTest, AppliesAndResolvedFollowEachConsentStatusAsReadEachTime) {
  struct Row {
    int rawStatus;
    bool applies, resolved;
  };
  // 0 unknown, 1 required, 2 not required, 3 obtained. The rows alternate so that a query that
  // kept an earlier answer would be caught.
  const Row rows[] = {{3, true, true},  {0, false, false}, {1, true, false},
                      {2, false, true}, {3, true, true},   {0, false, false}};
  for (const Row& row : rows) {
    platform->setConsentStatus(static_cast<UMPConsentStatus>(row.rawStatus));
    EXPECT_EQ(service->gdprApplies(), row.applies) << "status " << row.rawStatus;
    EXPECT_EQ(service->gdprConsentResolved(), row.resolved) << "status " << row.rawStatus;
  }
}

// A Unity metadata store that notes, at each commit, how many consent calls IronSource had
// received by then, and passes the batch on to the recording store.
class OrderNotingMetaDataStore final : public UADSMetaDataStore {
 public:
  OrderNotingMetaDataStore(std::shared_ptr<Sandbox::RecordingMetaDataStore> next,
                           std::shared_ptr<Sandbox::ScriptedIronSource> ironSource)
      : next_(std::move(next)), ironSource_(std::move(ironSource)) {}
  void commit(const Entries& entries) override {
    ironSourceConsentsAtCommit.push_back(ironSource_->consents().size());
    next_->commit(entries);
  }
  std::vector<std::size_t> ironSourceConsentsAtCommit;

 private:
  std::shared_ptr<Sandbox::RecordingMetaDataStore> next_;
  std::shared_ptr<Sandbox::ScriptedIronSource> ironSource_;
};

TEST_F(ConsentServiceTest, NotifyMediatorsTellsUnityThenIronSourceOnlyOnceConsentIsObtained) {
  auto store = std::make_shared<OrderNotingMetaDataStore>(unity, ironSource);
  environment->setService<UADSMetaDataStore>(store);
  setStrings("1011", "0100001011");
  for (auto status :
       {UMPConsentStatus::unknown, UMPConsentStatus::required, UMPConsentStatus::notRequired}) {
    platform->setConsentStatus(status);
    service->notifyMediators();
  }
  EXPECT_TRUE(unity->commits().empty());
  EXPECT_TRUE(ironSource->consents().empty());

  platform->setConsentStatus(UMPConsentStatus::obtained);
  service->notifyMediators();
  ASSERT_EQ(unity->commits().size(), 1u);
  EXPECT_EQ(unity->commits()[0].size(), 1u);
  EXPECT_EQ(unity->value("gdpr.consent"), UADSMetaDataValue(true));

  // Missing strings: the networks hear that personalised ads are not allowed.
  setStrings(std::nullopt, "0100001011");
  service->notifyMediators();
  EXPECT_EQ(unity->commits().size(), 2u);
  EXPECT_EQ(unity->value("gdpr.consent"), UADSMetaDataValue(false));
  EXPECT_EQ(ironSource->consents(), (std::vector<bool>{true, false}));
  // Each commit saw only the IronSource calls of the earlier rounds: Unity hears first.
  EXPECT_EQ(store->ironSourceConsentsAtCommit, (std::vector<std::size_t>{0, 1}));
}

TEST_F(ConsentServiceTest, FormStreamEmitsTheCurrentFormThenEverySetAndEndsWithTheService) {
  auto first = someForm();
  service->setGdprConsentForm(first);
  Forms emitted;
  bool completed = false;
  auto subscription = service->gdprConsentFormStream().subscribe(
      [&](const auto& form) { emitted.push_back(form); }, {}, [&] { completed = true; });
  auto second = someForm();
  service->setGdprConsentForm(second);
  service->setGdprConsentForm(second);  // a repeated set is still announced
  service->setGdprConsentForm(nullptr);
  EXPECT_EQ(emitted, (Forms{first, second, second, nullptr}));

  std::weak_ptr<QVRAdsConsentServiceImpl> weak = service;
  service.reset();
  EXPECT_TRUE(weak.expired());  // the stream does not keep it
  EXPECT_TRUE(completed);
}

TEST_F(ConsentServiceTest, FormWrapperWrapsOnlyARealFormAndAnEmptiedOneAnswersAnErrorLater) {
  EXPECT_EQ(QVRConsentForm::formWith(*environment, nullptr), nullptr);
  auto wrapper = someForm();
  wrapper->setConsentForm(nullptr);
  std::vector<std::optional<Platform::Error>> answers;
  wrapper->presentFromViewController(nullptr, [&](const auto& error) { answers.push_back(error); });
  EXPECT_TRUE(answers.empty());
  drain();
  EXPECT_TRUE(answers.size() == 1 && answers[0]);
}

}  // namespace
}  // namespace QVRAdKit::ConsentTesting
