#include "QVRAdKit/Banner/BannerAdInteractor.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "QVRAdKit/Banner/PartnerAdName.h"
#include "QVRAdKit/Host/EventCatalog/BannerAdViewEvent.h"
#include "QVRAdKit/Host/HostFault.h"
#include "QVRAdKit/Host/HostLogger.h"
#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/Host/UCR.h"
#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit {
namespace {

// The non-empty lines of text, in order.
// The first and the last of the text's non-empty lines (the same line when it has one; both
// empty when it has none).
std::pair<std::string_view, std::string_view> outerLines(std::string_view text) {
  std::string_view first;
  std::string_view last;
  bool found = false;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const auto line = text.substr(0, end);
    if (!line.empty()) {
      if (!found) first = line;
      last = line;
      found = true;
    }
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return {first, last};
}

}  // namespace

std::shared_ptr<BannerAdInteractor> BannerAdInteractor::create(
    Platform::Environment& environment, std::shared_ptr<BannerAdConfigProvider> configProvider,
    std::shared_ptr<BannerAppearanceProvider> appearanceProvider,
    const std::shared_ptr<BannerAdPresentable>& presenter,
    const std::shared_ptr<BannerAdListener>& listener) {
  QVR_CHECK_MAIN_QUEUE();
  auto interactor = std::make_shared<BannerAdInteractor>(
      ConstructionKey{}, environment, std::move(configProvider), std::move(appearanceProvider),
      presenter, listener);
  // The view must own its listener before the first view model reaches it: the view forwards
  // that model's visibility to the listener it has at that moment.
  if (presenter) presenter->setListener(interactor);
  interactor->subscribe();
  return interactor;
}

BannerAdInteractor::BannerAdInteractor(ConstructionKey /*key*/, Platform::Environment& environment,
                                       std::shared_ptr<BannerAdConfigProvider> configProvider,
                                       std::shared_ptr<BannerAppearanceProvider> appearanceProvider,
                                       const std::shared_ptr<BannerAdPresentable>& presenter,
                                       const std::shared_ptr<BannerAdListener>& listener)
    : environment_(environment),
      configProvider_(std::move(configProvider)),
      appearanceProvider_(std::move(appearanceProvider)),
      presenter_(presenter),
      listener_(listener),
      hadListener_(listener != nullptr) {}

void BannerAdInteractor::subscribe() {
  if (!configProvider_) {
    QVLogAssertionFailure("A banner was built without a config provider; it stays empty",
                          QVR_FILE_TEXT,
                          "init(configProvider:appearanceProvider:presenter:listener:)", __LINE__);
    if (auto presenter = presenter_.lock()) presenter->setViewModel(std::nullopt);
    return;
  }
  const auto relay = callHost(
      QVR_FILE_TEXT, "init(configProvider:appearanceProvider:presenter:listener:)", __LINE__,
      std::shared_ptr<BannerAdModelRelay>(), [&] { return configProvider_->model(); });
  if (!relay) {
    QVLogAssertionFailure("The banner's config provider has no model relay; the banner stays empty",
                          QVR_FILE_TEXT,
                          "init(configProvider:appearanceProvider:presenter:listener:)", __LINE__);
    if (auto presenter = presenter_.lock()) presenter->setViewModel(std::nullopt);
    return;
  }
  std::weak_ptr<BannerAdInteractor> weak = weak_from_this();
  // Each value is stamped where it is observed, on whichever thread published it, so that the
  // main queue can tell a value that waited in it from a newer one already drawn.
  auto stamps = std::make_shared<std::atomic<std::uint64_t>>(0);
  relay->asObservable()
      .subscribe(
          [weak, stamps, environment = &environment_](const std::optional<BannerAdModel>& model) {
            const std::uint64_t stamp = stamps->fetch_add(1) + 1;
            if (environment->mainQueue().isCurrent()) {
              if (auto self = weak.lock()) self->receive(model, stamp);
              return;
            }
            // Published on another thread: the banner draws on the main queue only.
            environment->mainQueue().async([weak, model, stamp] {
              if (auto self = weak.lock()) self->receive(model, stamp);
            });
          })
      .disposed(bag_);
}

void BannerAdInteractor::receive(const std::optional<BannerAdModel>& model, std::uint64_t stamp) {
  // A value queued from another thread arrives after any the main thread published meanwhile:
  // the provider has moved on from it, so it is not drawn over the newer one.
  if (stamp < lastStamp_) return;
  lastStamp_ = stamp;
  // Repeats are dropped here, on the main queue, so that models moved from another thread are
  // compared in the order they arrive.
  if (receivedAny_ && model == currentModel_) return;
  receivedAny_ = true;
  currentModel_ = model;
  ++modelChanges_;
  presentCurrentModel();
}

std::shared_ptr<BannerAdListener> BannerAdInteractor::liveListener() {
  auto listener = listener_.lock();
  if (!listener && hadListener_ && !reportedLostListener_) {
    reportedLostListener_ = true;
    QVLog(LogFlag::warning,
          "The banner's listener was released while the banner lives, so the host hears no more "
          "taps, closes or visibility changes: keep a strong reference to it for as long as the "
          "banner is shown (a host that wants no listener passes none)",
          QVR_FILE_TEXT, "listener", __LINE__);
  }
  return listener;
}

void BannerAdInteractor::presentCurrentModel() {
  if (!currentModel_) {
    if (auto presenter = presenter_.lock()) presenter->setViewModel(std::nullopt);
    return;
  }
  // What is needed of the model is copied before any host callback: one reached from here may
  // publish a new model and replace currentModel_. That model was then presented in full by the
  // nested call, so this one stops rather than draw the older content over it.
  const std::uint64_t presenting = modelChanges_;
  const auto replaced = [&] { return modelChanges_ != presenting; };
  const BannerAdModel& current = *currentModel_;
  const std::string partnerName = current.partnerName();
  BannerViewModel viewModel{current.title(), current.subtitle(), current.imageUrl(),
                            !current.showCloseButton(), std::nullopt};
  // The view is counted even when nothing is left to show it: the content was published.
  UCR::report(environment_, BannerAdViewEvent::ViewEvent(partnerName, std::nullopt, ""));
  if (replaced()) return;

  if (appearanceProvider_) {
    viewModel.appearance =
        callHost(QVR_FILE_TEXT, "appearance(for:)", __LINE__, std::optional<BannerAppearance>(),
                 [&] { return appearanceProvider_->appearance(partnerAdName(partnerName)); });
    if (replaced()) return;
  }
  if (const auto& appearance = viewModel.appearance) {
    if (appearance->cta && appearance->cta->type != BannerCTAType::bottomButton) {
      // The accessory layouts have no room for both texts: the title carries both lines.
      const auto [first, last] = outerLines(viewModel.title);
      std::string title(first);
      std::string subtitle(last);
      viewModel.title = std::move(title);
      viewModel.subtitle = std::move(subtitle);
    }
    if (appearance->icon) viewModel.imageUrl = std::nullopt;
  }
  if (!viewModel.title.empty() && viewModel.title.back() == '.') viewModel.title.pop_back();

  if (auto presenter = presenter_.lock()) presenter->setViewModel(std::move(viewModel));
}

void BannerAdInteractor::setRouter(std::shared_ptr<BannerAdRouter> router) {
  QVR_CHECK_MAIN_QUEUE();
  router_ = std::move(router);
}

void BannerAdInteractor::didTapBanner() {
  QVR_CHECK_MAIN_QUEUE();
  // The host may drop its banner view (and with it this interactor) from bannerAdDidClick; the
  // rest of the tap still runs on a live object.
  const auto keepAlive = weak_from_this().lock();
  if (auto listener = liveListener()) {
    callHostAction(QVR_FILE_TEXT, "bannerAdDidClick()", __LINE__,
                   [&] { listener->bannerAdDidClick(); });
  }
  if (!currentModel_) return;
  const BannerAdModel model = *currentModel_;
  UCR::report(environment_, BannerAdViewEvent::ClickEvent(model.partnerName()));
  callHostAction(QVR_FILE_TEXT, "markAsSeen(_:)", __LINE__,
                 [&] { configProvider_->markAsSeen(model); });
  // Held locally: opening the address may reach host code that replaces the router.
  if (const auto router = router_) router->openRedirect(model.redirectUrl());
}

void BannerAdInteractor::didTapClose() {
  QVR_CHECK_MAIN_QUEUE();
  if (!currentModel_) return;
  UCR::report(environment_, BannerAdViewEvent::CloseEvent(currentModel_->partnerName()));
  if (auto listener = liveListener()) {
    callHostAction(QVR_FILE_TEXT, "bannerAdDidClose()", __LINE__,
                   [&] { listener->bannerAdDidClose(); });
  }
}

void BannerAdInteractor::didChangeVisibility(bool isHidden) {
  QVR_CHECK_MAIN_QUEUE();
  if (auto listener = liveListener()) {
    callHostAction(QVR_FILE_TEXT, "bannerAdDidChangeVisibility(_:)", __LINE__,
                   [&] { listener->bannerAdDidChangeVisibility(isHidden); });
  }
}

}  // namespace QVRAdKit
