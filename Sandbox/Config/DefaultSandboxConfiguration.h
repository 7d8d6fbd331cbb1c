#pragma once
// kDefaultSandboxConfigurationJson is the configuration the sandbox host runs on when it is given
// none (and prints with --print-default-config): AdMob and IronSource as networks, connect
// interstitials from three AdMob keys, disconnect interstitials from two IronSource placements,
// AdMob for the application start, the main-screen app-open ad and the time-wall rewarded video,
// and a simulation in which the most valuable keys fill least often, and in which the time wall's
// reward (15 minutes) pauses ads for those 15 minutes.

#include <string_view>

namespace QVRAdKit::Sandbox {

inline constexpr std::string_view kDefaultSandboxConfigurationJson = R"json({
  "sources": {
    "adMob": null,
    "ironSource": "sandbox-ironsource-app-key"
  },
  "interstitial": {
    "connect": {
      "source": "adMob",
      "keys": ["/sandbox/interstitial/connect-high", "/sandbox/interstitial/connect-medium",
               "/sandbox/interstitial/connect-low"],
      "timeout": 60
    },
    "disconnect": {
      "source": "ironSource",
      "keys": ["disconnect_primary", "disconnect_fallback"],
      "timeout": 120
    },
    "appLaunch": {
      "source": "adMob",
      "keys": ["/sandbox/interstitial/app-launch"]
    }
  },
  "appOpen": {
    "main": {
      "source": "adMob",
      "keys": ["/sandbox/app-open/main"],
      "timeout": 30
    },
    "appLaunch": {
      "source": "adMob",
      "keys": ["/sandbox/app-open/app-launch"]
    }
  },
  "rewarded": {
    "timewall": {
      "source": "adMob",
      "keys": ["/sandbox/rewarded/timewall"]
    }
  },
  "simulation": {
    "adMob": {
      "startDelay": 0.3,
      "defaults": {
        "fillRate": 0.85,
        "latency": {"distribution": "logNormal", "minimum": 0.3, "maximum": 8, "median": 1.2,
                    "sigma": 0.6},
        "errorCodes": [1, 2, 5],
        "networkClassNames": ["GADMAdapterGoogleAdMobAds"],
        "onScreenDuration": 15,
        "reward": {"amount": 10, "type": "coins"}
      },
      "adUnits": {
        "/sandbox/interstitial/connect-high": {
          "fillRate": 0.35,
          "networkClassNames": ["GADMAdapterGoogleAdMobAds", "GADMediationAdapterUnity"]
        },
        "/sandbox/interstitial/connect-medium": {"fillRate": 0.6},
        "/sandbox/interstitial/connect-low": {
          "fillRate": 0.95,
          "latency": {"distribution": "uniform", "minimum": 0.2, "maximum": 1.5}
        },
        "/sandbox/interstitial/app-launch": {"fillRate": 0.7},
        "/sandbox/rewarded/timewall": {
          "fillRate": 0.8,
          "onScreenDuration": 30,
          "reward": {"amount": 15, "type": "minutes"}
        }
      }
    },
    "ironSource": {
      "initializationLatency": 1.0,
      "interstitial": {
        "fillRate": 0.9,
        "latency": {"minimum": 0.5, "maximum": 3},
        "adNetworks": ["ironSource", "UnityAds", "AppLovin"],
        "loadErrors": [{"code": 1001, "message": "No fill"},
                       {"code": 1002, "message": "Load timed out"}],
        "onScreenDuration": 15
      },
      "rewardedVideo": {
        "fillRate": 0.9,
        "latency": {"minimum": 0.5, "maximum": 3},
        "onScreenDuration": 30
      },
      "interstitialShowsPerHour": {"disconnect_primary": 4},
      "reward": {"name": "minutes", "amount": 15, "placement": "DefaultRewardedVideo"}
    },
    "consent": {"updateLatency": 0.4, "formLoadLatency": 0.6, "answerLatency": 3},
    "session": {
      "appLaunchTimeout": 10,
      "disconnected": {"minimum": 60, "maximum": 600},
      "connected": {"minimum": 120, "maximum": 900},
      "rewardedChance": 0.5,
      "backgroundChance": 0.3,
      "background": {"minimum": 30, "maximum": 300},
      "pauseAfterRewardSeconds": 900
    }
  }
}
)json";

}  // namespace QVRAdKit::Sandbox
