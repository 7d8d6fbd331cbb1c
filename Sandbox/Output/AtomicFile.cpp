#include "Sandbox/Output/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Sandbox/Output/TemporaryFiles.h"
#include "Sandbox/Text/TerminalText.h"

namespace QVRAdKit::Sandbox {
namespace {

namespace fs = std::filesystem;

Platform::Error writeError(const std::string& what, int errorNumber) {
  return Platform::Error{std::string(AtomicFile::kErrorDomain), errorNumber,
                         "cannot write " + what + ": " + std::strerror(errorNumber)};
}

// The file a path names: symbolic links are followed, also one to a file not made yet, so that
// the link survives the rename and the file it names is made. A chain that does not end (a loop)
// is left as given: stat() then fails on it, and its reason is the open's.
std::string followed(const std::string& path) {
  std::error_code failed;
  fs::path place(path);
  for (int hops = 0; hops < 40; ++hops) {
    if (!fs::is_symlink(fs::symlink_status(place, failed))) return place.string();
    const fs::path target = fs::read_symlink(place, failed);
    if (failed) return path;
    place = target.is_absolute() ? target : place.parent_path() / target;
  }
  return path;
}

fs::path directoryOf(const fs::path& place) {
  return place.has_parent_path() ? place.parent_path() : fs::path(".");
}

struct Created {
  int descriptor = -1;
  int error = 0;  // errno when descriptor is -1
  std::string name;
};

constexpr std::string_view kTemporarySuffix = ".tmp";

// ".NAME.": the start of every temporary beside place.
std::string temporaryPrefix(const fs::path& place) {
  // Appended, not "." + string: g++ 12 at -O3 warns falsely of overlapping copies.
  std::string prefix(".");
  prefix += place.filename().string();
  prefix += '.';
  return prefix;
}

// A new file beside place (".NAME.PID-RANDOM.tmp"), made with mode. The temporaries of processes
// killed outright while writing place are removed first.
Created createBeside(const fs::path& place, mode_t mode) {
  (void)TemporaryFiles::sweep(directoryOf(place), temporaryPrefix(place), {kTemporarySuffix});
  std::random_device entropy;
  for (int attempt = 0;; ++attempt) {
    std::string name = temporaryPrefix(place);
    name += TemporaryFiles::tag();
    name += std::to_string(entropy());
    name += kTemporarySuffix;
    std::string temporary = (directoryOf(place) / name).string();
    const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    const int error = descriptor < 0 ? errno : 0;
    if (descriptor >= 0 || error != EEXIST || attempt >= 100) {
      return {descriptor, error, std::move(temporary)};
    }
  }
}

}  // namespace

Platform::Expected<std::unique_ptr<AtomicFile>> AtomicFile::open(const std::string& path,
                                                                 std::string what) {
  const std::string target = followed(path);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) return writeError(what, errno);  // a loop of links, say
  if (exists && S_ISDIR(existing.st_mode)) return writeError(what, EISDIR);
  if (exists && !S_ISREG(existing.st_mode)) {
    // Opening a named pipe waits for its reader, and a signal may cut the wait short.
    int descriptor = -1;
    do {
      descriptor = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) return writeError(what, errno);
    return std::unique_ptr<AtomicFile>(
        new AtomicFile(descriptor, target, target, std::move(what), /*synced=*/false));
  }
  // The new file gets the old one's permissions, or what the umask leaves of rw-rw-rw-.
  const mode_t mode = exists ? (existing.st_mode & 07777) : 0666;
  Created created = createBeside(fs::path(target), mode);
  if (created.descriptor < 0) return writeError(what, created.error);
  if (exists) (void)::fchmod(created.descriptor, mode);  // open() applied the umask
  const int slot = TemporaryFiles::add(created.name);
  auto file = std::unique_ptr<AtomicFile>(new AtomicFile(
      created.descriptor, target, std::move(created.name), std::move(what), /*synced=*/true));
  file->slot_ = slot;
  return file;
}

std::optional<std::string> AtomicFile::unwritable(const std::string& path) {
  const std::string target = followed(path);
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) return std::string("it is a directory");
    // A named pipe may get its reader only once the run has begun: not opened now.
    if (S_ISFIFO(existing.st_mode)) return std::nullopt;
    if (!S_ISREG(existing.st_mode)) {
      // A device is written in place: opened, and written nothing, which a device that takes no
      // bytes (/dev/full) refuses already.
      const int descriptor = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (descriptor < 0) return std::string(std::strerror(errno));
      const bool refused = ::write(descriptor, "", 0) < 0;
      const int cause = errno;
      ::close(descriptor);
      if (refused) return std::string(std::strerror(cause));
      return std::nullopt;
    }
  } else if (errno != ENOENT && errno != ENOTDIR) {
    return std::string(std::strerror(errno));  // a loop of links, a directory it may not search
  }
  const fs::path directory = directoryOf(fs::path(target));
  const std::string folderName = TerminalText::quoted(directory.string());
  struct stat folder {};
  if (::stat(directory.c_str(), &folder) != 0) {
    if (errno == ENOENT) return "the directory " + folderName + " does not exist";
    return std::string(std::strerror(errno));
  }
  if (!S_ISDIR(folder.st_mode)) return folderName + " is not a directory";
  // What open() makes first, made and removed at once: the only sure test of a directory (a
  // read-only or special file system, permissions).
  Created probe = createBeside(fs::path(target), 0600);
  if (probe.descriptor < 0) {
    // The directory exists, yet "no such file": a file system such as /proc's makes no files.
    if (probe.error == ENOENT) return "no file can be made in " + folderName;
    return "cannot make a file in " + folderName + ": " + std::strerror(probe.error);
  }
  const int slot = TemporaryFiles::add(probe.name);
  ::close(probe.descriptor);
  ::unlink(probe.name.c_str());
  TemporaryFiles::forget(slot);
  return std::nullopt;
}

Platform::Expected<std::unique_ptr<AtomicFile>> AtomicFile::openForAppending(
    const std::string& path, std::string what) {
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (descriptor < 0) return writeError(what, errno);
  struct stat opened {};
  const bool regular = ::fstat(descriptor, &opened) == 0 && S_ISREG(opened.st_mode);
  return std::unique_ptr<AtomicFile>(
      new AtomicFile(descriptor, path, path, std::move(what), /*synced=*/regular));
}

AtomicFile::AtomicFile(int descriptor, std::string target, std::string writing, std::string what,
                       bool synced)
    : descriptor_(descriptor),
      target_(std::move(target)),
      writing_(std::move(writing)),
      what_(std::move(what)),
      synced_(synced) {}

AtomicFile::~AtomicFile() {
  if (!done_) discard();
}

void AtomicFile::fail(int errorNumber) {
  if (!error_) error_ = writeError(what_, errorNumber);
}

void AtomicFile::discard() {
  done_ = true;
  if (descriptor_ >= 0) ::close(descriptor_);
  descriptor_ = -1;
  if (writing_ != target_) ::unlink(writing_.c_str());
  TemporaryFiles::forget(slot_);
  slot_ = -1;
}

std::optional<Platform::Error> AtomicFile::write(std::string_view bytes) {
  if (error_ || done_) return error_;
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;  // a signal arrived before anything was written: go on
      fail(errno);
      break;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return error_;
}

std::optional<Platform::Error> AtomicFile::commit() {
  if (done_) return error_;
  const bool inPlace = writing_ == target_;
  if (!error_ && synced_ && ::fsync(descriptor_) != 0) fail(errno);
  if (!error_) {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    // A close interrupted by a signal has still closed the descriptor on Linux: not retried.
    if (::close(descriptor) != 0 && errno != EINTR) fail(errno);
  }
  if (!error_ && !inPlace && ::rename(writing_.c_str(), target_.c_str()) != 0) fail(errno);
  if (error_) {
    discard();
    return error_;
  }
  done_ = true;
  TemporaryFiles::forget(slot_);
  slot_ = -1;
  if (!inPlace) {
    // The rename itself lasts once the directory is on disk.
    const fs::path place(target_);
    const std::string directory =
        place.has_parent_path() ? place.parent_path().string() : std::string(".");
    const int folder = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
      (void)::fsync(folder);
      ::close(folder);
    }
  }
  return std::nullopt;
}

}  // namespace QVRAdKit::Sandbox
