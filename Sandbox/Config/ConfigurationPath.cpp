#include "Sandbox/Config/ConfigurationPath.h"

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>

namespace QVRAdKit::Sandbox::ConfigurationPath {
namespace {

bool isPlainName(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
  });
}

}  // namespace

std::string jsonText(std::string_view text) {
  return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string child(const std::string& path, std::string_view name) {
  if (!isPlainName(name)) return path + "[" + jsonText(name) + "]";
  return path.empty() ? std::string(name) : path + "." + std::string(name);
}

std::string element(const std::string& path, std::size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

std::string display(const std::string& path) {
  return path.empty() ? std::string("configuration") : path;
}

}  // namespace QVRAdKit::Sandbox::ConfigurationPath
