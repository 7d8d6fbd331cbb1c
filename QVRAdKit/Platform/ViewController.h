#pragma once
// ViewController stands for the screen from which the host presents a full-screen ad or a consent
// form. The module only passes it on to the network layers; the sandbox records it.

#include <string>

namespace QVRAdKit::Platform {

class ViewController {
 public:
  explicit ViewController(std::string name = "root") : name_(std::move(name)) {}
  [[nodiscard]] const std::string& name() const { return name_; }

 private:
  std::string name_;
};

}  // namespace QVRAdKit::Platform
