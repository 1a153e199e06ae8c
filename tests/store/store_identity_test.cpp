// The store's identities (a UID for every item, updates by UID), cancelled items, changed
// occurrences of series, and the memo names other items use; on real store files.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "calendar/ical_extras.h"
#include "store/schedule_store.h"
#include "tests/store/store_fixture.h"

namespace store {
namespace {

class StoreIdentityTest : public StoreFixture {
protected:
    static calendar::AppointmentRecord Meeting(std::string uid, std::u16string subject,
                                               Date start) {
        calendar::AppointmentRecord record;
        record.uid = std::move(uid);
        record.subject = std::move(subject);
        record.start = start;
        record.end = start + 1.0 / 24;
        return record;
    }

    // A daily series at 09:00 from Monday 7 December 2026, ten days, the 9th taken out, the 8th
    // moved to 14:00 (its own subject), the 10th moved to the 11th at 09:30, the 12th cancelled.
    static calendar::AppointmentRecord DailyWithChanges() {
        calendar::AppointmentRecord series = Meeting("daily@test", u"朝会", At(2026, 12, 7, 9));
        series.recurrence.rule = "FREQ=DAILY;COUNT=10";
        series.zoneStart = series.start;
        series.recurrence.exceptionDates = {At(2026, 12, 9, 9)};
        calendar::OccurrenceChange afternoon;
        afternoon.recurrenceId = At(2026, 12, 8, 9);
        afternoon.start = At(2026, 12, 8, 14);
        afternoon.end = At(2026, 12, 8, 15);
        afternoon.subject = u"朝会 (午後)";
        calendar::OccurrenceChange nextDay;
        nextDay.recurrenceId = At(2026, 12, 10, 9);
        nextDay.start = At(2026, 12, 11, 9, 30);
        nextDay.end = At(2026, 12, 11, 10, 30);
        nextDay.subject = u"朝会";
        calendar::OccurrenceChange cancelled = nextDay;
        cancelled.recurrenceId = At(2026, 12, 12, 9);
        cancelled.start = At(2026, 12, 12, 9);
        cancelled.end = At(2026, 12, 12, 10);
        cancelled.cancelled = true;
        series.recurrence.changes = {afternoon, nextDay, cancelled};
        return series;
    }

    std::vector<Appointment> Query(std::u16string_view restriction) {
        auto items = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems();
        auto restricted = items->Restrict(restriction);
        EXPECT_TRUE(restricted.ok());
        restricted->SetIncludeRecurrences(true);
        EXPECT_TRUE(restricted->Sort(u"[Start]").ok());
        std::vector<Appointment> found;
        for (int32_t i = 1;; ++i) {
            auto item = restricted->AppointmentAt(i);
            if (!item) {
                break;
            }
            found.push_back(*item);
        }
        return found;
    }

    std::vector<Date> Starts(std::u16string_view restriction) {
        std::vector<Date> starts;
        for (const Appointment& a : Query(restriction)) {
            starts.push_back(a.Start());
        }
        return starts;
    }

    int64_t CountRows(const char* table) {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(StorePath().c_str(), &db), SQLITE_OK);
        sqlite3_stmt* statement = nullptr;
        const std::string sql = std::string("SELECT count(*) FROM ") + table;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
        int64_t count = -1;
        if (sqlite3_step(statement) == SQLITE_ROW) {
            count = sqlite3_column_int64(statement, 0);
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return count;
    }
};

TEST_F(StoreIdentityTest, EveryItemGetsAUidWhenFirstSavedAndKeepsIt) {
    auto items = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems();
    Appointment appointment = items->AddAppointment();
    appointment.SetSubject(u"歯医者");
    appointment.SetStart(At(2026, 12, 7, 9));
    appointment.SetEnd(At(2026, 12, 7, 10));
    EXPECT_EQ(appointment.Uid(), "");
    ASSERT_TRUE(appointment.Save().ok());
    const std::string uid = appointment.Uid();
    EXPECT_TRUE(uid.ends_with("@tessarinth")) << uid;
    EXPECT_EQ(uid[14], '4');  // a random (version 4) UUID
    auto stored = app_.GetAppointmentFromOid(appointment.Oid());
    stored->SetSubject(u"歯医者 (変更)");
    ASSERT_TRUE(stored->Save().ok());
    EXPECT_EQ(app_.GetAppointmentFromOid(appointment.Oid())->Uid(), uid);

    calendar::TaskRecord task;
    task.subject = u"買い物";
    auto oids = app_.AddAll({Meeting("", u"会議", At(2026, 12, 8, 9))}, {task});
    ASSERT_TRUE(oids.ok());
    const std::string meetingUid = app_.GetAppointmentFromOid((*oids)[0])->Uid();
    const std::string taskUid = app_.GetTaskFromOid((*oids)[1])->Uid();
    EXPECT_NE(meetingUid, uid);
    EXPECT_NE(taskUid, meetingUid);
    EXPECT_FALSE(taskUid.empty());
}

TEST_F(StoreIdentityTest, SavingByUidUpdatesInPlaceAndTwiceChangesNothing) {
    calendar::AppointmentRecord first = Meeting("a@test", u"会議", At(2026, 12, 7, 9));
    first.extraProperties = "X-KEPT:1\r\nBEGIN:VALARM\r\nTRIGGER:-PT5M\r\nEND:VALARM";
    first.reminderSet = true;
    calendar::TaskRecord task;
    task.uid = "t@test";
    task.subject = u"請求書";
    auto saved =
        app_.SaveByUid({{first}, {Meeting("b@test", u"昼食", At(2026, 12, 7, 12))}}, {{task}});
    ASSERT_TRUE(saved.ok()) << saved.error().message;
    EXPECT_EQ(saved->Count(UidSaveSummary::Outcome::Added), 3);
    const int32_t oid = saved->appointments[0].oid;

    // The same items again: nothing is written.
    auto again =
        app_.SaveByUid({{first}, {Meeting("b@test", u"昼食", At(2026, 12, 7, 12))}}, {{task}});
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again->Count(UidSaveSummary::Outcome::Unchanged), 3);
    EXPECT_EQ(again->appointments[0].oid, oid);

    // A memo written in the planner meanwhile (handwriting, say) stays when the incoming item
    // does not give a body; what it gives replaces the stored values.
    auto planner = app_.GetAppointmentFromOid(oid);
    planner->SetBody(u"12.dat");
    ASSERT_TRUE(planner->Save().ok());
    calendar::AppointmentRecord moved = Meeting("a@test", u"会議 (変更)", At(2026, 12, 8, 9));
    moved.extraProperties = "X-OTHER:2";
    calendar::ItemFields given = calendar::ItemFields::None();
    given.Add(calendar::ItemField::Subject);
    auto update = app_.SaveByUid({{moved, given}}, {});
    ASSERT_TRUE(update.ok());
    EXPECT_EQ(update->appointments[0].outcome, UidSaveSummary::Outcome::Updated);
    EXPECT_EQ(update->appointments[0].oid, oid);
    const calendar::AppointmentRecord stored = app_.GetAppointmentFromOid(oid)->Record();
    EXPECT_EQ(stored.subject, u"会議 (変更)");
    EXPECT_EQ(stored.start, At(2026, 12, 8, 9));
    EXPECT_EQ(stored.body, u"12.dat");
    EXPECT_TRUE(stored.reminderSet);
    // The planner's edit stamped it; the stamps stay, as the incoming item has none.
    EXPECT_EQ(calendar::ReplaceKeptProperty(
                  calendar::ReplaceKeptProperty(stored.extraProperties, "LAST-MODIFIED", ""),
                  "DTSTAMP", ""),
              "X-OTHER:2\r\nX-KEPT:1\r\nBEGIN:VALARM\r\nTRIGGER:-PT5M\r\nEND:VALARM");
    EXPECT_NE(stored.extraProperties.find("LAST-MODIFIED:"), std::string::npos);
    EXPECT_EQ(app_.AllAppointments()->size(), 2u);
    EXPECT_EQ(app_.AllTasks()->size(), 1u);
}

TEST_F(StoreIdentityTest, SavingByUidIsAllOrNothing) {
    auto first = app_.SaveByUid({{Meeting("a@test", u"会議", At(2026, 12, 7, 9))}}, {});
    ASSERT_TRUE(first.ok());
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(StorePath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    Application impatient;
    ASSERT_TRUE(impatient.LogOn(StorePath(), std::chrono::milliseconds(20)).ok());
    EXPECT_FALSE(impatient
                     .SaveByUid({{Meeting("a@test", u"変更", At(2026, 12, 7, 9))},
                                 {Meeting("c@test", u"新規", At(2026, 12, 7, 9))}},
                                {})
                     .ok());
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(app_.AllAppointments()->size(), 1u);
    EXPECT_EQ(app_.GetAppointmentFromOid(first->appointments[0].oid)->Subject(), u"会議");
}

TEST_F(StoreIdentityTest, ChangedOccurrencesShowAtTheirOwnTimesAndCancelledOnesNot) {
    auto oids = app_.AddAll({DailyWithChanges()}, {});
    ASSERT_TRUE(oids.ok());
    const int32_t oid = oids->front();
    EXPECT_EQ(Starts(uR"([Start] <= "2026/12/13" and [End] >= "2026/12/7")"),
              (std::vector<Date>{At(2026, 12, 7, 9), At(2026, 12, 8, 14), At(2026, 12, 11, 9),
                                 At(2026, 12, 11, 9, 30), At(2026, 12, 13, 9)}));
    const std::vector<Appointment> eighth =
        Query(uR"([Start] >= "2026/12/8" and [Start] <= "2026/12/8")");
    ASSERT_EQ(eighth.size(), 1u);
    EXPECT_EQ(eighth[0].Oid(), oid);
    EXPECT_TRUE(eighth[0].IsOccurrence());
    EXPECT_TRUE(eighth[0].IsChangedOccurrence());
    EXPECT_EQ(eighth[0].RecurrenceId(), At(2026, 12, 8, 9));
    EXPECT_EQ(eighth[0].Subject(), u"朝会 (午後)");
    EXPECT_EQ(eighth[0].End(), At(2026, 12, 8, 15));
    EXPECT_EQ(eighth[0].GetRecurrencePattern()->Type(), calendar::RecurrenceType::Daily);
    // The moved one is found from the day it moved to, and not from the day it left.
    EXPECT_EQ(Starts(uR"([Start] <= "2026/12/10" and [End] >= "2026/12/10")"), std::vector<Date>{});
    const std::vector<Appointment> eleventh =
        Query(uR"([Start] >= "2026/12/11" and [Start] <= "2026/12/11")");
    ASSERT_EQ(eleventh.size(), 2u);
    EXPECT_FALSE(eleventh[0].IsChangedOccurrence());
    EXPECT_TRUE(eleventh[1].IsChangedOccurrence());
    EXPECT_EQ(eleventh[1].RecurrenceId(), At(2026, 12, 10, 9));

    // The series read by its object id holds its changes; deleting it deletes them.
    EXPECT_EQ(app_.GetAppointmentFromOid(oid)->Record().recurrence.changes.size(), 3u);
    EXPECT_EQ(app_.AllAppointments()->front().recurrence.changes.size(), 3u);
    EXPECT_EQ(CountRows("occurrence_changes"), 3);
    ASSERT_TRUE(app_.GetAppointmentFromOid(oid)->Delete().ok());
    EXPECT_EQ(CountRows("occurrence_changes"), 0);
}

TEST_F(StoreIdentityTest, AChangeMovedFarFromItsSeriesIsFoundFromEitherSide) {
    // A monthly series on the 28th whose December occurrence moved into January, and whose first
    // occurrence moved a week before the series starts.
    calendar::AppointmentRecord monthly = Meeting("monthly@test", u"月例", At(2026, 10, 28, 18));
    monthly.recurrence.rule = "FREQ=MONTHLY;COUNT=3";
    monthly.zoneStart = monthly.start;
    calendar::OccurrenceChange late;
    late.recurrenceId = At(2026, 12, 28, 18);
    late.start = At(2027, 1, 5, 18);
    late.end = At(2027, 1, 5, 19);
    calendar::OccurrenceChange early;
    early.recurrenceId = At(2026, 10, 28, 18);
    early.start = At(2026, 10, 21, 18);
    early.end = At(2026, 10, 21, 19);
    monthly.recurrence.changes = {early, late};
    ASSERT_TRUE(app_.AddAll({monthly}, {}).ok());
    EXPECT_EQ(Starts(uR"([Start] >= "2027/1/1" and [Start] <= "2027/1/31")"),
              std::vector<Date>{At(2027, 1, 5, 18)});
    EXPECT_TRUE(Starts(uR"([Start] >= "2026/12/1" and [Start] <= "2026/12/31")").empty());
    EXPECT_EQ(Starts(uR"([Start] <= "2026/10/24" and [End] >= "2026/10/20")"),
              std::vector<Date>{At(2026, 10, 21, 18)});
}

TEST_F(StoreIdentityTest, AThisAndFutureChangeMovesTheLaterOccurrences) {
    calendar::AppointmentRecord weekly = Meeting("weekly@test", u"週次", At(2026, 1, 5, 10));
    weekly.recurrence.rule = "FREQ=WEEKLY;COUNT=6";
    weekly.zoneStart = weekly.start;
    calendar::OccurrenceChange tuesdays;
    tuesdays.thisAndFuture = true;
    tuesdays.recurrenceId = At(2026, 1, 19, 10);
    tuesdays.start = At(2026, 1, 20, 16);
    tuesdays.end = At(2026, 1, 20, 17, 30);
    tuesdays.subject = u"週次 (火曜)";
    calendar::OccurrenceChange cancelled = tuesdays;
    cancelled.thisAndFuture = false;
    cancelled.cancelled = true;
    cancelled.recurrenceId = At(2026, 1, 26, 10);
    weekly.recurrence.changes = {tuesdays, cancelled};
    ASSERT_TRUE(app_.AddAll({weekly}, {}).ok());
    const std::vector<Appointment> all =
        Query(uR"([Start] >= "2026/1/1" and [Start] <= "2026/3/1")");
    std::vector<Date> starts;
    for (const Appointment& a : all) {
        starts.push_back(a.Start());
    }
    EXPECT_EQ(starts,
              (std::vector<Date>{At(2026, 1, 5, 10), At(2026, 1, 12, 10), At(2026, 1, 20, 16),
                                 At(2026, 2, 3, 16), At(2026, 2, 10, 16)}));
    EXPECT_EQ(all[4].End(), At(2026, 2, 10, 17, 30));
    EXPECT_EQ(all[4].Subject(), u"週次 (火曜)");
    EXPECT_EQ(all[4].RecurrenceId(), At(2026, 2, 9, 10));
    EXPECT_TRUE(all[4].IsChangedOccurrence());
    EXPECT_FALSE(all[1].IsChangedOccurrence());
}

TEST_F(StoreIdentityTest, CancelledItemsAreKeptButNotInTheCollections) {
    calendar::AppointmentRecord calledOff = Meeting("off@test", u"中止", At(2026, 12, 7, 9));
    calledOff.cancelled = true;
    calendar::AppointmentRecord seriesOff =
        Meeting("series-off@test", u"中止の連続", At(2026, 12, 7, 11));
    seriesOff.cancelled = true;
    seriesOff.recurrence.rule = "FREQ=DAILY";
    seriesOff.zoneStart = seriesOff.start;
    auto oids =
        app_.AddAll({calledOff, seriesOff, Meeting("on@test", u"会議", At(2026, 12, 7, 10))}, {});
    ASSERT_TRUE(oids.ok());
    EXPECT_EQ(Starts(uR"([Start] <= "2026/12/8" and [End] >= "2026/12/7")"),
              std::vector<Date>{At(2026, 12, 7, 10)});
    EXPECT_EQ(*app_.GetDefaultFolder(FolderKind::Calendar)->GetItems()->Count(), 1);
    EXPECT_TRUE(app_.GetAppointmentFromOid((*oids)[0])->Record().cancelled);
    EXPECT_EQ(app_.AllAppointments()->size(), 3u);
}

TEST_F(StoreIdentityTest, AnInkFileIsNamedElsewhereOnlyByOtherHandwrittenMemos) {
    calendar::AppointmentRecord series = DailyWithChanges();
    series.recurrence.changes[0].body = u"7.dat\r\nメモ";
    series.recurrence.changes[0].handwritten = true;
    series.recurrence.changes[1].body = u"9.dat";  // typed, by whoever wrote it
    calendar::AppointmentRecord first = Meeting("a@test", u"a", At(2026, 12, 7, 9));
    first.body = u"5.dat";
    first.handwritten = true;
    calendar::AppointmentRecord second = Meeting("b@test", u"b", At(2026, 12, 7, 9));
    second.body = u"5.dat\nつづき";
    second.handwritten = true;
    calendar::AppointmentRecord prefix = Meeting("c@test", u"c", At(2026, 12, 7, 9));
    prefix.body = u"15.dat";
    prefix.handwritten = true;
    calendar::AppointmentRecord longer = Meeting("d@test", u"d", At(2026, 12, 7, 9));
    longer.body = u"8.data\r\n";
    longer.handwritten = true;
    calendar::AppointmentRecord typed = Meeting("e@test", u"e", At(2026, 12, 7, 9));
    typed.body = u"6.dat\r\nこのファイルを見てください";
    auto oids = app_.AddAll({series, first, second, prefix, longer, typed}, {});
    ASSERT_TRUE(oids.ok());
    EXPECT_TRUE(*app_.IsInkFileNamedElsewhere(u"5.dat", (*oids)[1]));
    EXPECT_TRUE(*app_.IsInkFileNamedElsewhere(u"5.dat", (*oids)[2]));
    EXPECT_FALSE(*app_.IsInkFileNamedElsewhere(u"15.dat", (*oids)[3]));
    EXPECT_FALSE(*app_.IsInkFileNamedElsewhere(u"8.dat", 0));  // "8.data" is another name
    EXPECT_TRUE(*app_.IsInkFileNamedElsewhere(u"7.dat", 0));
    EXPECT_FALSE(*app_.IsInkFileNamedElsewhere(u"1.dat", 0));
    // Text memos that read like an ink file's name keep no file.
    EXPECT_FALSE(*app_.IsInkFileNamedElsewhere(u"6.dat", 0));
    EXPECT_FALSE(*app_.IsInkFileNamedElsewhere(u"9.dat", 0));
}

// The tables of a store written before identities, cancelled items and changes were kept.
constexpr const char* kVersion2Store = R"sql(
CREATE TABLE store_info(key TEXT PRIMARY KEY, value) WITHOUT ROWID;
CREATE TABLE object_ids(oid INTEGER PRIMARY KEY AUTOINCREMENT, kind INTEGER NOT NULL);
CREATE TABLE appointments(
  oid INTEGER NOT NULL UNIQUE, recurring INTEGER NOT NULL, start REAL NOT NULL, end REAL NOT NULL,
  all_day INTEGER NOT NULL, reminder INTEGER NOT NULL,
  subject TEXT NOT NULL, location TEXT NOT NULL, body TEXT NOT NULL, categories TEXT NOT NULL,
  uid TEXT NOT NULL, extra TEXT NOT NULL,
  rule TEXT NOT NULL, tzid TEXT NOT NULL, zone_start REAL NOT NULL,
  exdates TEXT NOT NULL, rdates TEXT NOT NULL, expansion_rule TEXT NOT NULL, last_end REAL,
  PRIMARY KEY(recurring, start, oid)) WITHOUT ROWID;
CREATE TABLE tasks(oid INTEGER PRIMARY KEY, due REAL NOT NULL, completed REAL NOT NULL,
  complete INTEGER NOT NULL, subject TEXT NOT NULL, body TEXT NOT NULL, categories TEXT NOT NULL,
  uid TEXT NOT NULL, extra TEXT NOT NULL);
INSERT INTO object_ids(oid, kind) VALUES(1, 1), (2, 1), (3, 2);
INSERT INTO appointments VALUES(1, 0, 46363.375, 46363.4166, 0, 0, '会議', '', '', '', '', '',
  '', '', 46363.375, '', '', '', 46363.4166);
INSERT INTO appointments VALUES(2, 0, 46364.375, 46364.4166, 0, 0, '中止', '', '', '',
  'off@test', 'DTSTAMP:20261201T000000Z' || char(13, 10) || 'STATUS:CANCELLED', '', '', 46364.375,
  '', '', '', 46364.4166);
INSERT INTO tasks VALUES(3, 949998.0, 949998.0, 0, '買い物', '', '', '', '');
PRAGMA user_version = 2;
)sql";

// Every table's columns in order (name, type, NOT NULL, default, place in the primary key),
// and the names of the indexes and triggers, of the store file.
std::map<std::string, std::vector<std::string>> SchemaOf(const std::filesystem::path& file) {
    std::map<std::string, std::vector<std::string>> schema;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* select = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db,
                                 "SELECT m.type, m.name, p.name, p.type, p.\"notnull\", "
                                 "ifnull(p.dflt_value, ''), p.pk FROM sqlite_master m "
                                 "LEFT JOIN pragma_table_info(m.name) p ON m.type = 'table' "
                                 "WHERE m.name NOT LIKE 'sqlite_%' ORDER BY m.type, m.name, p.cid",
                                 -1, &select, nullptr),
              SQLITE_OK);
    while (sqlite3_step(select) == SQLITE_ROW) {
        std::string row;
        for (int column = 2; column < 7; ++column) {
            const auto* text = sqlite3_column_text(select, column);
            row += (text ? reinterpret_cast<const char*>(text) : "") + std::string("|");
        }
        const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(select, 0));
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(select, 1));
        schema[std::string(type) + " " + name].push_back(row);
    }
    sqlite3_finalize(select);
    sqlite3_close(db);
    return schema;
}

// A store as version 2 of the planner left it, at `path`.
void WriteVersion2Store(const std::filesystem::path& path) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, kVersion2Store, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// A new store is made with every column at once; one brought up from an old version has them
// added one by one. Both end with the same tables, columns in the same order, and indexes.
TEST_F(StoreIdentityTest, ANewStoreHasTheTablesOfOneBroughtUpFromVersion2) {
    app_.LogOff();
    const auto old = folder_.Path() / "old.sqlite";
    WriteVersion2Store(old);
    ASSERT_TRUE(app_.LogOn(old).ok());
    app_.LogOff();

    const auto made = SchemaOf(StorePath());
    const auto broughtUp = SchemaOf(old);
    ASSERT_EQ(made.size(), broughtUp.size());
    for (const auto& [name, columns] : made) {
        ASSERT_TRUE(broughtUp.count(name)) << name;
        EXPECT_EQ(columns, broughtUp.at(name)) << name;
    }
    EXPECT_EQ(made.at("table appointments").size(), 25u);
    EXPECT_EQ(made.at("table tasks").back(), "calendar|INTEGER|1|1|0|");
    // Each subscribed feed's mark: its calendar, ETag, Last-Modified, time and error.
    EXPECT_EQ(made.at("table feed_marks").size(), 5u);
}

TEST_F(StoreIdentityTest, AStoreOfVersion2IsBroughtUpWithTheUidsItsExportsGave) {
    app_.LogOff();
    const auto old = folder_.Path() / "old.sqlite";
    WriteVersion2Store(old);

    ASSERT_TRUE(app_.LogOn(old).ok());
    EXPECT_EQ(app_.GetAppointmentFromOid(1)->Uid(), "tessarinth-1@localhost");
    EXPECT_EQ(app_.GetAppointmentFromOid(2)->Uid(), "off@test");
    EXPECT_TRUE(app_.GetAppointmentFromOid(2)->Record().cancelled);
    EXPECT_FALSE(app_.GetAppointmentFromOid(1)->Record().cancelled);
    EXPECT_EQ(app_.GetTaskFromOid(3)->Uid(), "tessarinth-task-3@localhost");
    EXPECT_EQ(*app_.GetDefaultFolder(FolderKind::Calendar)->GetItems()->Count(), 1);
    // And it takes new items as a new store does.
    ASSERT_TRUE(app_.AddAll({DailyWithChanges()}, {}).ok());
    EXPECT_EQ(app_.GetAppointmentFromOid(4)->Record().recurrence.changes.size(), 3u);
}

}  // namespace
}  // namespace store
