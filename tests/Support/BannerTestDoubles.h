#pragma once
// Test doubles around the partner banner's interactor: a config provider with a drivable relay, a
// presenter that behaves like the banner view towards its listener, a host listener and an
// appearance table that record what reaches them. Each can append to a shared Trace so a test
// can check the order of calls across them.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "QVRAdKit/Banner/BannerAdConfigProvider.h"
#include "QVRAdKit/Banner/BannerAdListener.h"
#include "QVRAdKit/Banner/BannerAdPresentable.h"
#include "QVRAdKit/Banner/BannerAdViewStyle.h"
#include "QVRAdKit/Banner/BannerAppearanceProvider.h"
#include "QVRAdKit/Host/UCRSink.h"
#include "QVRAdKit/Platform/URL.h"

namespace QVRAdKit::Testing {

// A URL the test knows to be well formed.
inline Platform::URL url(const char* text) {
  return Platform::URL::string(text).value();
}

// A partner offer with a close button, as the banner tests publish it.
inline BannerAdModel offer(std::string title = "Seven days free") {
  return BannerAdModel("kd_free_trial_2022", std::move(title), "Try it now",
                       url("https://cdn.example/partner.png"), url("https://partner.example/offer"),
                       /*showCloseButton=*/true);
}

// A style with nothing but the close button's and the placeholder's images.
inline BannerAdViewStyle plainStyle() {
  return {
      TextStyle{}, TextStyle{}, UI::Image{"close", {24, 24}}, UI::Image{"placeholder", {72, 44}},
      ViewStyle{}, std::nullopt};
}

// Calls in the order they happened, across every double that shares it.
using Trace = std::vector<std::string>;

class FakeBannerAdConfigProvider final : public BannerAdConfigProvider {
 public:
  explicit FakeBannerAdConfigProvider(std::shared_ptr<Trace> trace = nullptr)
      : trace_(std::move(trace)) {}

  [[nodiscard]] std::shared_ptr<BannerAdModelRelay> model() const override { return relay_; }
  void markAsSeen(const BannerAdModel& model) override {
    seen.push_back(model);
    if (trace_) trace_->push_back("markAsSeen");
  }

  std::vector<BannerAdModel> seen;

 private:
  std::shared_ptr<Trace> trace_;
  std::shared_ptr<BannerAdModelRelay> relay_ = std::make_shared<BannerAdModelRelay>(std::nullopt);
};

// Like the banner view: owns its listener and tells it the visibility after every assignment.
class FakeBannerPresenter final : public BannerAdPresentable {
 public:
  [[nodiscard]] std::optional<BannerViewModel> viewModel() const override { return viewModel_; }
  void setViewModel(std::optional<BannerViewModel> viewModel) override {
    listenerSetAtAssignment.push_back(listener_ != nullptr);
    assignments.push_back(viewModel);
    viewModel_ = std::move(viewModel);
    if (listener_) listener_->didChangeVisibility(!viewModel_.has_value());
  }
  [[nodiscard]] std::shared_ptr<BannerAdPresentableListener> listener() const override {
    return listener_;
  }
  void setListener(std::shared_ptr<BannerAdPresentableListener> listener) override {
    listener_ = std::move(listener);
  }

  // Every view model assigned, oldest first, and whether a listener was set at that moment.
  std::vector<std::optional<BannerViewModel>> assignments;
  std::vector<bool> listenerSetAtAssignment;

 private:
  std::optional<BannerViewModel> viewModel_;
  std::shared_ptr<BannerAdPresentableListener> listener_;
};

class RecordingBannerAdListener final : public BannerAdListener {
 public:
  explicit RecordingBannerAdListener(std::shared_ptr<Trace> trace = nullptr)
      : trace_(std::move(trace)) {}

  void bannerAdDidClick() override {
    ++clicks;
    if (trace_) trace_->push_back("didClick");
  }
  void bannerAdDidClose() override {
    ++closes;
    if (trace_) trace_->push_back("didClose");
  }
  void bannerAdDidChangeVisibility(bool isHidden) override { visibility.push_back(isHidden); }

  int clicks = 0;
  int closes = 0;
  std::vector<bool> visibility;

 private:
  std::shared_ptr<Trace> trace_;
};

// Answers from a fixed table; `fallback` is the answer for a name without an entry (none too).
class TableBannerAppearanceProvider final : public BannerAppearanceProvider {
 public:
  [[nodiscard]] std::optional<BannerAppearance> appearance(
      std::optional<PartnerAdName> name) const override {
    asked.push_back(name);
    if (name) {
      if (auto found = table.find(*name); found != table.end()) return found->second;
    }
    return fallback;
  }

  std::map<PartnerAdName, BannerAppearance> table;
  std::optional<BannerAppearance> fallback;
  mutable std::vector<std::optional<PartnerAdName>> asked;
};

// A UCR sink that writes "report:<event name>" into a shared trace.
class TracingUCRSink final : public UCRSink {
 public:
  explicit TracingUCRSink(std::shared_ptr<Trace> trace) : trace_(std::move(trace)) {}
  void report(const ReportingObject& event) override { trace_->push_back("report:" + event.name); }

 private:
  std::shared_ptr<Trace> trace_;
};

}  // namespace QVRAdKit::Testing
