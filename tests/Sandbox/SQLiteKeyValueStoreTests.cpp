#include "Sandbox/Storage/SQLiteKeyValueStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "Sandbox/Storage/SQLiteStorage.h"
#include "Sandbox/Storage/SQLiteUserDefaults.h"

namespace QVRAdKit::Sandbox {
namespace {

namespace fs = std::filesystem;
using Platform::Date;
using Code = SQLiteKeyValueStore::ErrorCode;

class SQLiteKeyValueStoreTest : public ::testing::Test {
 protected:
  SQLiteKeyValueStoreTest() {
    static std::atomic<int> counter{0};
    dir_ = fs::temp_directory_path() / ("qvr-store-" + std::to_string(std::random_device{}()) +
                                        "-" + std::to_string(counter++));
    fs::create_directories(dir_);
  }
  ~SQLiteKeyValueStoreTest() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string path(const std::string& name = "store.sqlite") const {
    return (dir_ / name).string();
  }

  std::shared_ptr<SQLiteKeyValueStore> openStore(SQLiteKeyValueStore::Options options = {}) {
    auto store = SQLiteKeyValueStore::open(path(), options);
    EXPECT_TRUE(store) << store.error().localizedDescription;
    return store ? *store : nullptr;
  }

  // The error of opening filePath, which must fail.
  static Platform::Error openError(const std::string& filePath) {
    auto store = SQLiteKeyValueStore::open(filePath);
    EXPECT_FALSE(store) << filePath << " opened";
    if (store) return {};
    EXPECT_EQ(store.error().domain, "QVRAdKit.Sandbox.Storage");
    EXPECT_NE(store.error().localizedDescription.find(filePath), std::string::npos)
        << store.error().localizedDescription;
    return store.error();
  }

  // A closed store file holding enough entries to span many pages.
  void writeLargeStore() {
    auto store = openStore();
    SQLiteStorage storage(store);
    for (int i = 0; i < 60; ++i) {
      ASSERT_FALSE(
          storage.write<std::string>(std::string(1000, 'a' + i % 26), "key" + std::to_string(i)));
    }
  }

  fs::path dir_;
};

TEST_F(SQLiteKeyValueStoreTest, ValuesOfEveryTypeSurviveReopenWithTheirType) {
  const std::string text("consent \"TCF\" \xC3\xA9\0tail", 20);
  {
    auto store = openStore();
    SQLiteStorage storage(store);
    SQLiteUserDefaults defaults(store);
    EXPECT_FALSE(storage.write<bool>(true, "bool"));
    EXPECT_FALSE(storage.write<std::int64_t>(INT64_MIN, "int"));
    EXPECT_FALSE(storage.write<double>(0.1, "double"));
    EXPECT_FALSE(storage.write<double>(std::nan(""), "nan"));
    EXPECT_FALSE(storage.write<std::string>(text, "text"));
    EXPECT_FALSE(storage.write<Date>(Date(1'700'000'000.25), "date"));
    EXPECT_FALSE(storage.write<Date>(Date::distantPast(), "past"));
    EXPECT_FALSE(storage.write<Date>(Date(86400.0), "wholeDate"));
    EXPECT_FALSE(storage.write<std::int64_t>(7, "replaced"));
    EXPECT_FALSE(storage.write<std::string>(std::string("now text"), "replaced"));
    defaults.setObject(std::string("1~2"), "IABTCF_AddtlConsent");
    defaults.setObject(std::int64_t{1}, "IABTCF_gdprApplies");
    defaults.setObject(false, "flag");
    defaults.setObject(2.5, "ratio");
  }
  auto store = openStore();
  SQLiteStorage storage(store);
  SQLiteUserDefaults defaults(store);
  EXPECT_EQ(storage.read<bool>("bool"), true);
  EXPECT_EQ(storage.read<std::int64_t>("int"), INT64_MIN);
  EXPECT_EQ(storage.read<double>("double"), 0.1);
  ASSERT_TRUE(storage.read<double>("nan"));
  EXPECT_TRUE(std::isnan(*storage.read<double>("nan")));
  EXPECT_EQ(storage.read<std::string>("text"), text);
  EXPECT_EQ(storage.read<Date>("date"), Date(1'700'000'000.25));
  EXPECT_EQ(storage.read<Date>("past"), Date::distantPast());
  EXPECT_EQ(storage.read<std::string>("replaced"), "now text");
  // A date stays a date, even a whole number of seconds; reads as another type answer none.
  EXPECT_EQ(storage.read<Date>("wholeDate"), Date(86400.0));
  EXPECT_EQ(storage.read<double>("date"), std::nullopt);
  EXPECT_EQ(storage.read<double>("wholeDate"), std::nullopt);
  EXPECT_EQ(storage.read<std::int64_t>("wholeDate"), std::nullopt);
  EXPECT_EQ(storage.read<Date>("double"), std::nullopt);
  EXPECT_EQ(storage.read<std::int64_t>("bool"), std::nullopt);
  EXPECT_EQ(storage.read<bool>("int"), std::nullopt);
  EXPECT_EQ(storage.read<std::string>("missing"), std::nullopt);

  EXPECT_EQ(defaults.stringForKey("IABTCF_AddtlConsent"), "1~2");
  EXPECT_EQ(defaults.objectForKey("IABTCF_gdprApplies"), Platform::DefaultsValue(std::int64_t{1}));
  EXPECT_EQ(defaults.objectForKey("flag"), Platform::DefaultsValue(false));
  EXPECT_EQ(defaults.objectForKey("ratio"), Platform::DefaultsValue(2.5));
  EXPECT_EQ(defaults.stringForKey("IABTCF_gdprApplies"), std::nullopt);
}

TEST_F(SQLiteKeyValueStoreTest, RemovalPersistsAndNamespacesAreSeparate) {
  {
    auto store = openStore();
    SQLiteStorage storage(store);
    SQLiteUserDefaults defaults(store);
    SQLiteStorage other(store, "other");
    ASSERT_FALSE(storage.write<Date>(Date(100.0), "shared"));
    defaults.setObject(std::string("defaults"), "shared");
    ASSERT_FALSE(other.write<std::int64_t>(3, "shared"));
    ASSERT_FALSE(storage.write<bool>(true, "onlyInStorage"));
    ASSERT_FALSE(storage.write<bool>(true, "removed"));

    EXPECT_FALSE(storage.write<bool>(std::nullopt, "removed"));
    EXPECT_FALSE(storage.write<bool>(std::nullopt, "neverThere"));
    defaults.removeObjectForKey("shared");
    EXPECT_EQ(storage.read<bool>("removed"), std::nullopt);
    EXPECT_EQ(defaults.objectForKey("shared"), std::nullopt);
    EXPECT_EQ(storage.read<Date>("shared"), Date(100.0));  // removal in another namespace
  }
  auto store = openStore();
  SQLiteStorage storage(store);
  SQLiteUserDefaults defaults(store);
  SQLiteStorage other(store, "other");
  EXPECT_EQ(storage.read<bool>("removed"), std::nullopt);
  EXPECT_EQ(defaults.objectForKey("shared"), std::nullopt);
  EXPECT_EQ(storage.read<Date>("shared"), Date(100.0));
  EXPECT_EQ(other.read<std::int64_t>("shared"), 3);
  EXPECT_EQ(defaults.objectForKey("onlyInStorage"), std::nullopt);
  EXPECT_EQ(other.value("onlyInStorage"), std::nullopt);
}

TEST_F(SQLiteKeyValueStoreTest, OpenNamesThePathAndTheReasonOfEachFailure) {
  EXPECT_EQ(openError(dir_.string()).code, static_cast<std::int64_t>(Code::cannotOpen));
  const auto missing = openError((dir_ / "missing" / "store.sqlite").string());
  EXPECT_EQ(missing.code, static_cast<std::int64_t>(Code::cannotOpen));
  EXPECT_NE(missing.localizedDescription.find("does not exist"), std::string::npos);

  std::mt19937 random(7);
  std::string bytes(4096, '\0');
  for (auto& byte : bytes) byte = static_cast<char>(random());
  std::ofstream(path("garbage.sqlite"), std::ios::binary) << bytes;
  const auto garbage = openError(path("garbage.sqlite"));
  EXPECT_EQ(garbage.code, static_cast<std::int64_t>(Code::notADatabase));
  EXPECT_NE(garbage.localizedDescription.find("not an SQLite database"), std::string::npos);

  // A database of another application is left alone, not turned into a store.
  sqlite3* foreign = nullptr;
  ASSERT_EQ(sqlite3_open(path("foreign.sqlite").c_str(), &foreign), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(foreign, "CREATE TABLE notes (text TEXT)", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(foreign);
  EXPECT_EQ(openError(path("foreign.sqlite")).code,
            static_cast<std::int64_t>(Code::schemaMismatch));
}

TEST_F(SQLiteKeyValueStoreTest, DamagedFilesAreReportedAsCorrupt) {
  writeLargeStore();
  const auto size = fs::file_size(path());
  ASSERT_GT(size, 8u * 4096u);
  fs::copy_file(path(), path("overwritten.sqlite"));
  fs::copy_file(path(), path("freelist.sqlite"));

  fs::resize_file(path(), size / 2);
  EXPECT_EQ(openError(path()).code, static_cast<std::int64_t>(Code::corrupt));

  // Garbage over the pages after the header page, the header itself intact.
  {
    std::fstream file(path("overwritten.sqlite"), std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(4096);
    file << std::string(std::size_t{4} * 4096, '\x5A');
  }
  EXPECT_EQ(openError(path("overwritten.sqlite")).code, static_cast<std::int64_t>(Code::corrupt));

  // A wrong free-page count in the header: every entry still reads, only the check finds it.
  {
    std::fstream file(path("freelist.sqlite"), std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(36);
    file.write("\0\0\0\5", 4);
  }
  const auto freelist = openError(path("freelist.sqlite"));
  EXPECT_EQ(freelist.code, static_cast<std::int64_t>(Code::corrupt));
  EXPECT_NE(freelist.localizedDescription.find("freelist"), std::string::npos)
      << freelist.localizedDescription;
}

TEST_F(SQLiteKeyValueStoreTest, FailedWriteKeepsThePreviousValue) {
  auto store = openStore({.busyTimeout = std::chrono::milliseconds(0)});
  SQLiteStorage storage(store);
  ASSERT_FALSE(storage.write<std::int64_t>(1, "count"));

  // Another connection holds the write lock, so the next commit fails at once.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  const auto failure = storage.write<std::int64_t>(2, "count");
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->domain, "QVRAdKit.Sandbox.Storage");
  EXPECT_EQ(failure->code, static_cast<std::int64_t>(Code::writeFailed));
  EXPECT_NE(failure->localizedDescription.find("\"count\""), std::string::npos);
  EXPECT_TRUE(storage.write<std::int64_t>(std::nullopt, "count"));
  EXPECT_EQ(storage.read<std::int64_t>("count"), 1);

  ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(other);
  EXPECT_FALSE(storage.write<std::int64_t>(3, "count"));
  EXPECT_EQ(storage.read<std::int64_t>("count"), 3);
}

TEST_F(SQLiteKeyValueStoreTest, ConcurrentWritersAndReadersShareOneStore) {
  constexpr int kThreads = 4;
  constexpr int kWrites = 20;
  {
    auto store = openStore();
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([store, t] {
        SQLiteStorage storage(store, "thread" + std::to_string(t));
        for (std::int64_t i = 0; i < kWrites; ++i) {
          EXPECT_FALSE(storage.write<std::int64_t>(i, "counter"));
          EXPECT_EQ(storage.read<std::int64_t>("counter"), i);
        }
      });
    }
    for (auto& thread : threads) thread.join();
  }
  auto store = openStore();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(SQLiteStorage(store, "thread" + std::to_string(t)).read<std::int64_t>("counter"),
              kWrites - 1);
  }
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
