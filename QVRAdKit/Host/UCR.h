#pragma once
// UCR is the host's user-conversion reporting entry point. report() turns a record into its object
// form and passes it to the UCRSink registered in the current environment, or drops it when none
// is registered, so a module part can report without being handed a sink.
// Example:
//   environment->setService<UCRSink>(sink);
//   UCR::report(BannerAdViewEvent::ClickEvent("kd_free_trial_2022"));
// Threading: any thread; the sink is called on the reporting thread.

#include "QVRAdKit/Host/UCRReportable.h"

namespace QVRAdKit {

class UCR {
 public:
  UCR() = delete;
  static void report(const UCRReportable& record);
};

}  // namespace QVRAdKit
