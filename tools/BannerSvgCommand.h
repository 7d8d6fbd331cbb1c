#pragma once
// BannerSvgCommand is qvr-sandbox's banner picture: with --banner-svg FILE the program builds one
// partner banner through the module's banner builder, with the sample style, lays it out at a
// width and writes it as an SVG document instead of playing a session. The other --banner-*
// options choose the partner ad's texts and the partner's appearance.
// The options outside its group (a session's) do not apply to it; SandboxTool refuses them.
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
  // Whether option is one of the banner picture's own (or the program's help).
  [[nodiscard]] static bool owns(const CLI::Option& option);
  // Why the picture's path cannot be written (a directory, a folder that does not exist), one
  // line each; none for standard output or a path that can be.
  [[nodiscard]] std::vector<std::string> outputProblems() const;
  // Writes the picture to its file (written beside it and renamed into place once complete) or,
  // for "-" and the other names of standard output, to out, and returns the program's exit code:
  // the message on err when that failed ("cannot write the banner picture "b.svg": No space left
  // on device"). A stop asked for by a signal (Interruption) before the picture is complete
  // writes nothing and exits with 128 + the signal.
  [[nodiscard]] int run(std::ostream& out, std::ostream& err) const;

 private:
  std::string path_;
  double width_ = 375;
  double safeAreaBottom_ = 34;
  std::string title_;
  std::string subtitle_;
  // Whether the texts were given (an empty one included); set by addTo.
  const CLI::Option* titleOption_ = nullptr;
  const CLI::Option* subtitleOption_ = nullptr;
  bool noClose_ = false;
  bool partnerLook_ = false;
  std::string cta_;
  std::string position_;
  bool borderless_ = false;
  std::vector<double> insets_;
};

}  // namespace QVRAdKit::Tools
