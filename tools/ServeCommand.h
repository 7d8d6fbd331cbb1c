#pragma once
// ServeCommand is `qvr-sandbox serve`: the configuration workbench, a local web page to edit and
// check a configuration and to run Monte Carlo sessions on it (WorkbenchServer). It listens on
// 127.0.0.1 unless --listen names another address, which it then warns about once listening: the
// workbench has no accounts, so whoever reaches it can run simulations. It prints its address and
// serves until Ctrl-C (or SIGTERM), then cancels its runs, ends the connections still open and
// ends.
// Example: qvr-sandbox serve --port 8765 --config my.json
// Threading: the program's main thread.

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <string>

namespace QVRAdKit::Tools {

class ServeCommand {
 public:
  // Adds the serve subcommand and its options.
  void addTo(CLI::App& app);
  // True when the command line chose serve.
  [[nodiscard]] bool requested() const { return command_ != nullptr && command_->parsed(); }
  // Serves until interrupted: 0 after Ctrl-C, 2 when the options or the file are refused or the
  // address cannot be listened on.
  [[nodiscard]] int run(std::ostream& out, std::ostream& err) const;
  // The address --listen names, as the server takes it: an IPv6 address's brackets taken off
  // (the address is printed as a URL writes it, and taken back as written), localhost as
  // 127.0.0.1; none when it is empty or blank.
  [[nodiscard]] static std::optional<std::string> listenAddress(std::string written);

 private:
  CLI::App* command_ = nullptr;
  int port_ = 8765;
  std::optional<std::string> configPath_;
  std::string listen_ = "127.0.0.1";
};

}  // namespace QVRAdKit::Tools
