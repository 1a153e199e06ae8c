#include "app/item_clipboard.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "calendar/ical_io.h"
#include "platform/text/unicode_text.h"
#include "resources/resource_ids.h"
#include "schedule/ink_entry.h"
#include "tests/app/planner_fixture.h"

namespace app {
namespace {

using namespace resources;
using schedule::DayItemKind;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

// On the 7th: a 10:30-11:15 meeting with a three-line memo, a weekly series, a handwritten
// memo (7.dat) at 16:00, and a dated task with notes; a trip from the 6th to the 8th; undated
// tasks in the corner.
class ItemClipboardTest : public PlannerFixture {
protected:
    void SetUp() override {
        const std::vector<schedule::InkEntry> ink{{-3, 2}, {-2, 1}, {10, 5}, {30, 9}, {-1, -1}};
        inkBytes_ = schedule::EncodeInkEntries(ink);
        Start([this](store::Application& store) {
            WriteBytes(home_.DeviceRoot() / "My Documents" / "7.dat", inkBytes_);
            calendar::AppointmentRecord meeting;
            meeting.start = At(2026, 12, 7, 10, 30);
            meeting.end = At(2026, 12, 7, 11, 15);
            meeting.subject = u"会議";
            meeting.location = u"本社";
            meeting.body = u"一行目\r\n二行目\r\n三行目";
            calendar::AppointmentRecord weekly;
            weekly.start = At(2026, 12, 7, 12);
            weekly.end = At(2026, 12, 7, 13);
            weekly.subject = u"昼会";
            weekly.recurrence.rule = "FREQ=WEEKLY;COUNT=3";
            weekly.zoneStart = weekly.start;
            calendar::AppointmentRecord drawn;
            drawn.start = At(2026, 12, 7, 16);
            drawn.end = At(2026, 12, 7, 17);
            drawn.subject = u"地図";
            drawn.body = u"7.dat";
            drawn.handwritten = true;
            calendar::AppointmentRecord trip;
            trip.start = At(2026, 12, 6, 20);
            trip.end = At(2026, 12, 8, 9);
            trip.subject = u"出張";
            calendar::TaskRecord dated;
            dated.subject = u"請求書";
            dated.body = u"三社分";
            dated.dueDate = At(2026, 12, 7);
            calendar::TaskRecord undated;
            undated.subject = u"買い物";
            undated.body = u"牛乳\r\n卵";
            ASSERT_TRUE(store.AddAll({meeting, weekly, drawn, trip}, {dated, undated}).ok());
        });
    }

    // The row of the first item with that subject, -1 when none is listed.
    int RowOf(std::u16string_view subject) const {
        for (size_t i = 0; i < schedule::kDayItemRows; ++i) {
            if (Row(i).subject == subject && Row(i).objectId != 0) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    std::vector<calendar::AppointmentRecord> AllAppointments() {
        auto all = Reader().AllAppointments();
        EXPECT_TRUE(all.ok());
        return all ? std::move(*all) : std::vector<calendar::AppointmentRecord>{};
    }
    std::vector<calendar::TaskRecord> AllTasks() {
        auto all = Reader().AllTasks();
        EXPECT_TRUE(all.ok());
        return all ? std::move(*all) : std::vector<calendar::TaskRecord>{};
    }
    std::vector<calendar::AppointmentRecord> Appointments(std::u16string_view subject) {
        std::vector<calendar::AppointmentRecord> found;
        for (const calendar::AppointmentRecord& record : AllAppointments()) {
            if (record.subject == subject) {
                found.push_back(record);
            }
        }
        return found;
    }
    std::string Export() { return calendar::WriteICalendar(AllAppointments(), AllTasks()); }

    std::string inkBytes_;
};

TEST_F(ItemClipboardTest, NothingIsPastedBeforeACopy) {
    const std::string before = Export();
    Hold(ItemRow(RowOf(u"会議")), kCommandPasteAsAppointment);
    Hold(ItemRow(RowOf(u"会議")), kCommandPasteAsTask);
    EXPECT_EQ(main_->Clipboard().objectId, 0);
    EXPECT_EQ(Export(), before);
}

// An occurrence of a series is copied as the single appointment it is on its day. Its cut asks
// whether it goes alone: Cancel leaves store and clipboard as they were, Yes takes it out of its
// series, and its paste is a single appointment.
TEST_F(ItemClipboardTest, AnOccurrenceIsCopiedAndCutAsItselfAndPastedAsASingleAppointment) {
    const int series = RowOf(u"昼会");
    ASSERT_GE(series, 0);
    ASSERT_EQ(Row(static_cast<size_t>(series)).recurring, 1);
    const std::string before = Export();
    Hold(ItemRow(series), kCommandCut);  // no answer queued: the question is cancelled
    EXPECT_EQ(responder_.messageBoxTexts,
              std::vector<std::u16string>{u"この予定だけ切り取りますか？"});
    EXPECT_EQ(main_->Clipboard().objectId, 0);
    EXPECT_EQ(Export(), before);

    responder_.messageBoxAnswers.push_back(gui::MessageBoxAnswer::Yes);
    Hold(ItemRow(series), kCommandCut);
    EXPECT_EQ(main_->Clipboard().kind, ClipboardKind::Appointment);
    EXPECT_EQ(main_->Clipboard().start, At(2026, 12, 7, 12));
    const std::vector<calendar::AppointmentRecord> weekly = Appointments(u"昼会");
    ASSERT_EQ(weekly.size(), 1u);
    EXPECT_EQ(weekly[0].recurrence.exceptionDates,
              std::vector<platform::Date>{At(2026, 12, 7, 12)});

    main_->SelectDay(At(2026, 12, 9));
    Hold(ItemRow(0), kCommandPasteAsAppointment);
    const std::vector<calendar::AppointmentRecord> lunches = Appointments(u"昼会");
    ASSERT_EQ(lunches.size(), 2u);
    EXPECT_FALSE(lunches[1].recurrence.recurs());
    EXPECT_EQ(lunches[1].start, At(2026, 12, 9, 12));
    EXPECT_EQ(lunches[1].end, At(2026, 12, 9, 13));
}

TEST_F(ItemClipboardTest, ACutMeetingPastedTwiceOnAnotherDayKeepsItsTimesAndWholeMemo) {
    Hold(ItemRow(RowOf(u"会議")), kCommandCut);
    EXPECT_EQ(main_->Clipboard().kind, ClipboardKind::Appointment);
    EXPECT_TRUE(Appointments(u"会議").empty());
    EXPECT_EQ(RowOf(u"会議"), -1);

    // The 10th is the list's first empty day.
    const size_t tenth = static_cast<size_t>(
        std::find_if(
            planner_.dayItems->table.begin(), planner_.dayItems->table.end(),
            [](const schedule::DayItemRow& row) { return row.rowDate == At(2026, 12, 10); }) -
        planner_.dayItems->table.begin());
    ASSERT_LT(tenth, schedule::kDayItemRows);
    Hold(ItemRow(static_cast<int>(tenth)), kCommandPasteAsAppointment);
    Hold(ItemRow(static_cast<int>(tenth)), kCommandPasteAsAppointment);
    const auto pasted = Appointments(u"会議");
    ASSERT_EQ(pasted.size(), 2u);
    EXPECT_NE(pasted[0].oid, pasted[1].oid);
    for (const calendar::AppointmentRecord& record : pasted) {
        EXPECT_EQ(record.start, At(2026, 12, 10, 10, 30));
        EXPECT_EQ(record.end, At(2026, 12, 10, 11, 15));
        EXPECT_EQ(record.location, u"本社");
        EXPECT_EQ(record.body, u"一行目\r\n二行目\r\n三行目");
    }
    // The month's marks show the new day's appointments at once.
    const size_t cell = static_cast<size_t>(
        std::find(planner_.census.dates.begin(), planner_.census.dates.end(), At(2026, 12, 10)) -
        planner_.census.dates.begin());
    EXPECT_NE(planner_.census.census.timeBands[cell], 0);
}

TEST_F(ItemClipboardTest, AnAppointmentBegunTheDayBeforeKeepsItsStartAndLength) {
    const int row = RowOf(u"出張");
    ASSERT_GE(row, 0);
    EXPECT_EQ(Row(static_cast<size_t>(row)).start, At(2026, 12, 7));  // listed from midnight
    Hold(ItemRow(row), kCommandCut);
    Hold(ItemRow(RowOf(u"請求書")), kCommandPasteAsAppointment);  // a row of the 7th
    const auto pasted = Appointments(u"出張");
    ASSERT_EQ(pasted.size(), 1u);
    EXPECT_EQ(pasted[0].start, At(2026, 12, 7, 20));
    EXPECT_EQ(pasted[0].end, At(2026, 12, 9, 9));
}

TEST_F(ItemClipboardTest, HandwritingPastedGetsAFileOfItsOwnWithTheSameInk) {
    Hold(ItemRow(RowOf(u"地図")), kCommandCopy);
    EXPECT_EQ(main_->Clipboard().inkCount, 5);
    Hold(ItemRow(RowOf(u"請求書")), kCommandPasteAsAppointment);
    const auto maps = Appointments(u"地図");
    ASSERT_EQ(maps.size(), 2u);
    const calendar::AppointmentRecord& copy = maps[0].body == u"7.dat" ? maps[1] : maps[0];
    EXPECT_EQ(copy.body, u"1.dat");
    EXPECT_TRUE(copy.handwritten);
    EXPECT_EQ(ReadBytes(home_.DeviceRoot() / "My Documents" / "1.dat"), inkBytes_);
    EXPECT_EQ(ReadBytes(home_.DeviceRoot() / "My Documents" / "7.dat"), inkBytes_);
    // Pasted as a task, handwriting leaves no notes: the body only named its file.
    Hold(ItemRow(RowOf(u"請求書")), kCommandPasteAsTask);
    for (const calendar::TaskRecord& task : AllTasks()) {
        if (task.subject == u"地図") {
            EXPECT_EQ(task.body, u"");
        }
    }
}

TEST_F(ItemClipboardTest, AHandwrittenMemoIsCopiedAsItsInkAndTypedTextNeverItsFileName) {
    // Handwriting whose file is gone, with text another calendar program typed beside it.
    calendar::AppointmentRecord lost;
    lost.start = At(2026, 12, 7, 18);
    lost.end = At(2026, 12, 7, 19);
    lost.subject = u"行き方";
    lost.body = u"9.dat\r\n駅の北口";
    lost.handwritten = true;
    ASSERT_TRUE(Reader().AddAll({lost}, {}).ok());
    main_->OnTimer(kStoreWatchTimer);
    ASSERT_GE(RowOf(u"行き方"), 0);
    Hold(ItemRow(RowOf(u"行き方")), kCommandCopy);
    EXPECT_EQ(main_->Clipboard().inkCount, 0);
    Hold(ItemRow(RowOf(u"請求書")), kCommandPasteAsAppointment);
    Hold(ItemRow(RowOf(u"請求書")), kCommandPasteAsTask);
    const auto copies = Appointments(u"行き方");
    ASSERT_EQ(copies.size(), 2u);
    const calendar::AppointmentRecord& copy = copies[0].handwritten ? copies[1] : copies[0];
    EXPECT_EQ(copy.body, u"駅の北口");
    EXPECT_FALSE(copy.handwritten);
    int tasks = 0;
    for (const calendar::TaskRecord& task : AllTasks()) {
        if (task.subject == u"行き方") {
            EXPECT_EQ(task.body, u"駅の北口");
            ++tasks;
        }
    }
    EXPECT_EQ(tasks, 1);
}

TEST_F(ItemClipboardTest, TasksPasteAsAnHourFromNowAndAsTasksWithTheirNotes) {
    Hold(ItemRow(RowOf(u"請求書")), kCommandCopy);
    EXPECT_EQ(main_->Clipboard().kind, ClipboardKind::DatedTask);
    main_->SendCommand(kCommandNextDay);  // the 8th, whose first row is the trip's
    Hold(ItemRow(0), kCommandPasteAsAppointment);
    auto pasted = Appointments(u"請求書");
    ASSERT_EQ(pasted.size(), 1u);
    EXPECT_EQ(pasted[0].start, At(2026, 12, 8, 14));
    EXPECT_EQ(pasted[0].end, At(2026, 12, 8, 15));
    EXPECT_EQ(pasted[0].body, u"三社分");

    Hold(ItemRow(0), kCommandPasteAsTask);
    Hold(CornerEntry(0), kCommandPasteAsTask);
    int dated = 0;
    int undated = 0;
    for (const calendar::TaskRecord& task : AllTasks()) {
        if (task.subject != u"請求書" || task.dueDate == At(2026, 12, 7)) {
            continue;
        }
        EXPECT_FALSE(task.complete);
        if (task.dueDate == At(2026, 12, 8)) {
            ++dated;
            EXPECT_EQ(task.body, u"三社分");
        } else if (task.dueDate == calendar::kNoDateValue) {
            ++undated;
        }
    }
    EXPECT_EQ(dated, 1);
    EXPECT_EQ(undated, 1);
}

TEST_F(ItemClipboardTest, ATaskCutFromTheCornerKeepsItsNotesWhereverItIsPasted) {
    Hold(CornerEntry(0), kCommandCut);
    EXPECT_EQ(main_->Clipboard().kind, ClipboardKind::UndatedTask);
    Hold(ItemRow(RowOf(u"会議")), kCommandPasteAsAppointment);
    const auto pasted = Appointments(u"買い物");
    ASSERT_EQ(pasted.size(), 1u);
    EXPECT_EQ(pasted[0].body, u"牛乳\r\n卵");  // the typed memo
    EXPECT_FALSE(pasted[0].handwritten);
    Hold(CornerEntry(0), kCommandPasteAsTask);
    int withNotes = 0;
    for (const calendar::TaskRecord& task : AllTasks()) {
        withNotes += task.subject == u"買い物" && task.body == u"牛乳\r\n卵" ? 1 : 0;
    }
    EXPECT_EQ(withNotes, 1);
}

TEST(PastedAppointment, ATaskPastedAt23EndsAtMidnight) {
    ItemClipboard task;
    task.kind = ClipboardKind::UndatedTask;
    task.objectId = 9;
    task.subject = u"年賀状";
    editors::EditRecord record;
    FillPastedAppointment(task, At(2026, 12, 31), 23, record);
    EXPECT_EQ(record.Start, At(2026, 12, 31, 23));
    EXPECT_EQ(record.End, At(2027, 1, 1, 0));
    EXPECT_EQ(record.ItemOid, 0);
    EXPECT_EQ(record.InkCountAtOpen, 0);
}

// The calendar's last day has no midnight after it: what is pasted there ends by its last minute.
TEST(PastedAppointment, OnTheCalendarsLastDayAPasteEndsByItsLastMinute) {
    ItemClipboard task;
    task.kind = ClipboardKind::UndatedTask;
    task.objectId = 9;
    editors::EditRecord record;
    FillPastedAppointment(task, At(9999, 12, 31), 23, record);
    EXPECT_EQ(record.Start, At(9999, 12, 31, 23));
    EXPECT_EQ(record.End, At(9999, 12, 31, 23, 59));
    ItemClipboard night;
    night.kind = ClipboardKind::Appointment;
    night.objectId = 3;
    night.start = At(2026, 12, 7, 22);
    night.end = At(2026, 12, 8, 2);
    FillPastedAppointment(night, At(9999, 12, 31), 9, record);
    EXPECT_EQ(record.Start, At(9999, 12, 31, 22));
    EXPECT_EQ(record.End, At(9999, 12, 31, 23, 59));
    FillPastedAppointment(night, At(9999, 12, 30), 9, record);
    EXPECT_NEAR(record.End, At(9999, 12, 31, 2), 1e-6);
}

TEST_F(ItemClipboardTest, TogglingTwiceGivesBackTheSameStoreAndWritesOnlyTheCompletion) {
    // An imported task whose subject and notes are longer than the list holds.
    calendar::TaskRecord imported;
    imported.subject = std::u16string(300, u'長');
    imported.body = std::u16string(14000, u'字');
    ASSERT_TRUE(Reader().AddAll({}, {imported}).ok());
    main_->SendCommand(kCommandToday);
    const std::string before = Export();
    Hold(ItemRow(RowOf(u"請求書")), kCommandToggleComplete);
    const int row = RowOf(u"請求書");
    ASSERT_GE(row, 0);
    EXPECT_NE(Row(static_cast<size_t>(row)).complete, 0);
    Hold(ItemRow(row), kCommandToggleComplete);
    for (int entry = 0; entry < 2; ++entry) {
        Hold(CornerEntry(entry), kCommandToggleComplete);
        EXPECT_NE(planner_.dayItems->undatedTasks[static_cast<size_t>(entry)].complete, 0);
        Hold(CornerEntry(entry), kCommandToggleComplete);
    }
    // Open again, each task says so to other programs, and when and how often it changed;
    // nothing else of it changed.
    const auto withoutStamps = [](const std::string& text, int* reopened) {
        std::string out;
        for (size_t at = 0; at < text.size();) {
            const size_t end = text.find("\r\n", at) + 2;
            const std::string_view line(text.data() + at, end - at);
            if (line.starts_with("STATUS:NEEDS-ACTION") || line.starts_with("SEQUENCE:2\r")) {
                ++*reopened;  // two changes of state: done, open again
            } else if (!line.starts_with("DTSTAMP:") && !line.starts_with("LAST-MODIFIED:")) {
                out += line;
            }
            at = end;
        }
        return out;
    };
    int reopened = 0;
    const std::string untouched = withoutStamps(before, &reopened);
    EXPECT_EQ(reopened, 0);
    EXPECT_EQ(withoutStamps(Export(), &reopened), untouched);
    EXPECT_EQ(reopened, 6);
}

TEST_F(ItemClipboardTest, NewTaskTakesTheRowsDayOrNoneInTheCorner) {
    Hold(CornerEntry(0), kCommandNewTaskHere);
    ASSERT_NE(main_->OpenEditorWindow(), nullptr);
    EXPECT_EQ(planner_.editRecord->Start, 0.0);
    main_->OpenEditorWindow()->SendCommand(kCommandBack);
    Hold(ItemRow(5), kCommandNewTaskHere);
    ASSERT_NE(main_->OpenEditorWindow(), nullptr);
    EXPECT_EQ(planner_.editRecord->Start, Row(5).rowDate);
}

TEST_F(ItemClipboardTest, HandwritingWithoutAFreeFileNumberPastesNothing) {
    for (int n = 1; n <= 1999; ++n) {
        WriteBytes(home_.DeviceRoot() / "My Documents" / (std::to_string(n) + ".dat"), "");
    }
    Hold(ItemRow(RowOf(u"地図")), kCommandCopy);
    Hold(ItemRow(RowOf(u"請求書")), kCommandPasteAsAppointment);
    EXPECT_EQ(Appointments(u"地図").size(), 1u);
    EXPECT_EQ(responder_.messageBoxTexts, std::vector<std::u16string>{u"これ以上は追加できません"});
}

TEST_F(ItemClipboardTest, ACompletionIsDatedByThePlannersClock) {
    Hold(ItemRow(RowOf(u"請求書")), kCommandToggleComplete);
    Hold(CornerEntry(0), kCommandToggleComplete);
    for (const calendar::TaskRecord& task : AllTasks()) {
        EXPECT_TRUE(task.complete) << platform::Utf16ToUtf8Lossy(task.subject);
        EXPECT_EQ(task.dateCompleted, At(2026, 12, 7, 14, 40));
    }
    // Completed today, the undated task stays in the corner, struck through.
    EXPECT_EQ(planner_.dayItems->undatedTasks[0].subject, u"買い物");
    EXPECT_NE(planner_.dayItems->undatedTasks[0].complete, 0);
}

// The store-following tick runs inside the menu's own loop: another program's write moves the
// rows under the menu before its command arrives.
TEST_F(ItemClipboardTest, ACommandActsOnTheHeldItemAfterTheRowsMoved) {
    const int meeting = RowOf(u"会議");
    ASSERT_GE(meeting, 0);
    responder_.whilePopupOpen = [this, meeting] {
        calendar::AppointmentRecord early;
        early.start = At(2026, 12, 7, 8);
        early.end = At(2026, 12, 7, 9);
        early.subject = u"朝会";
        ASSERT_TRUE(Reader().AddAll({early}, {}).ok());
        main_->OnTimer(kStoreWatchTimer);
        ASSERT_NE(RowOf(u"会議"), meeting);  // the meeting's row now holds another item
    };
    Hold(ItemRow(meeting), kCommandCut);
    EXPECT_TRUE(Appointments(u"会議").empty());
    EXPECT_EQ(Appointments(u"朝会").size(), 1u);
    EXPECT_EQ(main_->Clipboard().subject, u"会議");
}

TEST_F(ItemClipboardTest, ACommandOnAnItemGoneMeanwhileDoesNothing) {
    const int drawn = RowOf(u"地図");
    responder_.whilePopupOpen = [this, drawn] {
        const int32_t oid = Row(static_cast<size_t>(drawn)).objectId;
        ASSERT_TRUE(Reader().GetAppointmentFromOid(oid)->Delete().ok());
        main_->OnTimer(kStoreWatchTimer);
        ASSERT_EQ(Row(static_cast<size_t>(drawn)).subject, u"請求書");
    };
    const size_t before = AllAppointments().size();
    Hold(ItemRow(drawn), kCommandCut);
    EXPECT_EQ(AllAppointments().size(), before - 1);  // only the other program's delete
    EXPECT_EQ(main_->Clipboard().objectId, 0);
    EXPECT_EQ(AllTasks().size(), 2u);
}

TEST_F(ItemClipboardTest, ACornerCommandActsOnTheHeldTaskAfterTheReloadResetThePage) {
    std::vector<calendar::TaskRecord> more(5);
    for (size_t i = 0; i < more.size(); ++i) {
        more[i].subject = u"用事" + std::u16string(1, static_cast<char16_t>(u'A' + i));
    }
    ASSERT_TRUE(Reader().AddAll({}, more).ok());
    main_->OnTimer(kStoreWatchTimer);
    Tap({119, 26 + 58});  // the corner's "▼": the second page
    ASSERT_EQ(planner_.dayItems->cornerPage, 1);
    const std::u16string held = planner_.dayItems->undatedTasks[4].subject;
    responder_.whilePopupOpen = [this] {
        calendar::TaskRecord another;
        another.subject = u"追加";
        ASSERT_TRUE(Reader().AddAll({}, {another}).ok());
        main_->OnTimer(kStoreWatchTimer);
        ASSERT_EQ(planner_.dayItems->cornerPage, 0);
    };
    Hold(CornerEntry(0), kCommandCut);
    EXPECT_EQ(main_->Clipboard().subject, held);
    int left = 0;
    for (const calendar::TaskRecord& task : AllTasks()) {
        EXPECT_NE(task.subject, held);
        left += task.dueDate == calendar::kNoDateValue ? 1 : 0;
    }
    EXPECT_EQ(left, 6);  // 買い物, 追加 and four of the five
}

TEST_F(ItemClipboardTest, AnEmptyCornerTakesAPasteWithItsNotesAndANewTask) {
    Hold(ItemRow(RowOf(u"請求書")), kCommandCopy);
    Hold(CornerEntry(2), kCommandPasteAsTask);  // below the only undated task
    ASSERT_EQ(responder_.popupsShown.size(), 2u);
    int pasted = 0;
    for (const calendar::TaskRecord& task : AllTasks()) {
        if (task.subject == u"請求書" && task.dueDate == calendar::kNoDateValue) {
            ++pasted;
            EXPECT_EQ(task.body, u"三社分");
        }
    }
    EXPECT_EQ(pasted, 1);
    // Copy, cut and the toggle on an empty row have nothing to act on.
    const std::string before = Export();
    Hold(CornerEntry(3), kCommandCut);
    Hold(CornerEntry(3), kCommandToggleComplete);
    EXPECT_EQ(Export(), before);

    Hold(CornerEntry(3), kCommandNewTaskHere);
    ASSERT_NE(main_->OpenEditorWindow(), nullptr);
    EXPECT_EQ(planner_.editRecord->Start, 0.0);
    main_->OpenEditorWindow()->SendCommand(kCommandBack);

    // The zone's bottom pixel rows belong to no row the panel shows.
    const size_t shown = responder_.popupsShown.size();
    Hold({60, 26 + 70});
    EXPECT_EQ(responder_.popupsShown.size(), shown);
}

TEST_F(ItemClipboardTest, ACornerWithoutUndatedTasksTakesAPaste) {
    for (const calendar::TaskRecord& task : AllTasks()) {
        if (task.dueDate == calendar::kNoDateValue) {
            ASSERT_TRUE(Reader().GetTaskFromOid(task.oid)->Delete().ok());
        }
    }
    main_->OnTimer(kStoreWatchTimer);
    ASSERT_EQ(planner_.dayItems->undatedTasks[0].objectId, 0);
    Hold(ItemRow(RowOf(u"会議")), kCommandCopy);
    Hold(CornerEntry(0), kCommandPasteAsTask);
    EXPECT_EQ(planner_.dayItems->undatedTasks[0].subject, u"会議");
}

}  // namespace
}  // namespace app
