#pragma once
// ConsentRegion is where the simulated user is, as far as the consent platform cares: a region
// where GDPR consent must be gathered, or one where it need not.

namespace QVRAdKit::Sandbox {

enum class ConsentRegion {
  consentRequired,
  consentNotRequired,
};

}  // namespace QVRAdKit::Sandbox
