#include "QVRAdKit/Consent/QVRAdsConsentServiceImpl.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "QVRAdKit/Consent/GDPRString.h"
#include "QVRAdKit/Host/HostLogger.h"
#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/ModuleFileText.h"
#include "QVRAdKit/SDK/IronSource/IronSource.h"
#include "QVRAdKit/SDK/UnityAds/UADSMetaData.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentForm.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentInformation.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPRequestParameters.h"

namespace QVRAdKit {

namespace {

// The purposes whose consent, and those whose legitimate interest, personalised ads need.
constexpr std::array<std::size_t, 3> kConsentPurposes{1, 3, 4};
constexpr std::array<std::size_t, 4> kLegitimateInterestPurposes{2, 7, 9, 10};

// Purpose n's flag sits at position n - 1 of a purpose string.
template <std::size_t N>
constexpr std::array<std::size_t, N> positionsOf(std::array<std::size_t, N> purposes) {
  for (std::size_t& purpose : purposes) purpose -= 1;
  return purposes;
}
constexpr auto kConsentPositions = positionsOf(kConsentPurposes);
constexpr auto kLegitimateInterestPositions = positionsOf(kLegitimateInterestPurposes);

UMPRequestParameters updateParameters() {
  UMPRequestParameters parameters;
  parameters.tagForUnderAgeOfConsent = false;
  return parameters;
}

constexpr std::string_view kUpdateCompletion =
    "UMPConsentInformation.requestConsentInfoUpdate completion";
constexpr std::string_view kFormLoadCompletion = "UMPConsentFormLoader.loadForm completion";

// The consent platform answers each request once. A later answer (a platform that calls its
// completion twice) is named in the log and ignored, so the caller's completion runs once and no
// second form load starts. `answered` is shared by the copies of one request's completion.
bool isFirstAnswer(const std::shared_ptr<bool>& answered, std::string_view completion, int line) {
  if (!std::exchange(*answered, true)) return true;
  QVLogAssertionFailure(std::string(completion) +
                            " answered a request that had already been answered; the answer is "
                            "ignored",
                        QVR_FILE_TEXT, completion, line);
  return false;
}

}  // namespace

std::shared_ptr<QVRAdsConsentServiceImpl> QVRAdsConsentServiceImpl::create(
    Platform::Environment& environment) {
  return std::shared_ptr<QVRAdsConsentServiceImpl>(new QVRAdsConsentServiceImpl(environment));
}

UMPConsentStatus QVRAdsConsentServiceImpl::currentConsentStatus() const {
  return UMPConsentInformation::sharedInstance(environment_)->consentStatus();
}

bool QVRAdsConsentServiceImpl::consentResolved() const {
  const UMPConsentStatus status = currentConsentStatus();
  return status == UMPConsentStatus::notRequired || status == UMPConsentStatus::obtained;
}

std::shared_ptr<QVRConsentForm> QVRAdsConsentServiceImpl::gdprConsentForm() const {
  QVR_CHECK_MAIN_QUEUE();
  return gdprConsentForm_.get();
}

void QVRAdsConsentServiceImpl::setGdprConsentForm(std::shared_ptr<QVRConsentForm> form) {
  QVR_CHECK_MAIN_QUEUE();
  gdprConsentForm_.set(std::move(form));
}

Rx::Observable<std::shared_ptr<QVRConsentForm>> QVRAdsConsentServiceImpl::gdprConsentFormStream() {
  QVR_CHECK_MAIN_QUEUE();
  return Rx::weaklyObserveKeyPath(weak_from_this(), &QVRAdsConsentServiceImpl::gdprConsentForm_);
}

bool QVRAdsConsentServiceImpl::gdprApplies() const {
  QVR_CHECK_MAIN_QUEUE();
  const UMPConsentStatus status = currentConsentStatus();
  return status == UMPConsentStatus::required || status == UMPConsentStatus::obtained;
}

bool QVRAdsConsentServiceImpl::gdprConsentResolved() const {
  QVR_CHECK_MAIN_QUEUE();
  return consentResolved();
}

bool QVRAdsConsentServiceImpl::gdprConsentAccepted() const {
  QVR_CHECK_MAIN_QUEUE();
  return personalizedAdsAllowed();
}

bool QVRAdsConsentServiceImpl::personalizedAdsAreAllowed() const {
  QVR_CHECK_MAIN_QUEUE();
  return personalizedAdsAllowed();
}

bool QVRAdsConsentServiceImpl::personalizedAdsAllowed() const {
  const Platform::UserDefaults& defaults = environment_.userDefaults();
  // Each key is read once: a value that is there but is not text is named in the log.
  const auto purposes = [&](const char* key) -> std::optional<std::string> {
    std::optional<Platform::DefaultsValue> value = defaults.objectForKey(key);
    if (!value) return std::nullopt;
    if (auto* text = std::get_if<std::string>(&*value)) return std::move(*text);
    reportPurposesNotText(key);
    return std::nullopt;
  };
  const std::optional<std::string> consents = purposes(kPurposeConsentsKey);
  const std::optional<std::string> interests = purposes(kPurposeLegitimateInterestsKey);
  if (!consents || !interests) return false;
  return hasCharAtEach(*consents, u'1', kConsentPositions) &&
         hasCharAtEach(*interests, u'1', kLegitimateInterestPositions);
}

void QVRAdsConsentServiceImpl::reportPurposesNotText(std::string_view key) const {
  if (reportedPurposesNotText_.exchange(true)) return;
  QVLog(LogFlag::warning,
        std::string(key) +
            " holds a value that is not text; the consent platform writes these purposes as a "
            "text of 0s and 1s, so personalised ads stay off",
        QVR_FILE_TEXT, "personalizedAdsAreAllowed()", __LINE__);
}

void QVRAdsConsentServiceImpl::loadGDPRConsentForm(FormCompletion completion) {
  QVR_CHECK_MAIN_QUEUE();
  loadForm(std::move(completion));
}

void QVRAdsConsentServiceImpl::loadForm(FormCompletion completion) {
  UMPConsentForm::loadWithCompletionHandler(
      environment_,
      [weak = weak_from_this(), environment = &environment_, completion = std::move(completion),
       answered = std::make_shared<bool>(false)](std::shared_ptr<UMPConsentForm> form,
                                                 std::optional<Platform::Error> error) {
        if (!isFirstAnswer(answered, kFormLoadCompletion, __LINE__)) return;
        std::shared_ptr<QVRConsentForm> current;
        if (auto self = weak.lock()) {
          self->gdprConsentForm_.set(
              error ? nullptr : QVRConsentForm::formWith(*environment, std::move(form)));
          current = self->gdprConsentForm_.get();
        }
        if (completion) completion(std::move(current), std::move(error));
      });
}

void QVRAdsConsentServiceImpl::loadGDPRConsentFormIfAvailable(FormCompletion completion) {
  QVR_CHECK_MAIN_QUEUE();
  loadFormIfAvailable(std::move(completion));
}

void QVRAdsConsentServiceImpl::loadFormIfAvailable(FormCompletion completion) {
  if (UMPConsentInformation::sharedInstance(environment_)->formStatus() !=
      UMPFormStatus::available) {
    gdprConsentForm_.set(nullptr);
    if (completion) completion(nullptr, std::nullopt);
    return;
  }
  loadForm(std::move(completion));
}

void QVRAdsConsentServiceImpl::loadGDPRConsent(ConsentCompletion completion) {
  QVR_CHECK_MAIN_QUEUE();
  auto information = UMPConsentInformation::sharedInstance(environment_);
  const bool wasObtained = information->consentStatus() == UMPConsentStatus::obtained;
  // Consent already given: the caller may go on at once; the update below only refreshes the form.
  if (wasObtained && completion) completion(false, std::nullopt);

  // The handler holds the service strongly on purpose: a consent run must finish (and its
  // completion be called) even when the host let go of the service while the update was pending.
  information->requestConsentInfoUpdateWithParameters(
      updateParameters(),
      [self = shared_from_this(), wasObtained, completion = std::move(completion),
       answered = std::make_shared<bool>(false)](std::optional<Platform::Error> error) {
        if (!isFirstAnswer(answered, kUpdateCompletion, __LINE__)) return;
        if (wasObtained) {
          self->loadFormIfAvailable(nullptr);
          return;
        }
        if (self->consentResolved()) {
          if (completion) completion(false, std::nullopt);
          self->loadFormIfAvailable(nullptr);
          return;
        }
        if (error) {
          if (completion) completion(false, std::move(error));
          return;
        }
        self->loadFormIfAvailable([completion](const std::shared_ptr<QVRConsentForm>& form,
                                               std::optional<Platform::Error> loadError) {
          if (completion) completion(form != nullptr, std::move(loadError));
        });
      });
}

void QVRAdsConsentServiceImpl::reloadGDPRConsentForm(FormCompletion completion) {
  QVR_CHECK_MAIN_QUEUE();
  auto information = UMPConsentInformation::sharedInstance(environment_);
  if (information->formStatus() == UMPFormStatus::available) {
    loadForm(std::move(completion));
    return;
  }
  // Held strongly until the handler has run, as in loadGDPRConsent: the reload must finish.
  information->requestConsentInfoUpdateWithParameters(
      updateParameters(),
      [self = shared_from_this(), completion = std::move(completion),
       answered = std::make_shared<bool>(false)](std::optional<Platform::Error> error) {
        if (!isFirstAnswer(answered, kUpdateCompletion, __LINE__)) return;
        if (error) {
          self->gdprConsentForm_.set(nullptr);
          if (completion) completion(nullptr, std::move(error));
          return;
        }
        self->loadFormIfAvailable(completion);
      });
}

void QVRAdsConsentServiceImpl::notifyMediators() {
  QVR_CHECK_MAIN_QUEUE();
  if (currentConsentStatus() != UMPConsentStatus::obtained) return;
  const bool allowed = personalizedAdsAllowed();
  UADSMetaData metaData(environment_);
  metaData.set(kUnityConsentKey, allowed);
  metaData.commit();
  IronSource::setConsent(environment_, allowed);
}

}  // namespace QVRAdKit
