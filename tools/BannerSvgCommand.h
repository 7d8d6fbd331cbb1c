#pragma once
// BannerSvgCommand is qvr-sandbox's banner picture: with --banner-svg FILE the program builds one
// partner banner through the module's banner builder, with the sample style, lays it out at a
// width and writes it as an SVG document instead of playing a session. The other --banner-*
// options choose the partner ad's texts and the partner's appearance.
// Example: qvr-sandbox --banner-svg banner.svg --banner-width 768 --banner-cta accessoryIcon
// Threading: the program's main thread.

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace QVRAdKit::Tools {

class BannerSvgCommand {
 public:
  // Adds the --banner-* options to the program's options.
  void addTo(CLI::App& app);
  // True when --banner-svg was given.
  [[nodiscard]] bool requested() const { return !path_.empty(); }
  // Writes the picture to its file (written beside it and renamed into place once complete) or,
  // for "-" and the other names of standard output, to out; the message when that failed
  // ("cannot write the banner picture "b.svg": No space left on device").
  [[nodiscard]] std::optional<std::string> run(std::ostream& out) const;

 private:
  std::string path_;
  double width_ = 375;
  double safeAreaBottom_ = 34;
  std::string title_;
  std::string subtitle_;
  bool noClose_ = false;
  bool partnerLook_ = false;
  std::string cta_;
  std::string position_;
  bool borderless_ = false;
  std::vector<double> insets_;
};

}  // namespace QVRAdKit::Tools
