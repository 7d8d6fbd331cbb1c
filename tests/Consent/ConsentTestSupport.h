#pragma once
// Shared set-up of the consent tests: a fresh environment with the scripted consent platform, a
// recording Unity metadata store and a recording IronSource SDK installed, and recorders for the
// service's completions.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "QVRAdKit/Consent/QVRAdsConsentServiceImpl.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/SDK/IronSource/IronSourceSDK.h"
#include "Sandbox/Consent/RecordingMetaDataStore.h"
#include "Sandbox/Consent/ScriptedConsentPlatform.h"

namespace QVRAdKit::ConsentTesting {

// Records setConsent; every other call of the SDK is inert.
class ConsentRecordingIronSource final : public IronSourceSDK {
 public:
  std::vector<bool> consents;

  void initWithAppKey(const std::string&, const std::vector<std::string>&,
                      std::weak_ptr<ISInitializationDelegate>) override {}
  void setLevelPlayRewardedVideoDelegate(std::weak_ptr<LevelPlayRewardedVideoDelegate>) override {}
  void setLevelPlayRewardedVideoManualDelegate(
      std::weak_ptr<LevelPlayRewardedVideoManualDelegate>) override {}
  void setLevelPlayInterstitialDelegate(std::weak_ptr<LevelPlayInterstitialDelegate>) override {}
  void loadRewardedVideo() override {}
  bool hasRewardedVideo() override { return false; }
  void showRewardedVideoWithViewController(
      const std::shared_ptr<Platform::ViewController>&) override {}
  void loadInterstitial() override {}
  bool hasInterstitial() override { return false; }
  void showInterstitialWithViewController(const std::shared_ptr<Platform::ViewController>&,
                                          const std::string&) override {}
  bool isInterstitialCappedForPlacement(const std::string&) override { return false; }
  void setConsent(bool consent) override { consents.push_back(consent); }
};

struct ConsentCall {
  bool formLoaded;
  std::optional<Platform::Error> error;
};

struct FormCall {
  std::shared_ptr<QVRConsentForm> form;
  std::optional<Platform::Error> error;
};

inline Platform::Error networkError() {
  return Platform::Error{"test", 3, "offline"};
}

class ConsentServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform->install(*environment);
    unity->install(*environment);
    environment->setService<IronSourceSDK>(ironSource);
  }

  void drain() { environment->mainQueue().runUntilIdle(); }

  QVRAdsConsentService::ConsentCompletion recordConsent() {
    return [calls = consentCalls](bool loaded, std::optional<Platform::Error> error) {
      calls->push_back({loaded, std::move(error)});
    };
  }
  QVRAdsConsentService::FormCompletion recordForm() {
    return [calls = formCalls](std::shared_ptr<QVRConsentForm> form,
                               std::optional<Platform::Error> error) {
      calls->push_back({std::move(form), std::move(error)});
    };
  }

  void setStatuses(UMPConsentStatus consent, UMPFormStatus form) {
    platform->setConsentStatus(consent);
    platform->setFormStatus(form);
  }

  void setStrings(const std::string& consents, const std::string& interests) {
    environment->userDefaults().setObject(consents, "IABTCF_PurposeConsents");
    environment->userDefaults().setObject(interests, "IABTCF_PurposeLegitimateInterests");
  }

  std::unique_ptr<Platform::Environment> environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*environment};
  std::shared_ptr<Sandbox::ScriptedConsentPlatform> platform =
      Sandbox::ScriptedConsentPlatform::create();
  std::shared_ptr<Sandbox::RecordingMetaDataStore> unity =
      std::make_shared<Sandbox::RecordingMetaDataStore>();
  std::shared_ptr<ConsentRecordingIronSource> ironSource =
      std::make_shared<ConsentRecordingIronSource>();
  std::shared_ptr<QVRAdsConsentServiceImpl> service = QVRAdsConsentServiceImpl::create();
  std::shared_ptr<std::vector<ConsentCall>> consentCalls =
      std::make_shared<std::vector<ConsentCall>>();
  std::shared_ptr<std::vector<FormCall>> formCalls = std::make_shared<std::vector<FormCall>>();
};

}  // namespace QVRAdKit::ConsentTesting
