#include "Sandbox/Storage/SQLiteKeyValueStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "Sandbox/Storage/SQLiteStorage.h"
#include "Support/TemporaryDirectory.h"

namespace QVRAdKit::Sandbox {
namespace {

namespace fs = std::filesystem;
using Platform::Date;
using Code = SQLiteKeyValueStore::ErrorCode;

class SQLiteKeyValueStoreTest : public ::testing::Test, public Testing::TemporaryDirectory {
 protected:
  SQLiteKeyValueStoreTest() : TemporaryDirectory("qvr-store-") {}
  std::string path(const std::string& name = "store.sqlite") const { return file(name); }
  std::shared_ptr<SQLiteKeyValueStore> open(SQLiteKeyValueStore::Options options = {},
                                            const std::string& name = "store.sqlite") {
    auto store = SQLiteKeyValueStore::open(path(name), options);
    EXPECT_TRUE(store) << store.error().localizedDescription;
    return store ? *store : nullptr;
  }
  // The code of the error opening filePath fails with, whose text must name the path.
  static Code openError(const std::string& filePath) {
    auto store = SQLiteKeyValueStore::open(filePath);
    EXPECT_FALSE(store) << filePath << " opened";
    if (store) return {};
    EXPECT_EQ(store.error().domain, SQLiteKeyValueStore::kErrorDomain);
    EXPECT_NE(store.error().localizedDescription.find(filePath), std::string::npos);
    return static_cast<Code>(store.error().code);
  }
};

// Durable or not (a temporary store skips the sync to disk), what was written is there again when
// the store is opened anew.
TEST_F(SQLiteKeyValueStoreTest, ValuesOfEveryTypeSurviveReopenWithTheirType) {
  const std::vector<std::pair<std::string, StorableValue>> values = {
      {"bool", true},
      {"int", INT64_MIN},
      {"double", 0.1},
      {"text", std::string("consent \"TCF\" \xC3\xA9\0tail", 20)},
      {"date", Date(86400.0)}};  // a whole number of seconds stays a date
  SQLiteKeyValueStore::Options unsynced;
  unsynced.durable = false;
  {
    auto temporary = open(unsynced, "temporary.sqlite");
    for (const auto& [key, value] : values) EXPECT_FALSE(temporary->setValue("t", key, value));
  }
  auto temporary = open(unsynced, "temporary.sqlite");
  for (const auto& [key, value] : values) EXPECT_EQ(temporary->value("t", key), value) << key;
  {
    auto store = open();
    for (const auto& [key, value] : values) EXPECT_FALSE(store->setValue("storage", key, value));
    EXPECT_FALSE(store->setValue("storage", "removed", true));
    EXPECT_FALSE(store->setValue("storage", "removed", std::nullopt));
  }
  auto store = open();
  for (const auto& [key, value] : values) EXPECT_EQ(store->value("storage", key), value) << key;
  EXPECT_EQ(store->value("storage", "removed"), std::nullopt);
  // Through the host's storage a read as another type answers none.
  SQLiteStorage storage(store, "storage");
  EXPECT_FALSE(storage.read<double>("date") || storage.read<std::int64_t>("date") ||
               storage.read<Date>("double") || storage.read<std::int64_t>("bool"));
}

TEST_F(SQLiteKeyValueStoreTest, OpenNamesThePathAndTheReasonOfEachFailure) {
  {
    SQLiteStorage storage(open());  // a closed store spanning many pages, then cut in half
    for (int i = 0; i < 60; ++i) {
      ASSERT_FALSE(storage.write<std::string>(std::string(1000, 'x'), "key" + std::to_string(i)));
    }
  }
  fs::resize_file(path(), fs::file_size(path()) / 2);
  std::ofstream(path("garbage.sqlite"), std::ios::binary) << std::string(4096, '\x5A');

  EXPECT_EQ(openError(dir.string()), Code::cannotOpen);
  EXPECT_EQ(openError(path("missing/store.sqlite")), Code::cannotOpen);
  EXPECT_EQ(openError(path("garbage.sqlite")), Code::notADatabase);
  EXPECT_EQ(openError(path()), Code::corrupt);
}

TEST_F(SQLiteKeyValueStoreTest, FailedWriteKeepsThePreviousValue) {
  SQLiteStorage storage(open({.busyTimeout = std::chrono::milliseconds(0)}));
  ASSERT_FALSE(storage.write<std::int64_t>(1, "count"));
  // Another connection holds the write lock, so the next commits fail at once.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  const auto failure = storage.write<std::int64_t>(2, "count");
  ASSERT_TRUE(failure);
  EXPECT_EQ(static_cast<Code>(failure->code), Code::writeFailed);
  EXPECT_TRUE(storage.write<std::int64_t>(std::nullopt, "count"));
  EXPECT_EQ(storage.read<std::int64_t>("count"), 1);
  sqlite3_close(other);                                             // rolls its transaction back
  EXPECT_EQ(SQLiteStorage(open()).read<std::int64_t>("count"), 1);  // on disk as well
  EXPECT_FALSE(storage.write<std::int64_t>(3, "count"));
  EXPECT_EQ(storage.read<std::int64_t>("count"), 3);
}

TEST(SQLiteKeyValueStoreInMemoryTest, EachInMemoryStoreStartsEmptyAndKeepsItsOwnValues) {
  const std::string path(SQLiteKeyValueStore::kInMemoryPath);
  auto first = SQLiteKeyValueStore::open(path);
  auto second = SQLiteKeyValueStore::open(path);
  ASSERT_TRUE(first.hasValue()) << first.error().localizedDescription;
  ASSERT_TRUE(second.hasValue());
  EXPECT_EQ((*first)->setValue("storage", "pausedTill", StorableValue(Date(1.7e9))), std::nullopt);
  EXPECT_EQ((*first)->setValue("defaults", "count", StorableValue(std::int64_t{3})), std::nullopt);
  EXPECT_EQ((*first)->value("storage", "pausedTill"), StorableValue(Date(1.7e9)));
  EXPECT_EQ((*second)->value("storage", "pausedTill"), std::nullopt);
  EXPECT_EQ((*first)->setValue("defaults", "count", std::nullopt), std::nullopt);
  EXPECT_EQ((*first)->value("defaults", "count"), std::nullopt);
  EXPECT_FALSE(fs::exists(path)) << "no file is made";
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
