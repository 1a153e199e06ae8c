// What the store remembers for a sync: every save and delete marks its item, the sync's own
// writes do not, a mark is cleared only for the version that was sent, and deletions wait until
// the server has taken them; on real store files.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "store/schedule_store.h"
#include "tests/store/store_fixture.h"

namespace store {
namespace {

class StoreSyncStateTest : public StoreFixture {
protected:
    // The entry of the UID, if the store keeps one.
    std::optional<calendar::SyncEntry> EntryOf(const std::string& uid) {
        auto entries = app_.SyncEntries();
        EXPECT_TRUE(entries.ok());
        if (!entries) {
            return std::nullopt;
        }
        const auto found =
            std::find_if(entries->begin(), entries->end(),
                         [&](const calendar::SyncEntry& entry) { return entry.uid == uid; });
        return found == entries->end() ? std::nullopt : std::optional<calendar::SyncEntry>(*found);
    }

    Appointment SavedMeeting() {
        auto folder = app_.GetDefaultFolder(FolderKind::Calendar);
        EXPECT_TRUE(folder.ok());
        auto items = folder->GetItems();
        Appointment appointment = items->AddAppointment();
        appointment.SetSubject(u"打ち合わせ");
        appointment.SetStart(At(2026, 12, 21, 10));
        appointment.SetEnd(At(2026, 12, 21, 11));
        EXPECT_TRUE(appointment.Save().ok());
        return appointment;
    }
};

TEST_F(StoreSyncStateTest, EverySaveMarksTheItemAndCountsItsChanges) {
    Appointment meeting = SavedMeeting();
    auto entry = EntryOf(meeting.Uid());
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->revision, 1);
    EXPECT_EQ(entry->oid, meeting.Oid());
    EXPECT_TRUE(entry->href.empty());
    EXPECT_GT(entry->changedAt, 0);

    meeting.SetSubject(u"打ち合わせ（変更）");
    ASSERT_TRUE(meeting.Save().ok());
    EXPECT_EQ(EntryOf(meeting.Uid())->revision, 2);
}

TEST_F(StoreSyncStateTest, ImportsAndTasksAreMarkedToo) {
    calendar::TaskRecord task;
    task.uid = "task@test";
    task.subject = u"年賀状";
    auto saved = app_.SaveByUid({}, {{task}});
    ASSERT_TRUE(saved.ok());
    auto entry = EntryOf("task@test");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->kind, calendar::ItemKind::Task);
    EXPECT_EQ(entry->revision, 1);
}

TEST_F(StoreSyncStateTest, TheMarkClearsOnlyForTheVersionThatWasSent) {
    Appointment meeting = SavedMeeting();
    const int64_t sent = EntryOf(meeting.Uid())->revision;
    // Saved again while the upload was on its way: that version is still to be sent.
    meeting.SetLocation(u"本社");
    ASSERT_TRUE(meeting.Save().ok());
    ASSERT_TRUE(app_.RecordServerCopy(calendar::ItemKind::Appointment, meeting.Uid(),
                                      {"/cal/a.ics", "\"e1\""}, sent)
                    .ok());
    auto entry = EntryOf(meeting.Uid());
    EXPECT_EQ(entry->href, "/cal/a.ics");
    EXPECT_EQ(entry->etag, "\"e1\"");
    EXPECT_EQ(entry->revision, sent + 1);

    ASSERT_TRUE(app_.RecordServerCopy(calendar::ItemKind::Appointment, meeting.Uid(),
                                      {"/cal/a.ics", "\"e2\""}, sent + 1)
                    .ok());
    EXPECT_EQ(EntryOf(meeting.Uid())->revision, 0);
}

TEST_F(StoreSyncStateTest, ADeletionIsRememberedUntilTheServerTakesIt) {
    Appointment meeting = SavedMeeting();
    const std::string uid = meeting.Uid();
    ASSERT_TRUE(
        app_.RecordServerCopy(calendar::ItemKind::Appointment, uid, {"/cal/a.ics", "\"e1\""}, 1)
            .ok());
    ASSERT_TRUE(meeting.Delete().ok());
    auto entry = EntryOf(uid);
    ASSERT_TRUE(entry.has_value());
    EXPECT_TRUE(entry->deleted);
    EXPECT_EQ(entry->oid, 0);
    EXPECT_EQ(entry->href, "/cal/a.ics");
    EXPECT_GT(entry->revision, 0);

    ASSERT_TRUE(app_.ForgetDeletion(calendar::ItemKind::Appointment, uid, entry->revision).ok());
    EXPECT_FALSE(EntryOf(uid).has_value());
}

// Deleted here while its upload was under way: once the server's copy is recorded, the deletion
// is what remains to be sent.
TEST_F(StoreSyncStateTest, AnUploadRecordedAfterTheItemWasDeletedLeavesADeletionToSend) {
    Appointment meeting = SavedMeeting();
    const std::string uid = meeting.Uid();
    const int64_t sent = EntryOf(uid)->revision;
    ASSERT_TRUE(meeting.Delete().ok());
    ASSERT_FALSE(EntryOf(uid).has_value());
    ASSERT_TRUE(
        app_.RecordServerCopy(calendar::ItemKind::Appointment, uid, {"/cal/a.ics", "\"e1\""}, sent)
            .ok());
    auto entry = EntryOf(uid);
    ASSERT_TRUE(entry.has_value());
    EXPECT_TRUE(entry->deleted);
    EXPECT_GT(entry->revision, 0);
    EXPECT_EQ(entry->href, "/cal/a.ics");
    // A server that lost it: nothing is left to record.
    ASSERT_TRUE(app_.RecordServerCopy(calendar::ItemKind::Task, "never@test", {"", ""}, 0).ok());
    EXPECT_FALSE(EntryOf("never@test").has_value());
}

TEST_F(StoreSyncStateTest, ADeletionTheServerNeverHeardOfIsForgottenAtOnce) {
    Appointment meeting = SavedMeeting();
    const std::string uid = meeting.Uid();
    ASSERT_TRUE(meeting.Delete().ok());
    EXPECT_FALSE(EntryOf(uid).has_value());
}

TEST_F(StoreSyncStateTest, TheSyncsOwnSaveLeavesTheItemInStep) {
    calendar::AppointmentRecord incoming;
    incoming.uid = "server@test";
    incoming.subject = u"サーバーから";
    incoming.start = At(2026, 12, 22, 9);
    incoming.end = At(2026, 12, 22, 10);
    auto saved = app_.SaveSyncedAppointment(incoming, {"/cal/s.ics", "\"s1\""}, 0);
    ASSERT_TRUE(saved.ok() && saved->has_value());
    EXPECT_EQ((*saved)->outcome, UidSaveSummary::Outcome::Added);
    auto entry = EntryOf("server@test");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->revision, 0);
    EXPECT_EQ(entry->href, "/cal/s.ics");
    EXPECT_EQ(entry->etag, "\"s1\"");
    EXPECT_EQ(entry->oid, (*saved)->oid);

    // The server's version is the whole item: a location it no longer has goes here too.
    incoming.location = u"本社";
    ASSERT_TRUE(app_.SaveSyncedAppointment(incoming, {"/cal/s.ics", "\"s2\""}, 0).ok());
    incoming.location.clear();
    auto again = app_.SaveSyncedAppointment(incoming, {"/cal/s.ics", "\"s3\""}, 0);
    ASSERT_TRUE(again.ok() && again->has_value());
    EXPECT_EQ((*again)->oid, (*saved)->oid);
    auto stored = app_.GetAppointmentFromOid((*saved)->oid);
    ASSERT_TRUE(stored.ok());
    EXPECT_TRUE(stored->Location().empty());
}

TEST_F(StoreSyncStateTest, ADeletionFromTheServerLeavesNoMark) {
    calendar::AppointmentRecord incoming;
    incoming.uid = "gone@test";
    incoming.start = At(2026, 12, 22, 9);
    incoming.end = At(2026, 12, 22, 10);
    auto saved = app_.SaveSyncedAppointment(incoming, {"/cal/g.ics", "\"g1\""}, 0);
    ASSERT_TRUE(saved.ok() && saved->has_value());
    ASSERT_TRUE(*app_.DeleteSynced(calendar::ItemKind::Appointment, "gone@test", 0));
    EXPECT_FALSE(app_.GetAppointmentFromOid((*saved)->oid).ok());
    EXPECT_FALSE(EntryOf("gone@test").has_value());
}

// Another program saved the item after the sync compared it: the server's version is not
// written over it, nor is it deleted, and the item stays marked changed here.
TEST_F(StoreSyncStateTest, TheSyncWritesNothingOverAnItemChangedSinceItCompared) {
    calendar::AppointmentRecord incoming;
    incoming.uid = "race@test";
    incoming.subject = u"サーバーの版";
    incoming.start = At(2026, 12, 22, 9);
    incoming.end = At(2026, 12, 22, 10);
    auto saved = app_.SaveSyncedAppointment(incoming, {"/cal/r.ics", "\"r1\""}, 0);
    ASSERT_TRUE(saved.ok() && saved->has_value());
    auto local = app_.GetAppointmentFromOid((*saved)->oid);
    local->SetSubject(u"ここでの変更");
    ASSERT_TRUE(local->Save().ok());
    const int64_t revision = EntryOf("race@test")->revision;
    ASSERT_GT(revision, 0);

    incoming.subject = u"サーバーの新版";
    auto over = app_.SaveSyncedAppointment(incoming, {"/cal/r.ics", "\"r2\""}, 0);
    ASSERT_TRUE(over.ok());
    EXPECT_FALSE(over->has_value());
    EXPECT_EQ(app_.GetAppointmentFromOid((*saved)->oid)->Subject(), u"ここでの変更");
    EXPECT_EQ(EntryOf("race@test")->etag, "\"r1\"");
    auto deleted = app_.DeleteSynced(calendar::ItemKind::Appointment, "race@test", 0);
    ASSERT_TRUE(deleted.ok());
    EXPECT_FALSE(*deleted);
    EXPECT_TRUE(app_.GetAppointmentFromOid((*saved)->oid).ok());

    // Compared with the item as it is now, the sync's save goes through.
    auto settled = app_.SaveSyncedAppointment(incoming, {"/cal/r.ics", "\"r2\""}, revision);
    ASSERT_TRUE(settled.ok() && settled->has_value());
    EXPECT_EQ(app_.GetAppointmentFromOid((*saved)->oid)->Subject(), u"サーバーの新版");
    EXPECT_EQ(EntryOf("race@test")->revision, 0);

    // A lost collection: the item is offered to the server again.
    ASSERT_TRUE(app_.OfferAgain(calendar::ItemKind::Appointment, "race@test").ok());
    EXPECT_EQ(EntryOf("race@test")->href, "");
    EXPECT_GT(EntryOf("race@test")->revision, 0);
}

TEST_F(StoreSyncStateTest, TokensAreKeptPerCollection) {
    EXPECT_EQ(app_.SyncToken("http://a/cal/")->token, "");
    ASSERT_TRUE(app_.SetSyncToken("http://a/cal/", {"t1"}).ok());
    ASSERT_TRUE(app_.SetSyncToken("http://a/tasks/", {"t2", true}).ok());
    ASSERT_TRUE(app_.SetSyncToken("http://a/cal/", {"t3"}).ok());
    EXPECT_EQ(app_.SyncToken("http://a/cal/")->token, "t3");
    EXPECT_FALSE(app_.SyncToken("http://a/cal/")->listWhole);
    EXPECT_EQ(app_.SyncToken("http://a/tasks/")->token, "t2");
    EXPECT_TRUE(app_.SyncToken("http://a/tasks/")->listWhole);
}

TEST_F(StoreSyncStateTest, ANewServerGetsEverythingAnew) {
    Appointment kept = SavedMeeting();
    Appointment gone = SavedMeeting();
    for (const Appointment* item : {&kept, &gone}) {
        ASSERT_TRUE(app_.RecordServerCopy(calendar::ItemKind::Appointment, item->Uid(),
                                          {"/cal/x.ics", "\"e\""}, 1)
                        .ok());
    }
    ASSERT_TRUE(gone.Delete().ok());
    ASSERT_TRUE(app_.SetSyncToken("http://a/cal/", {"t1"}).ok());
    ASSERT_TRUE(app_.ResetSyncState().ok());
    auto entry = EntryOf(kept.Uid());
    EXPECT_TRUE(entry->href.empty());
    EXPECT_TRUE(entry->etag.empty());
    EXPECT_EQ(entry->revision, 1);
    EXPECT_FALSE(EntryOf(gone.Uid()).has_value());
    EXPECT_EQ(app_.SyncToken("http://a/cal/")->token, "");
}

TEST_F(StoreSyncStateTest, ItemsOfAnOlderStoreAreAllToBeSent) {
    Appointment meeting = SavedMeeting();
    const std::string uid = meeting.Uid();
    app_.LogOff();
    // The store as the version before sync left it: no sync tables, no marks.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(StorePath().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "DROP TRIGGER appointment_saved_for_sync; DROP TRIGGER "
                           "task_saved_for_sync; DROP TRIGGER appointment_deleted_for_sync; "
                           "DROP TRIGGER task_deleted_for_sync; DROP TABLE sync_items; DROP "
                           "TABLE sync_collections; PRAGMA user_version=3",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    ASSERT_TRUE(app_.LogOn(StorePath()).ok());
    auto entry = EntryOf(uid);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->revision, 1);
    EXPECT_EQ(entry->oid, meeting.Oid());
}

}  // namespace
}  // namespace store
