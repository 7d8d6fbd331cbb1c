#pragma once
// BannerAdViewEvent groups the records the partner banner sends through UCR::report: a banner was
// shown (ViewEvent), tapped (ClickEvent) or closed (CloseEvent). Object forms:
//   "banner_ad_view"  {"partner_name", "context" (only when given), "view_version"}
//   "banner_ad_click" {"partner_name"}
//   "banner_ad_close" {"partner_name"}
// Context says where the banner was on screen; the banner module itself reports none.
// Threading: plain values.

#include <optional>
#include <string>
#include <utility>

#include "QVRAdKit/Host/UCRReportable.h"

namespace QVRAdKit {

struct BannerAdViewEvent {
  // Where the banner was shown, as the host's catalog names it; the banner module sends none.
  struct Context {
    std::string name;
  };

  class ViewEvent final : public UCRReportable {
   public:
    ViewEvent(std::string partner, std::optional<Context> viewContext, std::string version)
        : partnerName(std::move(partner)),
          context(std::move(viewContext)),
          view_version(std::move(version)) {}

    [[nodiscard]] ReportingObject reportingObject() const override {
      ReportingObject object{"banner_ad_view", {}};
      object.parameters.reserve(3);
      object.parameters.emplace_back("partner_name", partnerName);
      if (context) object.parameters.emplace_back("context", context->name);
      object.parameters.emplace_back("view_version", view_version);
      return object;
    }

    std::string partnerName;
    std::optional<Context> context;
    std::string view_version;
  };

  class ClickEvent final : public UCRReportable {
   public:
    explicit ClickEvent(std::string partner) : partnerName(std::move(partner)) {}

    [[nodiscard]] ReportingObject reportingObject() const override {
      return {"banner_ad_click", {{"partner_name", partnerName}}};
    }

    std::string partnerName;
  };

  class CloseEvent final : public UCRReportable {
   public:
    explicit CloseEvent(std::string partner) : partnerName(std::move(partner)) {}

    [[nodiscard]] ReportingObject reportingObject() const override {
      return {"banner_ad_close", {{"partner_name", partnerName}}};
    }

    std::string partnerName;
  };
};

}  // namespace QVRAdKit
