#include "tools/TrialFiles.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "Sandbox/Config/DefaultSandboxConfiguration.h"
#include "Sandbox/Output/AtomicFile.h"
#include "Sandbox/Text/TerminalText.h"

#ifndef QVR_TOOL_VERSION
#define QVR_TOOL_VERSION "unknown"
#endif

namespace QVRAdKit::Sandbox {
namespace {

constexpr const char* kErrorDomain = "QVRAdKit.Sandbox.TrialFiles";

std::optional<std::string> contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file.is_open()) return std::nullopt;
  std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) return std::nullopt;
  return text;
}

}  // namespace

std::string TrialFiles::toolVersion() {
  return QVR_TOOL_VERSION;
}

Platform::Expected<std::string> TrialFiles::fingerprint(const std::optional<std::string>& path,
                                                        const std::string& region,
                                                        const std::string& answer) {
  std::string text(kDefaultSandboxConfigurationJson);
  if (path) {
    auto read = contents(*path);
    if (!read) {
      return Platform::Error{kErrorDomain, 2,
                             "cannot read \"" + *path + "\": " + std::strerror(errno)};
    }
    text = std::move(*read);
  }
  return TrialShard::configurationFingerprint(text, region, answer);
}

std::optional<Platform::Error> TrialFiles::write(const TrialShard& shard, const std::string& path) {
  // Into place only when whole: an interrupted run never leaves half a shard to be merged.
  auto file = AtomicFile::open(path, "the shard \"" + path + "\"");
  if (!file) return file.error();
  (*file)->write(TrialShard::json(shard) + "\n");
  return (*file)->commit();
}

Platform::Expected<TrialShard> TrialFiles::read(const std::string& path) {
  // The path shown escaped: a line break in it cannot split the message.
  const std::string cannotRead = "cannot read the shard " + TerminalText::quoted(path) + ": ";
  std::error_code failed;
  if (std::filesystem::is_directory(path, failed)) {
    return Platform::Error{kErrorDomain, 2, cannotRead + "it is a directory"};
  }
  std::ifstream file(path, std::ios::in | std::ios::binary);
  if (!file.is_open()) return Platform::Error{kErrorDomain, 2, cannotRead + std::strerror(errno)};
  // In pieces, so that memory follows the file, and bounded even for a pipe or a device that never
  // ends: one byte past the limit tells it is over.
  std::string text;
  std::array<char, 65536> piece{};
  while (text.size() <= kMaxShardBytes && file) {
    file.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    text.append(piece.data(), static_cast<std::size_t>(file.gcount()));
  }
  if (file.bad()) return Platform::Error{kErrorDomain, 2, cannotRead + std::strerror(errno)};
  if (text.size() > kMaxShardBytes) {
    return Platform::Error{kErrorDomain, 2,
                           "the shard " + TerminalText::quoted(path) +
                               " is more than the limit of " + std::to_string(kMaxShardBytes) +
                               " bytes"};
  }
  return TrialShard::parse(text, path);
}

}  // namespace QVRAdKit::Sandbox
