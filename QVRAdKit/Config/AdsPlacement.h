#pragma once
// AdsPlacement is any placement of any ad format: an interstitial, rewarded or app-open placement,
// tagged with its format. Equal when format and placement are equal; hashable (format, then
// placement), so it keys the host's pause switches. Its textual form, used only in log texts,
// names the format and the placement with its module and type:
//   AdsPlacement::interstitial(InterstitialAdPlacement::connect).description()
//     == "interstitial(QVRAdKit.InterstitialAdPlacement.connect)"
// A plain value: copying and comparing never allocate; only description() does.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "QVRAdKit/Config/AppOpenAdPlacement.h"
#include "QVRAdKit/Config/InterstitialAdPlacement.h"
#include "QVRAdKit/Config/RewardedAdPlacement.h"

namespace QVRAdKit {

class AdsPlacement {
 public:
  // The format, in this order.
  enum class Format { interstitial, rewarded, appOpen };
  // The placement of the format; the alternative's index is the Format.
  using Payload = std::variant<InterstitialAdPlacement, RewardedAdPlacement, AppOpenAdPlacement>;

  [[nodiscard]] static constexpr AdsPlacement interstitial(InterstitialAdPlacement placement) {
    return AdsPlacement(Payload(std::in_place_index<0>, placement));
  }
  [[nodiscard]] static constexpr AdsPlacement rewarded(RewardedAdPlacement placement) {
    return AdsPlacement(Payload(std::in_place_index<1>, placement));
  }
  [[nodiscard]] static constexpr AdsPlacement appOpen(AppOpenAdPlacement placement) {
    return AdsPlacement(Payload(std::in_place_index<2>, placement));
  }

  [[nodiscard]] constexpr Format format() const { return static_cast<Format>(payload_.index()); }
  [[nodiscard]] constexpr const Payload& payload() const { return payload_; }

  // The placement when the format matches, otherwise none.
  [[nodiscard]] constexpr std::optional<InterstitialAdPlacement> interstitialPlacement() const {
    return payloadIf<InterstitialAdPlacement>();
  }
  [[nodiscard]] constexpr std::optional<RewardedAdPlacement> rewardedPlacement() const {
    return payloadIf<RewardedAdPlacement>();
  }
  [[nodiscard]] constexpr std::optional<AppOpenAdPlacement> appOpenPlacement() const {
    return payloadIf<AppOpenAdPlacement>();
  }

  // "interstitial(QVRAdKit.InterstitialAdPlacement.connect)" and the like.
  [[nodiscard]] std::string description() const;

  // Mixes the format and then the placement.
  [[nodiscard]] constexpr std::size_t hashValue() const {
    const std::size_t placement =
        std::visit([](auto value) { return static_cast<std::size_t>(value); }, payload_);
    return payload_.index() * 0x9E3779B97F4A7C15ull + placement;
  }

  friend constexpr bool operator==(const AdsPlacement&, const AdsPlacement&) = default;

 private:
  constexpr explicit AdsPlacement(Payload payload) : payload_(payload) {}

  template <class T>
  [[nodiscard]] constexpr std::optional<T> payloadIf() const {
    if (const T* value = std::get_if<T>(&payload_)) return *value;
    return std::nullopt;
  }

  Payload payload_;
};

}  // namespace QVRAdKit

template <>
struct std::hash<QVRAdKit::AdsPlacement> {
  std::size_t operator()(const QVRAdKit::AdsPlacement& placement) const noexcept {
    return std::hash<std::size_t>{}(placement.hashValue());
  }
};
