#pragma once
// UserServiceProtocol: the host's user service: the signed-in user, premium state and the user
// stream. Threading: called on the main queue.

#include "QVRAdKit/Host/QVUser.h"
#include "QVRAdKit/Rx/Observable.h"

namespace QVRAdKit {

class UserServiceProtocol {
 public:
  virtual ~UserServiceProtocol() = default;
  // The signed-in user, or nullptr when there is none yet.
  [[nodiscard]] virtual QVUserPtr currentUser() const = 0;
  [[nodiscard]] virtual bool isPremium() const = 0;
  // The current user at once, then every change.
  [[nodiscard]] virtual Rx::Observable<QVUserPtr> userStream() const = 0;
};

}  // namespace QVRAdKit
