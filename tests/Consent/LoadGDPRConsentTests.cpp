#include <gtest/gtest.h>

#include <memory>

#include "Consent/ConsentTestSupport.h"
#include "QVRAdKit/Rx/Rx.h"

namespace QVRAdKit::ConsentTesting {
namespace {

using LoadGDPRConsentTest = ConsentServiceTest;

TEST_F(LoadGDPRConsentTest, ObtainedAnswersAtOnceAndTheUpdateOnlyRefreshesTheForm) {
  setStatuses(UMPConsentStatus::obtained, UMPFormStatus::available);
  service->loadGDPRConsent(recordConsent());

  ASSERT_EQ(consentCalls->size(), 1u);  // before any update answer
  EXPECT_FALSE((*consentCalls)[0].formLoaded);
  EXPECT_FALSE((*consentCalls)[0].error);
  ASSERT_EQ(platform->pendingUpdateCount(), 1u);
  ASSERT_TRUE(platform->lastUpdateParameters());
  EXPECT_FALSE(platform->lastUpdateParameters()->tagForUnderAgeOfConsent);

  // Even a failed update goes on to load the form, without calling back again.
  platform->answerUpdate(networkError());
  drain();
  EXPECT_EQ(consentCalls->size(), 1u);
  ASSERT_EQ(platform->pendingFormLoadCount(), 1u);
  auto form = platform->answerFormLoad();
  drain();
  EXPECT_EQ(consentCalls->size(), 1u);
  ASSERT_TRUE(service->gdprConsentForm());
  EXPECT_EQ(service->gdprConsentForm()->consentForm(), form);
}

TEST_F(LoadGDPRConsentTest, ObtainedWithoutAvailableFormClearsTheFormAndLoadsNothing) {
  setStatuses(UMPConsentStatus::obtained, UMPFormStatus::unavailable);
  service->setGdprConsentForm(
      QVRConsentForm::formWith(std::make_shared<Sandbox::ScriptedConsentForm>(*environment)));
  service->loadGDPRConsent(recordConsent());
  platform->answerUpdate();
  drain();
  EXPECT_EQ(consentCalls->size(), 1u);
  EXPECT_EQ(platform->formLoadRequestCount(), 0u);
  EXPECT_EQ(service->gdprConsentForm(), nullptr);
}

TEST_F(LoadGDPRConsentTest, RequiredWithALoadedFormAnswersTrueAndPublishesTheForm) {
  std::vector<std::shared_ptr<QVRConsentForm>> emitted;
  auto subscription = service->gdprConsentFormStream().subscribe(
      [&](const std::shared_ptr<QVRConsentForm>& form) { emitted.push_back(form); });

  setStatuses(UMPConsentStatus::required, UMPFormStatus::available);
  service->loadGDPRConsent(recordConsent());
  EXPECT_TRUE(consentCalls->empty());
  platform->answerUpdate();
  drain();
  EXPECT_TRUE(consentCalls->empty());  // waits for the form
  auto form = platform->answerFormLoad();
  EXPECT_TRUE(consentCalls->empty());  // the answer arrives on the main queue
  drain();

  ASSERT_EQ(consentCalls->size(), 1u);
  EXPECT_TRUE((*consentCalls)[0].formLoaded);
  EXPECT_FALSE((*consentCalls)[0].error);
  ASSERT_TRUE(service->gdprConsentForm());
  EXPECT_EQ(service->gdprConsentForm()->consentForm(), form);
  ASSERT_EQ(emitted.size(), 2u);
  EXPECT_EQ(emitted[0], nullptr);
  EXPECT_EQ(emitted[1], service->gdprConsentForm());
}

TEST_F(LoadGDPRConsentTest, RequiredWithoutAvailableFormAnswersFalseAndClearsTheForm) {
  service->setGdprConsentForm(
      QVRConsentForm::formWith(std::make_shared<Sandbox::ScriptedConsentForm>(*environment)));
  setStatuses(UMPConsentStatus::required, UMPFormStatus::unknown);
  service->loadGDPRConsent(recordConsent());
  platform->answerUpdate();
  drain();
  ASSERT_EQ(consentCalls->size(), 1u);
  EXPECT_FALSE((*consentCalls)[0].formLoaded);
  EXPECT_FALSE((*consentCalls)[0].error);
  EXPECT_EQ(service->gdprConsentForm(), nullptr);
  EXPECT_EQ(platform->formLoadRequestCount(), 0u);
}

TEST_F(LoadGDPRConsentTest, RequiredWhenTheFormFailsOrComesBackEmptyAnswersFalse) {
  setStatuses(UMPConsentStatus::required, UMPFormStatus::available);
  service->loadGDPRConsent(recordConsent());
  platform->answerUpdate();
  drain();
  platform->answerFormLoad(nullptr, networkError());
  drain();
  ASSERT_EQ(consentCalls->size(), 1u);
  EXPECT_FALSE((*consentCalls)[0].formLoaded);
  EXPECT_EQ((*consentCalls)[0].error, networkError());
  EXPECT_EQ(service->gdprConsentForm(), nullptr);

  service->loadGDPRConsent(recordConsent());
  platform->answerUpdate();
  drain();
  platform->answerFormLoad(nullptr, std::nullopt);
  drain();
  ASSERT_EQ(consentCalls->size(), 2u);
  EXPECT_FALSE((*consentCalls)[1].formLoaded);
  EXPECT_FALSE((*consentCalls)[1].error);
}

TEST_F(LoadGDPRConsentTest, UnresolvedAndFailedUpdateReportsTheError) {
  for (auto status : {UMPConsentStatus::unknown, UMPConsentStatus::required}) {
    consentCalls->clear();
    setStatuses(status, UMPFormStatus::available);
    service->loadGDPRConsent(recordConsent());
    platform->answerUpdate(networkError());
    drain();
    ASSERT_EQ(consentCalls->size(), 1u);
    EXPECT_FALSE((*consentCalls)[0].formLoaded);
    EXPECT_EQ((*consentCalls)[0].error, networkError());
  }
  EXPECT_EQ(platform->formLoadRequestCount(), 0u);
}

TEST_F(LoadGDPRConsentTest, ResolvedByTheUpdateAnswersFalseThenLoadsTheFormSilently) {
  setStatuses(UMPConsentStatus::unknown, UMPFormStatus::unknown);
  service->loadGDPRConsent(recordConsent());
  EXPECT_TRUE(consentCalls->empty());
  // The update resolves consent; being resolved wins over the update's error.
  setStatuses(UMPConsentStatus::notRequired, UMPFormStatus::available);
  platform->answerUpdate(networkError());
  drain();
  ASSERT_EQ(consentCalls->size(), 1u);
  EXPECT_FALSE((*consentCalls)[0].formLoaded);
  EXPECT_FALSE((*consentCalls)[0].error);

  ASSERT_EQ(platform->pendingFormLoadCount(), 1u);
  auto form = platform->answerFormLoad();
  drain();
  EXPECT_EQ(consentCalls->size(), 1u);
  ASSERT_TRUE(service->gdprConsentForm());
  EXPECT_EQ(service->gdprConsentForm()->consentForm(), form);
}

TEST_F(LoadGDPRConsentTest, WithoutAnyConsentPlatformTheUpdateFailsOnTheMainQueue) {
  auto bare = Platform::Environment::makeForTesting();
  Platform::Environment::Scope bareScope(*bare);
  auto lonely = QVRAdsConsentServiceImpl::create();
  lonely->loadGDPRConsent(recordConsent());
  EXPECT_TRUE(consentCalls->empty());
  bare->mainQueue().runUntilIdle();
  ASSERT_EQ(consentCalls->size(), 1u);
  EXPECT_FALSE((*consentCalls)[0].formLoaded);
  EXPECT_TRUE((*consentCalls)[0].error);
  EXPECT_FALSE(lonely->gdprApplies());
  EXPECT_FALSE(lonely->gdprConsentResolved());
  lonely->notifyMediators();  // status unknown: nothing to tell, nothing to crash on
}

TEST_F(LoadGDPRConsentTest, PendingUpdateKeepsTheServiceUntilItsHandlerHasRun) {
  setStatuses(UMPConsentStatus::required, UMPFormStatus::unavailable);
  std::weak_ptr<QVRAdsConsentServiceImpl> weak = service;
  service->loadGDPRConsent(recordConsent());
  service.reset();
  EXPECT_FALSE(weak.expired());  // the pending update holds it

  platform->answerUpdate();
  drain();
  ASSERT_EQ(consentCalls->size(), 1u);
  EXPECT_FALSE((*consentCalls)[0].formLoaded);
  EXPECT_TRUE(weak.expired());  // released once the handler has run
}

TEST_F(LoadGDPRConsentTest, FormLoadPendingAfterTheServiceIsGoneLeavesNoTrace) {
  setStatuses(UMPConsentStatus::required, UMPFormStatus::available);
  std::weak_ptr<QVRAdsConsentServiceImpl> weak = service;
  service->loadGDPRConsent(recordConsent());
  service.reset();
  platform->answerUpdate();
  drain();
  EXPECT_TRUE(weak.expired());  // the form load holds it weakly
  ASSERT_EQ(platform->pendingFormLoadCount(), 1u);

  auto form = platform->answerFormLoad();
  drain();
  EXPECT_EQ(form.use_count(), 1);  // nobody kept the form
  // The run still ends, once: no form is kept for a user who can no longer be shown it.
  ASSERT_EQ(consentCalls->size(), 1u);
  EXPECT_FALSE((*consentCalls)[0].formLoaded);

  // A plain form load (no completion) pending at the drop does nothing at all.
  auto other = QVRAdsConsentServiceImpl::create();
  std::weak_ptr<QVRAdsConsentServiceImpl> otherWeak = other;
  other->loadGDPRConsentForm(nullptr);
  other.reset();
  EXPECT_TRUE(otherWeak.expired());
  auto late = platform->answerFormLoad();
  drain();
  EXPECT_EQ(late.use_count(), 1);
}

}  // namespace
}  // namespace QVRAdKit::ConsentTesting
