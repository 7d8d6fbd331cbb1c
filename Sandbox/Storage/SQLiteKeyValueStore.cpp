#include "Sandbox/Storage/SQLiteKeyValueStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "Sandbox/Storage/SQLiteValueCodec.h"

namespace QVRAdKit::Sandbox {

using SQLiteValueCodec::bindText;
using SQLiteValueCodec::bindValue;
using SQLiteValueCodec::inQuotes;

void SQLiteKeyValueStore::StatementDeleter::operator()(sqlite3_stmt* statement) const {
  sqlite3_finalize(statement);
}

void SQLiteKeyValueStore::ConnectionDeleter::operator()(sqlite3* connection) const {
  sqlite3_close_v2(connection);
}

SQLiteKeyValueStore::SQLiteKeyValueStore(std::string path, std::shared_ptr<ProcessHold> hold,
                                         Connection connection, Statement upsert, Statement remove,
                                         TextMap<Space> cache)
    : path_(std::move(path)),
      hold_(std::move(hold)),
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

void SQLiteKeyValueStore::stampWrites(std::optional<Stamp> stamp) {
  std::lock_guard lock(mutex_);
  stamp_ = std::move(stamp);
}

bool SQLiteKeyValueStore::stampsLocked(std::string_view nameSpace) const {
  return stamp_ && stamp_->value && nameSpace != stamp_->nameSpace;
}

std::optional<Platform::Error> SQLiteKeyValueStore::setValue(
    std::string_view nameSpace, std::string_view key, const std::optional<StorableValue>& value) {
  std::lock_guard lock(mutex_);
  if (stampsLocked(nameSpace)) {
    const Write writes[] = {{nameSpace, key, value},
                            {stamp_->nameSpace, stamp_->key, stamp_->value()}};
    return commitLocked(writes);
  }
  if (auto failure = writeLocked(nameSpace, key, value)) return failure;
  // Committed: memory follows the file.
  cacheLocked(nameSpace, key, value);
  return std::nullopt;
}

std::optional<Platform::Error> SQLiteKeyValueStore::setValues(std::span<const Write> writes) {
  std::lock_guard lock(mutex_);
  if (writes.empty()) return std::nullopt;
  if (std::ranges::any_of(writes,
                          [this](const Write& write) { return stampsLocked(write.nameSpace); })) {
    std::vector<Write> stamped(writes.begin(), writes.end());
    stamped.push_back({stamp_->nameSpace, stamp_->key, stamp_->value()});
    return commitLocked(stamped);
  }
  return commitLocked(writes);
}

std::optional<Platform::Error> SQLiteKeyValueStore::commitLocked(std::span<const Write> writes) {
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
