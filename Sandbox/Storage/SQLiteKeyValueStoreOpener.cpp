// How a store is opened: the path checked, the file held against other processes, its integrity
// and schema checked before anything writes to it, the schema created in a new file, the
// statements prepared and every entry loaded into memory.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "Sandbox/Storage/SQLiteKeyValueStore.h"
#include "Sandbox/Storage/SQLiteValueCodec.h"

namespace QVRAdKit::Sandbox {

namespace {

using SQLiteValueCodec::columnText;
using SQLiteValueCodec::decodeValue;
using SQLiteValueCodec::inQuotes;

// Written into the database header so that a store recognises its own files ("QVKV").
constexpr std::int64_t kApplicationId = 0x51564B56;
constexpr std::int64_t kSchemaVersion = 1;

std::string createSchemaSql() {
  return "BEGIN IMMEDIATE;"
         "CREATE TABLE IF NOT EXISTS entries ("
         "  namespace TEXT NOT NULL,"
         "  key TEXT NOT NULL,"
         "  type INTEGER NOT NULL CHECK (type BETWEEN 0 AND 4),"
         "  value,"  // no declared type: SQLite keeps each value's own storage class
         "  PRIMARY KEY (namespace, key)"
         ") WITHOUT ROWID;"
         "PRAGMA application_id = " +
         std::to_string(kApplicationId) +
         ";PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";COMMIT;";
}

constexpr const char* kUpsert =
    "INSERT OR REPLACE INTO entries (namespace, key, type, value) VALUES (?1, ?2, ?3, ?4)";
constexpr const char* kRemove = "DELETE FROM entries WHERE namespace = ?1 AND key = ?2";
constexpr const char* kLoad = "SELECT namespace, key, type, value FROM entries";

}  // namespace

// A store's hold on its file: an exclusive flock() on the database file, taken when the store
// opens and let go of when this process's last store of that file closes. flock() locks are apart
// from SQLite's own (fcntl) locks, and the kernel drops them with the process however it ends.
// There is one hold per file and process, shared by the process's stores of it: closing a second
// descriptor of the file would also drop SQLite's fcntl locks on it, which belong to the process
// rather than to a descriptor.
class SQLiteKeyValueStore::ProcessHold {
 public:
  struct Refusal {
    ErrorCode code;
    std::string reason;
  };

  // The hold on the file at path (which exists), this process's own when it has one already.
  static std::variant<std::shared_ptr<ProcessHold>, Refusal> take(const std::string& path) {
    const auto failed = [](std::string_view during) {
      return Refusal{ErrorCode::cannotOpen,
                     std::string(during) + " failed (" + std::strerror(errno) + ")"};
    };
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0) return failed("finding the file");
    const FileId id{named.st_dev, named.st_ino};
    const std::lock_guard lock(registryMutex());
    auto& holds = registry();
    if (const auto found = holds.find(id); found != holds.end()) {
      if (auto shared = found->second.lock()) return shared;
    }
    // The inode is checked before any descriptor of it is opened, so that none is closed under
    // another store of this process.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return failed("opening the file");
    struct stat opened {};
    if (::fstat(descriptor, &opened) != 0 || FileId{opened.st_dev, opened.st_ino} != id) {
      ::close(descriptor);
      return Refusal{ErrorCode::cannotOpen, "the file was replaced while it was being opened"};
    }
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      ::close(descriptor);
      if (error == EWOULDBLOCK) {
        return Refusal{ErrorCode::inUse,
                       "another process is playing a session on this store (one process at a "
                       "time holds it, until it closes the store or ends)"};
      }
      errno = error;
      return failed("taking the hold on the file");
    }
    auto hold = std::make_shared<ProcessHold>(id, descriptor);
    holds.insert_or_assign(id, hold);
    return hold;
  }

  using FileId = std::pair<dev_t, ino_t>;
  ProcessHold(FileId id, int descriptor) : id_(id), descriptor_(descriptor) {}
  ProcessHold(const ProcessHold&) = delete;
  ProcessHold& operator=(const ProcessHold&) = delete;

  ~ProcessHold() {
    const std::lock_guard lock(registryMutex());
    auto& entries = registry();
    if (auto entry = entries.find(id_); entry != entries.end() && entry->second.expired()) {
      entries.erase(entry);
    }
    ::close(descriptor_);  // lets the flock() go
  }

 private:
  static std::mutex& registryMutex() {
    static std::mutex mutex;
    return mutex;
  }
  // The holds of this process, by file.
  static std::map<FileId, std::weak_ptr<ProcessHold>>& registry() {
    static std::map<FileId, std::weak_ptr<ProcessHold>> holds;
    return holds;
  }

  FileId id_;
  int descriptor_;
};

// The steps of open(), each answering an Error that names the path and the reason.
class SQLiteKeyValueStore::Opener {
 public:
  Opener(const std::string& path, Options options) : path_(path), options_(options) {}

  Platform::Expected<std::shared_ptr<SQLiteKeyValueStore>> run() {
    // An in-memory store is its cache alone: a database that nobody reads back would only cost
    // the parsing of its schema and statements.
    if (path_ == kInMemoryPath) {
      return std::shared_ptr<SQLiteKeyValueStore>(
          new SQLiteKeyValueStore(path_, nullptr, nullptr, nullptr, nullptr, {}));
    }
    if (auto error = checkPath()) return *error;
    if (auto error = connect()) return *error;
    // Before the first read: a store that another process is playing a session on is refused
    // as it is, whatever that process is doing with it at this moment.
    auto hold = ProcessHold::take(path_);
    if (auto* refusal = std::get_if<ProcessHold::Refusal>(&hold)) {
      return error(refusal->code, refusal->reason);
    }
    hold_ = std::get<std::shared_ptr<ProcessHold>>(std::move(hold));
    if (auto error = checkIntegrity()) return *error;
    // The schema is checked before anything writes (the WAL switch rewrites the file header), so
    // that a database of another kind is refused without being changed.
    bool isNew = false;
    if (auto error = checkSchema(isNew)) return *error;
    if (auto error = configure()) return *error;
    if (isNew) {
      if (auto error = exec(createSchemaSql().c_str(), "creating the schema")) return *error;
    }
    // Taken and let go at once: a store another process is writing is refused now, not found out
    // when the session's first write waits for it in vain.
    if (auto error = exec("BEGIN IMMEDIATE; ROLLBACK;", "taking the write lock")) return *error;
    Statement upsert;
    Statement remove;
    if (auto error = prepare(kUpsert, upsert)) return *error;
    if (auto error = prepare(kRemove, remove)) return *error;
    TextMap<Space> cache;
    if (auto error = load(cache)) return *error;
    return std::shared_ptr<SQLiteKeyValueStore>(
        new SQLiteKeyValueStore(path_, std::move(hold_), std::move(connection_), std::move(upsert),
                                std::move(remove), std::move(cache)));
  }

 private:
  Platform::Error error(ErrorCode code, std::string_view reason) const {
    std::string text = "Cannot open the store at " + inQuotes(path_) + ": ";
    text += reason;
    return {std::string(kErrorDomain), static_cast<std::int64_t>(code), std::move(text)};
  }

  // The error for a failed SQLite call, classified by its result code.
  Platform::Error sqliteError(int rc, std::string_view during) const {
    const std::string detail = connection_ ? sqlite3_errmsg(connection_.get()) : sqlite3_errstr(rc);
    const std::string reason = std::string(during) + " failed (" + detail + ")";
    switch (rc & 0xff) {
      case SQLITE_NOTADB:
        return error(ErrorCode::notADatabase,
                     "the file is not an SQLite database (" + detail + ")");
      case SQLITE_CORRUPT:
        return error(ErrorCode::corrupt, "the database is corrupt (" + detail + ")");
      case SQLITE_READONLY:
        // SQLite keeps its journal beside the file: a read-only directory fails here too.
        return error(ErrorCode::readOnly,
                     reason +
                         "; the file or its directory is read-only (the journal is kept "
                         "beside the file)");
      case SQLITE_BUSY:
        return error(ErrorCode::cannotOpen, "another process holds it locked (" + detail + ", " +
                                                std::string(during) + ")");
      default:
        return error(ErrorCode::cannotOpen, reason);
    }
  }

  // Gives clearer reasons than SQLite's "unable to open database file" for the usual mistakes.
  std::optional<Platform::Error> checkPath() const {
    namespace fs = std::filesystem;
    if (path_.empty()) return error(ErrorCode::cannotOpen, "the path is empty");
    std::error_code ignored;
    if (fs::is_directory(path_, ignored)) {
      return error(ErrorCode::cannotOpen, "the path is a directory");
    }
    if (fs::exists(path_, ignored) && !fs::is_regular_file(path_, ignored)) {
      return error(ErrorCode::cannotOpen,
                   "the path is not a regular file (a device, a pipe or a socket holds no store)");
    }
    // A link that names no file yet: the file is made where the link points.
    fs::path place(path_);
    if (fs::is_symlink(place, ignored) && !fs::exists(place, ignored)) {
      const fs::path target = fs::read_symlink(place, ignored);
      if (!target.empty()) place = target.is_absolute() ? target : place.parent_path() / target;
    }
    const fs::path parent = place.parent_path();
    if (!parent.empty() && !fs::is_directory(parent, ignored)) {
      const bool exists = fs::exists(parent, ignored);
      return error(ErrorCode::cannotOpen, "the directory " + inQuotes(parent.string()) +
                                              (exists ? " is not a directory" : " does not exist"));
    }
    return std::nullopt;
  }

  std::optional<Platform::Error> connect() {
    sqlite3* raw = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path_.c_str(), &raw, flags, nullptr);
    connection_.reset(raw);  // closed on every path, even when opening failed
    if (rc != SQLITE_OK) return sqliteError(rc, "opening the file");
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, static_cast<int>(options_.busyTimeout.count()));
    // SQLite falls back to reading when the file is write-protected; a store must write.
    if (sqlite3_db_readonly(raw, "main") == 1) {
      return error(ErrorCode::readOnly, "the file is read-only (no write permission)");
    }
    return std::nullopt;
  }

  // The first read of the file: a file of another kind fails here with "not a database".
  std::optional<Platform::Error> checkIntegrity() {
    if (auto first = queryInteger("SELECT count(*) FROM sqlite_master", "reading the file");
        first.error) {
      return first.error;
    }
    Statement check;
    if (auto error = prepare("PRAGMA quick_check", check)) return error;
    std::string problems;
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(check.get())) == SQLITE_ROW) {
      const auto line = columnText(check.get(), 0);
      if (line == "ok") continue;
      if (!problems.empty()) problems += "; ";
      problems += line;
    }
    if (rc != SQLITE_DONE) return sqliteError(rc, "checking integrity");
    if (!problems.empty()) {
      return error(ErrorCode::corrupt, "the database is corrupt (" + problems + ")");
    }
    return std::nullopt;
  }

  std::optional<Platform::Error> configure() {
    Statement journal;
    if (auto error = prepare("PRAGMA journal_mode = WAL", journal)) return error;
    const int rc = sqlite3_step(journal.get());
    if (rc != SQLITE_ROW) return sqliteError(rc, "switching to the WAL journal");
    if (columnText(journal.get(), 0) != "wal") {
      return error(ErrorCode::cannotOpen, "the file system does not support the WAL journal");
    }
    if (!options_.durable) return exec("PRAGMA synchronous = OFF", "setting unsynced commits");
    return exec("PRAGMA synchronous = FULL", "setting durable commits");
  }

  // An empty file is new (isNew: it gets the table once configured); an existing one must be a
  // store of this kind and version. Only reads.
  std::optional<Platform::Error> checkSchema(bool& isNew) {
    auto applicationId = queryInteger("PRAGMA application_id", "reading the application id");
    if (applicationId.error) return applicationId.error;
    auto objects = queryInteger("SELECT count(*) FROM sqlite_master", "reading the schema");
    if (objects.error) return objects.error;
    if (applicationId.value == 0 && objects.value == 0) {
      isNew = true;
      return std::nullopt;
    }
    if (applicationId.value != kApplicationId) {
      return error(ErrorCode::schemaMismatch,
                   "the database belongs to another application (it is not a key-value store)");
    }
    auto version = queryInteger("PRAGMA user_version", "reading the schema version");
    if (version.error) return version.error;
    if (version.value != kSchemaVersion) {
      const bool newer = version.value > kSchemaVersion;
      return error(
          ErrorCode::schemaMismatch,
          "the schema version is " + std::to_string(version.value) + ", expected " +
              std::to_string(kSchemaVersion) +
              (newer ? ": a newer version of this program wrote it; open it with that version, or "
                       "use another file"
                     : ""));
    }
    return checkColumns();
  }

  std::optional<Platform::Error> checkColumns() {
    static constexpr std::string_view kExpected[] = {"namespace", "key", "type", "value"};
    Statement columns;
    if (auto error = prepare("PRAGMA table_info(entries)", columns)) return error;
    std::size_t count = 0;
    int rc = SQLITE_OK;
    bool matches = true;
    while ((rc = sqlite3_step(columns.get())) == SQLITE_ROW) {
      // table_info rows: cid, name, type, notnull, default, pk (position in the primary key).
      const auto name = columnText(columns.get(), 1);
      const auto keyPosition = sqlite3_column_int(columns.get(), 5);
      const int expectedKeyPosition = count < 2 ? static_cast<int>(count) + 1 : 0;
      matches = matches && count < std::size(kExpected) && name == kExpected[count] &&
                keyPosition == expectedKeyPosition;
      ++count;
    }
    if (rc != SQLITE_DONE) return sqliteError(rc, "reading the table layout");
    if (!matches || count != std::size(kExpected)) {
      return error(ErrorCode::schemaMismatch,
                   "the table \"entries\" does not have the columns (namespace, key, type, value)");
    }
    return std::nullopt;
  }

  std::optional<Platform::Error> load(TextMap<Space>& cache) {
    Statement rows;
    if (auto error = prepare(kLoad, rows)) return error;
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(rows.get())) == SQLITE_ROW) {
      const auto nameSpace = columnText(rows.get(), 0);
      const auto key = columnText(rows.get(), 1);
      auto value = decodeValue(rows.get());
      if (!value) {
        return error(ErrorCode::corrupt, "the entry " + inQuotes(key) + " in namespace " +
                                             inQuotes(nameSpace) +
                                             " holds a value that does not fit its type");
      }
      auto space = cache.find(nameSpace);
      if (space == cache.end()) space = cache.emplace(std::string(nameSpace), Space()).first;
      space->second.insert_or_assign(std::string(key), std::move(*value));
    }
    if (rc != SQLITE_DONE) return sqliteError(rc, "loading the entries");
    return std::nullopt;
  }

  struct IntegerResult {
    std::int64_t value = 0;
    std::optional<Platform::Error> error;
  };
  IntegerResult queryInteger(const char* sql, std::string_view during) {
    Statement statement;
    if (auto error = prepare(sql, statement)) return {0, error};
    const int rc = sqlite3_step(statement.get());
    if (rc != SQLITE_ROW) return {0, sqliteError(rc, during)};
    return {sqlite3_column_int64(statement.get(), 0), std::nullopt};
  }

  std::optional<Platform::Error> prepare(const char* sql, Statement& statement) {
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(connection_.get(), sql, -1, &raw, nullptr);
    statement.reset(raw);
    if (rc != SQLITE_OK) return sqliteError(rc, std::string("preparing \"") + sql + "\"");
    return std::nullopt;
  }

  std::optional<Platform::Error> exec(const char* sql, std::string_view during) {
    const int rc = sqlite3_exec(connection_.get(), sql, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return std::nullopt;
    auto failure = sqliteError(rc, during);
    if (sqlite3_get_autocommit(connection_.get()) == 0) {
      sqlite3_exec(connection_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    return failure;
  }

  const std::string& path_;
  Options options_;
  // Let go of after the connection closes, on every path (declared before it).
  std::shared_ptr<ProcessHold> hold_;
  Connection connection_;
};

Platform::Expected<std::shared_ptr<SQLiteKeyValueStore>> SQLiteKeyValueStore::open(
    const std::string& path) {
  return open(path, Options());
}

Platform::Expected<std::shared_ptr<SQLiteKeyValueStore>> SQLiteKeyValueStore::open(
    const std::string& path, Options options) {
  try {
    return Opener(path, options).run();
  } catch (const std::exception& exception) {
    // Only allocation can throw here; the factory still answers instead of throwing.
    return Platform::Error{std::string(kErrorDomain),
                           static_cast<std::int64_t>(ErrorCode::cannotOpen),
                           "Cannot open the store at " + inQuotes(path) + ": " + exception.what()};
  }
}

}  // namespace QVRAdKit::Sandbox
