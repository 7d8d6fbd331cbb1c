#pragma once
// StandInConsentPlatform answers for the consent platform (the User Messaging Platform) where a
// phone host registers its bridge to the real one. Its user lives outside the GDPR area: after
// the first update consent is not required and there is no form to show, so the ads service's
// start-up run goes straight on to the configuration and the networks.
// Threading: the statuses from any thread; updates and form loads on the main queue, answered
// later on the main queue.

#include <atomic>
#include <memory>

#include "QVRAdKit/Platform/MainQueue.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentFormLoader.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentInformation.h"

namespace ExampleHost {

class StandInConsentPlatform final : public QVRAdKit::UMPConsentInformation,
                                     public QVRAdKit::UMPConsentFormLoader,
                                     public std::enable_shared_from_this<StandInConsentPlatform> {
 public:
  // The queue must outlive this object: both belong to one environment.
  explicit StandInConsentPlatform(QVRAdKit::Platform::MainQueue& mainQueue)
      : mainQueue_(mainQueue) {}

  [[nodiscard]] QVRAdKit::UMPConsentStatus consentStatus() const override { return status_; }
  [[nodiscard]] QVRAdKit::UMPFormStatus formStatus() const override {
    return QVRAdKit::UMPFormStatus::unavailable;
  }
  void requestConsentInfoUpdateWithParameters(const QVRAdKit::UMPRequestParameters& parameters,
                                              UpdateCompletion completion) override;
  void loadForm(QVRAdKit::UMPConsentForm::LoadCompletion completion) override;

 private:
  QVRAdKit::Platform::MainQueue& mainQueue_;
  std::atomic<QVRAdKit::UMPConsentStatus> status_{QVRAdKit::UMPConsentStatus::unknown};
};

}  // namespace ExampleHost
