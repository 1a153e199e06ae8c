// When the running planner syncs by itself, and what it reads from a sync's report.
#include "sync/sync_schedule.h"

#include <gtest/gtest.h>

namespace calendar_sync {
namespace {

using std::chrono::minutes;
using std::chrono::seconds;

TEST(SyncSchedule, AtStartEveryIntervalAndShortlyAfterASave) {
    SyncSchedule schedule(minutes(15));
    EXPECT_TRUE(schedule.IsDue(Millis{0}));  // at start
    schedule.Started();
    EXPECT_FALSE(schedule.IsDue(minutes(60)));  // never two at once
    EXPECT_EQ(schedule.NextDue(), std::nullopt);
    schedule.Finished(seconds(3));
    EXPECT_EQ(schedule.NextDue(), seconds(3) + minutes(15));
    EXPECT_FALSE(schedule.IsDue(minutes(15)));
    EXPECT_TRUE(schedule.IsDue(seconds(3) + minutes(15)));

    // A save brings the next sync near; more saves do not push it away.
    schedule.Saved(minutes(1));
    EXPECT_EQ(schedule.NextDue(), minutes(1) + SyncSchedule::kAfterSave);
    schedule.Saved(minutes(1) + seconds(4));
    EXPECT_EQ(schedule.NextDue(), minutes(1) + SyncSchedule::kAfterSave);
}

TEST(SyncSchedule, ASaveWhileASyncRunsIsSentByTheNextShortlyAfter) {
    SyncSchedule schedule(minutes(15));
    schedule.Started();
    schedule.Saved(seconds(2));
    schedule.Finished(seconds(10));
    EXPECT_EQ(schedule.NextDue(), seconds(10) + SyncSchedule::kAfterSave);
    schedule.Started();
    schedule.Finished(seconds(20));
    EXPECT_EQ(schedule.NextDue(), seconds(20) + minutes(15));
}

TEST(SyncSchedule, NoMinutesMeansNeverByItself) {
    SyncSchedule schedule(Millis{0});
    EXPECT_FALSE(schedule.IsDue(Millis{0}));
    schedule.Saved(Millis{0});
    EXPECT_FALSE(schedule.IsDue(minutes(600)));
    EXPECT_EQ(schedule.NextDue(), std::nullopt);
}

TEST(SyncSchedule, ANewIntervalCountsFromTheLastSync) {
    SyncSchedule schedule(minutes(15));
    schedule.Started();
    schedule.Finished(minutes(1));
    schedule.ChangeInterval(minutes(5), minutes(2));
    EXPECT_EQ(schedule.NextDue(), minutes(6));
    schedule.ChangeInterval(minutes(1), minutes(4));  // already past: at once
    EXPECT_EQ(schedule.NextDue(), minutes(4));
    schedule.ChangeInterval(Millis{0}, minutes(4));
    EXPECT_EQ(schedule.NextDue(), std::nullopt);

    // Switched on where it never synced: at once, as at start.
    SyncSchedule off(Millis{0});
    off.ChangeInterval(minutes(15), minutes(30));
    EXPECT_TRUE(off.IsDue(minutes(30)));

    // While one runs, the new interval counts from its end.
    SyncSchedule running(minutes(15));
    running.Started();
    running.ChangeInterval(minutes(2), minutes(1));
    EXPECT_EQ(running.NextDue(), std::nullopt);
    running.Finished(minutes(3));
    EXPECT_EQ(running.NextDue(), minutes(5));
}

TEST(SyncReport, ConflictsAndTheReasonAreReadFromWhatTheSyncSaid) {
    const SyncReport good = ReadSyncReport(
        0,
        "appointments and tasks http://127.0.0.1:5232/alice/calendar/: 1 received, 0 sent, 0 "
        "deleted here, 0 deleted on the server\n"
        "conflict: 会議 (a@b): the server's version kept, this one in /h/conflicts/a.ics\n",
        "");
    EXPECT_TRUE(good.ok);
    EXPECT_EQ(good.reason, "");
    EXPECT_EQ(good.conflicts,
              std::vector<std::string>{"会議 (a@b): the server's version kept, this one in "
                                       "/h/conflicts/a.ics"});

    const SyncReport stopped =
        ReadSyncReport(1, "",
                       "tessarinth-cli: sync stopped: the connection to the server was refused\n"
                       "what was synced before is kept; see that the server runs\n"
                       "remedy: check-address\n");
    EXPECT_FALSE(stopped.ok);
    EXPECT_EQ(stopped.reason, "sync stopped: the connection to the server was refused");
    EXPECT_EQ(stopped.remedy, "check-address");
    EXPECT_EQ(good.remedy, "");

    EXPECT_EQ(ReadSyncReport(137, "", "").reason, "the sync ended with status 137");
}

}  // namespace
}  // namespace calendar_sync
