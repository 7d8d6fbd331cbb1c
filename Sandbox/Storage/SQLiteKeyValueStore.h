#pragma once
// SQLiteKeyValueStore keeps typed values (bool, integer, double, text, date) under text keys,
// grouped in namespaces, in one SQLite file. Every write is its own durable commit (WAL journal,
// synchronous=FULL; unsynced when opened as not durable), and setValues() commits values that
// belong together in one transaction, all or none; every value is also held in a memory cache
// loaded at open, so reads never touch the disk. A store kept in a file is held by this process
// from open until it closes: another process that opens it meanwhile is refused (inUse), and the
// hold goes with the process, however it ends, so a killed process leaves none behind.
// SQLiteStorage and SQLiteUserDefaults are views of one namespace each and share the store. An
// existing file of another kind (another application's database, another schema) is refused before
// anything writes to it, so it is left as it was. The cache assumes this object is the only writer
// of the file while it is open. Threading: every member may be called from any thread (one mutex
// guards the connection and the cache), until confineToCurrentThread(). Closing happens when the
// last owner releases the store.
//
// Example:
//   auto store = SQLiteKeyValueStore::open("/tmp/host.sqlite");
//   if (!store) { report(store.error()); return; }
//   (*store)->setValue("storage", "pausedTill", StorableValue(Platform::Date(1.7e9)));

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "QVRAdKit/Host/Storage.h"
#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/Platform/Expected.h"
#include "QVRAdKit/Platform/TextEqual.h"
#include "QVRAdKit/Platform/TextHash.h"
#include "QVRAdKit/Rx/ConfinableMutex.h"

struct sqlite3;
struct sqlite3_stmt;

namespace QVRAdKit::Sandbox {

class SQLiteKeyValueStore {
 public:
  // The domain of every error this store answers.
  static constexpr std::string_view kErrorDomain = "QVRAdKit.Sandbox.Storage";
  // A store at this path lives in memory only (no database at all: its cache is the store) and
  // goes with its last owner; for throw-away sessions such as the sandbox's repeated trials.
  static constexpr std::string_view kInMemoryPath = ":memory:";

  enum class ErrorCode : std::int64_t {
    cannotOpen = 1,      // the path is a directory, its directory is missing, no permission...
    notADatabase = 2,    // the file exists but is not an SQLite database
    corrupt = 3,         // the database fails its integrity check or holds malformed entries
    schemaMismatch = 4,  // a valid database that is not a key-value store of this kind
    readOnly = 5,        // the file can be read but not written
    writeFailed = 6,     // a write could not be committed; the previous value is kept
    inUse = 7,           // another process has the store open
  };

  struct Options {
    // How long a write waits for a lock held by another connection before failing.
    std::chrono::milliseconds busyTimeout{2000};
    // False for a store that no crash needs to survive (a temporary file removed after the run):
    // commits are still atomic but not synced to the disk (synchronous=OFF), which spares a
    // file-system sync per write.
    bool durable = true;
  };

  // Opens (creating when missing) the store at path, checks its integrity and schema and loads
  // every value into memory. Never throws: every failure is an Error in kErrorDomain whose text
  // names the path and the reason.
  [[nodiscard]] static Platform::Expected<std::shared_ptr<SQLiteKeyValueStore>> open(
      const std::string& path);
  [[nodiscard]] static Platform::Expected<std::shared_ptr<SQLiteKeyValueStore>> open(
      const std::string& path, Options options);

  ~SQLiteKeyValueStore();
  SQLiteKeyValueStore(const SQLiteKeyValueStore&) = delete;
  SQLiteKeyValueStore& operator=(const SQLiteKeyValueStore&) = delete;

  // The value under key in nameSpace, from memory. Does not allocate unless the value is text.
  [[nodiscard]] std::optional<StorableValue> value(std::string_view nameSpace,
                                                   std::string_view key) const;
  // Commits value under key in nameSpace (none removes it), then updates memory. On failure the
  // previous value stays, both on disk and in memory, and the error is answered.
  std::optional<Platform::Error> setValue(std::string_view nameSpace, std::string_view key,
                                          const std::optional<StorableValue>& value);

  // One value of a setValues() batch; none removes the entry.
  struct Write {
    std::string_view nameSpace;
    std::string_view key;
    std::optional<StorableValue> value;
  };
  // Commits every write in one transaction, in order, then updates memory. On failure nothing
  // changes, on disk or in memory, and the error names the write that failed.
  std::optional<Platform::Error> setValues(std::span<const Write> writes);

  // A value that every later write outside its own namespace stores beside the written ones, in
  // the same transaction: a host keeps its simulated time with the data this way, so that a
  // process killed mid-session leaves the moment the store reached with what it wrote then.
  // value() is called under the store's lock, so it must not use the store.
  struct Stamp {
    std::string nameSpace;
    std::string key;
    std::function<StorableValue()> value;
  };
  // Starts stamping every later write with stamp (none stops it).
  void stampWrites(std::optional<Stamp> stamp);

  [[nodiscard]] const std::string& path() const { return path_; }

  // Promises that only the calling thread uses the store from now on, so that it takes no lock
  // (a host running a session on one thread); before any other thread may see it.
  void confineToCurrentThread() { mutex_.confineToCurrentThread(); }

 private:
  // Lookups by view build no std::string.
  template <class Value>
  using TextMap = std::unordered_map<std::string, Value, Platform::TextHash, Platform::TextEqual>;
  using Space = TextMap<StorableValue>;

  struct StatementDeleter {
    void operator()(sqlite3_stmt* statement) const;
  };
  using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;
  struct ConnectionDeleter {
    void operator()(sqlite3* connection) const;
  };
  using Connection = std::unique_ptr<sqlite3, ConnectionDeleter>;

  class Opener;
  class ProcessHold;

  SQLiteKeyValueStore(std::string path, std::shared_ptr<ProcessHold> hold, Connection connection,
                      Statement upsert, Statement remove, TextMap<Space> cache);

  Platform::Error writeError(std::string_view nameSpace, std::string_view key) const;
  // setValues with the mutex held, without the stamp.
  std::optional<Platform::Error> commitLocked(std::span<const Write> writes);
  // Whether a write to nameSpace carries the stamp; the mutex is held.
  [[nodiscard]] bool stampsLocked(std::string_view nameSpace) const;
  // One upsert or delete, without transaction of its own; the mutex is held.
  std::optional<Platform::Error> writeLocked(std::string_view nameSpace, std::string_view key,
                                             const std::optional<StorableValue>& value);
  void cacheLocked(std::string_view nameSpace, std::string_view key,
                   const std::optional<StorableValue>& value);

  const std::string path_;
  mutable Rx::ConfinableMutex mutex_{"SQLiteKeyValueStore"};
  // Let go of after the connection closes (declared before it): the hold's file descriptor must
  // outlive SQLite's own locks on the file.
  std::shared_ptr<ProcessHold> hold_;
  // Declared before the statements so that they are finalized before the connection closes.
  Connection connection_;
  Statement upsert_;
  Statement remove_;
  TextMap<Space> cache_;
  std::optional<Stamp> stamp_;
};

}  // namespace QVRAdKit::Sandbox
