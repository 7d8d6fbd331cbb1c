#pragma once
// ApplicationState is the phone application's run state; the values are the operating system's.

namespace QVRAdKit::Platform {

enum class ApplicationState { active = 0, inactive = 1, background = 2 };

}  // namespace QVRAdKit::Platform
