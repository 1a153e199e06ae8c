// Several calendars of one account in one store: which items each collection's sync takes, where
// what the server holds is stored, and which calendars a setup makes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "store/schedule_store.h"
#include "sync/account_calendars.h"
#include "sync/collection_sync.h"
#include "sync/conflict_archive.h"
#include "sync/data_home_sync.h"
#include "tests/support/temp_folder.h"
#include "tests/sync/memory_collection.h"

namespace calendar_sync {
namespace {

using testing::MemoryCollection;

std::string VisitEvent(const std::string& uid, const std::string& summary) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//phone//EN\r\nBEGIN:VEVENT\r\nUID:" + uid +
           "\r\nDTSTART:20261221T100000\r\nDTEND:20261221T110000\r\nSUMMARY:" + summary +
           "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

caldav::FoundCalendar Found(std::string url, std::string name, bool events = true,
                            bool tasks = true) {
    caldav::FoundCalendar found;
    found.url = std::move(url);
    found.name = std::move(name);
    found.events = events;
    found.tasks = tasks;
    return found;
}

class AccountCalendarsTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        ASSERT_TRUE(folder_.Made());
        ASSERT_TRUE(store_.LogOn(folder_.Path() / "schedule.sqlite").ok());
    }
    int64_t AddCalendar(const std::string& name) {
        store::StoreCalendar added;
        added.name = name;
        added.url = "https://dav.example/" + name + "/";
        EXPECT_TRUE(store_.SaveCalendar(added).ok());
        return added.id;
    }
    void AddMeeting(const std::u16string& subject, int64_t calendarId, const std::string& uid) {
        calendar::AppointmentRecord record;
        record.start = *platform::MakeDate(2026, 12, 21, 9);
        record.end = *platform::MakeDate(2026, 12, 21, 10);
        record.subject = subject;
        record.uid = uid;
        record.calendarId = calendarId;
        ASSERT_TRUE(store_.AddAll({record}, {}).ok());
    }
    platform::Result<SyncOutcome> Sync(MemoryCollection& collection, int64_t calendarId) {
        CollectionSync sync(store_, collection, archive_,
                            {{calendar::ItemKind::Appointment, calendar::ItemKind::Task},
                             false,
                             nullptr,
                             [] { return int64_t{1'796'000'000}; },
                             calendarId});
        return sync.Run();
    }
    // Each stored appointment's subject, with its calendar.
    std::map<std::u16string, int64_t> CalendarsOfItems() {
        std::map<std::u16string, int64_t> held;
        const std::vector<calendar::AppointmentRecord> all = *store_.AllAppointments();
        for (const calendar::AppointmentRecord& record : all) {
            held[record.subject] = record.calendarId;
        }
        return held;
    }
    std::map<std::string, store::StoreCalendar> ByName() {
        std::map<std::string, store::StoreCalendar> named;
        const std::vector<store::StoreCalendar> calendars = *store_.Calendars();
        for (const store::StoreCalendar& calendar : calendars) {
            named[calendar.name] = calendar;
        }
        return named;
    }

    testing_support::TempFolder folder_;
    store::Application store_;
    ConflictArchive archive_{folder_.Path() / "conflicts"};
};

TEST_F(AccountCalendarsTest, EachCollectionSyncsItsOwnCalendarsItemsAlone) {
    const int64_t work = AddCalendar("仕事");
    AddMeeting(u"家の用事", 1, "home@here");
    AddMeeting(u"出張", work, "trip@here");
    MemoryCollection family("/alice/family/");
    MemoryCollection office("/alice/work/");
    office.PutAsOther("visit.ics", VisitEvent("visit@phone", "来客"));
    // The same item in both of the account's calendars: kept once, where it was first found.
    office.PutAsOther("home.ics", VisitEvent("home@here", "家の用事"));

    auto first = Sync(family, 1);
    ASSERT_TRUE(first.ok()) << first.error().message;
    auto second = Sync(office, work);
    ASSERT_TRUE(second.ok()) << second.error().message;

    EXPECT_EQ(family.Names().size(), 1u);
    EXPECT_NE(family.TextOf(family.Names().front())->find("SUMMARY:家の用事"), std::string::npos);
    ASSERT_EQ(office.Names().size(), 3u);  // its own two, and what this planner sent it
    EXPECT_EQ(CalendarsOfItems(), (std::map<std::u16string, int64_t>{
                                      {u"家の用事", 1}, {u"出張", work}, {u"来客", work}}));
    EXPECT_EQ(second->received, 1);
    EXPECT_EQ(second->sent, 1);

    // Synced again, nothing moves between them.
    ASSERT_TRUE(Sync(family, 1).ok());
    ASSERT_TRUE(Sync(office, work).ok());
    EXPECT_EQ(family.Names().size(), 1u);
    EXPECT_EQ(store_.AllAppointments()->size(), 3u);
}

TEST_F(AccountCalendarsTest, ASyncPlansTheFirstCalendarThenEveryOtherCollection) {
    SyncSettings settings;
    settings.eventsUrl = "https://dav.example/family/";
    settings.tasksUrl = "https://dav.example/todo/";
    std::vector<store::StoreCalendar> calendars(4);
    const std::vector<std::pair<std::string, std::string>> named{
        {"家族", ""},
        {"仕事", "https://dav.example/work/"},
        {"学校", "https://school.example/feed.ics"},
        {"手元", ""}};
    for (size_t i = 0; i < calendars.size(); ++i) {
        calendars[i].id = static_cast<int64_t>(i) + 1;
        calendars[i].name = named[i].first;
        calendars[i].url = named[i].second;
    }
    calendars[1].holds = store::CalendarHolds::Appointments;
    calendars[2].subscription = true;
    const std::vector<CalendarPlan> plans = PlanCalendars(settings, calendars);
    ASSERT_EQ(plans.size(), 3u);
    EXPECT_EQ(plans[0].url, settings.eventsUrl);
    EXPECT_EQ(plans[0].kinds, std::set{calendar::ItemKind::Appointment});
    EXPECT_EQ(plans[1].url, settings.tasksUrl);
    EXPECT_EQ(plans[1].calendarId, 1);
    EXPECT_EQ(plans[2].url, "https://dav.example/work/");
    EXPECT_EQ(plans[2].calendarId, 2);
    EXPECT_EQ(plans[2].kinds, std::set{calendar::ItemKind::Appointment});
}

TEST_F(AccountCalendarsTest, ASetupMakesTheAccountsCalendarsOnceEach) {
    store::StoreCalendar mine;
    mine.name = "仕事";  // a name the account uses too
    ASSERT_TRUE(store_.SaveCalendar(mine).ok());
    std::vector<caldav::FoundCalendar> account{
        Found("https://dav.example/family/", "家族"), Found("https://dav.example/work/", "仕事"),
        Found("https://dav.example/todo/", "やること", false, true)};
    account[1].color = "#1E90FF";
    account[1].readOnly = true;
    const SyncedCalendars chosen{&account[0], &account[2]};
    ASSERT_TRUE(RecordAccountCalendars(store_, account, chosen, false).ok());
    auto named = ByName();
    ASSERT_EQ(named.size(), 3u);
    EXPECT_EQ(named.at("家族").id, 1);
    EXPECT_EQ(named.at("家族").url, "https://dav.example/family/");
    EXPECT_EQ(named.at("仕事 (2)").url, "https://dav.example/work/");
    EXPECT_TRUE(named.at("仕事 (2)").readOnly);
    EXPECT_EQ(named.at("仕事 (2)").color, "#1E90FF");
    EXPECT_TRUE(named.at("仕事").url.empty());

    // Set up again: what is there already is not made twice.
    ASSERT_TRUE(RecordAccountCalendars(store_, account, chosen, false).ok());
    EXPECT_EQ(store_.Calendars()->size(), 3u);
    // Another account: the calendars of the one before keep their items and sync no more.
    std::vector<caldav::FoundCalendar> other{Found("https://other.example/main/", "メイン")};
    ASSERT_TRUE(RecordAccountCalendars(store_, other, {&other[0], nullptr}, true).ok());
    named = ByName();
    EXPECT_EQ(named.at("メイン").id, 1);
    EXPECT_TRUE(named.at("仕事 (2)").url.empty());
}

}  // namespace
}  // namespace calendar_sync
