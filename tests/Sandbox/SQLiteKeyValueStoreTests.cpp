#include "Sandbox/Storage/SQLiteKeyValueStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>

#include "QVRAdKit/Consent/QVRAdsConsentServiceImpl.h"
#include "QVRAdKit/Platform/Environment.h"
#include "Sandbox/Consent/RecordingMetaDataStore.h"
#include "Sandbox/Consent/SimulatedConsentPlatform.h"
#include "Sandbox/Storage/SQLiteStorage.h"
#include "Sandbox/Storage/SQLiteUserDefaults.h"
#include "Support/TemporaryDirectory.h"

namespace QVRAdKit::Sandbox {
namespace {

namespace fs = std::filesystem;
using Platform::Date;
using Code = SQLiteKeyValueStore::ErrorCode;
using Testing::contents;

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
  // Runs sql on a connection of its own, as another program would.
  void exec(const std::string& file, const std::string& sql) {
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(other, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
        << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(other);
  }
  // Makes every write of key fail, as a full disk or a constraint would, mid-transaction.
  void poison(const std::string& key) {
    exec(path(), "CREATE TRIGGER poison BEFORE INSERT ON entries WHEN NEW.key = '" + key +
                     "' BEGIN SELECT RAISE(ABORT, 'refused'); END;");
  }
};
// What keeps a store's data and other programs' files safe.
using SQLiteStorageSafetyTest = SQLiteKeyValueStoreTest;

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

  // No store in a device or a pipe, nor where a link points into a missing directory: each said
  // plainly instead of SQLite's "disk I/O error" or "unable to open database file".
  ASSERT_EQ(::mkfifo(path("pipe.sqlite").c_str(), 0600), 0);
  fs::create_symlink("missing/store.sqlite", path("link.sqlite"));
  const std::pair<std::string, std::string> plainly[] = {
      {"/dev/zero", "not a regular file"},
      {path("pipe.sqlite"), "not a regular file"},
      {path("link.sqlite"), "the directory \"" + path("missing") + "\" does not exist"},
  };
  for (const auto& [file, reason] : plainly) {
    EXPECT_EQ(openError(file), Code::cannotOpen) << file;
    const auto store = SQLiteKeyValueStore::open(file);
    ASSERT_FALSE(store);
    EXPECT_NE(store.error().localizedDescription.find(reason), std::string::npos)
        << store.error().localizedDescription;
  }
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

TEST_F(SQLiteStorageSafetyTest, AForeignDatabaseIsRefusedAndLeftByteForByte) {
  // Another program's database (rollback journal), and one with a table of our name but not ours.
  exec(path("notes.sqlite"),
       "CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT); INSERT INTO notes (body) "
       "VALUES ('keep me');");
  exec(path("lookalike.sqlite"),
       "CREATE TABLE entries (namespace TEXT, key TEXT, type INTEGER, value);");
  // A store of ours that a newer version of the program has moved on.
  ASSERT_NE(open({}, "newer.sqlite"), nullptr);
  exec(path("newer.sqlite"), "PRAGMA user_version = 99;");
  for (const char* name : {"notes.sqlite", "lookalike.sqlite", "newer.sqlite"}) {
    SCOPED_TRACE(name);
    const std::string before = contents(path(name));
    ASSERT_FALSE(before.empty());
    auto store = SQLiteKeyValueStore::open(path(name));
    ASSERT_FALSE(store.hasValue());
    EXPECT_EQ(static_cast<Code>(store.error().code), Code::schemaMismatch);
    EXPECT_EQ(store.error().localizedDescription.find("a newer version of this program wrote it") !=
                  std::string::npos,
              std::string(name) == "newer.sqlite")
        << store.error().localizedDescription;
    EXPECT_EQ(contents(path(name)), before);  // not even switched to the WAL journal
    EXPECT_FALSE(fs::exists(path(name) + "-wal"));
  }
}

// A store another process is writing is refused when opened, with the reason, rather than found
// out when a session's write gives up; once the other process lets go it opens.
TEST_F(SQLiteStorageSafetyTest, AStoreLockedByAnotherProcessIsRefusedWhenOpened) {
  ASSERT_NE(open(), nullptr);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  SQLiteKeyValueStore::Options impatient;
  impatient.busyTimeout = std::chrono::milliseconds(0);
  auto locked = SQLiteKeyValueStore::open(path(), impatient);
  ASSERT_FALSE(locked.hasValue());
  EXPECT_EQ(static_cast<Code>(locked.error().code), Code::cannotOpen);
  EXPECT_NE(locked.error().localizedDescription.find("another process holds it locked"),
            std::string::npos)
      << locked.error().localizedDescription;
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_TRUE(SQLiteKeyValueStore::open(path(), impatient).hasValue());
}

// A store is held by the process that opened it for as long as it is open, not only while it
// writes: another process is refused, and a process killed outright leaves no hold behind. The
// process's own stores of the file share its hold.
TEST_F(SQLiteStorageSafetyTest, AnOpenStoreIsHeldAgainstOtherProcessesUntilItsProcessEnds) {
  ASSERT_NE(open(), nullptr);  // an existing store, closed again
  std::array<int, 2> opened{};
  std::array<int, 2> release{};
  ASSERT_EQ(::pipe(opened.data()), 0);
  ASSERT_EQ(::pipe(release.data()), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const auto store = SQLiteKeyValueStore::open(path());
    const char answer = store ? '1' : '0';
    char ignored = 0;
    // Holds the store until it is killed.
    if (::write(opened[1], &answer, 1) == 1) (void)::read(release[0], &ignored, 1);
    _exit(0);
  }
  char answer = 0;
  ASSERT_EQ(::read(opened[0], &answer, 1), 1);
  ASSERT_EQ(answer, '1');

  auto refused = SQLiteKeyValueStore::open(path());
  ASSERT_FALSE(refused.hasValue());
  EXPECT_EQ(static_cast<Code>(refused.error().code), Code::inUse);
  EXPECT_NE(refused.error().localizedDescription.find(
                "another process is playing a session on this store"),
            std::string::npos)
      << refused.error().localizedDescription;

  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  for (int end : {opened[0], opened[1], release[0], release[1]}) ::close(end);
  auto first = SQLiteKeyValueStore::open(path());
  ASSERT_TRUE(first.hasValue()) << first.error().localizedDescription;
  auto second = SQLiteKeyValueStore::open(path());
  ASSERT_TRUE(second.hasValue()) << second.error().localizedDescription;
}

TEST_F(SQLiteStorageSafetyTest, ABatchIsCommittedWholeOrNotAtAll) {
  using Write = SQLiteKeyValueStore::Write;
  auto store = open();
  ASSERT_FALSE(store->setValue("ns", "first", std::int64_t{1}));
  poison("second");
  const Write failing[] = {{"ns", "first", std::int64_t{2}}, {"ns", "second", std::int64_t{2}}};
  const auto failure = store->setValues(failing);
  ASSERT_TRUE(failure);
  EXPECT_EQ(static_cast<Code>(failure->code), Code::writeFailed);
  EXPECT_NE(failure->localizedDescription.find("\"second\""), std::string::npos);
  // The first write of the batch was rolled back with the second, in memory and on disk.
  EXPECT_EQ(store->value("ns", "first"), StorableValue(std::int64_t{1}));
  EXPECT_EQ(store->value("ns", "second"), std::nullopt);
  exec(path(), "DROP TRIGGER poison;");
  // The store still writes after a failed batch (no transaction left open).
  const Write both[] = {{"ns", "first", std::int64_t{3}},
                        {"ns", "second", std::int64_t{3}},
                        {"ns", "first", std::nullopt}};  // later writes win, in order
  EXPECT_FALSE(store->setValues(both));
  store.reset();
  auto reopened = open();
  EXPECT_EQ(reopened->value("ns", "first"), std::nullopt);
  EXPECT_EQ(reopened->value("ns", "second"), StorableValue(std::int64_t{3}));
}

// The two consent strings of one answer go to the SQLite defaults together: when the second
// cannot be written, the first is not left behind on its own.
TEST_F(SQLiteStorageSafetyTest, TheConsentAnswerIsWrittenInOneTransaction) {
  for (const bool poisoned : {true, false}) {
    SCOPED_TRACE(poisoned ? "second string refused" : "both written");
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path() + suffix, ignored);
    auto store = open();
    if (poisoned) poison("IABTCF_PurposeLegitimateInterests");
    auto defaults = std::make_shared<SQLiteUserDefaults>(store);
    Platform::Environment::Options options;
    options.manualClock = std::make_shared<Platform::ManualClock>();
    options.userDefaults = defaults;
    Platform::Environment environment(std::move(options));
    Platform::Environment::Scope scope(environment);
    SimulatedConsentPlatform::create({})->install(environment);
    std::make_shared<RecordingMetaDataStore>()->install(environment);
    auto service = QVRAdsConsentServiceImpl::create(environment);
    service->loadGDPRConsent([](bool, const std::optional<Platform::Error>&) {});
    environment.advance(10);
    auto form = service->gdprConsentForm();
    ASSERT_TRUE(form);
    form->presentFromViewController(std::make_shared<Platform::ViewController>(), [](auto) {});
    environment.advance(60);

    const auto consents = defaults->objectForKey("IABTCF_PurposeConsents");
    const auto interests = defaults->objectForKey("IABTCF_PurposeLegitimateInterests");
    EXPECT_EQ(consents.has_value(), !poisoned);
    EXPECT_EQ(interests.has_value(), !poisoned);
    store.reset();
    defaults.reset();
  }
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
