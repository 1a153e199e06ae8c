// What the summary pop-up and standard error say of the planner's own syncs.
#include "app/sync_mark.h"

#include <gtest/gtest.h>

#include <sstream>

namespace app {
namespace {

using calendar_sync::BackgroundSyncStatus;
using calendar_sync::SyncTrouble;

const platform::CalendarFields kToday{2026, 12, 2, 8, 9, 30, 0, 0};

TEST(SyncMark, TellsTheLastGoodSyncTheTroubleAndTheConflicts) {
    BackgroundSyncStatus status;
    EXPECT_EQ(SyncMarkOf(status, kToday, u"conflicts"), std::nullopt) << "no server set up";

    status.setUp = true;
    std::optional<controls::SyncMark> mark = SyncMarkOf(status, kToday, u"conflicts");
    ASSERT_TRUE(mark);
    EXPECT_EQ(mark->lastGood, u"");  // none finished yet
    EXPECT_EQ(mark->trouble, u"");
    EXPECT_EQ(mark->conflicts, 0);

    status.lastGoodAt = "2026-12-08 09:05";
    status.trouble = SyncTrouble::ServerUnreachable;
    status.conflicts = {"a", "b"};
    mark = SyncMarkOf(status, kToday, u"conflicts");
    EXPECT_EQ(mark->lastGood, u"09:05");
    EXPECT_EQ(mark->trouble, u"接続できません");
    EXPECT_EQ(mark->conflicts, 2);
    EXPECT_EQ(mark->keptIn, u"conflicts");

    status.lastGoodAt = "2026-11-30 23:59";  // an earlier day: its date alone
    EXPECT_EQ(SyncMarkOf(status, kToday, u"conflicts")->lastGood, u"11/30");
    status.lastGoodAt = "2025-12-08 09:05";  // the same day of another year
    EXPECT_EQ(SyncMarkOf(status, kToday, u"conflicts")->lastGood, u"12/8");
}

TEST(SyncMark, EveryTroubleHasShortWordsThatFitTheLine) {
    for (SyncTrouble trouble : {SyncTrouble::ServerUnreachable, SyncTrouble::AccountRefused,
                                SyncTrouble::DeletesToConfirm, SyncTrouble::Stopped,
                                SyncTrouble::NotStarted, SyncTrouble::SettingsUnreadable}) {
        const std::u16string words = TroubleWords(trouble);
        EXPECT_FALSE(words.empty());
        EXPECT_LE(words.size(), 8u) << "seventy-five pixels hold eight characters";
    }
    EXPECT_EQ(TroubleWords(SyncTrouble::None), u"");
}

TEST(SyncStatusTeller, TellsATroubleOnceAndWhenItIsOver) {
    std::ostringstream out;
    SyncStatusTeller teller(out);
    BackgroundSyncStatus status;
    status.setUp = true;
    teller.Tell(status);
    EXPECT_EQ(out.str(), "");

    status.trouble = SyncTrouble::ServerUnreachable;
    status.failure = "sync stopped: the connection to the server was refused";
    teller.Tell(status);
    teller.Tell(status);  // the same again: said once
    EXPECT_EQ(out.str(),
              "tessarinth: sync: sync stopped: the connection to the server was refused\n");

    out.str("");
    status.trouble = SyncTrouble::None;
    status.failure.clear();
    status.lastGoodAt = "2026-12-08 09:40";
    status.conflicts = {"会議 (a@b): kept in /h/conflicts/a.ics"};
    teller.Tell(status);
    EXPECT_EQ(out.str(),
              "tessarinth: sync works again (2026-12-08 09:40)\n"
              "tessarinth: sync conflict: 会議 (a@b): kept in /h/conflicts/a.ics\n");
}

}  // namespace
}  // namespace app
