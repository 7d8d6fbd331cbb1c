#pragma once
// AppOpenAdType says which app-open ad the host wants.

namespace QVRAdKit {

enum class AppOpenAdType { none, main, appLaunch };

}  // namespace QVRAdKit
