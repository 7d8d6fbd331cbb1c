#include "Sandbox/Output/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Sandbox/Output/TemporaryFiles.h"

namespace QVRAdKit::Sandbox {
namespace {

namespace fs = std::filesystem;

Platform::Error writeError(const std::string& what, int errorNumber) {
  return Platform::Error{std::string(AtomicFile::kErrorDomain), errorNumber,
                         "cannot write " + what + ": " + std::strerror(errorNumber)};
}

// The file a path names: a symbolic link is followed (also to a file not made yet), so that the
// link survives the rename.
std::string followed(const std::string& path) {
  std::error_code failed;
  if (!fs::is_symlink(fs::symlink_status(path, failed))) return path;
  const fs::path resolved = fs::weakly_canonical(path, failed);
  return failed ? path : resolved.string();
}

}  // namespace

Platform::Expected<std::unique_ptr<AtomicFile>> AtomicFile::open(const std::string& path,
                                                                 std::string what) {
  const std::string target = followed(path);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
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
  const fs::path place(target);
  const fs::path directory = place.has_parent_path() ? place.parent_path() : fs::path(".");
  // The new file gets the old one's permissions, or what the umask leaves of rw-rw-rw-.
  const mode_t mode = exists ? (existing.st_mode & 07777) : 0666;
  std::random_device entropy;
  for (int attempt = 0;; ++attempt) {
    // Appended, not "." + string: g++ 12 at -O3 warns falsely of overlapping copies.
    std::string name(".");
    name += place.filename().string();
    name += '.';
    name += std::to_string(entropy());
    name += ".tmp";
    const std::string temporary = (directory / name).string();
    const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (descriptor < 0) {
      if (errno == EEXIST && attempt < 100) continue;
      return writeError(what, errno);
    }
    if (exists) (void)::fchmod(descriptor, mode);  // open() applied the umask
    auto file = std::unique_ptr<AtomicFile>(
        new AtomicFile(descriptor, target, temporary, std::move(what), /*synced=*/true));
    file->slot_ = TemporaryFiles::add(temporary);
    return file;
  }
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
