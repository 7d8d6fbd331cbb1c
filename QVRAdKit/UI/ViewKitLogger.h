#pragma once
// ViewKitLogger is the view kit's logging port: where views report what they could not do (a
// layout that did not settle, conflicting required constraints, a view added inside itself). The
// kit sits below the host layer and knows no host logger; whoever owns the environment registers
// one of these in it (environment.setService<UI::ViewKitLogger>(...)): the banner builder
// forwards to the host's QVLogger (ClientKit's HostViewKitLogger). Without one the kit writes to
// stderr. Neither call stops the caller.
// Threading: called on the main queue; an implementation shared between environments must be
// thread-safe.

#include <string_view>

namespace QVRAdKit::UI {

class ViewKitLogger {
 public:
  virtual ~ViewKitLogger() = default;
  // Something the kit worked around: the layout goes on.
  virtual void warning(std::string_view message, std::string_view file, std::string_view function,
                       int line) = 0;
  // A programming error in the caller: the kit ignored the request or the constraint.
  virtual void assertionFailure(std::string_view message, std::string_view file,
                                std::string_view function, int line) = 0;
};

// Report to the ViewKitLogger of the installed environment, or to stderr without one.
void viewKitWarning(std::string_view message, std::string_view file, std::string_view function,
                    int line);
void viewKitAssertionFailure(std::string_view message, std::string_view file,
                             std::string_view function, int line);

}  // namespace QVRAdKit::UI
