#include "QVRAdKit/Banner/BannerAdViewImpl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>

#include "QVRAdKit/ClientKit/ApplyStyle.h"
#include "QVRAdKit/ClientKit/LayerStyle.h"
#include "QVRAdKit/Host/HostLogger.h"
#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/UI/Color.h"
#include "QVRAdKit/UI/ContentMode.h"
#include "QVRAdKit/UI/ControlEvent.h"
#include "QVRAdKit/UI/ControlState.h"
#include "QVRAdKit/UI/EdgeInsets.h"
#include "QVRAdKit/UI/LayoutAxis.h"
#include "QVRAdKit/UI/LayoutPriority.h"
#include "QVRAdKit/UI/LineBreakMode.h"
#include "QVRAdKit/UI/TapGestureRecognizer.h"
#include "QVRAdKit/UI/TextAlignment.h"

namespace QVRAdKit {
namespace {

using UI::LayoutAxis;

constexpr UI::Size kPreferredImageSize{72, 44};
constexpr double kImageSide = 44;
constexpr double kDisclosureSide = 24;
constexpr UI::DirectionalEdgeInsets kLabelMargins{2, 0, 2, 0};
constexpr double kLabelSpacing = 2;
// Margins of the content row for the accessory-icon calls to action.
constexpr UI::DirectionalEdgeInsets kAccessoryIconMargins{14, 12, 14, 12};
constexpr UI::DirectionalEdgeInsets kAccessoryIconPinnedMargins{14, 12, 14, 0};

UI::DirectionalEdgeInsets marginsFor(BannerCTAType type) {
  switch (type) {
    case BannerCTAType::bottomButton:
      return BannerAdViewImpl::kContentMargins;
    case BannerCTAType::accessoryIcon:
      return kAccessoryIconMargins;
    case BannerCTAType::accessoryIconPinned:
      return kAccessoryIconPinnedMargins;
  }
  return BannerAdViewImpl::kContentMargins;
}

// A partner's insets with every non-finite one taken as absent (zero), so that a bad number
// cannot make every frame of the banner non-finite.
UI::EdgeInsets finiteInsets(const UI::EdgeInsets& insets) {
  const auto finite = [](double value) { return std::isfinite(value) ? value : 0.0; };
  return {finite(insets.top), finite(insets.left), finite(insets.bottom), finite(insets.right)};
}

// Whether an appearance's font is given with a size that can be drawn; one that is not is taken
// as absent, so the style's font stays.
bool usableFont(const std::optional<UI::Font>& font) {
  return font && std::isfinite(font->pointSize);
}

// The appearance's numbers that are not finite, named ("insets, titleFont"); empty when none.
std::string nonFiniteFields(const BannerAppearance& appearance) {
  std::string names;
  const auto note = [&names](bool bad, const char* name) {
    if (!bad) return;
    if (!names.empty()) names += ", ";
    names += name;
  };
  const auto& insets = appearance.insets;
  note(insets && finiteInsets(*insets) != *insets, "insets");
  note(appearance.titleFont && !usableFont(appearance.titleFont), "titleFont");
  note(appearance.subtitleFont && !usableFont(appearance.subtitleFont), "subtitleFont");
  return names;
}

}  // namespace

std::shared_ptr<BannerAdViewImpl> BannerAdViewImpl::create(Platform::Environment& environment,
                                                           UI::Rect frame) {
  QVR_CHECK_MAIN_QUEUE();
  auto banner = std::make_shared<BannerAdViewImpl>(ConstructionKey{}, environment, frame);
  banner->buildViewTree();
  banner->makeCreationConstraints();
  banner->wireActions();
  return banner;
}

std::shared_ptr<BannerAdViewImpl> BannerAdViewImpl::createFromCoder(std::string_view /*archive*/) {
  constexpr const char* kMessage = "init(coder:) has not been implemented";
  QVLogAssertionFailure(kMessage, QVR_FILE_TEXT, "init(coder:)", __LINE__);
  // A host logger may keep the record somewhere else: the reason for stopping also goes to stderr.
  std::fprintf(stderr, "Fatal error: %s\n", kMessage);
  std::abort();
}

BannerAdViewImpl::BannerAdViewImpl(ConstructionKey /*key*/, Platform::Environment& environment,
                                   UI::Rect frame)
    : UI::View(frame),
      environment_(environment),
      imageView_(WebImageView::create(environment)),
      disclosureImageView_(UI::ImageView::create()),
      titleLabel_(UI::Label::create()),
      subtitleLabel_(UI::Label::create()),
      closeButton_(UI::Button::create()),
      labelStackView_(UI::StackView::create()),
      contentStackView_(UI::StackView::create()),
      contentView_(UI::View::create()) {
  imageView_->setContentMode(UI::ContentMode::scaleAspectFit);
  imageView_->setClipsToBounds(true);
  imageView_->setPreferredImageSize(kPreferredImageSize);

  disclosureImageView_->setContentMode(UI::ContentMode::scaleAspectFit);
  disclosureImageView_->setClipsToBounds(true);

  titleLabel_->setNumberOfLines(0);
  titleLabel_->setLineBreakMode(UI::LineBreakMode::byTruncatingTail);
  titleLabel_->setAdjustsFontSizeToFitWidth(true);
  titleLabel_->setMinimumScaleFactor(0.5);

  subtitleLabel_->setNumberOfLines(0);
  subtitleLabel_->setLineBreakMode(UI::LineBreakMode::byWordWrapping);

  labelStackView_->setDirectionalLayoutMargins(kLabelMargins);
  labelStackView_->setLayoutMarginsRelativeArrangement(true);
  labelStackView_->setSpacing(kLabelSpacing);
  // The narrow form until the first layout pass decides.
  labelStackView_->setAxis(LayoutAxis::vertical);
  labelStackView_->setAlignment(UI::StackView::Alignment::leading);

  contentStackView_->setAxis(LayoutAxis::horizontal);
  contentStackView_->setAlignment(UI::StackView::Alignment::center);
  contentStackView_->setDistribution(UI::StackView::Distribution::fill);
  contentStackView_->setDirectionalLayoutMargins(kContentMargins);
  contentStackView_->setLayoutMarginsRelativeArrangement(true);
  contentStackView_->setSpacing(kContentSpacing);
  contentStackView_->setClipsToBounds(true);

  contentView_->setBackgroundColor(UI::Color::clear());

  imageView_->setContentHuggingPriority(UI::LayoutPriority::required, LayoutAxis::horizontal);
  for (const auto& stacked : {std::static_pointer_cast<UI::View>(labelStackView_),
                              std::static_pointer_cast<UI::View>(titleLabel_),
                              std::static_pointer_cast<UI::View>(subtitleLabel_)}) {
    stacked->setContentHuggingPriority(UI::LayoutPriority::defaultLow, LayoutAxis::horizontal);
    stacked->setContentHuggingPriority(UI::LayoutPriority::defaultHigh, LayoutAxis::vertical);
  }
  labelStackView_->setContentCompressionResistancePriority(UI::LayoutPriority::required,
                                                           LayoutAxis::vertical);
  // Just above the default, so the labels keep their height against the hugging of the row.
  titleLabel_->setContentCompressionResistancePriority(UI::LayoutPriority::defaultHigh + 1,
                                                       LayoutAxis::vertical);
  subtitleLabel_->setContentCompressionResistancePriority(UI::LayoutPriority::defaultHigh + 1,
                                                          LayoutAxis::vertical);
  contentStackView_->setContentCompressionResistancePriority(UI::LayoutPriority::required,
                                                             LayoutAxis::vertical);
  contentStackView_->setContentHuggingPriority(UI::LayoutPriority::defaultHigh,
                                               LayoutAxis::vertical);
  closeButton_->setContentCompressionResistancePriority(UI::LayoutPriority::required,
                                                        LayoutAxis::horizontal);
  closeButton_->setContentHuggingPriority(UI::LayoutPriority::required, LayoutAxis::horizontal);
}

std::weak_ptr<BannerAdViewImpl> BannerAdViewImpl::weakBanner() {
  return std::static_pointer_cast<BannerAdViewImpl>(shared_from_this());
}

void BannerAdViewImpl::buildViewTree() {
  // Names for the host's UI tests, layout diagnostics and drawings of the tree.
  setAccessibilityIdentifier("bannerAdView");
  contentView_->setAccessibilityIdentifier("contentView");
  contentStackView_->setAccessibilityIdentifier("contentStackView");
  imageView_->setAccessibilityIdentifier("imageView");
  labelStackView_->setAccessibilityIdentifier("labelStackView");
  titleLabel_->setAccessibilityIdentifier("titleLabel");
  subtitleLabel_->setAccessibilityIdentifier("subtitleLabel");
  closeButton_->setAccessibilityIdentifier("closeButton");
  disclosureImageView_->setAccessibilityIdentifier("disclosureImageView");
  addSubview(contentView_);
  contentView_->addSubview(contentStackView_);
  contentStackView_->addArrangedSubview(imageView_);
  contentStackView_->addArrangedSubview(labelStackView_);
  contentStackView_->addArrangedSubview(closeButton_);
  contentStackView_->addArrangedSubview(disclosureImageView_);
  labelStackView_->addArrangedSubview(titleLabel_);
  labelStackView_->addArrangedSubview(subtitleLabel_);
}

void BannerAdViewImpl::makeCreationConstraints() {
  contentConstraints_.activate({
      contentView_->topAnchor().equalTo(topAnchor()),
      contentView_->leadingAnchor().equalTo(leadingAnchor()),
      contentView_->trailingAnchor().equalTo(trailingAnchor()),
      contentView_->bottomAnchor().equalTo(bottomAnchor()),
      contentStackView_->topAnchor().equalTo(contentView_->topAnchor()),
      contentStackView_->leadingAnchor().equalTo(contentView_->leadingAnchor()),
      contentStackView_->trailingAnchor().equalTo(contentView_->trailingAnchor()),
      contentStackView_->bottomAnchor().equalTo(contentView_->bottomAnchor()),
  });
  disclosureWidth_ = disclosureImageView_->widthAnchor().equalToConstant(kDisclosureSide);
  disclosureHeight_ = disclosureImageView_->heightAnchor().equalToConstant(kDisclosureSide);
  UI::LayoutConstraint::activate({
      imageView_->heightAnchor().equalToConstant(kImageSide),
      imageView_->widthAnchor().equalToConstant(kImageSide),
      disclosureHeight_,
      disclosureWidth_,
  });
}

void BannerAdViewImpl::wireActions() {
  const auto weak = weakBanner();
  closeButton_->addTarget(weak, &BannerAdViewImpl::closeButtonAction,
                          UI::ControlEvent::touchUpInside);
  auto tap = UI::TapGestureRecognizer::create();
  tap->addTarget(weak, &BannerAdViewImpl::ctaAction);
  contentView_->addGestureRecognizer(tap);
}

void BannerAdViewImpl::setViewModel(std::optional<BannerViewModel> viewModel) {
  QVR_CHECK_MAIN_QUEUE();
  viewModel_ = std::move(viewModel);
  if (viewModel_ && viewModel_->appearance) {
    // Reported here, once per view model, not at every application of the look.
    if (const std::string bad = nonFiniteFields(*viewModel_->appearance); !bad.empty()) {
      QVLogAssertionFailure("A partner appearance has numbers that are not finite (" + bad +
                                "); the banner uses the style's values for them instead",
                            QVR_FILE_TEXT, "viewModel", __LINE__);
    }
  }
  // The relay's subscribers and the listener are host code that may drop this view.
  const auto keepAlive = shared_from_this();
  updateContent();
  applyLook();
  publishRequiredHeight();
  if (listener_) listener_->didChangeVisibility(!viewModel_.has_value());
}

void BannerAdViewImpl::publishRequiredHeight() {
  const double width = bounds().width();
  const double height = viewModel_ && width > 0 ? systemLayoutSizeFitting(width).height : 0;
  if (height != requiredHeightRelay_.value()) requiredHeightRelay_.accept(height);
}

void BannerAdViewImpl::updateContent() {
  const bool hidden = !viewModel_.has_value();
  fadeContent(hidden, 0);
  imageView_->fetchImage(viewModel_ ? viewModel_->imageUrl : std::nullopt);
  titleLabel_->setText(viewModel_ ? std::optional(viewModel_->title) : std::nullopt);
  subtitleLabel_->setText(viewModel_ ? std::optional(viewModel_->subtitle) : std::nullopt);
  closeButton_->setHidden(!viewModel_ || viewModel_->isCloseHidden);
  setNeedsLayout();
}

void BannerAdViewImpl::fadeContent(bool hidden, double duration) {
  const auto weak = weakBanner();
  const auto generation = ++fadeGeneration_;
  UI::View::animate(
      environment_, duration,
      [content = contentView_.get(), hidden] { content->setAlpha(hidden ? 0 : 1); },
      [weak, hidden, generation](bool /*finished*/) {
        auto self = weak.lock();
        // A later fade (a new view model during a close) decides the content's state.
        if (!self || self->fadeGeneration_ != generation) return;
        self->contentView_->setHidden(hidden);
        self->isHiddenRelay_.accept(hidden);
      });
}

void BannerAdViewImpl::setListener(std::shared_ptr<BannerAdPresentableListener> listener) {
  QVR_CHECK_MAIN_QUEUE();
  listener_ = std::move(listener);
}

void BannerAdViewImpl::apply(const BannerAdViewStyle& style) {
  QVR_CHECK_MAIN_QUEUE();
  style_ = style;
  applyLook();
  publishRequiredHeight();
}

void BannerAdViewImpl::applyLook() {
  if (!style_) return;
  const BannerAdViewStyle& style = *style_;
  applyStyle(*titleLabel_, style.titleStyle());
  applyStyle(*subtitleLabel_, style.subtitleStyle());
  closeButton_->setImage(style.closeButtonImage(), UI::ControlState::normal);
  imageView_->setPlaceholder(style.placeholderImage());
  applyStyle(*contentView_, style.viewStyle());
  // The disclosure image: an appearance's accessory icon at its own size, otherwise the style's
  // at 24 x 24. Set once, so that a change that keeps the look sets nothing back and forth.
  const BannerAppearance* appearance =
      viewModel_ && viewModel_->appearance ? &*viewModel_->appearance : nullptr;
  if (appearance && appearance->accessoryIcon) {
    const UI::Image& icon = *appearance->accessoryIcon;
    disclosureImageView_->setImage(icon);
    disclosureImageView_->setHidden(false);
    disclosureWidth_->setConstant(icon.size.width);
    disclosureHeight_->setConstant(icon.size.height);
  } else {
    disclosureImageView_->setImage(style.disclosureImage());
    disclosureImageView_->setHidden(!style.disclosureImage().has_value());
    disclosureWidth_->setConstant(kDisclosureSide);
    disclosureHeight_->setConstant(kDisclosureSide);
  }

  rebuildContentConstraints();

  if (viewModel_ && viewModel_->appearance) applyAppearance(*viewModel_->appearance);
  setNeedsLayout();
}

void BannerAdViewImpl::rebuildContentConstraints() {
  const std::optional<BannerAppearance>* appearance =
      viewModel_ ? &viewModel_->appearance : nullptr;
  const bool hasAppearance = appearance && appearance->has_value();
  const UI::EdgeInsets insets = hasAppearance && (*appearance)->insets
                                    ? finiteInsets(*(*appearance)->insets)
                                    : UI::EdgeInsets{};
  const auto position = hasAppearance
                            ? (*appearance)->position.value_or(BannerAppearance::Position::regular)
                            : BannerAppearance::Position::regular;
  const bool borderless = hasAppearance && (*appearance)->borderless.value_or(false);
  // The constraints below depend on nothing else: the same edges keep the ones in place.
  const ContentEdges edges{insets, position, borderless};
  if (builtEdges_ == edges) return;
  builtEdges_ = edges;

  // Borderless: the content view spans the full width and the side insets move inside it.
  const double outerLeft = borderless ? 0 : insets.left;
  const double outerRight = borderless ? 0 : insets.right;
  const double innerLeft = borderless ? insets.left : 0;
  const double innerRight = borderless ? insets.right : 0;

  std::shared_ptr<UI::LayoutConstraint> contentBottom;
  std::shared_ptr<UI::LayoutConstraint> stackBottom;
  switch (position) {
    case BannerAppearance::Position::regular:
      contentBottom = contentView_->bottomAnchor().equalTo(bottomAnchor(), -insets.bottom);
      stackBottom = contentStackView_->bottomAnchor().equalTo(contentView_->bottomAnchor());
      break;
    case BannerAppearance::Position::bottomSafeArea:
      contentBottom = contentView_->bottomAnchor().equalTo(safeAreaLayoutGuide().bottomAnchor(),
                                                           -insets.bottom);
      stackBottom = contentStackView_->bottomAnchor().equalTo(contentView_->bottomAnchor());
      break;
    case BannerAppearance::Position::bottomToEdge:
      // The background runs to the banner's edge; the content stays above the safe area.
      contentBottom = contentView_->bottomAnchor().equalTo(bottomAnchor());
      stackBottom = contentStackView_->bottomAnchor().equalTo(safeAreaLayoutGuide().bottomAnchor(),
                                                              -insets.bottom);
      break;
  }

  contentConstraints_ = UI::LayoutConstraintGroup();
  contentConstraints_.activate({
      contentView_->topAnchor().equalTo(topAnchor(), insets.top),
      contentView_->leadingAnchor().equalTo(leadingAnchor(), outerLeft),
      contentView_->trailingAnchor().equalTo(trailingAnchor(), -outerRight),
      contentBottom,
      contentStackView_->topAnchor().equalTo(contentView_->topAnchor()),
      contentStackView_->leadingAnchor().equalTo(contentView_->leadingAnchor(), innerLeft),
      contentStackView_->trailingAnchor().equalTo(contentView_->trailingAnchor(), -innerRight),
      stackBottom,
  });
}

void BannerAdViewImpl::applyAppearance(const BannerAppearance& appearance) {
  if (appearance.backgroundColor) contentView_->setBackgroundColor(*appearance.backgroundColor);
  if (appearance.titleColor) titleLabel_->setTextColor(*appearance.titleColor);
  if (appearance.subtitleColor) subtitleLabel_->setTextColor(*appearance.subtitleColor);
  if (usableFont(appearance.titleFont)) titleLabel_->setFont(*appearance.titleFont);
  if (usableFont(appearance.subtitleFont)) subtitleLabel_->setFont(*appearance.subtitleFont);
  if (appearance.icon) {
    imageView_->setPlaceholder(*appearance.icon);
    imageView_->setImage(*appearance.icon);
  }
  // The accessory icon is the disclosure image's, set with the style's (applyLook).
  if (appearance.cta)
    contentStackView_->setDirectionalLayoutMargins(marginsFor(appearance.cta->type));
  if (appearance.borderless.value_or(false)) applyStyle(contentView_->layer(), LayerStyle{});
}

void BannerAdViewImpl::layoutSubviews() {
  UI::View::layoutSubviews();
  const double width = bounds().width();
  reportWidthWithoutArea(width);
  const bool wide = width > kWideLayoutMinWidth;
  labelStackView_->setAxis(wide ? LayoutAxis::horizontal : LayoutAxis::vertical);
  labelStackView_->setAlignment(wide ? UI::StackView::Alignment::fill
                                     : UI::StackView::Alignment::leading);
  labelStackView_->setDistribution(UI::StackView::Distribution::fill);
  subtitleLabel_->setTextAlignment(wide ? UI::TextAlignment::right : UI::TextAlignment::left);

  // Frames here are the content row's, which spans the banner unless insets move it.
  const double trailingSpace =
      closeButton_->isHidden() ? kContentMargins.trailing : width - closeButton_->frame().minX();
  const double labelWidth =
      std::max(0.0, width - imageView_->frame().maxX() - kContentSpacing - trailingSpace);
  if (titleLabel_->preferredMaxLayoutWidth() != labelWidth) {
    titleLabel_->setPreferredMaxLayoutWidth(labelWidth);
  }
  if (subtitleLabel_->preferredMaxLayoutWidth() != labelWidth) {
    subtitleLabel_->setPreferredMaxLayoutWidth(labelWidth);
  }
  // Measured with the labels' widths for this width, so the host hears the final height.
  publishRequiredHeight();
}

// A banner given a model and laid out at no width shows nothing and asks for no height, yet its
// model counts as shown (the view record is sent): the host is told once per such layout spell.
void BannerAdViewImpl::reportWidthWithoutArea(double width) {
  if (width > 0 || !viewModel_) {
    reportedNoWidth_ = false;
    return;
  }
  if (std::exchange(reportedNoWidth_, true)) return;
  std::ostringstream text;
  text << "The banner is laid out at width " << width
       << " with content to show: it draws nothing and its required height stays 0, yet its "
          "content counts as shown. Give it a width greater than 0 (the width of its container)";
  QVLog(LogFlag::warning, text.str(), QVR_FILE_TEXT, "layoutSubviews()", __LINE__);
}

void BannerAdViewImpl::ctaAction() {
  QVR_CHECK_MAIN_QUEUE();
  if (listener_) listener_->didTapBanner();
}

void BannerAdViewImpl::closeButtonAction() {
  QVR_CHECK_MAIN_QUEUE();
  // The listener reaches host code that may drop this view; the fade still starts.
  const auto keepAlive = shared_from_this();
  if (listener_) listener_->didTapClose();
  fadeContent(true, kCloseFadeDuration);
}

}  // namespace QVRAdKit
