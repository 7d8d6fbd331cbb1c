#pragma once
// OutputPaths checks that no two of the files a run reads and writes are one file, before
// anything is opened for writing: a run must never write its events over its configuration, its
// page over its store, or two outputs into one stream. Each path is added with the option that
// names it and whether the run reads or writes it; two writers may never share a file, nor a
// writer and a reader (two readers may). Files that exist are compared by device and inode (hard
// links and symbolic links included); others by their path made absolute with "." and ".." and
// symbolic links resolved. "-", "/dev/stdout", "/proc/self/fd/1" and "/dev/fd/1" are standard
// output, as is a file or pipe that standard output is redirected to. An empty path is refused.
// A file written only when the run ends (a shard) is also checked to be writable at all
// (AtomicFile::unwritable), so that a long run does not end on an output it cannot make.
// Example:
//   OutputPaths paths;
//   paths.add("--config", configPath, OutputPaths::Role::read);
//   paths.add("--events", eventsPath, OutputPaths::Role::write);
//   for (const auto& problem : paths.problems()) report(problem);
// Threading: a value; add() reads the file system.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace QVRAdKit::Sandbox {

class OutputPaths {
 public:
  enum class Role { read, write };

  // Adds the path an option names. emptyHint ends the message for an empty path ("use - for
  // stdout").
  void add(std::string option, const std::string& path, Role role, std::string_view emptyHint = {});
  // A file the run writes whole at its end, added as a writer and checked to be writable now.
  void addFileOutput(const std::string& option, const std::string& path);
  // Standard output, written by option (a summary printed there, say).
  void addStandardOutput(std::string option);

  // One line per clash or empty path, in the order found.
  [[nodiscard]] const std::vector<std::string>& problems() const { return problems_; }

  // Whether path names standard output by name ("-", "/dev/stdout", ...).
  [[nodiscard]] static bool namesStandardOutput(std::string_view path);

 private:
  struct Entry {
    std::string option;
    std::string path;
    std::string identity;  // "stdout", "inode:DEV:INO" or "path:/resolved"
    Role role;
  };
  void addEntry(Entry entry);

  std::vector<Entry> entries_;
  std::vector<std::string> problems_;
};

}  // namespace QVRAdKit::Sandbox
