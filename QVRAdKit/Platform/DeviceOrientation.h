#pragma once
// DeviceOrientation is the physical orientation of the phone; the values are the operating
// system's.

namespace QVRAdKit::Platform {

enum class DeviceOrientation {
  unknown = 0,
  portrait = 1,
  portraitUpsideDown = 2,
  landscapeLeft = 3,
  landscapeRight = 4,
  faceUp = 5,
  faceDown = 6,
};

constexpr bool isPortrait(DeviceOrientation orientation) {
  return orientation == DeviceOrientation::portrait ||
         orientation == DeviceOrientation::portraitUpsideDown;
}

constexpr bool isLandscape(DeviceOrientation orientation) {
  return orientation == DeviceOrientation::landscapeLeft ||
         orientation == DeviceOrientation::landscapeRight;
}

}  // namespace QVRAdKit::Platform
