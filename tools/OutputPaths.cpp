#include "tools/OutputPaths.h"

#include <filesystem>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

#include "Sandbox/Output/AtomicFile.h"
#include "Sandbox/Text/TerminalText.h"

namespace QVRAdKit::Sandbox {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kStandardOutput = "stdout";

std::string inode(const struct stat& status) {
  return "inode:" + std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
}

// The path made absolute, with its symbolic links followed, also a last one whose target does
// not exist yet (the file a run would create through it), and "." and ".." resolved.
fs::path resolved(const std::string& text) {
  std::error_code failed;
  fs::path path = fs::absolute(text, failed);
  if (failed) return text;
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(path, failed)); ++hops) {
    const fs::path target = fs::read_symlink(path, failed);
    if (failed) break;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  fs::path canonical = fs::weakly_canonical(path, failed);
  return failed ? path.lexically_normal() : canonical;
}

// What a path is, for comparing: standard output, an existing file, or a place for a new one.
std::string identity(const std::string& path) {
  if (OutputPaths::namesStandardOutput(path)) return std::string(kStandardOutput);
  struct stat file {};
  if (::stat(path.c_str(), &file) != 0) return "path:" + resolved(path).string();
  // Standard output redirected to this very file ("--events x > x"), or the pipe it writes to,
  // is standard output too.
  struct stat out {};
  if (::fstat(STDOUT_FILENO, &out) == 0 && (S_ISREG(out.st_mode) || S_ISFIFO(out.st_mode)) &&
      out.st_dev == file.st_dev && out.st_ino == file.st_ino) {
    return std::string(kStandardOutput);
  }
  return inode(file);
}

}  // namespace

bool OutputPaths::namesStandardOutput(std::string_view path) {
  return path == "-" || path == "/dev/stdout" || path == "/proc/self/fd/1" || path == "/dev/fd/1";
}

void OutputPaths::add(std::string option, const std::string& path, Role role,
                      std::string_view emptyHint) {
  if (path.empty()) {
    std::string problem = option + ": the path is empty";
    if (!emptyHint.empty()) problem += " (" + std::string(emptyHint) + ")";
    problems_.push_back(std::move(problem));
    return;
  }
  addEntry({std::move(option), path, identity(path), role});
}

void OutputPaths::addFileOutput(const std::string& option, const std::string& path) {
  const std::size_t known = problems_.size();
  add(option, path, Role::write);
  // Standard output is no file to make; a path already refused needs no second reason.
  if (problems_.size() != known || entries_.back().identity == kStandardOutput) return;
  if (const auto reason = AtomicFile::unwritable(path)) {
    problems_.push_back(option + ": cannot write " + TerminalText::quoted(path) + ": " + *reason);
  }
}

void OutputPaths::addStandardOutput(std::string option) {
  addEntry({std::move(option), "-", std::string(kStandardOutput), Role::write});
}

void OutputPaths::addEntry(Entry entry) {
  for (const Entry& other : entries_) {
    if (other.identity != entry.identity) continue;
    if (other.role == Role::read && entry.role == Role::read) continue;
    if (entry.identity == kStandardOutput) {
      problems_.push_back(other.option + " and " + entry.option +
                          " both write to standard output: give one of them a file");
    } else {
      problems_.push_back(
          other.option + " and " + entry.option + " name the same file " +
          TerminalText::quoted(other.path) +
          (other.path != entry.path ? " (as " + TerminalText::quoted(entry.path) + ")" : "") +
          ": one would overwrite the other");
    }
    return;  // one clash per path is enough
  }
  entries_.push_back(std::move(entry));
}

}  // namespace QVRAdKit::Sandbox
