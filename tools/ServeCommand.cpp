#include "tools/ServeCommand.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

#include "Sandbox/Config/DefaultSandboxConfiguration.h"
#include "Sandbox/Config/StrictJsonParser.h"
#include "Workbench/WorkbenchServer.h"
#include "tools/Interruption.h"
#include "tools/TrialFiles.h"

namespace QVRAdKit::Tools {
namespace {

constexpr int kBadInput = 2;

// The file's text, at most the checker's limit plus one byte (so a larger file shows its
// problem in the editor); none when it cannot be read, with the reason when one is known.
std::optional<std::string> readConfiguration(const std::string& path, std::string& reason) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    reason = ": it is a directory";
    return std::nullopt;
  }
  std::ifstream file(path, std::ios::in | std::ios::binary);
  if (!file.is_open()) {
    reason = std::string(": ") + std::strerror(errno);
    return std::nullopt;
  }
  std::string text(Sandbox::StrictJsonParser::kMaxBytes + 1, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (file.bad()) {
    reason = std::string(": ") + std::strerror(errno);
    return std::nullopt;
  }
  text.resize(static_cast<std::size_t>(file.gcount()));
  return text;
}

// What is wrong with an address written with more than an address in it, which the server would
// only report as one it cannot listen on; none for anything that may be an address.
std::optional<std::string> listenMistake(const std::string& address) {
  if (address.find("://") != std::string::npos) {
    return "give the address alone, without a scheme such as http://";
  }
  if (address.find('/') != std::string::npos) return "give an address, not a URL or a path";
  if (address.find_first_of("[]") != std::string::npos) {
    return "an IPv6 address goes in one pair of brackets, or none";
  }
  if (std::count(address.begin(), address.end(), ':') == 1) {
    return "give the address alone, and the port with --port";
  }
  return std::nullopt;
}

bool isLoopback(const std::string& address) {
  return address.starts_with("127.") || address == "::1" || address == "localhost";
}

}  // namespace

void ServeCommand::addTo(CLI::App& app) {
  command_ = app.add_subcommand("serve",
                                "Serve the configuration workbench, a local web page to "
                                "edit, check and simulate a configuration");
  command_
      ->add_option("--port", port_, "TCP port; 0 picks a free one (the address printed names it)")
      ->capture_default_str()
      ->check(CLI::Validator(
          [](const std::string& value) -> std::string {
            int port = -1;
            const char* end = value.data() + value.size();
            const auto [stop, error] = std::from_chars(value.data(), end, port);
            if (error == std::errc{} && stop == end && port >= 0 && port <= 65535) return {};
            return "must be a whole number from 0 to 65535, found \"" + value + '"';
          },
          "0 to 65535"));
  command_->add_option_function<std::string>(
      "--config", [this](const std::string& path) { configPath_ = path; },
      "JSON configuration file the editor opens (default: the embedded configuration)");
  command_
      ->add_option("--listen", listen_,
                   "Address to listen on; anything but loopback lets other machines run "
                   "simulations here")
      ->capture_default_str();
  command_->footer(
      "It runs until Ctrl-C (SIGINT), SIGTERM or SIGHUP: then it cancels its runs and exits with "
      "status 0; a second signal stops it at once, with status 128 + the signal. Status 2: a bad "
      "option, or an address or port it cannot listen on.");
}

std::optional<std::string> ServeCommand::listenAddress(std::string written) {
  if (written.size() > 2 && written.front() == '[' && written.back() == ']') {
    written = written.substr(1, written.size() - 2);
  }
  if (written.find_first_not_of(" \t") == std::string::npos) return std::nullopt;
  return written == "localhost" ? "127.0.0.1" : written;
}

int ServeCommand::run(std::ostream& out, std::ostream& err) const {
  auto listen = listenAddress(listen_);
  if (!listen) {
    err << "qvr-sandbox: --listen: the address is empty (leave --listen out for 127.0.0.1)\n";
    return kBadInput;
  }
  if (auto mistake = listenMistake(*listen)) {
    err << "qvr-sandbox: --listen: \"" << *listen << "\": " << *mistake << '\n';
    return kBadInput;
  }
  Workbench::WorkbenchServer::Options options;
  options.listenAddress = *listen;
  options.port = port_;
  options.configurationText = std::string(Sandbox::kDefaultSandboxConfigurationJson);
  options.toolVersion = Sandbox::TrialFiles::toolVersion();
  if (configPath_) {
    std::string reason;
    auto text = readConfiguration(*configPath_, reason);
    if (!text) {
      err << "qvr-sandbox: cannot read the configuration file \"" << *configPath_ << '"' << reason
          << '\n';
      return kBadInput;
    }
    options.configurationText = std::move(*text);
    options.configurationLabel = *configPath_;
  }
  const bool exposed = !isLoopback(options.listenAddress);
  Workbench::WorkbenchServer server(std::move(options));
  if (auto problem = server.start()) {
    err << "qvr-sandbox: " << *problem << '\n';
    return kBadInput;
  }
  // Once listening: an address that cannot be listened on exposes nothing.
  if (exposed) {
    err << "qvr-sandbox: warning: listening on " << *listen
        << ": the workbench has no accounts; anyone who can reach this address can read the "
           "configuration and run simulations here\n";
    if (*listen == "0.0.0.0" || *listen == "::") {
      err << "qvr-sandbox: open it by one of this machine's addresses, localhost or the "
             "machine's name, short or fully qualified: a request that names the server otherwise "
             "is refused (403)\n";
    }
  }
  out << "qvr-sandbox: workbench at " << server.address() << " (Ctrl-C stops it)" << std::endl;
  // The signal handler only sets a flag; a person's Ctrl-C is answered within a fifth of a second.
  Sandbox::Interruption::setStopsAtOnce(false);  // Ctrl-C now cancels the runs and stops
  while (!Sandbox::Interruption::requested()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  server.stop();
  out << "qvr-sandbox: workbench stopped" << std::endl;
  return 0;
}

}  // namespace QVRAdKit::Tools
