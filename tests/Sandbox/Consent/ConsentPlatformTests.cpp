#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QVRAdKit/Consent/QVRAdsConsentServiceImpl.h"
#include "QVRAdKit/Platform/Environment.h"
#include "Sandbox/Consent/RecordingMetaDataStore.h"
#include "Sandbox/Consent/SimulatedConsentPlatform.h"

namespace QVRAdKit::Sandbox {
namespace {

// The module's consent service over the simulated platform, on the manual clock: the user's
// answer (or a region without consent) decides the stored purposes and the personalised-ads rule.
TEST(SimulatedConsentTest, TheAnswerOrTheRegionDecidesWhetherPersonalizedAdsAreAllowed) {
  struct Case {
    ConsentRegion region;
    ConsentUserAnswer answer;
    UMPConsentStatus status;
    std::optional<std::string> purposes;
    bool allowed;
  };
  for (const auto& [region, answer, status, purposes, allowed] :
       {Case{ConsentRegion::consentRequired, ConsentUserAnswer::acceptAll(),
             UMPConsentStatus::obtained, "1111111111", true},
        Case{ConsentRegion::consentRequired, ConsentUserAnswer::rejectAll(),
             UMPConsentStatus::obtained, "0000000000", false},
        Case{ConsentRegion::consentNotRequired, ConsentUserAnswer::acceptAll(),
             UMPConsentStatus::notRequired, std::nullopt, false}}) {
    SCOPED_TRACE(purposes.value_or("consent not required"));
    const bool obtained = status == UMPConsentStatus::obtained;
    auto environment = Platform::Environment::makeForTesting();
    Platform::Environment::Scope scope(*environment);
    auto platform = SimulatedConsentPlatform::create({.region = region, .userAnswer = answer});
    platform->install(*environment);
    auto unity = std::make_shared<RecordingMetaDataStore>();
    unity->install(*environment);
    auto service = QVRAdsConsentServiceImpl::create(*environment);

    std::vector<bool> formLoaded;
    service->loadGDPRConsent([&](bool loaded, std::optional<Platform::Error> error) {
      formLoaded.push_back(loaded && !error);
    });
    environment->advance(10);
    EXPECT_EQ(formLoaded, std::vector<bool>{obtained});
    EXPECT_FALSE(service->personalizedAdsAreAllowed());  // nothing is written before the answer
    if (auto form = service->gdprConsentForm()) {
      form->presentFromViewController(std::make_shared<Platform::ViewController>(), [](auto) {});
      environment->advance(60);
    }
    EXPECT_EQ(platform->consentStatus(), status);
    EXPECT_EQ(environment->userDefaults().stringForKey("IABTCF_PurposeConsents"), purposes);
    EXPECT_EQ(service->personalizedAdsAreAllowed(), allowed);
    service->notifyMediators();  // heard only once consent is obtained
    EXPECT_EQ(unity->value("gdpr.consent"),
              obtained ? std::optional(UADSMetaDataValue(allowed)) : std::nullopt);
  }
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
