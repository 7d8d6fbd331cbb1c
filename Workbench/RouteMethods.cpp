#include "Workbench/RouteMethods.h"

#include <httplib.h>

namespace QVRAdKit::Workbench {

void RouteMethods::get(const std::string& pattern, Handler handler) {
  server_.Get(pattern, std::move(handler));
  methods_.emplace_back(std::regex(pattern), "GET, HEAD");
}

void RouteMethods::post(const std::string& pattern, Handler handler) {
  server_.Post(pattern, std::move(handler));
  methods_.emplace_back(std::regex(pattern), "POST");
}

std::string RouteMethods::allowed(const std::string& path) const {
  std::string methods;
  for (const auto& [pattern, method] : methods_) {
    if (!std::regex_match(path, pattern) || methods.find(method) != std::string::npos) continue;
    if (!methods.empty()) methods += ", ";
    methods += method;
  }
  return methods;
}

bool RouteMethods::takes(const std::string& path, const std::string& method) const {
  return (", " + allowed(path) + ",").find(" " + method + ",") != std::string::npos;
}

}  // namespace QVRAdKit::Workbench
