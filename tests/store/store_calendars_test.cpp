// The calendars every item belongs to: where new items go, what a hidden calendar leaves out of
// the views and what it keeps, and what a store of the version before becomes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/store/store_fixture.h"

namespace store {
namespace {

class StoreCalendarsTest : public StoreFixture {
protected:
    int64_t AddCalendar(std::string name, bool readOnly = false) {
        StoreCalendar added;
        added.name = std::move(name);
        added.url = "https://dav.example/" + added.name + "/";
        added.readOnly = readOnly;
        EXPECT_TRUE(app_.SaveCalendar(added).ok());
        return added.id;
    }
    StoreCalendar CalendarOf(int64_t id) {
        const std::vector<StoreCalendar> calendars = *app_.Calendars();
        for (const StoreCalendar& calendar : calendars) {
            if (calendar.id == id) {
                return calendar;
            }
        }
        ADD_FAILURE() << "no calendar " << id;
        return {};
    }
    int32_t AddMeeting(std::u16string subject, int64_t calendarId = 0) {
        calendar::AppointmentRecord record;
        record.start = At(2026, 12, 9, 10);
        record.end = At(2026, 12, 9, 11);
        record.subject = std::move(subject);
        record.calendarId = calendarId;
        auto oids = app_.AddAll({record}, {});
        EXPECT_TRUE(oids.ok());
        return oids ? oids->front() : 0;
    }
    int32_t AddTask(std::u16string subject, int64_t calendarId = 0) {
        calendar::TaskRecord record;
        record.subject = std::move(subject);
        record.calendarId = calendarId;
        auto oids = app_.AddAll({}, {record});
        EXPECT_TRUE(oids.ok());
        return oids ? oids->front() : 0;
    }
    // The subjects of the calendar folder's items on 2026-12-09 and of the task folder's items,
    // as the planner's views ask for them.
    std::vector<std::u16string> Shown(FolderKind kind) {
        auto folder = app_.GetDefaultFolder(kind);
        EXPECT_TRUE(folder.ok());
        auto items = folder->GetItems();
        EXPECT_TRUE(items.ok());
        auto day = kind == FolderKind::Calendar ? items->Restrict(
                                                      u"[Start] < \"2026/12/10 00:00\" and "
                                                      u"[End] >= \"2026/12/09 00:00\"")
                                                : Result<Items>(std::move(*items));
        EXPECT_TRUE(day.ok());
        day->SetIncludeRecurrences(true);
        std::vector<std::u16string> subjects;
        const int32_t count = *day->Count();
        for (int32_t index = 1; index <= count; ++index) {
            if (kind == FolderKind::Calendar) {
                subjects.push_back(day->AppointmentAt(index)->Record().subject);
            } else {
                subjects.push_back(day->TaskAt(index)->Record().subject);
            }
        }
        return subjects;
    }
};

TEST_F(StoreCalendarsTest, NewItemsGoToTheDefaultAndStoredOnesStayWhereTheyAre) {
    const std::vector<StoreCalendar> fresh = *app_.Calendars();
    ASSERT_EQ(fresh.size(), 1u);
    EXPECT_EQ(fresh[0].id, 1);
    EXPECT_TRUE(fresh[0].isDefault);
    EXPECT_FALSE(fresh[0].name.empty());

    const int64_t work = AddCalendar("仕事");
    const int32_t first = AddMeeting(u"朝会");
    EXPECT_EQ(app_.GetAppointmentFromOid(first)->Record().calendarId, 1);
    ASSERT_TRUE(app_.SetDefaultCalendar(work).ok());
    EXPECT_TRUE(CalendarOf(work).isDefault);
    EXPECT_FALSE(CalendarOf(1).isDefault);
    const int32_t second = AddMeeting(u"会議");
    const int32_t task = AddTask(u"書類");
    EXPECT_EQ(app_.GetAppointmentFromOid(second)->Record().calendarId, work);
    EXPECT_EQ(app_.GetTaskFromOid(task)->Record().calendarId, work);

    // An edit that says nothing of the calendar keeps the item in its own.
    auto edited = *app_.GetAppointmentFromOid(first);
    edited.SetSubject(u"朝会 (変更)");
    ASSERT_TRUE(edited.Save().ok());
    EXPECT_EQ(app_.GetAppointmentFromOid(first)->Record().calendarId, 1);
    // So does an import of the same item by its UID, which knows no calendar of the store.
    calendar::AppointmentRecord again = app_.GetAppointmentFromOid(first)->Record();
    again.oid = 0;
    again.calendarId = 0;
    again.subject = u"朝会 (再)";
    ASSERT_TRUE(app_.SaveByUid({{again, calendar::ItemFields::All()}}, {}).ok());
    EXPECT_EQ(app_.GetAppointmentFromOid(first)->Record().calendarId, 1);
    // Moved by saying so.
    edited = *app_.GetAppointmentFromOid(first);
    edited.SetCalendarId(work);
    ASSERT_TRUE(edited.Save().ok());
    EXPECT_EQ(app_.GetAppointmentFromOid(first)->Record().calendarId, work);
}

TEST_F(StoreCalendarsTest, NamesAreOneEachAndTheDefaultMustTakeNewItems) {
    const int64_t work = AddCalendar("仕事");
    StoreCalendar twin;
    twin.name = "仕事";
    const auto refused = app_.SaveCalendar(twin);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().message.find("仕事"), std::string::npos);
    EXPECT_EQ(app_.Calendars()->size(), 2u);

    StoreCalendar renamed = CalendarOf(work);
    renamed.name = "仕事 (旧)";
    renamed.color = "#1E90FF";
    ASSERT_TRUE(app_.SaveCalendar(renamed).ok());
    EXPECT_EQ(CalendarOf(work), renamed);

    const int64_t feed = AddCalendar("学校", true);
    EXPECT_FALSE(app_.SetDefaultCalendar(feed).ok());
    EXPECT_FALSE(app_.SetDefaultCalendar(99).ok());
    EXPECT_TRUE(CalendarOf(1).isDefault);
}

TEST_F(StoreCalendarsTest, AHiddenCalendarLeavesTheViewsAndSearchButKeepsItsItems) {
    const int64_t work = AddCalendar("仕事");
    AddMeeting(u"朝会");
    AddMeeting(u"会議", work);
    AddTask(u"買い物");
    AddTask(u"書類", work);
    StoreCalendar hidden = CalendarOf(work);
    hidden.hidden = true;
    ASSERT_TRUE(app_.SaveCalendar(hidden).ok());

    EXPECT_EQ(Shown(FolderKind::Calendar), std::vector<std::u16string>{u"朝会"});
    EXPECT_EQ(Shown(FolderKind::Tasks), std::vector<std::u16string>{u"買い物"});
    EXPECT_TRUE(app_.FindItems(u"会議", At(2026, 12, 1), 10)->items.empty());
    EXPECT_TRUE(app_.FindItems(u"書類", At(2026, 12, 1), 10)->items.empty());
    // Export and sync still have every item.
    EXPECT_EQ(app_.AllAppointments()->size(), 2u);
    EXPECT_EQ(app_.AllTasks()->size(), 2u);

    hidden.hidden = false;
    ASSERT_TRUE(app_.SaveCalendar(hidden).ok());
    EXPECT_EQ(Shown(FolderKind::Calendar).size(), 2u);
    EXPECT_EQ(Shown(FolderKind::Tasks).size(), 2u);
    EXPECT_EQ(app_.FindItems(u"会議", At(2026, 12, 1), 10)->items.size(), 1u);
}

TEST_F(StoreCalendarsTest, AReadOnlyCalendarsItemsAreNeitherChangedNorMovedNorDeleted) {
    const int64_t feed = AddCalendar("学校", true);
    const int64_t work = AddCalendar("仕事");
    const int32_t festival = AddMeeting(u"文化祭", feed);  // as its sync stores it
    const int32_t homework = AddTask(u"宿題", feed);
    const int32_t meeting = AddMeeting(u"会議", work);
    const auto refusedNamingTheFeed = [](const Result<void>& result) {
        return !result.ok() && result.error().message.find("学校") != std::string::npos &&
               result.error().message.find("read-only") != std::string::npos;
    };

    auto edited = *app_.GetAppointmentFromOid(festival);
    edited.SetSubject(u"文化祭 (変更)");
    EXPECT_TRUE(refusedNamingTheFeed(edited.Save()));
    edited = *app_.GetAppointmentFromOid(festival);
    edited.SetCalendarId(work);
    EXPECT_TRUE(refusedNamingTheFeed(edited.Save()));  // moved out of it
    auto moved = *app_.GetAppointmentFromOid(meeting);
    moved.SetCalendarId(feed);
    EXPECT_TRUE(refusedNamingTheFeed(moved.Save()));  // moved into it
    auto task = *app_.GetTaskFromOid(homework);
    task.SetSubject(u"宿題 (済)");
    EXPECT_TRUE(refusedNamingTheFeed(task.Save()));
    EXPECT_TRUE(refusedNamingTheFeed(app_.GetAppointmentFromOid(festival)->Delete()));
    EXPECT_TRUE(refusedNamingTheFeed(app_.GetTaskFromOid(homework)->Delete()));

    // A calendar file holding the same item leaves it as the feed has it.
    calendar::AppointmentRecord imported = app_.GetAppointmentFromOid(festival)->Record();
    imported.oid = 0;
    imported.calendarId = 0;
    imported.subject = u"文化祭 (ファイル)";
    ASSERT_TRUE(app_.SaveByUid({{imported, calendar::ItemFields::All()}}, {}).ok());

    EXPECT_EQ(app_.GetAppointmentFromOid(festival)->Record().subject, u"文化祭");
    EXPECT_EQ(app_.GetAppointmentFromOid(festival)->Record().calendarId, feed);
    EXPECT_EQ(app_.GetAppointmentFromOid(meeting)->Record().calendarId, work);
    EXPECT_EQ(app_.GetTaskFromOid(homework)->Record().subject, u"宿題");
    // A copy into a calendar that can be written is an item of its own.
    calendar::AppointmentRecord copy = app_.GetAppointmentFromOid(festival)->Record();
    copy.oid = 0;
    copy.uid.clear();
    copy.calendarId = work;
    EXPECT_TRUE(app_.AddAll({copy}, {}).ok());
    EXPECT_EQ(app_.AllAppointments()->size(), 3u);
}

TEST_F(StoreCalendarsTest, ASyncEntryRemembersItsItemsCalendarAfterTheItemIsGone) {
    const int64_t work = AddCalendar("仕事");
    const int32_t meeting = AddMeeting(u"会議", work);
    const auto entryOf = [&](const std::string& uid) {
        const std::vector<calendar::SyncEntry> entries = *app_.SyncEntries();
        for (const calendar::SyncEntry& entry : entries) {
            if (entry.uid == uid) {
                return entry;
            }
        }
        ADD_FAILURE() << "no entry for " << uid;
        return calendar::SyncEntry{};
    };
    const std::string uid = app_.GetAppointmentFromOid(meeting)->Uid();
    EXPECT_EQ(entryOf(uid).calendarId, work);
    // Once on the server, its deletion is remembered for the collection it was in.
    ASSERT_TRUE(app_.RecordServerCopy(calendar::ItemKind::Appointment, uid,
                                      ServerCopy{"/work/a.ics", "\"1\"", ""}, 1)
                    .ok());
    ASSERT_TRUE(app_.GetAppointmentFromOid(meeting)->Delete().ok());
    EXPECT_TRUE(entryOf(uid).deleted);
    EXPECT_EQ(entryOf(uid).calendarId, work);
}

TEST_F(StoreCalendarsTest, AStoreOfTheVersionBeforeHasItsItemsInTheFirstCalendar) {
    AddMeeting(u"会議");
    AddTask(u"書類");
    app_.LogOff();
    Execute(
        "DROP TRIGGER appointment_saved_for_sync; DROP TRIGGER task_saved_for_sync;"
        "DROP TABLE calendars; DELETE FROM store_info WHERE key = 'default_calendar';"
        "ALTER TABLE appointments DROP COLUMN calendar; ALTER TABLE tasks DROP COLUMN calendar;"
        "ALTER TABLE sync_items DROP COLUMN calendar; PRAGMA user_version = 8");

    ASSERT_TRUE(app_.LogOn(StorePath()).ok());
    ASSERT_EQ(app_.Calendars()->size(), 1u);
    EXPECT_TRUE(app_.Calendars()->front().isDefault);
    EXPECT_EQ(app_.AllAppointments()->front().calendarId, 1);
    EXPECT_EQ(app_.AllTasks()->front().calendarId, 1);
    // The sync's marks work again: a new item is marked, in its calendar.
    const int64_t work = AddCalendar("仕事");
    AddMeeting(u"新しい", work);
    int found = 0;
    const std::vector<calendar::SyncEntry> entries = *app_.SyncEntries();
    for (const calendar::SyncEntry& entry : entries) {
        found += entry.calendarId == work && entry.revision > 0;
    }
    EXPECT_EQ(found, 1);
}

}  // namespace
}  // namespace store
