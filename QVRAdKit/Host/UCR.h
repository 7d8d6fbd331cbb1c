#pragma once
// UCR is the host's user-conversion reporting entry point. report() turns a record into its object
// form and passes it to the UCRSink registered in the environment it is given, or drops it when
// none is registered, so a module part can report without being handed a sink.
// Example:
//   environment->setService<UCRSink>(sink);
//   UCR::report(*environment, BannerAdViewEvent::ClickEvent("kd_free_trial_2022"));
// Threading: any thread; the sink is called on the reporting thread.

#include "QVRAdKit/Host/UCRReportable.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class UCR {
 public:
  UCR() = delete;
  static void report(const Platform::Environment& environment, const UCRReportable& record);
  // The same in the installed environment (Platform::Environment::current()): the host's own
  // entry point, for hosts that run a single environment. The module always names its environment.
  static void report(const UCRReportable& record);
};

}  // namespace QVRAdKit
