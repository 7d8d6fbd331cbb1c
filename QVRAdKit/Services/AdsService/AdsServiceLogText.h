#pragma once
// Private to the files of AdsService: the file text its log calls carry. The type is one unit for
// the host's logs, whichever of its files (decisions, start-up run, hand-out of ads) logs.
// Threading: constants only.

#include <string_view>

namespace QVRAdKit::AdsServiceLogText {

inline constexpr std::string_view kFile = "QVRAdKit/Services/AdsService/AdsService";

}  // namespace QVRAdKit::AdsServiceLogText
