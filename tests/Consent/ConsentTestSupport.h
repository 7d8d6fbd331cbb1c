#pragma once
// Shared set-up of the consent tests: a fresh environment with the scripted consent platform, a
// recording Unity metadata store and the scripted IronSource SDK installed, and recorders for the
// service's completions.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "QVRAdKit/Consent/QVRAdsConsentServiceImpl.h"
#include "QVRAdKit/Platform/Environment.h"
#include "Sandbox/Consent/RecordingMetaDataStore.h"
#include "Sandbox/Consent/ScriptedConsentPlatform.h"
#include "Sandbox/IronSource/ScriptedIronSource.h"

namespace QVRAdKit::ConsentTesting {

struct ConsentCall {
  bool formLoaded;
  std::optional<Platform::Error> error;
  bool operator==(const ConsentCall&) const = default;
};
using ConsentCalls = std::vector<ConsentCall>;

struct FormCall {
  std::shared_ptr<UMPConsentForm> form;
  std::optional<Platform::Error> error;
  bool operator==(const FormCall&) const = default;
};
using FormCalls = std::vector<FormCall>;
using Forms = std::vector<std::shared_ptr<QVRConsentForm>>;

inline std::ostream& operator<<(std::ostream& os, const ConsentCall& call) {
  return os << "(" << call.formLoaded << ", "
            << (call.error ? call.error->localizedDescription : "-") << ")";
}

inline Platform::Error networkError() {
  return Platform::Error{"test", 3, "offline"};
}

class ConsentServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform->install(*environment);
    unity->install(*environment);
    ironSource->install(*environment);
  }

  void drain() { environment->mainQueue().runUntilIdle(); }
  void answerUpdate(std::optional<Platform::Error> error = std::nullopt) {
    EXPECT_TRUE(platform->answerUpdate(std::move(error))) << "no update was pending";
    drain();
  }
  // Answers the oldest form load with a fresh form and delivers it.
  std::shared_ptr<Sandbox::ScriptedConsentForm> answerFormLoad() {
    auto form = platform->answerFormLoad();
    EXPECT_TRUE(form) << "no form load was pending";
    drain();
    return form;
  }

  void setStatuses(UMPConsentStatus consent, UMPFormStatus form) {
    platform->setConsentStatus(consent);
    platform->setFormStatus(form);
  }
  // Writes the TCF purpose strings; nullopt removes one.
  void setStrings(const std::optional<std::string>& consents,
                  const std::optional<std::string>& interests) {
    environment->userDefaults().setObject(consents, "IABTCF_PurposeConsents");
    environment->userDefaults().setObject(interests, "IABTCF_PurposeLegitimateInterests");
  }

  std::shared_ptr<QVRConsentForm> someForm() {
    return QVRConsentForm::formWith(*environment,
                                    std::make_shared<Sandbox::ScriptedConsentForm>(*environment));
  }
  std::shared_ptr<UMPConsentForm> keptForm() const {
    auto kept = service->gdprConsentForm();
    return kept ? kept->consentForm() : nullptr;
  }

  std::unique_ptr<Platform::Environment> environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*environment};
  ConsentCalls consentCalls;
  FormCalls formCalls;
  QVRAdsConsentService::ConsentCompletion recordConsent = [this](bool loaded, auto error) {
    consentCalls.push_back({loaded, std::move(error)});
  };
  // Records the platform form the passed wrapper holds.
  QVRAdsConsentService::FormCompletion recordForm = [this](const auto& form, auto error) {
    formCalls.push_back({form ? form->consentForm() : nullptr, std::move(error)});
  };
  std::shared_ptr<Sandbox::ScriptedConsentPlatform> platform =
      Sandbox::ScriptedConsentPlatform::create();
  std::shared_ptr<Sandbox::RecordingMetaDataStore> unity =
      std::make_shared<Sandbox::RecordingMetaDataStore>();
  std::shared_ptr<Sandbox::ScriptedIronSource> ironSource = Sandbox::ScriptedIronSource::create();
  std::shared_ptr<QVRAdsConsentServiceImpl> service =
      QVRAdsConsentServiceImpl::create(*environment);
};

}  // namespace QVRAdKit::ConsentTesting
