#include "QVRAdKit/Banner/BannerAdViewImpl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QVRAdKit/ClientKit/LayerStyle.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/URL.h"
#include "QVRAdKit/Rx/DisposeBag.h"
#include "QVRAdKit/UI/TapGestureRecognizer.h"
#include "Sandbox/Logging/RecordingLogger.h"

namespace QVRAdKit {
namespace {

using UI::LayoutAxis;
using Position = BannerAppearance::Position;

// Records what the view tells its listener, in order.
class RecordingPresentableListener final : public BannerAdPresentableListener {
 public:
  void didTapBanner() override { calls.emplace_back("tap"); }
  void didTapClose() override { calls.emplace_back("close"); }
  void didChangeVisibility(bool isHidden) override {
    calls.emplace_back(isHidden ? "hidden" : "shown");
  }
  std::vector<std::string> calls;
};

const UI::Color kTitleColor = UI::Color::rgb(0x111111);
const UI::Color kSubtitleColor = UI::Color::rgb(0x666666);
const UI::Color kCardColor = UI::Color::rgb(0xF2F4F7);

BannerAdViewStyle testStyle(std::optional<UI::Image> disclosure = UI::Image{"chevron", {8, 14}}) {
  LayerStyle card;
  card.cornerRadius = 12;
  card.borderWidth = 1;
  card.borderColor = UI::Color::rgb(0xD0D5DD);
  return BannerAdViewStyle(
      TextStyle{"", UI::Font::system(15, UI::Font::Weight::semibold), kTitleColor},
      TextStyle{"", UI::Font::system(13), kSubtitleColor}, UI::Image{"close", {24, 24}},
      UI::Image{"placeholder", {72, 44}}, ViewStyle{"", kCardColor, std::nullopt, card},
      std::move(disclosure));
}

// An appearance with the fields `set` gives it.
template <class Set>
BannerAppearance appearance(Set set) {
  BannerAppearance result;
  set(result);
  return result;
}

BannerViewModel model(std::string title = "Seven days free", std::string subtitle = "Try it now",
                      bool isCloseHidden = true,
                      std::optional<BannerAppearance> appearance = std::nullopt) {
  return BannerViewModel{std::move(title), std::move(subtitle),
                         Platform::URL::string("https://cdn.example/partner.png").value(),
                         isCloseHidden, std::move(appearance)};
}

class BannerAdViewImplTest : public ::testing::Test {
 protected:
  // A banner at the bottom of a phone screen: the last 34 points are the home indicator's.
  std::shared_ptr<BannerAdViewImpl> makeBanner(double safeAreaBottom = 34) {
    auto banner = BannerAdViewImpl::create(*env_);
    banner->setSafeAreaInsets({0, 0, safeAreaBottom, 0});
    return banner;
  }
  // The same with the test style applied.
  std::shared_ptr<BannerAdViewImpl> styledBanner(double safeAreaBottom = 34,
                                                 std::optional<UI::Image> disclosure = UI::Image{
                                                     "chevron", {8, 14}}) {
    auto banner = makeBanner(safeAreaBottom);
    banner->apply(testStyle(std::move(disclosure)));
    return banner;
  }

  // Lays the banner out at a width and the height it needs there.
  static void layOut(BannerAdViewImpl& banner, double width) {
    const double height = banner.systemLayoutSizeFitting(width).height;
    banner.setFrame({{0, 0}, {width, height}});
    banner.layoutIfNeeded();
  }

  // A subview's frame in the banner's coordinates.
  static UI::Rect inBanner(const BannerAdViewImpl& banner, const UI::View& view) {
    return view.convert(view.bounds(), &banner);
  }

  // Collects what isHiddenObservable() emits from now on into hidden_.
  void follow(const BannerAdViewImpl& banner) {
    hidden_.clear();
    banner.isHiddenObservable()
        .subscribe([this](bool hidden) { hidden_.push_back(hidden); })
        .disposed(bag_);
  }

  std::unique_ptr<Platform::Environment> env_ = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope_{*env_};
  std::vector<bool> hidden_;
  Rx::DisposeBag bag_;
};

TEST_F(BannerAdViewImplTest, CreationBuildsTheRowInOrderWithItsSettingsAndStartsHidden) {
  auto banner = makeBanner();
  const auto& content = banner->contentView();
  ASSERT_EQ(banner->subviews(), (std::vector<std::shared_ptr<UI::View>>{content}));
  ASSERT_EQ(content->subviews(),
            (std::vector<std::shared_ptr<UI::View>>{banner->contentStackView()}));
  EXPECT_EQ(banner->contentStackView()->arrangedSubviews(),
            (std::vector<std::shared_ptr<UI::View>>{banner->imageView(), banner->labelStackView(),
                                                    banner->closeButton(),
                                                    banner->disclosureImageView()}));
  EXPECT_EQ(
      banner->labelStackView()->arrangedSubviews(),
      (std::vector<std::shared_ptr<UI::View>>{banner->titleLabel(), banner->subtitleLabel()}));

  EXPECT_EQ(banner->imageView()->preferredImageSize(), (UI::Size{72, 44}));
  EXPECT_EQ(banner->imageView()->contentMode(), UI::ContentMode::scaleAspectFit);
  EXPECT_TRUE(banner->imageView()->clipsToBounds());
  EXPECT_TRUE(banner->disclosureImageView()->clipsToBounds());
  EXPECT_EQ(banner->titleLabel()->numberOfLines(), 0);
  EXPECT_EQ(banner->titleLabel()->lineBreakMode(), UI::LineBreakMode::byTruncatingTail);
  EXPECT_TRUE(banner->titleLabel()->adjustsFontSizeToFitWidth());
  EXPECT_EQ(banner->titleLabel()->minimumScaleFactor(), 0.5);
  EXPECT_EQ(banner->subtitleLabel()->numberOfLines(), 0);
  EXPECT_EQ(banner->subtitleLabel()->lineBreakMode(), UI::LineBreakMode::byWordWrapping);
  EXPECT_EQ(banner->labelStackView()->directionalLayoutMargins(),
            (UI::DirectionalEdgeInsets{2, 0, 2, 0}));
  EXPECT_EQ(banner->labelStackView()->spacing(), 2);
  EXPECT_TRUE(banner->labelStackView()->isLayoutMarginsRelativeArrangement());
  const auto& row = banner->contentStackView();
  EXPECT_EQ(row->axis(), LayoutAxis::horizontal);
  EXPECT_EQ(row->alignment(), UI::StackView::Alignment::center);
  EXPECT_EQ(row->directionalLayoutMargins(), (UI::DirectionalEdgeInsets{10, 12, 10, 12}));
  EXPECT_EQ(row->spacing(), 12);
  EXPECT_TRUE(row->isLayoutMarginsRelativeArrangement());
  EXPECT_TRUE(row->clipsToBounds());
  EXPECT_EQ(content->backgroundColor(), UI::Color::clear());

  // The priorities that decide who gives way in the row.
  EXPECT_EQ(banner->imageView()->contentHuggingPriority(LayoutAxis::horizontal), 1000);
  EXPECT_EQ(banner->labelStackView()->contentCompressionResistancePriority(LayoutAxis::vertical),
            1000);
  EXPECT_EQ(banner->titleLabel()->contentCompressionResistancePriority(LayoutAxis::vertical), 751);
  EXPECT_EQ(banner->subtitleLabel()->contentHuggingPriority(LayoutAxis::horizontal), 250);
  EXPECT_EQ(row->contentCompressionResistancePriority(LayoutAxis::vertical), 1000);
  EXPECT_EQ(banner->closeButton()->contentCompressionResistancePriority(LayoutAxis::horizontal),
            1000);
  EXPECT_EQ(banner->closeButton()->contentHuggingPriority(LayoutAxis::horizontal), 1000);

  // Hidden until content arrives; nothing to show yet.
  follow(*banner);
  EXPECT_EQ(hidden_, std::vector<bool>{true});
  EXPECT_FALSE(banner->hasContent());
  EXPECT_EQ(banner->style(), std::nullopt);

  // Fixed sizes hold through a layout pass.
  banner->apply(testStyle());
  banner->setViewModel(model());
  layOut(*banner, 375);
  EXPECT_EQ(banner->imageView()->frame().size, (UI::Size{44, 44}));
  EXPECT_EQ(banner->disclosureImageView()->frame().size, (UI::Size{24, 24}));
  EXPECT_EQ(content->frame(), banner->bounds());
  EXPECT_EQ(row->frame(), content->bounds());
}

TEST_F(BannerAdViewImplTest, WiderThan500PointsPutsTheLabelsSideBySide) {
  auto banner = styledBanner();
  banner->setViewModel(model("Seven days free", "Try it"));
  const auto& title = banner->titleLabel();
  const auto& subtitle = banner->subtitleLabel();

  layOut(*banner, 501);
  EXPECT_EQ(banner->labelStackView()->axis(), LayoutAxis::horizontal);
  EXPECT_EQ(banner->labelStackView()->alignment(), UI::StackView::Alignment::fill);
  EXPECT_EQ(banner->labelStackView()->distribution(), UI::StackView::Distribution::fill);
  EXPECT_EQ(subtitle->textAlignment(), UI::TextAlignment::right);
  EXPECT_GE(subtitle->frame().minX(), title->frame().maxX());
  EXPECT_EQ(subtitle->frame().minY(), title->frame().minY());

  // One point narrower: stacked, left-aligned, title above subtitle.
  layOut(*banner, 500);
  EXPECT_EQ(banner->labelStackView()->axis(), LayoutAxis::vertical);
  EXPECT_EQ(banner->labelStackView()->alignment(), UI::StackView::Alignment::leading);
  EXPECT_EQ(subtitle->textAlignment(), UI::TextAlignment::left);
  EXPECT_GE(subtitle->frame().minY(), title->frame().maxY());
  EXPECT_EQ(subtitle->frame().minX(), title->frame().minX());
}

TEST_F(BannerAdViewImplTest, BottomPositionsAnchorTheContentAndTheRow) {
  const double width = 375;
  const double safeAreaBottom = 34;
  auto banner = styledBanner(safeAreaBottom);
  const auto& content = banner->contentView();
  const auto& row = banner->contentStackView();
  const UI::EdgeInsets insets{4, 0, 16, 0};
  auto frames = [&](std::optional<Position> position) {
    banner->setViewModel(model("Title", "Subtitle", true, appearance([&](auto& a) {
                                 a.position = position;
                                 a.insets = insets;
                               })));
    banner->setFrame({{0, 0}, {width, 160}});
    banner->layoutIfNeeded();
    return std::pair(inBanner(*banner, *content), inBanner(*banner, *row));
  };

  // To the edge: the background reaches the banner's bottom edge, the row ends 16 points above
  // the safe area's bottom.
  auto [edgeContent, edgeRow] = frames(Position::bottomToEdge);
  EXPECT_EQ(edgeContent.minY(), 4);
  EXPECT_EQ(edgeContent.maxY(), 160);
  EXPECT_EQ(edgeRow.maxY(), 160 - safeAreaBottom - 16);

  // To the safe area: both end 16 points above it.
  auto [safeContent, safeRow] = frames(Position::bottomSafeArea);
  EXPECT_EQ(safeContent.maxY(), 160 - safeAreaBottom - 16);
  EXPECT_EQ(safeRow.maxY(), safeContent.maxY());

  // Regular, and absent meaning regular: 16 above the banner's bottom, the safe area ignored.
  for (auto position : {std::optional(Position::regular), std::optional<Position>()}) {
    auto [content, row] = frames(position);
    EXPECT_EQ(content.maxY(), 160 - 16);
    EXPECT_EQ(row, content);
  }
}

// The content view is placed by its ties to the banner, the row by its ties to the content view:
// a pass settles both without reporting conflicts, alone or in a screen that places the banner by
// its frame, and both ways give the same frames.
TEST_F(BannerAdViewImplTest, LayoutIsQuietAndTheSameAsRootOrPlacedByFrameInAScreen) {
  auto logger = std::make_shared<Sandbox::RecordingLogger>();
  env_->setService<QVLogger>(logger);
  auto banner = styledBanner();
  const auto& content = banner->contentView();
  const auto& row = banner->contentStackView();
  for (auto position : {Position::regular, Position::bottomToEdge, Position::bottomSafeArea}) {
    SCOPED_TRACE(static_cast<int>(position));
    banner->removeFromSuperview();
    banner->setViewModel(model("Seven days free", "Try it now", false, appearance([&](auto& a) {
                                 a.position = position;
                                 a.insets = UI::EdgeInsets{8, 12, 16, 12};
                               })));
    layOut(*banner, 375);
    layOut(*banner, 375);  // a second pass starts from the frames of the first
    const UI::Rect bannerFrame = banner->frame();
    const UI::Rect contentFrame = inBanner(*banner, *content);
    const UI::Rect rowFrame = inBanner(*banner, *row);
    EXPECT_GT(contentFrame.height(), 0);
    EXPECT_GT(rowFrame.width(), 0);
    EXPECT_TRUE(logger->assertionFailures().empty()) << logger->assertionFailures()[0].message;

    auto screen = UI::View::create({{0, 0}, {375, 812}});
    screen->setSafeAreaInsets({47, 0, 34, 0});
    const UI::Rect placed{{0, 812 - bannerFrame.height()}, bannerFrame.size};
    banner->setFrame(placed);
    screen->addSubview(banner);
    screen->layoutIfNeeded();
    EXPECT_EQ(banner->frame(), placed);
    EXPECT_EQ(inBanner(*banner, *content), contentFrame);
    EXPECT_EQ(inBanner(*banner, *row), rowFrame);
    EXPECT_TRUE(logger->assertionFailures().empty()) << logger->assertionFailures()[0].message;
  }
}

// Content laid out at no width draws nothing yet counts as shown: the host is told once per spell
// without width, and not for an empty banner or a banner with a width.
TEST_F(BannerAdViewImplTest, ContentLaidOutAtNoWidthIsLoggedOncePerSpell) {
  auto logger = std::make_shared<Sandbox::RecordingLogger>();
  env_->setService<QVLogger>(logger);
  const auto warnings = [&] {
    return std::ranges::count_if(logger->entries(), [](const auto& entry) {
      return entry.flag == LogFlag::warning && entry.function == "layoutSubviews()";
    });
  };
  auto banner = styledBanner();
  const auto layOutAt = [&](double width) {
    banner->setFrame({{0, 0}, {width, 80}});
    banner->layoutIfNeeded();
  };
  layOutAt(0);
  EXPECT_EQ(warnings(), 0) << "nothing to show";
  banner->setViewModel(model("Seven days free", "Try it now", false));
  layOutAt(0);
  layOutAt(-100);
  EXPECT_EQ(warnings(), 1);
  layOutAt(375);
  layOutAt(-100);
  ASSERT_EQ(warnings(), 2);
  EXPECT_NE(logger->entries().back().message.find("width -100"), std::string::npos);
}

// The content constraints are kept while the appearance's edges stay the same, and a kept fitting
// height is reused while only frames moved: a change after a content-only change (the title) must
// still rebuild the edges and lay out and measure anew, as a banner given that model at once does.
TEST_F(BannerAdViewImplTest, AChangeAfterAContentOnlyChangeLaysOutAsAFreshBanner) {
  const UI::EdgeInsets baseInsets{4, 8, 6, 10};
  const auto base = [&](BannerAppearance& a) {
    a.insets = baseInsets;
    a.position = Position::regular;
  };
  // The longer title of the content-only change, with a look.
  const auto longer = [](const BannerAppearance& look) {
    return model("A week of Premium on us\nCancel any time", "Try it now", false, look);
  };
  struct Case {
    const char* name;
    std::optional<UI::EdgeInsets> insets;  // over the base appearance's
    std::optional<Position> position;
    bool borderless;
    double safeAreaBottom;
    double width;
  };
  const Case cases[] = {
      {"another top inset", UI::EdgeInsets{20, 8, 6, 10}, Position::regular, false, 34, 375},
      {"other side insets", UI::EdgeInsets{4, 30, 6, 40}, Position::regular, false, 34, 375},
      {"to the safe area", baseInsets, Position::bottomSafeArea, false, 34, 375},
      {"to the edge", baseInsets, Position::bottomToEdge, false, 34, 375},
      {"borderless", baseInsets, Position::regular, true, 34, 375},
      {"no insets", std::nullopt, Position::regular, false, 34, 375},
      {"a larger safe area, to the safe area", baseInsets, Position::bottomSafeArea, false, 60,
       375},
      {"the same look at another width", baseInsets, Position::regular, false, 34, 250},
  };
  struct Shape {
    double requiredHeight;
    UI::Rect content;
    UI::Rect row;
    UI::Rect title;
    bool operator==(const Shape&) const = default;
  };
  const auto shape = [](const BannerAdViewImpl& banner) {
    return Shape{banner.requiredHeight(), inBanner(banner, *banner.contentView()),
                 inBanner(banner, *banner.contentStackView()),
                 inBanner(banner, *banner.titleLabel())};
  };
  const auto place = [](BannerAdViewImpl& banner, double width) {
    banner.setFrame({{0, 0}, {width, 200}});
    banner.layoutIfNeeded();
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const BannerAppearance changed = appearance([&](auto& a) {
      a.insets = test.insets;
      a.position = test.position;
      if (test.borderless) a.borderless = true;
    });

    auto banner = styledBanner(34);
    banner->setViewModel(model("Seven days free", "Try it now", false, appearance(base)));
    place(*banner, 375);
    // Content only: another title, the same look.
    banner->setViewModel(longer(appearance(base)));
    place(*banner, 375);
    const Shape contentOnly = shape(*banner);
    // Then the look, the safe area or the width.
    banner->setSafeAreaInsets({0, 0, test.safeAreaBottom, 0});
    banner->setViewModel(longer(changed));
    place(*banner, test.width);
    const Shape after = shape(*banner);

    auto fresh = styledBanner(test.safeAreaBottom);
    fresh->setViewModel(longer(changed));
    place(*fresh, test.width);
    EXPECT_EQ(after, shape(*fresh));
    EXPECT_NE(after, contentOnly);  // the change matters to the layout

    // And back: the content-only state again, as it was.
    banner->setSafeAreaInsets({0, 0, 34, 0});
    banner->setViewModel(longer(appearance(base)));
    place(*banner, 375);
    EXPECT_EQ(shape(*banner), contentOnly);
  }
}

TEST_F(BannerAdViewImplTest, BorderlessMovesTheSideInsetsInsideAFullWidthContentView) {
  const double width = 375;
  auto banner = styledBanner(0);
  const auto& content = banner->contentView();
  // Side insets of 8, with the borderless flag absent, set or cleared.
  const auto show = [&](std::optional<bool> borderless) {
    banner->setViewModel(model("Title", "Subtitle", true, appearance([&](auto& a) {
                                 a.insets = UI::EdgeInsets{0, 8, 0, 8};
                                 a.borderless = borderless;
                               })));
    layOut(*banner, width);
  };

  // Bordered: the card is inset and keeps the style's rounded border.
  show(std::nullopt);
  EXPECT_EQ(content->frame().minX(), 8);
  EXPECT_EQ(content->frame().width(), width - 16);
  EXPECT_EQ(banner->contentStackView()->frame(), content->bounds());
  EXPECT_EQ(content->layer().cornerRadius, 12);

  // Borderless: full width, the row inset by 8 on both sides, the layer reset.
  show(true);
  EXPECT_EQ(content->frame().minX(), 0);
  EXPECT_EQ(content->frame().width(), width);
  EXPECT_EQ(banner->contentStackView()->frame().minX(), 8);
  EXPECT_EQ(banner->contentStackView()->frame().width(), width - 16);
  EXPECT_EQ(content->layer(), UI::Layer{});
  EXPECT_EQ(content->backgroundColor(), kCardColor);

  // Borderless false is bordered again: the style's layer comes back.
  show(false);
  EXPECT_EQ(content->frame().minX(), 8);
  EXPECT_EQ(content->layer().cornerRadius, 12);
}

TEST_F(BannerAdViewImplTest, AShownCloseButtonShrinksTheLabelsByItsDistanceToTheRightEdge) {
  const double width = 375;
  auto banner = styledBanner(34, std::nullopt);
  const auto& title = banner->titleLabel();
  const auto& subtitle = banner->subtitleLabel();
  const std::string longText = "A partner offer long enough to wrap onto a second line at least";

  banner->setViewModel(model(longText, longText, /*isCloseHidden=*/true));
  layOut(*banner, width);
  const double imageMaxX = banner->imageView()->frame().maxX();
  EXPECT_EQ(imageMaxX, 12 + 44);
  const double withoutClose = width - imageMaxX - 12 - 12;
  EXPECT_EQ(title->preferredMaxLayoutWidth(), withoutClose);
  EXPECT_EQ(subtitle->preferredMaxLayoutWidth(), withoutClose);

  banner->setViewModel(model(longText, longText, /*isCloseHidden=*/false));
  layOut(*banner, width);
  ASSERT_FALSE(banner->closeButton()->isHidden());
  const double closeMinX = banner->closeButton()->frame().minX();
  // The button (24 points) and the row's trailing margin (12) sit right of it.
  EXPECT_EQ(closeMinX, width - 12 - 24);
  EXPECT_EQ(title->preferredMaxLayoutWidth(), width - imageMaxX - 12 - (width - closeMinX));
  EXPECT_EQ(subtitle->preferredMaxLayoutWidth(), title->preferredMaxLayoutWidth());
  EXPECT_LT(title->preferredMaxLayoutWidth(), withoutClose);
  // The labels never run under the button.
  EXPECT_LE(inBanner(*banner, *title).maxX(), inBanner(*banner, *banner->closeButton()).minX());
}

TEST_F(BannerAdViewImplTest, EachAssignmentUpdatesContentThenLookThenTellsTheListener) {
  auto banner = makeBanner();
  auto listener = std::make_shared<RecordingPresentableListener>();
  banner->setListener(listener);
  banner->apply(testStyle());
  follow(*banner);

  banner->setViewModel(model("Title", "Subtitle", /*isCloseHidden=*/false));
  EXPECT_TRUE(banner->hasContent());
  EXPECT_FALSE(banner->contentView()->isHidden());
  EXPECT_EQ(banner->contentView()->alpha(), 1);
  EXPECT_EQ(banner->titleLabel()->text(), "Title");
  EXPECT_EQ(banner->subtitleLabel()->text(), "Subtitle");
  EXPECT_FALSE(banner->closeButton()->isHidden());

  // The same model again runs the whole update again: a second emission and visibility call.
  banner->setViewModel(banner->viewModel());
  EXPECT_EQ(hidden_, (std::vector<bool>{true, false, false}));
  EXPECT_EQ(listener->calls, (std::vector<std::string>{"shown", "shown"}));

  // Absent: hidden at once (no tick of the queue), emitted, labels emptied, close button hidden.
  banner->setViewModel(std::nullopt);
  EXPECT_TRUE(banner->contentView()->isHidden());
  EXPECT_EQ(banner->contentView()->alpha(), 0);
  EXPECT_EQ(hidden_, (std::vector<bool>{true, false, false, true}));
  EXPECT_EQ(banner->titleLabel()->text(), "");
  EXPECT_EQ(banner->subtitleLabel()->text(), "");
  EXPECT_TRUE(banner->closeButton()->isHidden());
  EXPECT_FALSE(banner->hasContent());
  EXPECT_EQ(listener->calls, (std::vector<std::string>{"shown", "shown", "hidden"}));

  // Without a listener the update still runs.
  banner->setListener(nullptr);
  banner->setViewModel(model());
  EXPECT_EQ(hidden_.back(), false);
}

TEST_F(BannerAdViewImplTest, WithoutAStyleOnlyTheContentChangesUntilOneIsApplied) {
  auto banner = makeBanner();
  const UI::Font partnerFont = UI::Font::system(17, UI::Font::Weight::bold);
  banner->setViewModel(model("Title", "Subtitle", true, appearance([&](auto& a) {
                               a.titleFont = partnerFont;
                               a.cta = BannerAppearance::CTA(BannerCTAType::accessoryIcon);
                             })));
  EXPECT_EQ(banner->titleLabel()->text(), "Title");
  EXPECT_FALSE(banner->contentView()->isHidden());
  EXPECT_EQ(banner->titleLabel()->font(), UI::Font{});
  EXPECT_EQ(banner->closeButton()->image(), std::nullopt);
  EXPECT_EQ(banner->imageView()->placeholder(), std::nullopt);
  EXPECT_EQ(banner->contentStackView()->directionalLayoutMargins(),
            (UI::DirectionalEdgeInsets{10, 12, 10, 12}));

  banner->apply(testStyle());
  EXPECT_EQ(banner->style(), testStyle());
  EXPECT_EQ(banner->titleLabel()->font(), partnerFont);
  EXPECT_EQ(banner->titleLabel()->textColor(), kTitleColor);
  EXPECT_EQ(banner->subtitleLabel()->font(), UI::Font::system(13));
  EXPECT_EQ(banner->closeButton()->image(), (UI::Image{"close", {24, 24}}));
  EXPECT_EQ(banner->imageView()->placeholder(), (UI::Image{"placeholder", {72, 44}}));
  EXPECT_EQ(banner->contentView()->backgroundColor(), kCardColor);
  EXPECT_EQ(banner->disclosureImageView()->image(), (UI::Image{"chevron", {8, 14}}));
  EXPECT_FALSE(banner->disclosureImageView()->isHidden());
  EXPECT_EQ(banner->contentStackView()->directionalLayoutMargins(),
            (UI::DirectionalEdgeInsets{14, 12, 14, 12}));
}

TEST_F(BannerAdViewImplTest, AppearanceOverridesReplaceTheStyleAndAbsentFieldsLeaveIt) {
  auto banner = styledBanner(34, std::nullopt);
  EXPECT_TRUE(banner->disclosureImageView()->isHidden());

  const UI::Image icon{"partner-icon", {40, 40}};
  const UI::Image arrow{"arrow", {16, 20}};
  const BannerAppearance full = appearance([&](auto& a) {
    a.backgroundColor = UI::Color::rgb(0x0B3D91);
    a.titleColor = UI::Color::white();
    a.subtitleColor = UI::Color::rgb(0xDDDDDD);
    a.titleFont = UI::Font::system(16, UI::Font::Weight::bold);
    a.subtitleFont = UI::Font::system(12);
    a.icon = icon;
    a.accessoryIcon = arrow;
    a.cta = BannerAppearance::CTA(BannerCTAType::accessoryIconPinned);
  });
  auto withIcon = model("Title", "Subtitle", true, full);
  withIcon.imageUrl = std::nullopt;  // the banner module drops it when there is an icon
  banner->setViewModel(withIcon);
  layOut(*banner, 375);
  EXPECT_EQ(banner->contentView()->backgroundColor(), UI::Color::rgb(0x0B3D91));
  EXPECT_EQ(banner->titleLabel()->textColor(), UI::Color::white());
  EXPECT_EQ(banner->subtitleLabel()->textColor(), UI::Color::rgb(0xDDDDDD));
  EXPECT_EQ(banner->titleLabel()->font(), UI::Font::system(16, UI::Font::Weight::bold));
  EXPECT_EQ(banner->subtitleLabel()->font(), UI::Font::system(12));
  EXPECT_EQ(banner->imageView()->image(), icon);
  EXPECT_EQ(banner->imageView()->placeholder(), icon);
  EXPECT_EQ(banner->imageView()->loadingURL(), std::nullopt);
  // The accessory icon shows even though the style has no disclosure image, at its own size.
  EXPECT_FALSE(banner->disclosureImageView()->isHidden());
  EXPECT_EQ(banner->disclosureImageView()->image(), arrow);
  EXPECT_EQ(banner->disclosureImageView()->frame().size, arrow.size);
  EXPECT_EQ(banner->contentStackView()->directionalLayoutMargins(),
            (UI::DirectionalEdgeInsets{14, 12, 14, 0}));

  // An appearance without those fields gives the style's values back, except the margins: a CTA
  // set them and none sets them again.
  banner->setViewModel(model("Title", "Subtitle", true, BannerAppearance{}));
  layOut(*banner, 375);
  EXPECT_EQ(banner->contentView()->backgroundColor(), kCardColor);
  EXPECT_EQ(banner->titleLabel()->textColor(), kTitleColor);
  EXPECT_EQ(banner->subtitleLabel()->font(), UI::Font::system(13));
  EXPECT_EQ(banner->imageView()->placeholder(), (UI::Image{"placeholder", {72, 44}}));
  EXPECT_TRUE(banner->disclosureImageView()->isHidden());
  EXPECT_EQ(banner->contentStackView()->directionalLayoutMargins(),
            (UI::DirectionalEdgeInsets{14, 12, 14, 0}));

  // A bottom-button CTA puts the creation margins back; with the style's disclosure image its
  // size is 24 x 24 again.
  banner->apply(testStyle());
  banner->setViewModel(model("Title", "Subtitle", true, appearance([](auto& a) {
                               a.cta = BannerAppearance::CTA(BannerCTAType::bottomButton);
                             })));
  layOut(*banner, 375);
  EXPECT_EQ(banner->contentStackView()->directionalLayoutMargins(),
            (UI::DirectionalEdgeInsets{10, 12, 10, 12}));
  EXPECT_EQ(banner->disclosureImageView()->frame().size, (UI::Size{24, 24}));
}

// A partner's inset or font size that is not finite counts as absent (the style's value) and is
// reported once per view model, not at every look applied; finite values, however odd, stay.
TEST_F(BannerAdViewImplTest, NonFiniteAppearanceNumbersCountAsAbsentAndAreReportedOnce) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* what;
    BannerAppearance look;
    UI::Rect content;  // the content view's frame at 375 points, its height left out (0)
    double titleSize;
    double subtitleSize;
    size_t reports;
  };
  const auto insets = [](double top, double left, double bottom, double right) {
    return BannerAppearance{.insets = UI::EdgeInsets{top, left, bottom, right}};
  };
  const auto fonts = [](double title, std::optional<double> subtitle) {
    BannerAppearance look{.titleFont = UI::Font::system(title)};
    if (subtitle) look.subtitleFont = UI::Font::system(*subtitle);
    return look;
  };
  const auto frame = [](double x, double y, double width) { return UI::Rect{{x, y}, {width, 0}}; };
  const Case cases[] = {
      {"NaN insets", insets(kNaN, kNaN, kNaN, kNaN), frame(0, 0, 375), 15, 13, 1},
      {"infinite top and bottom", insets(kInf, 8, -kInf, 8), frame(8, 0, 359), 15, 13, 1},
      {"negative inset", insets(4, -8, 0, 8), frame(-8, 4, 375), 15, 13, 0},
      {"NaN title font", fonts(kNaN, std::nullopt), frame(0, 0, 375), 15, 13, 1},
      {"infinite fonts", fonts(kInf, -kInf), frame(0, 0, 375), 15, 13, 1},
      {"zero and negative fonts", fonts(0, -3), frame(0, 0, 375), 0, -3, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto logger = std::make_shared<Sandbox::RecordingLogger>();
    env_->setService<QVLogger>(logger);
    auto banner = styledBanner(0);
    banner->setViewModel(model("Title", "Subtitle", true, c.look));
    banner->apply(testStyle());  // the look again: nothing more to report
    layOut(*banner, 375);
    UI::Rect content = banner->contentView()->frame();
    EXPECT_TRUE(std::isfinite(content.height()));
    content.size.height = 0;
    EXPECT_EQ(content, c.content);
    EXPECT_EQ(banner->titleLabel()->font().pointSize, c.titleSize);
    EXPECT_EQ(banner->subtitleLabel()->font().pointSize, c.subtitleSize);
    EXPECT_EQ(logger->assertionFailures().size(), c.reports);
  }
}

TEST_F(BannerAdViewImplTest, TapsAndClosesReachTheListener) {
  auto banner = makeBanner();
  auto listener = std::make_shared<RecordingPresentableListener>();
  banner->setListener(listener);
  banner->apply(testStyle());
  banner->setViewModel(model("Title", "Subtitle", /*isCloseHidden=*/false));
  listener->calls.clear();

  ASSERT_EQ(banner->contentView()->gestureRecognizers().size(), 1U);
  EXPECT_TRUE(banner->contentView()->gestureRecognizers().front()->recognizeTap());
  banner->closeButton()->sendActions(UI::ControlEvent::touchUpInside);
  EXPECT_EQ(listener->calls, (std::vector<std::string>{"tap", "close"}));
  // The tap changes nothing on the view itself.
  EXPECT_TRUE(banner->hasContent());

  // The view owns its listener: the interactor lives as long as the view.
  std::weak_ptr<RecordingPresentableListener> weakListener = listener;
  listener.reset();
  EXPECT_FALSE(weakListener.expired());
  banner.reset();
  EXPECT_TRUE(weakListener.expired());
}

TEST_F(BannerAdViewImplTest, CloseFadesOutOverFourTenthsOfASecondAndKeepsTheContent) {
  auto banner = styledBanner();
  banner->setViewModel(model("Title", "Subtitle", /*isCloseHidden=*/false));
  follow(*banner);
  ASSERT_EQ(hidden_, std::vector<bool>{false});

  // No listener: the fade runs all the same.
  banner->closeButtonAction();
  EXPECT_EQ(banner->contentView()->alpha(), 0);
  EXPECT_FALSE(banner->contentView()->isHidden());
  env_->advance(0.39);
  EXPECT_EQ(hidden_, std::vector<bool>{false});
  env_->advance(0.02);
  EXPECT_EQ(hidden_, (std::vector<bool>{false, true}));
  EXPECT_TRUE(banner->contentView()->isHidden());
  EXPECT_TRUE(banner->hasContent());
  EXPECT_TRUE(banner->viewModel().has_value());

  // Closing again emits again, also though the value does not change.
  banner->closeButtonAction();
  env_->advance(0.4);
  EXPECT_EQ(hidden_, (std::vector<bool>{false, true, true}));

  // The next assignment brings the banner back.
  banner->setViewModel(banner->viewModel());
  EXPECT_FALSE(banner->contentView()->isHidden());
  EXPECT_EQ(hidden_.back(), false);
}

TEST_F(BannerAdViewImplTest, AViewModelArrivingDuringTheFadeWins) {
  auto banner = makeBanner();
  banner->setViewModel(model());
  follow(*banner);
  banner->closeButtonAction();
  env_->advance(0.2);
  banner->setViewModel(model("Another offer"));
  env_->advance(1);
  EXPECT_EQ(hidden_, (std::vector<bool>{false, false}));
  EXPECT_FALSE(banner->contentView()->isHidden());
  EXPECT_EQ(banner->contentView()->alpha(), 1);
}

TEST_F(BannerAdViewImplTest, AViewDroppedMidFadeIsFreedAndTheFadeEndsQuietly) {
  auto banner = makeBanner();
  banner->setViewModel(model());
  follow(*banner);
  auto listener = std::make_shared<RecordingPresentableListener>();
  banner->setListener(listener);
  std::weak_ptr<BannerAdViewImpl> weakBanner = banner;
  std::weak_ptr<UI::View> weakContent = banner->contentView();

  banner->closeButtonAction();
  banner.reset();
  EXPECT_TRUE(weakBanner.expired());
  EXPECT_TRUE(weakContent.expired());
  env_->advance(1);
  EXPECT_EQ(hidden_, std::vector<bool>{false});
  EXPECT_EQ(listener->calls, std::vector<std::string>{"close"});
}

TEST_F(BannerAdViewImplTest, TheFadeOnlyHoldsTheViewWeaklyWhenTheListenerDropsItDuringClose) {
  // A host that removes the banner as soon as it hears of the close.
  struct DroppingListener final : BannerAdPresentableListener {
    void didTapBanner() override {}
    void didTapClose() override { owner.reset(); }
    void didChangeVisibility(bool /*isHidden*/) override {}
    std::shared_ptr<BannerAdViewImpl> owner;
  };
  auto banner = makeBanner();
  auto listener = std::make_shared<DroppingListener>();
  banner->setListener(listener);
  banner->setViewModel(model("Title", "Subtitle", /*isCloseHidden=*/false));
  std::weak_ptr<BannerAdViewImpl> weakBanner = banner;
  listener->owner = std::move(banner);
  std::weak_ptr<DroppingListener> weakListener = listener;
  listener.reset();

  weakBanner.lock()->closeButton()->sendActions(UI::ControlEvent::touchUpInside);
  EXPECT_TRUE(weakBanner.expired());
  EXPECT_TRUE(weakListener.expired());
  env_->advance(1);
}

TEST(BannerAdViewImplDeathTest, BuildingFromAnArchiveStopsWithItsReason) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        auto env = Platform::Environment::makeForTesting();
        Platform::Environment::Scope scope(*env);
        (void)BannerAdViewImpl::createFromCoder("<archive/>");
      },
      "init\\(coder:\\) has not been implemented");
}

}  // namespace
}  // namespace QVRAdKit
