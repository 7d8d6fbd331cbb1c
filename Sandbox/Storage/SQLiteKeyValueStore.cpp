#include "Sandbox/Storage/SQLiteKeyValueStore.h"

#include <sqlite3.h>

#include <filesystem>
#include <limits>
#include <type_traits>
#include <utility>
#include <variant>

namespace QVRAdKit::Sandbox {

namespace {

// Written into the database header so that a store recognises its own files ("QVKV").
constexpr std::int64_t kApplicationId = 0x51564B56;
constexpr std::int64_t kSchemaVersion = 1;

// The type tag kept beside each value, so that a date reads back as a date and not a double.
enum class TypeTag : int { boolean = 0, integer = 1, real = 2, text = 3, date = 4 };

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

std::string inQuotes(std::string_view text) {
  std::string result;
  result.reserve(text.size() + 2);
  result += '"';
  result += text;
  result += '"';
  return result;
}

int bindText(sqlite3_stmt* statement, int index, std::string_view text) {
  return sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                           SQLITE_STATIC);
}

std::string_view columnText(sqlite3_stmt* statement, int column) {
  const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  if (data == nullptr) return {};
  return {data, static_cast<std::size_t>(sqlite3_column_bytes(statement, column))};
}

// Binds the type tag (parameter 3) and the value (parameter 4) of an upsert.
int bindValue(sqlite3_stmt* statement, const StorableValue& value) {
  return std::visit(
      [statement](const auto& held) {
        using T = std::decay_t<decltype(held)>;
        auto tag = [statement](TypeTag type) {
          return sqlite3_bind_int(statement, 3, static_cast<int>(type));
        };
        if constexpr (std::is_same_v<T, bool>) {
          if (int rc = tag(TypeTag::boolean); rc != SQLITE_OK) return rc;
          return sqlite3_bind_int(statement, 4, held ? 1 : 0);
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          if (int rc = tag(TypeTag::integer); rc != SQLITE_OK) return rc;
          return sqlite3_bind_int64(statement, 4, held);
        } else if constexpr (std::is_same_v<T, double>) {
          if (int rc = tag(TypeTag::real); rc != SQLITE_OK) return rc;
          return sqlite3_bind_double(statement, 4, held);  // NaN is stored as NULL
        } else if constexpr (std::is_same_v<T, std::string>) {
          if (int rc = tag(TypeTag::text); rc != SQLITE_OK) return rc;
          return bindText(statement, 4, held);
        } else {
          if (int rc = tag(TypeTag::date); rc != SQLITE_OK) return rc;
          return sqlite3_bind_double(statement, 4, held.timeIntervalSince1970());
        }
      },
      value);
}

// The value of a loaded row, or none when its storage class does not fit its type tag.
std::optional<StorableValue> decodeValue(sqlite3_stmt* statement) {
  const int type = sqlite3_column_int(statement, 2);
  const int storage = sqlite3_column_type(statement, 3);
  // SQLite stores NaN as NULL; a real or a date read back as NULL was a NaN.
  auto real = [&]() -> std::optional<double> {
    if (storage == SQLITE_FLOAT) return sqlite3_column_double(statement, 3);
    if (storage == SQLITE_NULL) return std::numeric_limits<double>::quiet_NaN();
    return std::nullopt;
  };
  // Built in place: moving a finished variant into the optional trips GCC 12's
  // maybe-uninitialized check under the sanitizers.
  auto make = [](auto held) {
    return std::optional<StorableValue>(std::in_place, std::move(held));
  };
  switch (static_cast<TypeTag>(type)) {
    case TypeTag::boolean: {
      if (storage != SQLITE_INTEGER) return std::nullopt;
      const auto number = sqlite3_column_int64(statement, 3);
      if (number != 0 && number != 1) return std::nullopt;
      return make(number == 1);
    }
    case TypeTag::integer:
      if (storage != SQLITE_INTEGER) return std::nullopt;
      return make(static_cast<std::int64_t>(sqlite3_column_int64(statement, 3)));
    case TypeTag::real:
      if (auto number = real()) return make(*number);
      return std::nullopt;
    case TypeTag::text:
      if (storage != SQLITE_TEXT) return std::nullopt;
      return make(std::string(columnText(statement, 3)));
    case TypeTag::date:
      if (auto number = real()) return make(Platform::Date(*number));
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

void SQLiteKeyValueStore::StatementDeleter::operator()(sqlite3_stmt* statement) const {
  sqlite3_finalize(statement);
}

void SQLiteKeyValueStore::ConnectionDeleter::operator()(sqlite3* connection) const {
  sqlite3_close_v2(connection);
}

// The steps of open(), each answering an Error that names the path and the reason.
class SQLiteKeyValueStore::Opener {
 public:
  Opener(const std::string& path, Options options) : path_(path), options_(options) {}

  Platform::Expected<std::shared_ptr<SQLiteKeyValueStore>> run() {
    // An in-memory store is its cache alone: a database that nobody reads back would only cost
    // the parsing of its schema and statements.
    if (path_ == kInMemoryPath) {
      return std::shared_ptr<SQLiteKeyValueStore>(
          new SQLiteKeyValueStore(path_, nullptr, nullptr, nullptr, {}));
    }
    if (auto error = checkPath()) return *error;
    if (auto error = connect()) return *error;
    if (auto error = checkIntegrity()) return *error;
    // The schema is checked before anything writes (the WAL switch rewrites the file header), so
    // that a database of another kind is refused without being changed.
    bool isNew = false;
    if (auto error = checkSchema(isNew)) return *error;
    if (auto error = configure()) return *error;
    if (isNew) {
      if (auto error = exec(createSchemaSql().c_str(), "creating the schema")) return *error;
    }
    Statement upsert;
    Statement remove;
    if (auto error = prepare(kUpsert, upsert)) return *error;
    if (auto error = prepare(kRemove, remove)) return *error;
    TextMap<Space> cache;
    if (auto error = load(cache)) return *error;
    return std::shared_ptr<SQLiteKeyValueStore>(new SQLiteKeyValueStore(
        path_, std::move(connection_), std::move(upsert), std::move(remove), std::move(cache)));
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
        return error(ErrorCode::readOnly, reason);
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
    const fs::path parent = fs::path(path_).parent_path();
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
      return error(ErrorCode::schemaMismatch, "the schema version is " +
                                                  std::to_string(version.value) + ", expected " +
                                                  std::to_string(kSchemaVersion));
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

SQLiteKeyValueStore::SQLiteKeyValueStore(std::string path, Connection connection, Statement upsert,
                                         Statement remove, TextMap<Space> cache)
    : path_(std::move(path)),
      connection_(std::move(connection)),
      upsert_(std::move(upsert)),
      remove_(std::move(remove)),
      cache_(std::move(cache)) {}

SQLiteKeyValueStore::~SQLiteKeyValueStore() = default;

std::optional<StorableValue> SQLiteKeyValueStore::value(std::string_view nameSpace,
                                                        std::string_view key) const {
  std::lock_guard lock(mutex_);
  const auto space = cache_.find(nameSpace);
  if (space == cache_.end()) return std::nullopt;
  const auto entry = space->second.find(key);
  if (entry == space->second.end()) return std::nullopt;
  return entry->second;
}

std::optional<Platform::Error> SQLiteKeyValueStore::setValue(
    std::string_view nameSpace, std::string_view key, const std::optional<StorableValue>& value) {
  std::lock_guard lock(mutex_);
  if (auto failure = writeLocked(nameSpace, key, value)) return failure;
  // Committed: memory follows the file.
  cacheLocked(nameSpace, key, value);
  return std::nullopt;
}

std::optional<Platform::Error> SQLiteKeyValueStore::setValues(std::span<const Write> writes) {
  std::lock_guard lock(mutex_);
  if (writes.empty()) return std::nullopt;
  sqlite3* connection = connection_.get();
  if (!connection) {  // in memory only: nothing to commit
    for (const Write& write : writes) cacheLocked(write.nameSpace, write.key, write.value);
    return std::nullopt;
  }
  auto fail = [&](std::string_view nameSpace, std::string_view key) {
    auto failure = writeError(nameSpace, key);
    if (sqlite3_get_autocommit(connection) == 0) {
      sqlite3_exec(connection, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    return failure;
  };
  if (sqlite3_exec(connection, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return fail(writes.front().nameSpace, writes.front().key);
  }
  for (const Write& write : writes) {
    if (writeLocked(write.nameSpace, write.key, write.value)) {
      return fail(write.nameSpace, write.key);
    }
  }
  if (sqlite3_exec(connection, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return fail(writes.back().nameSpace, writes.back().key);
  }
  // All committed together: memory follows, all at once under the lock.
  for (const Write& write : writes) cacheLocked(write.nameSpace, write.key, write.value);
  return std::nullopt;
}

std::optional<Platform::Error> SQLiteKeyValueStore::writeLocked(
    std::string_view nameSpace, std::string_view key, const std::optional<StorableValue>& value) {
  if (!connection_) return std::nullopt;  // in memory only
  sqlite3_stmt* statement = value ? upsert_.get() : remove_.get();
  int rc = bindText(statement, 1, nameSpace);
  if (rc == SQLITE_OK) rc = bindText(statement, 2, key);
  if (rc == SQLITE_OK && value) rc = bindValue(statement, *value);
  if (rc == SQLITE_OK) rc = sqlite3_step(statement);
  // Read the message before reset, which would replace it.
  std::optional<Platform::Error> failure;
  if (rc != SQLITE_DONE) failure = writeError(nameSpace, key);
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);  // the bound texts are views that die with this call
  return failure;
}

void SQLiteKeyValueStore::cacheLocked(std::string_view nameSpace, std::string_view key,
                                      const std::optional<StorableValue>& value) {
  auto space = cache_.find(nameSpace);
  if (value) {
    if (space == cache_.end()) space = cache_.emplace(std::string(nameSpace), Space()).first;
    if (auto entry = space->second.find(key); entry != space->second.end()) {
      entry->second = *value;
    } else {
      space->second.emplace(std::string(key), *value);
    }
  } else if (space != cache_.end()) {
    if (auto entry = space->second.find(key); entry != space->second.end()) {
      space->second.erase(entry);
    }
  }
}

Platform::Error SQLiteKeyValueStore::writeError(std::string_view nameSpace,
                                                std::string_view key) const {
  std::string text = "Cannot save " + inQuotes(key) + " in namespace " + inQuotes(nameSpace) +
                     " of the store at " + inQuotes(path_) + ": " +
                     sqlite3_errmsg(connection_.get());
  return {std::string(kErrorDomain), static_cast<std::int64_t>(ErrorCode::writeFailed),
          std::move(text)};
}

}  // namespace QVRAdKit::Sandbox
