#include "Sandbox/Render/SandboxIcons.h"

namespace QVRAdKit::Sandbox {

std::optional<SandboxIcons::Icon> SandboxIcons::find(std::string_view name) {
  if (name == "close") {
    return Icon{{24, 24},
                "<circle cx=\"12\" cy=\"12\" r=\"11\" fill=\"#98A2B3\"/>"
                "<path d=\"M8 8L16 16M16 8L8 16\" fill=\"none\" stroke=\"#FFFFFF\" "
                "stroke-width=\"2\" stroke-linecap=\"round\"/>"};
  }
  if (name == "chevron-right") {
    return Icon{{8, 14},
                "<path d=\"M1.5 1.5L6.5 7L1.5 12.5\" fill=\"none\" stroke=\"#98A2B3\" "
                "stroke-width=\"2\" stroke-linecap=\"round\" stroke-linejoin=\"round\"/>"};
  }
  if (name == "arrow-circle") {
    return Icon{{28, 28},
                "<circle cx=\"14\" cy=\"14\" r=\"14\" fill=\"#FFFFFF\"/>"
                "<path d=\"M8 14H19.5M14.5 9L19.5 14L14.5 19\" fill=\"none\" stroke=\"#1D2A5B\" "
                "stroke-width=\"2.2\" stroke-linecap=\"round\" stroke-linejoin=\"round\"/>"};
  }
  if (name == "partner-logo") {
    return Icon{{72, 44},
                "<rect width=\"72\" height=\"44\" rx=\"8\" fill=\"#3E6AE1\"/>"
                "<path d=\"M36 7L47 11V20C47 28 42 33.5 36 36.5C30 33.5 25 28 25 20V11Z\" "
                "fill=\"#FFFFFF\"/>"
                "<path d=\"M31 21.5L34.5 25L41.5 17.5\" fill=\"none\" stroke=\"#3E6AE1\" "
                "stroke-width=\"2.4\" stroke-linecap=\"round\" stroke-linejoin=\"round\"/>"};
  }
  if (name == "partner-placeholder") {
    return Icon{{72, 44},
                "<rect width=\"72\" height=\"44\" rx=\"8\" fill=\"#E4E7EC\"/>"
                "<circle cx=\"29\" cy=\"16\" r=\"3.5\" fill=\"#98A2B3\"/>"
                "<path d=\"M22 33L31 24L36 29L42 21L50 33Z\" fill=\"#98A2B3\"/>"};
  }
  return std::nullopt;
}

SandboxIcons::Icon SandboxIcons::unknown() {
  return Icon{{24, 24},
              "<rect x=\"2\" y=\"4\" width=\"20\" height=\"16\" rx=\"2\" fill=\"#E4E7EC\" "
              "stroke=\"#98A2B3\" stroke-width=\"1.5\"/>"
              "<circle cx=\"8.5\" cy=\"9.5\" r=\"1.8\" fill=\"#98A2B3\"/>"
              "<path d=\"M5 18L10 13L13 16L16 12L20 18Z\" fill=\"#98A2B3\"/>"};
}

}  // namespace QVRAdKit::Sandbox
