// The sync's decisions, against a collection held in memory and real store files: which side
// changed, the merge of both sides' changes, which version wins a conflict, a removal by resource,
// and when a sync token is kept.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "store/schedule_store.h"
#include "sync/collection_sync.h"
#include "sync/conflict_archive.h"
#include "tests/support/temp_folder.h"
#include "tests/sync/memory_collection.h"

namespace calendar_sync {
namespace {

using platform::Result;
using testing::MemoryCollection;

// An event as another client (a phone) writes it, on 21 December 2026 10:00-11:00 Berlin time.
std::string PhoneEvent(const std::string& uid, const std::string& summary,
                       std::initializer_list<std::string> lines = {}) {
    std::string text =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//phone//EN\r\nBEGIN:VEVENT\r\nUID:" + uid +
        "\r\nDTSTART:20261221T100000\r\nDTEND:20261221T110000\r\nSUMMARY:" + summary + "\r\n";
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text + "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

// One planner: its store file and its conflict folder.
struct Device {
    explicit Device(const std::filesystem::path& folder)
        : home(folder), archive(folder / "conflicts") {
        std::filesystem::create_directories(folder);
        EXPECT_TRUE(store.LogOn(folder / "schedule.sqlite").ok());
    }
    std::filesystem::path home;
    store::Application store;
    ConflictArchive archive;
};

class CollectionSyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        ASSERT_TRUE(folder_.Made());
    }

    Result<SyncOutcome> Sync(Device& device, bool allowMassDelete = false) {
        CollectionSync sync(device.store, server_, device.archive,
                            {{calendar::ItemKind::Appointment, calendar::ItemKind::Task},
                             allowMassDelete,
                             nullptr,
                             [] { return int64_t{1'796'000'000}; }});
        return sync.Run();
    }
    void SyncOk(Device& device) {
        auto outcome = Sync(device);
        ASSERT_TRUE(outcome.ok()) << outcome.error().message;
    }

    // The appointments a device holds, by UID.
    static std::map<std::string, calendar::AppointmentRecord> Held(const Device& device) {
        std::map<std::string, calendar::AppointmentRecord> held;
        auto all = device.store.AllAppointments();
        EXPECT_TRUE(all.ok());
        for (calendar::AppointmentRecord& record : *all) {
            held[record.uid] = std::move(record);
        }
        return held;
    }
    // Changes the stored appointment with the UID as the planner's editor would.
    static void Edit(Device& device, const std::string& uid,
                     const std::function<void(store::Appointment&)>& change) {
        const auto held = Held(device);
        ASSERT_TRUE(held.contains(uid));
        auto appointment = device.store.GetAppointmentFromOid(held.at(uid).oid);
        ASSERT_TRUE(appointment.ok());
        change(*appointment);
        ASSERT_TRUE(appointment->Save().ok());
    }
    static void Delete(Device& device, const std::string& uid) {
        auto appointment = device.store.GetAppointmentFromOid(Held(device).at(uid).oid);
        ASSERT_TRUE(appointment.ok());
        ASSERT_TRUE(appointment->Delete().ok());
    }
    static size_t ConflictFiles(const Device& device) {
        if (!std::filesystem::exists(device.archive.Folder())) {
            return 0;
        }
        return static_cast<size_t>(
            std::distance(std::filesystem::directory_iterator(device.archive.Folder()), {}));
    }
    // The one item on the server (its text).
    std::string OnlyServerText() {
        const std::vector<std::string> names = server_.Names();
        EXPECT_EQ(names.size(), 1u);
        return names.empty() ? std::string() : *server_.TextOf(names.front());
    }

    testing_support::TempFolder folder_;
    MemoryCollection server_;
    Device a_{folder_.Path() / "a"};
    Device b_{folder_.Path() / "b"};
};

bool Holds(const std::string& text, const std::string& line) {
    return text.find("\r\n" + line + "\r\n") != std::string::npos;
}

// --- removals and tokens -----------------------------------------------------------------------

TEST_F(CollectionSyncTest, AnItemPutBackUnderAnotherNameIsNeverDeletedElsewhere) {
    for (const bool tokens : {true, false}) {
        SCOPED_TRACE(tokens ? "with sync tokens" : "listed every time");
        server_.Remake();
        server_.noTokens = !tokens;
        Device a(folder_.Path() / ("a" + std::to_string(tokens)));
        Device b(folder_.Path() / ("b" + std::to_string(tokens)));
        server_.PutAsOther("phone-1.ics", PhoneEvent("phone-1@example.com", "電話から"));
        SyncOk(a);
        SyncOk(b);
        // Deleted on a, and put back (as a change taken back does): it goes up under a name of
        // the planner's own making.
        const calendar::AppointmentRecord record = Held(a).at("phone-1@example.com");
        Delete(a, "phone-1@example.com");
        SyncOk(a);
        ASSERT_TRUE(server_.Names().empty());
        calendar::AppointmentRecord restored = record;
        restored.oid = 0;
        ASSERT_TRUE(a.store.SaveByUid({{restored}}, {}).ok());
        SyncOk(a);
        ASSERT_EQ(server_.Names().size(), 1u);
        ASSERT_NE(server_.Names().front(), "phone-1.ics");

        SyncOk(b);
        SyncOk(b);
        EXPECT_TRUE(Held(b).contains("phone-1@example.com"));
        SyncOk(a);
        EXPECT_TRUE(Held(a).contains("phone-1@example.com"));
        EXPECT_EQ(server_.Names().size(), 1u);
    }
}

TEST_F(CollectionSyncTest, AnItemDeletedOnTheServerIsDeletedHere) {
    server_.PutAsOther("x.ics", PhoneEvent("x@test", "消える"));
    SyncOk(a_);
    ASSERT_TRUE(Held(a_).contains("x@test"));
    server_.RemoveAsOther("x.ics");
    auto outcome = Sync(a_);
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome->deletedHere, 1);
    EXPECT_FALSE(Held(a_).contains("x@test"));
}

TEST_F(CollectionSyncTest, ATokenTheServerCannotAnswerForIsAListingThatDeletesNothingHere) {
    for (const char* uid : {"1@test", "2@test", "3@test"}) {
        server_.PutAsOther(std::string(uid) + ".ics", PhoneEvent(uid, uid));
    }
    SyncOk(a_);
    server_.RemoveAsOther("2@test.ics");
    server_.failTokens = true;
    auto outcome = Sync(a_);
    ASSERT_TRUE(outcome.ok()) << outcome.error().message;
    EXPECT_EQ(Held(a_).size(), 3u);
    EXPECT_EQ(outcome->deletedHere, 0);
    // What the collection lacks is offered to it again.
    EXPECT_EQ(server_.Names().size(), 3u);
    ASSERT_FALSE(outcome->notes.empty());
    EXPECT_NE(outcome->notes.front().find("cannot answer for this planner's last sync"),
              std::string::npos);

    // A collection deleted and made again forgets every token: the same.
    server_.failTokens = false;
    server_.Remake();
    SyncOk(a_);
    EXPECT_EQ(Held(a_).size(), 3u);
    EXPECT_EQ(server_.Names().size(), 3u);
    SyncOk(a_);
    EXPECT_EQ(server_.Names().size(), 3u);
}

TEST_F(CollectionSyncTest, ATokenIsKeptOnlyAfterACompleteRun) {
    SyncOk(a_);
    // More than one multiget's worth, so that the sync can stop between two of them.
    for (int i = 0; i < 150; ++i) {
        const std::string uid = "n" + std::to_string(i) + "@test";
        server_.PutAsOther(uid + ".ics", PhoneEvent(uid, "新着"));
    }
    server_.requests = 0;
    // LearnOwnHref, the report, the first multiget: the second fails.
    server_.failAtRequest = 4;
    ASSERT_FALSE(Sync(a_).ok());
    EXPECT_EQ(Held(a_).size(), 100u);
    server_.failAtRequest = 0;
    SyncOk(a_);
    EXPECT_EQ(Held(a_).size(), 150u);
}

TEST_F(CollectionSyncTest, AnItemMadeHereAndDeletedElsewhereIsFoundGoneWhateverTheReportSays) {
    // The server reports by comparing states; another client writes while a's sync uploads, so
    // that no token after a's own writes can be had.
    server_.comparesStates = true;
    for (const char* uid : {"1@test", "2@test"}) {
        server_.PutAsOther(std::string(uid) + ".ics", PhoneEvent(uid, uid));
    }
    SyncOk(a_);
    calendar::AppointmentRecord record;
    record.uid = "here@test";
    record.subject = u"ここで作成";
    record.start = *platform::MakeDate(2026, 12, 22, 9, 0);
    record.end = *platform::MakeDate(2026, 12, 22, 10, 0);
    ASSERT_TRUE(a_.store.SaveByUid({{record}}, {}).ok());
    server_.afterWrite = [this] {
        server_.afterWrite = nullptr;
        server_.PutAsOther("other.ics", PhoneEvent("other@test", "同時に"));
    };
    SyncOk(a_);
    ASSERT_EQ(server_.Names().size(), 4u);
    // Deleted by another client before a syncs again: the report from before a's upload does
    // not name it.
    for (const std::string& name : server_.Names()) {
        if (name.starts_with("here")) {
            server_.RemoveAsOther(name);
        }
    }
    SyncOk(a_);
    EXPECT_FALSE(Held(a_).contains("here@test"));
    EXPECT_TRUE(Held(a_).contains("other@test"));
}

TEST_F(CollectionSyncTest, AnUploadWhoseAnswerWasLostIsWhatTheNextMergeStartsFrom) {
    server_.PutAsOther("m.ics", PhoneEvent("m@test", "会議", {"DESCRIPTION:一", "SEQUENCE:1"}));
    SyncOk(a_);
    Edit(a_, "m@test", [](store::Appointment& item) { item.SetBody(u"二"); });
    server_.requests = 0;
    server_.loseAnswerAtRequest = 3;  // LearnOwnHref, the report, the upload
    ASSERT_FALSE(Sync(a_).ok());
    server_.loseAnswerAtRequest = 0;
    ASSERT_TRUE(Holds(OnlyServerText(), "DESCRIPTION:二"));
    // Changed here again, and elsewhere with a higher SEQUENCE, on top of the upload.
    Edit(a_, "m@test", [](store::Appointment& item) { item.SetBody(u"三"); });
    std::string text = OnlyServerText();
    text.replace(text.find("SEQUENCE:1"), 10, "SEQUENCE:2\r\nLOCATION:本社");
    server_.PutAsOther("m.ics", text);
    auto outcome = Sync(a_);
    ASSERT_TRUE(outcome.ok()) << outcome.error().message;
    // Not a conflict of this planner's with its own earlier upload.
    EXPECT_TRUE(outcome->conflicts.empty());
    EXPECT_TRUE(Holds(OnlyServerText(), "DESCRIPTION:三")) << OnlyServerText();
    EXPECT_TRUE(Holds(OnlyServerText(), "LOCATION:本社"));
    EXPECT_EQ(ConflictFiles(a_), 0u);
}

TEST_F(CollectionSyncTest, AnUploadThatStoppedIsSentAgain) {
    Device& a = a_;
    calendar::AppointmentRecord record;
    record.uid = "here@test";
    record.subject = u"ここで作成";
    record.start = *platform::MakeDate(2026, 12, 22, 9, 0);
    record.end = *platform::MakeDate(2026, 12, 22, 10, 0);
    ASSERT_TRUE(a.store.SaveByUid({{record}}, {}).ok());
    server_.requests = 0;
    server_.failAtRequest = 3;  // LearnOwnHref, the report, the upload
    ASSERT_FALSE(Sync(a).ok());
    EXPECT_TRUE(server_.Names().empty());
    server_.failAtRequest = 0;
    SyncOk(a);
    EXPECT_EQ(server_.Names().size(), 1u);
}

// --- merges and conflicts ----------------------------------------------------------------------

TEST_F(CollectionSyncTest, ChangesOfDifferentPropertiesOnEachSideAreBothKept) {
    server_.PutAsOther("m.ics", PhoneEvent("m@test", "会議", {"DESCRIPTION:古いメモ"}));
    SyncOk(a_);
    SyncOk(b_);
    server_.PutAsOther("m.ics",
                       PhoneEvent("m@test", "会議", {"DESCRIPTION:新しいメモ", "SEQUENCE:1"}));
    Edit(a_, "m@test", [](store::Appointment& item) { item.SetSubject(u"会議（変更）"); });
    auto outcome = Sync(a_);
    ASSERT_TRUE(outcome.ok()) << outcome.error().message;
    EXPECT_TRUE(outcome->conflicts.empty());
    const std::string text = OnlyServerText();
    EXPECT_TRUE(Holds(text, "SUMMARY:会議（変更）")) << text;
    EXPECT_TRUE(Holds(text, "DESCRIPTION:新しいメモ")) << text;
    EXPECT_TRUE(Holds(text, "SEQUENCE:1")) << text;
    EXPECT_EQ(Held(a_).at("m@test").body, u"新しいメモ");
    EXPECT_EQ(ConflictFiles(a_), 0u);
    // The next sync finds nothing to do, and the other planner gets both.
    auto again = Sync(a_);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again->sent + again->received, 0);
    SyncOk(b_);
    EXPECT_EQ(Held(b_).at("m@test").subject, u"会議（変更）");
    EXPECT_EQ(Held(b_).at("m@test").body, u"新しいメモ");
}

TEST_F(CollectionSyncTest, APropertyChangedTwoWaysGoesToTheHigherSequence) {
    server_.PutAsOther("m.ics", PhoneEvent("m@test", "会議", {"LOCATION:本社", "SEQUENCE:3"}));
    SyncOk(a_);
    server_.PutAsOther("m.ics", PhoneEvent("m@test", "会議B", {"LOCATION:本社", "SEQUENCE:5"}));
    Edit(a_, "m@test", [](store::Appointment& item) {
        item.SetSubject(u"会議A");
        item.SetLocation(u"支社");
    });
    auto outcome = Sync(a_);
    ASSERT_TRUE(outcome.ok()) << outcome.error().message;
    ASSERT_EQ(outcome->conflicts.size(), 1u);
    EXPECT_NE(outcome->conflicts.front().find("(SUMMARY)"), std::string::npos);
    const std::string text = OnlyServerText();
    EXPECT_TRUE(Holds(text, "SUMMARY:会議B")) << text;
    // The change made here that nobody else made stands.
    EXPECT_TRUE(Holds(text, "LOCATION:支社")) << text;
    EXPECT_TRUE(Holds(text, "SEQUENCE:5")) << text;
    EXPECT_EQ(Held(a_).at("m@test").subject, u"会議B");
    // The losing version is kept whole.
    EXPECT_EQ(ConflictFiles(a_), 1u);
}

TEST_F(CollectionSyncTest, ThisPlannersLaterChangeWinsWithoutLoweringSequence) {
    // The phone's copy says it changed in 2001, long before anything done here.
    server_.PutAsOther("m.ics", PhoneEvent("m@test", "会議", {"SEQUENCE:5"}));
    SyncOk(a_);
    server_.PutAsOther(
        "m.ics", PhoneEvent("m@test", "会議B", {"SEQUENCE:5", "LAST-MODIFIED:20010101T000000Z"}));
    Edit(a_, "m@test", [](store::Appointment& item) { item.SetSubject(u"会議A"); });
    auto outcome = Sync(a_);
    ASSERT_TRUE(outcome.ok()) << outcome.error().message;
    ASSERT_EQ(outcome->conflicts.size(), 1u);
    const std::string text = OnlyServerText();
    EXPECT_TRUE(Holds(text, "SUMMARY:会議A")) << text;
    EXPECT_TRUE(Holds(text, "SEQUENCE:5")) << text;
    EXPECT_EQ(ConflictFiles(a_), 1u);
}

TEST_F(CollectionSyncTest, AnEditIsNeverLostToADeletionElsewhere) {
    server_.PutAsOther("m.ics", PhoneEvent("m@test", "会議"));
    SyncOk(a_);
    // Deleted here, changed there: the change comes back.
    Delete(a_, "m@test");
    server_.PutAsOther("m.ics", PhoneEvent("m@test", "会議（変更）", {"SEQUENCE:1"}));
    SyncOk(a_);
    ASSERT_TRUE(Held(a_).contains("m@test"));
    EXPECT_EQ(Held(a_).at("m@test").subject, u"会議（変更）");
    EXPECT_EQ(server_.Names().size(), 1u);

    // Changed here, deleted there: it goes back to the server.
    Edit(a_, "m@test", [](store::Appointment& item) { item.SetLocation(u"本社"); });
    server_.RemoveAsOther("m.ics");
    SyncOk(a_);
    SyncOk(a_);
    EXPECT_TRUE(Held(a_).contains("m@test"));
    EXPECT_TRUE(Holds(OnlyServerText(), "LOCATION:本社"));
}

TEST_F(CollectionSyncTest, ACopyOnlyWrittenAgainIsNoChangeOfTheServers) {
    const auto zoned = [](const std::string& tzname, const std::string& summary) {
        return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//phone//EN\r\n"
               "BEGIN:VTIMEZONE\r\nTZID:Custom/"
               "Zone\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
               "TZOFFSETFROM:+0900\r\nTZOFFSETTO:+0900\r\nTZNAME:" +
               tzname +
               "\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\nBEGIN:VEVENT\r\nUID:z@test\r\n"
               "DTSTART;TZID=Custom/Zone:20261221T100000\r\n"
               "DTEND;TZID=Custom/Zone:20261221T110000\r\nSUMMARY:" +
               summary + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    };
    server_.PutAsOther("z.ics", zoned("JST", "会議"));
    SyncOk(a_);
    Edit(a_, "z@test", [](store::Appointment& item) { item.SetSubject(u"会議（変更）"); });
    server_.PutAsOther("z.ics", zoned("jst", "会議"));
    auto outcome = Sync(a_);
    ASSERT_TRUE(outcome.ok()) << outcome.error().message;
    EXPECT_TRUE(outcome->conflicts.empty());
    EXPECT_EQ(ConflictFiles(a_), 0u);
    EXPECT_TRUE(Holds(OnlyServerText(), "SUMMARY:会議（変更）"));

    // A deletion goes over a copy only written again, too.
    Delete(a_, "z@test");
    server_.PutAsOther("z.ics", zoned("Jst", "会議（変更）"));
    SyncOk(a_);
    EXPECT_TRUE(server_.Names().empty());
    EXPECT_FALSE(Held(a_).contains("z@test"));
}

}  // namespace
}  // namespace calendar_sync
