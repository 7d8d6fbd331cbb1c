#include "QVRAdKit/UI/TapGestureRecognizer.h"

#include "QVRAdKit/UI/View.h"

namespace QVRAdKit::UI {

std::shared_ptr<TapGestureRecognizer> TapGestureRecognizer::create(Handler handler) {
  auto recognizer = std::make_shared<TapGestureRecognizer>(Key{});
  recognizer->addHandler(std::move(handler));
  return recognizer;
}

void TapGestureRecognizer::addHandler(Handler handler) {
  if (handler) handlers_.push_back(std::move(handler));
}

bool TapGestureRecognizer::recognizeTap() {
  if (!enabled_) return false;
  auto view = view_.lock();
  if (!view) return false;
  for (auto current = view; current; current = current->superview()) {
    if (current->isHidden()) return false;
  }
  const auto keep = shared_from_this();  // a handler may detach this recogniser
  const std::vector<Handler> handlers = handlers_;
  for (const auto& handler : handlers) handler(*this);
  return true;
}

}  // namespace QVRAdKit::UI
