#pragma once
// A directory of its own under the system's temporary one, removed with everything in it when the
// object goes; and the bytes of a file, for tests that compare what was written.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace QVRAdKit::Testing {

inline std::string contents(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class TemporaryDirectory {
 public:
  explicit TemporaryDirectory(const std::string& prefix = "qvr-test-")
      : dir(std::filesystem::temp_directory_path() /
            (prefix + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(dir);
  }
  ~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

  // The path of name inside the directory.
  [[nodiscard]] std::string file(const std::string& name) const { return (dir / name).string(); }
  // Writes text to name inside the directory; answers its path.
  std::string write(const std::string& name, const std::string& text) const {
    std::ofstream(dir / name) << text;
    return file(name);
  }

  const std::filesystem::path dir;
};

}  // namespace QVRAdKit::Testing
