#pragma once
// SandboxPartnerAd is a plain partner ad for the sandbox host and tests: every member is a field
// given at construction, with designated initialisers for the ones that matter.
// Example:
//   auto ad = SandboxPartnerAd::make({.iconUrl =
//   Platform::URL::string("https://cdn.example/a.png"),
//                                     .title = "Seven days free", .enabledState = 1});
// Threading: an immutable value once made.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "QVRAdKit/Host/QVPartnerAd.h"

namespace QVRAdKit::Sandbox {

class SandboxPartnerAd final : public QVPartnerAd {
 public:
  struct Fields {
    // Stands for the partner's landing page when a test does not care which.
    Platform::URL redirectUrl = Platform::URL::string("https://partner.example/offer").value();
    std::optional<Platform::URL> iconUrl{};
    std::string title{};
    std::string subtitle{};
    bool isCloseEnabled = false;
    std::int64_t enabledState = 0;
    std::string partnerName{};
    std::string testGroup{};
    std::string testId{};
  };

  explicit SandboxPartnerAd(Fields fields) : fields_(std::move(fields)) {}

  static std::shared_ptr<const QVPartnerAd> make(Fields fields) {
    return std::make_shared<SandboxPartnerAd>(std::move(fields));
  }

  [[nodiscard]] Platform::URL redirectUrl() const override { return fields_.redirectUrl; }
  [[nodiscard]] std::optional<Platform::URL> iconUrl() const override { return fields_.iconUrl; }
  [[nodiscard]] std::string title() const override { return fields_.title; }
  [[nodiscard]] std::string subtitle() const override { return fields_.subtitle; }
  [[nodiscard]] bool isCloseEnabled() const override { return fields_.isCloseEnabled; }
  [[nodiscard]] std::int64_t enabledState() const override { return fields_.enabledState; }
  [[nodiscard]] std::string partnerName() const override { return fields_.partnerName; }
  [[nodiscard]] std::string testGroup() const override { return fields_.testGroup; }
  [[nodiscard]] std::string testId() const override { return fields_.testId; }

 private:
  Fields fields_;
};

}  // namespace QVRAdKit::Sandbox
