#pragma once
// RateUsMoment is the host's moment passed to its rate-us service: the connect or the disconnect
// action.

namespace QVRAdKit {

enum class RateUsMoment { connect, disconnect };

}  // namespace QVRAdKit
