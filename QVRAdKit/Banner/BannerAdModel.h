#pragma once
// BannerAdModel is the content of one partner banner as the partner ads provider publishes it: the
// texts, the remote image and redirect addresses, the partner's name and whether the user may close
// it. An immutable value; two models are equal when all six fields are.
// Example: BannerAdModel("kd_free_trial_2022", "Try it free", "7 days", icon, offer, true)
// Threading: a value.

#include <string>
#include <utility>

#include "QVRAdKit/Platform/URL.h"

namespace QVRAdKit {

class BannerAdModel {
 public:
  BannerAdModel(std::string partnerName, std::string title, std::string subtitle,
                Platform::URL imageUrl, Platform::URL redirectUrl, bool showCloseButton)
      : title_(std::move(title)),
        subtitle_(std::move(subtitle)),
        imageUrl_(std::move(imageUrl)),
        redirectUrl_(std::move(redirectUrl)),
        partnerName_(std::move(partnerName)),
        showCloseButton_(showCloseButton) {}

  [[nodiscard]] const std::string& title() const { return title_; }
  [[nodiscard]] const std::string& subtitle() const { return subtitle_; }
  [[nodiscard]] const Platform::URL& imageUrl() const { return imageUrl_; }
  [[nodiscard]] const Platform::URL& redirectUrl() const { return redirectUrl_; }
  [[nodiscard]] const std::string& partnerName() const { return partnerName_; }
  [[nodiscard]] bool showCloseButton() const { return showCloseButton_; }

  bool operator==(const BannerAdModel&) const = default;

 private:
  std::string title_;
  std::string subtitle_;
  Platform::URL imageUrl_;
  Platform::URL redirectUrl_;
  std::string partnerName_;
  bool showCloseButton_;
};

}  // namespace QVRAdKit
