// What the store keeps for reminders, and how a running program notices another's writes.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <ctime>

#include "store/schedule_store.h"
#include "store/store_change_watcher.h"
#include "tests/support/temp_folder.h"

namespace store {
namespace {

using testing_support::TempFolder;

Date At(int y, int m, int d, int h = 0, int mi = 0) {
    return *platform::MakeDate(y, m, d, h, mi);
}

class StoreWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        ASSERT_TRUE(folder_.Made());
        ASSERT_TRUE(first_.LogOn(StorePath()).ok());
        ASSERT_TRUE(second_.LogOn(StorePath()).ok());
    }
    std::filesystem::path StorePath() const { return folder_.Path() / "schedule.sqlite"; }
    void AddThrough(Application& store) {
        calendar::AppointmentRecord record;
        record.start = At(2026, 12, 7, 10);
        record.end = At(2026, 12, 7, 11);
        ASSERT_TRUE(store.AddAll({record}, {}).ok());
    }

    TempFolder folder_;
    Application first_;
    Application second_;
};

FiredReminder Reminder(int32_t oid, Date occurrence, Date ringAt, Date firedAt) {
    return FiredReminder{oid, occurrence, ringAt, firedAt, false};
}

TEST_F(StoreWatchTest, EachReminderIsClaimedOnceAcrossConnections) {
    const Date now = At(2026, 12, 7, 9, 45);
    const std::vector<FiredReminder> due{Reminder(5, 0, now, now),
                                         Reminder(7, At(2026, 12, 7, 10), now, now)};
    auto firstClaim = first_.ClaimReminders(due, At(2026, 1, 1));
    ASSERT_TRUE(firstClaim.ok()) << firstClaim.error().message;
    EXPECT_EQ(*firstClaim, (std::vector<bool>{true, true}));
    // The other connection finds both taken, and a new one (a moved appointment) free.
    const std::vector<FiredReminder> again{due[1], Reminder(5, 0, At(2026, 12, 7, 13), now)};
    auto secondClaim = second_.ClaimReminders(again, At(2026, 1, 1));
    ASSERT_TRUE(secondClaim.ok());
    EXPECT_EQ(*secondClaim, (std::vector<bool>{false, true}));

    auto fired = first_.FiredRemindersFrom(now);
    ASSERT_TRUE(fired.ok());
    ASSERT_EQ(fired->size(), 3u);
    EXPECT_TRUE((*fired)[0].SameReminder(due[0]) || (*fired)[0].SameReminder(due[1]));
    EXPECT_EQ((*fired)[2].ringAt, At(2026, 12, 7, 13));
}

TEST_F(StoreWatchTest, OldRecordsAreForgottenOnTheNextClaim) {
    const Date old = At(2025, 11, 1, 9);
    ASSERT_TRUE(first_.ClaimReminders({Reminder(3, 0, old, old)}, At(2025, 1, 1)).ok());
    const Date now = At(2026, 12, 7, 9);
    ASSERT_TRUE(first_.ClaimReminders({Reminder(4, 0, now, now)}, At(2025, 12, 7)).ok());
    auto fired = first_.FiredRemindersFrom(At(2000, 1, 1));
    ASSERT_TRUE(fired.ok());
    ASSERT_EQ(fired->size(), 1u);
    EXPECT_EQ((*fired)[0].oid, 4);
}

TEST_F(StoreWatchTest, LateMarkAndTimesAreKept) {
    FiredReminder late =
        Reminder(9, At(2026, 12, 14, 10), At(2026, 12, 14, 9, 45), At(2026, 12, 14, 10, 20));
    late.late = true;
    ASSERT_TRUE(first_.ClaimReminders({late}, At(2026, 1, 1)).ok());
    auto fired = second_.FiredRemindersFrom(At(2026, 12, 14));
    ASSERT_TRUE(fired.ok());
    ASSERT_EQ(fired->size(), 1u);
    EXPECT_TRUE((*fired)[0].late);
    EXPECT_EQ((*fired)[0].occurrence, At(2026, 12, 14, 10));
    EXPECT_EQ((*fired)[0].firedAt, At(2026, 12, 14, 10, 20));
}

TEST_F(StoreWatchTest, ClaimOnALockedStoreFailsAndRecordsNothing) {
    sqlite3* locker = nullptr;
    ASSERT_EQ(sqlite3_open(StorePath().c_str(), &locker), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(locker, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    Application impatient;
    ASSERT_TRUE(impatient.LogOn(StorePath(), std::chrono::milliseconds(50)).ok());
    const Date now = At(2026, 12, 7, 9, 45);
    EXPECT_FALSE(impatient.ClaimReminders({Reminder(5, 0, now, now)}, now).ok());
    sqlite3_exec(locker, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(locker);
    auto fired = first_.FiredRemindersFrom(At(2026, 1, 1));
    ASSERT_TRUE(fired.ok());
    EXPECT_TRUE(fired->empty());
}

TEST_F(StoreWatchTest, StoreOfAnEarlierVersionGainsTheReminderRecords) {
    first_.LogOff();
    second_.LogOff();
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(StorePath().c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "DROP TABLE fired_reminders; PRAGMA user_version=3", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    Application reopened;
    auto logged = reopened.LogOn(StorePath());
    ASSERT_TRUE(logged.ok()) << logged.error().message;
    const Date now = At(2026, 12, 7, 9, 45);
    auto claimed = reopened.ClaimReminders({Reminder(5, 0, now, now)}, now);
    ASSERT_TRUE(claimed.ok()) << claimed.error().message;
    EXPECT_TRUE(claimed->front());
}

TEST_F(StoreWatchTest, WatcherSeesWritesOfOtherConnectionsOnce) {
    StoreChangeWatcher watcher(StorePath());
    EXPECT_FALSE(watcher.HasChanged());  // the starting point
    EXPECT_FALSE(watcher.HasChanged());
    AddThrough(first_);
    EXPECT_TRUE(watcher.HasChanged());
    EXPECT_FALSE(watcher.HasChanged());
    const Date now = At(2026, 12, 7, 9, 45);
    ASSERT_TRUE(second_.ClaimReminders({Reminder(5, 0, now, now)}, now).ok());
    EXPECT_TRUE(watcher.HasChanged());
    // Reading is no change.
    ASSERT_TRUE(first_.AllAppointments().ok());
    EXPECT_FALSE(watcher.HasChanged());
}

TEST_F(StoreWatchTest, WatcherWaitsForAStoreThatIsNotThereYet) {
    TempFolder other;
    const std::filesystem::path later = other.Path() / "schedule.sqlite";
    StoreChangeWatcher watcher(later);
    EXPECT_FALSE(watcher.HasChanged());
    EXPECT_FALSE(std::filesystem::exists(later));  // never made by the watcher
    Application store;
    ASSERT_TRUE(store.LogOn(later).ok());
    EXPECT_FALSE(watcher.HasChanged());  // first read: the starting point
    AddThrough(store);
    EXPECT_TRUE(watcher.HasChanged());
}

TEST_F(StoreWatchTest, DamagedStoreIsNoChangeAndNoCrash) {
    TempFolder other;
    const std::filesystem::path damaged = other.Path() / "schedule.sqlite";
    testing_support::WriteBytes(damaged, std::string(4096, 'x'));
    StoreChangeWatcher watcher(damaged);
    EXPECT_FALSE(watcher.HasChanged());
    EXPECT_FALSE(watcher.HasChanged());
    EXPECT_EQ(testing_support::ReadBytes(damaged), std::string(4096, 'x'));
}

}  // namespace
}  // namespace store
