#pragma once
// BannerAdInteractor runs one partner banner: it follows the banner content its config provider
// publishes (repeats dropped), turns each content into a view model with the partner's appearance
// and hands it to the view, reports the banner's view, click and close records through
// UCR::report, tells the host's listener about taps, closes and visibility, and opens the
// redirect through its router on a tap.
//
// Shaping the view model: with an appearance whose CTA is not a bottom button, the model's title
// is split at line feeds (empty lines dropped) into title (first line) and subtitle (last line;
// a one-line title is both, a title with no text line gives two empty texts); an appearance icon
// drops the remote image address; one trailing full stop is cut from the title.
//
// Example (what the banner builder does):
//   auto interactor =
//       BannerAdInteractor::create(environment, configProvider, appearances, view, listener);
//   interactor->setRouter(std::make_shared<BannerAdRouter>(environment));
// Host code (the listener, the providers) is called through the module's host-fault policy: a
// call that throws is logged and the banner goes on as if it had returned.
// Threading: main queue. A model the provider publishes on another thread is moved to the main
// queue and presented when the host next drains it, never drawn on the publishing thread; if a
// newer model reached the banner meanwhile, the queued one is dropped. Owns
// the providers and the router; holds the view and the host's listener weakly: a listener the
// host lets go while the banner lives is reported once in the log (a host that wants no listener
// passes none). The view owns the interactor (create() installs it as the view's listener), so a
// caller may drop the returned pointer once the view holds it.

#include <cstdint>
#include <memory>
#include <optional>

#include "QVRAdKit/Banner/BannerAdConfigProvider.h"
#include "QVRAdKit/Banner/BannerAdListener.h"
#include "QVRAdKit/Banner/BannerAdModel.h"
#include "QVRAdKit/Banner/BannerAdPresentable.h"
#include "QVRAdKit/Banner/BannerAdPresentableListener.h"
#include "QVRAdKit/Banner/BannerAdRouter.h"
#include "QVRAdKit/Banner/BannerAppearanceProvider.h"
#include "QVRAdKit/Rx/DisposeBag.h"

namespace QVRAdKit {

class BannerAdInteractor final : public BannerAdPresentableListener,
                                 public std::enable_shared_from_this<BannerAdInteractor> {
  struct ConstructionKey {
    explicit ConstructionKey() = default;
  };

 public:
  // Stores the parts, installs itself as the presenter's listener, then subscribes to the
  // provider's model: the presenter receives its first view model (and the host listener its
  // first visibility, through the view) before this returns. appearanceProvider, presenter and
  // listener may be null. environment (whose main queue the banner runs on and whose sink takes its
  // records) outlives the interactor.
  static std::shared_ptr<BannerAdInteractor> create(
      Platform::Environment& environment, std::shared_ptr<BannerAdConfigProvider> configProvider,
      std::shared_ptr<BannerAppearanceProvider> appearanceProvider,
      const std::shared_ptr<BannerAdPresentable>& presenter,
      const std::shared_ptr<BannerAdListener>& listener);

  BannerAdInteractor(ConstructionKey key, Platform::Environment& environment,
                     std::shared_ptr<BannerAdConfigProvider> configProvider,
                     std::shared_ptr<BannerAppearanceProvider> appearanceProvider,
                     const std::shared_ptr<BannerAdPresentable>& presenter,
                     const std::shared_ptr<BannerAdListener>& listener);
  BannerAdInteractor(const BannerAdInteractor&) = delete;
  BannerAdInteractor& operator=(const BannerAdInteractor&) = delete;

  // The host listener hears of the tap first, even with nothing shown; then, with a current
  // model: the click record, markAsSeen on the provider, and the redirect through the router.
  void didTapBanner() override;
  // With a current model: the close record, then the host listener. Nothing without one. The
  // model stays current: the banner returns only when the provider publishes something else.
  void didTapClose() override;
  // Passed on to the host listener.
  void didChangeVisibility(bool isHidden) override;

  [[nodiscard]] const std::shared_ptr<BannerAdRouter>& router() const { return router_; }
  void setRouter(std::shared_ptr<BannerAdRouter> router);
  [[nodiscard]] const std::optional<BannerAdModel>& currentModel() const { return currentModel_; }

 private:
  void subscribe();
  // stamp orders the provider's values as they were published; an older one is dropped.
  void receive(const std::optional<BannerAdModel>& model, std::uint64_t stamp);
  void presentCurrentModel();
  // The host's listener while it lives; reports once that the host let it go.
  [[nodiscard]] std::shared_ptr<BannerAdListener> liveListener();

  Platform::Environment& environment_;
  const std::shared_ptr<BannerAdConfigProvider> configProvider_;
  const std::shared_ptr<BannerAppearanceProvider> appearanceProvider_;
  const std::weak_ptr<BannerAdPresentable> presenter_;
  const std::weak_ptr<BannerAdListener> listener_;
  const bool hadListener_;
  bool reportedLostListener_ = false;
  bool receivedAny_ = false;
  std::uint64_t lastStamp_ = 0;  // of the newest value received
  std::shared_ptr<BannerAdRouter> router_;
  Rx::DisposeBag bag_;
  std::optional<BannerAdModel> currentModel_;
  // Counts the models received: a presentation that finds it moved on after a host callback was
  // overtaken by a newer one.
  std::uint64_t modelChanges_ = 0;
};

}  // namespace QVRAdKit
