#pragma once
// BannerAdViewImpl is the partner banner on screen: one row of a remote image, a title above (or,
// wider than 500 points, beside) a subtitle, an optional close button and an optional disclosure
// image. The banner module's interactor sets its view model and hears its taps (the view owns that
// listener); the host places the view, gives it a style with apply() and follows
// isHiddenObservable() to make room for it.
//
// Every view-model assignment, also of an equal value, updates the content (shown with a model,
// hidden at once without one), applies the look (style, then the partner's appearance over it),
// then tells the listener whether the model is absent. The look needs a style: until the host
// applies one only the content changes. A close fades the content out over 0.4 s and emits true;
// the model stays, so hasContent() stays true until the next assignment. A view model assigned
// during the fade wins: the fade then ends without hiding the content or emitting.
//
// Choices the host may rely on:
//  - The disclosure image takes an appearance's accessory icon at the icon's point size; an
//    appearance without one puts the style's disclosure image back at 24 x 24 points.
//  - An appearance without a call to action keeps the content margins an earlier one set; the
//    margins are 10, 12, 10, 12 until an appearance sets others.
//  - An appearance's inset or font size that is not finite (NaN, infinite) counts as absent: the
//    style's value is used, and the view model carrying it is reported once as an assertion
//    failure. Finite values are applied as given, however large or negative.
//
// Example:
//   auto banner = BannerAdBuilder(partnerAds, appearances).buildBannerAd(listener);
//   banner->apply(style);
//   screen->addSubview(banner);
// Threading: main queue only; the fade's completion runs there too. A public call made on another
// thread is not moved: it reports an assertion failure naming the call and, in debug builds (and
// the test build), stops the program (QVR_CHECK_MAIN_QUEUE). Models published by the config
// provider on another thread are moved to the main queue by the interactor. Owns its subviews and
// its listener; the fade and the taps hold the view weakly.

#include <memory>
#include <optional>
#include <string_view>

#include "QVRAdKit/Banner/BannerAdPresentable.h"
#include "QVRAdKit/Banner/BannerAdPresentableListener.h"
#include "QVRAdKit/Banner/BannerAdViewStylable.h"
#include "QVRAdKit/Banner/BannerAdViewStyle.h"
#include "QVRAdKit/Banner/BannerViewModel.h"
#include "QVRAdKit/ClientKit/WebImageView.h"
#include "QVRAdKit/Rx/BehaviorRelay.h"
#include "QVRAdKit/UI/Button.h"
#include "QVRAdKit/UI/DirectionalEdgeInsets.h"
#include "QVRAdKit/UI/EdgeInsets.h"
#include "QVRAdKit/UI/ImageView.h"
#include "QVRAdKit/UI/Label.h"
#include "QVRAdKit/UI/LayoutConstraint.h"
#include "QVRAdKit/UI/LayoutConstraintGroup.h"
#include "QVRAdKit/UI/StackView.h"
#include "QVRAdKit/UI/View.h"

namespace QVRAdKit {

class BannerAdViewImpl final : public UI::View,
                               public BannerAdPresentable,
                               public BannerAdViewStylable {
  struct ConstructionKey {
    explicit ConstructionKey() = default;
  };

 public:
  // Margins of the content row (top, leading, bottom, trailing) and the space between its items.
  static constexpr UI::DirectionalEdgeInsets kContentMargins{10, 12, 10, 12};
  static constexpr double kContentSpacing = 12;
  // Wider than this, title and subtitle sit side by side.
  static constexpr double kWideLayoutMinWidth = 500;
  static constexpr double kCloseFadeDuration = 0.4;

  // Builds the subviews, the view tree and the creation constraints, and wires the close button
  // and the tap on the content. environment (its image loader, clock and main queue) outlives the
  // banner.
  static std::shared_ptr<BannerAdViewImpl> create(Platform::Environment& environment,
                                                  UI::Rect frame = {});
  // Building the banner from an archived interface description is not supported: this logs the
  // reason and stops the program.
  [[noreturn]] static std::shared_ptr<BannerAdViewImpl> createFromCoder(std::string_view archive);

  BannerAdViewImpl(ConstructionKey key, Platform::Environment& environment, UI::Rect frame);
  ~BannerAdViewImpl() override = default;

  // BannerAdPresentable.
  [[nodiscard]] std::optional<BannerViewModel> viewModel() const override { return viewModel_; }
  void setViewModel(std::optional<BannerViewModel> viewModel) override;
  [[nodiscard]] std::shared_ptr<BannerAdPresentableListener> listener() const override {
    return listener_;
  }
  void setListener(std::shared_ptr<BannerAdPresentableListener> listener) override;

  // BannerAdViewStylable.
  void apply(const BannerAdViewStyle& style) override;
  [[nodiscard]] bool hasContent() const override { return viewModel_.has_value(); }
  [[nodiscard]] Rx::Observable<bool> isHiddenObservable() const override {
    return isHiddenRelay_.asObservable();
  }
  // The height the banner needs at its current width for its current view model and look: 0
  // without a model or before it has a width. A subscriber gets the current value at once, then
  // each change (after a view model, a style, or a layout pass at another width), so the host
  // sizes the banner from this stream instead of measuring it again.
  [[nodiscard]] Rx::Observable<double> requiredHeightObservable() const {
    return requiredHeightRelay_.asObservable();
  }
  [[nodiscard]] double requiredHeight() const { return requiredHeightRelay_.value(); }

  // A tap on the banner, the one call through which the host's touch handling (or a test)
  // delivers it, whether or not content is shown: passed to the listener (the host hears
  // bannerAdDidClick even on an empty banner); the view itself changes nothing.
  void ctaAction();
  // The close button: tells the listener, then fades the content out.
  void closeButtonAction();

  void layoutSubviews() override;

  // The parts, for the host's layout code, renderers and tests.
  [[nodiscard]] const std::shared_ptr<WebImageView>& imageView() const { return imageView_; }
  [[nodiscard]] const std::shared_ptr<UI::ImageView>& disclosureImageView() const {
    return disclosureImageView_;
  }
  [[nodiscard]] const std::shared_ptr<UI::Label>& titleLabel() const { return titleLabel_; }
  [[nodiscard]] const std::shared_ptr<UI::Label>& subtitleLabel() const { return subtitleLabel_; }
  [[nodiscard]] const std::shared_ptr<UI::Button>& closeButton() const { return closeButton_; }
  [[nodiscard]] const std::shared_ptr<UI::StackView>& labelStackView() const {
    return labelStackView_;
  }
  [[nodiscard]] const std::shared_ptr<UI::StackView>& contentStackView() const {
    return contentStackView_;
  }
  [[nodiscard]] const std::shared_ptr<UI::View>& contentView() const { return contentView_; }
  [[nodiscard]] const std::optional<BannerAdViewStyle>& style() const { return style_; }

 private:
  [[nodiscard]] std::weak_ptr<BannerAdViewImpl> weakBanner();
  void buildViewTree();
  void makeCreationConstraints();
  void wireActions();
  void updateContent();
  void applyLook();
  void rebuildContentConstraints();
  void applyAppearance(const BannerAppearance& appearance);
  // Shows or hides the content: alpha at once (or over `duration`), then hidden and the relay.
  void fadeContent(bool hidden, double duration);
  // Measures the height needed at the current width and publishes it when it changed.
  void publishRequiredHeight();
  // Logs, once until the banner gets a width again, a layout at a width of 0 or less with content.
  void reportWidthWithoutArea(double width);

  Platform::Environment& environment_;
  std::shared_ptr<WebImageView> imageView_;
  std::shared_ptr<UI::ImageView> disclosureImageView_;
  std::shared_ptr<UI::Label> titleLabel_;
  std::shared_ptr<UI::Label> subtitleLabel_;
  std::shared_ptr<UI::Button> closeButton_;
  std::shared_ptr<UI::StackView> labelStackView_;
  std::shared_ptr<UI::StackView> contentStackView_;
  std::shared_ptr<UI::View> contentView_;
  std::optional<BannerAdViewStyle> style_;
  Rx::BehaviorRelay<bool> isHiddenRelay_{true};
  Rx::BehaviorRelay<double> requiredHeightRelay_{0};
  std::optional<BannerViewModel> viewModel_;
  std::shared_ptr<BannerAdPresentableListener> listener_;

  // What the content view's and the content stack's edges are made from: the appearance's
  // insets, bottom anchoring and borderless flag (defaults without one).
  struct ContentEdges {
    UI::EdgeInsets insets;
    BannerAppearance::Position position = BannerAppearance::Position::regular;
    bool borderless = false;
    bool operator==(const ContentEdges&) const = default;
  };
  // The content view's and the content stack's edges, rebuilt by a look whose edges differ from
  // the ones they were last built from (none before the first look: the creation constraints).
  UI::LayoutConstraintGroup contentConstraints_;
  std::optional<ContentEdges> builtEdges_;
  // The disclosure image's size: 24 x 24, or an accessory icon's own size.
  std::shared_ptr<UI::LayoutConstraint> disclosureWidth_;
  std::shared_ptr<UI::LayoutConstraint> disclosureHeight_;
  // Counts content fades; a fade's completion acts only while it is the latest.
  unsigned long long fadeGeneration_ = 0;
  bool reportedNoWidth_ = false;
};

}  // namespace QVRAdKit
