#include "store/schedule_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <iterator>

#include "calendar/ical_io.h"
#include "tests/store/store_fixture.h"

namespace store {
namespace {

// A store in a fresh folder, logged on, with helpers that speak the planner's calls.
class StoreTest : public StoreFixture {
protected:
    // A series repeats in `zone` from `zoneStart` when one is given, else on the local clock.
    int32_t AddAppointment(Date start, Date end, std::u16string subject, bool allDay = false,
                           calendar::Recurrence recurrence = {}, std::string zone = {},
                           Date zoneStart = 0) {
        auto items = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems();
        Appointment appointment = items->AddAppointment();
        appointment.SetSubject(subject);
        appointment.SetStart(start);
        appointment.SetEnd(end);
        appointment.SetAllDayEvent(allDay ? 1 : 0);
        if (recurrence.recurs()) {
            calendar::AppointmentRecord record = appointment.Record();
            record.recurrence = recurrence;
            record.zone = zone.empty()
                              ? calendar::ItemZone{calendar::ItemZone::Form::Floating, {}, {}}
                              : calendar::ItemZone{calendar::ItemZone::Form::Zoned, zone, {}};
            record.zoneStart = zone.empty() ? start : zoneStart;
            auto oids = app_.AddAll({record}, {});
            return oids ? oids->front() : 0;
        }
        EXPECT_TRUE(appointment.Save().ok());
        return appointment.Oid();
    }

    int32_t AddTask(std::u16string subject, Date due, bool complete = false,
                    Date completed = calendar::kNoDateValue) {
        calendar::TaskRecord record;
        record.subject = std::move(subject);
        record.dueDate = due;
        record.complete = complete;
        record.dateCompleted = completed;
        auto oids = app_.AddAll({}, {record});
        return oids ? oids->front() : 0;
    }

    // The planner's walk: restrict, optionally expand, sort, then fetch 1, 2, 3, ...
    std::vector<Appointment> Query(std::u16string_view restriction, bool expand = true) {
        auto items = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems();
        auto restricted = items->Restrict(restriction);
        EXPECT_TRUE(restricted.ok()) << (restricted.ok() ? "" : restricted.error().message);
        std::vector<Appointment> found;
        if (!restricted) {
            return found;
        }
        restricted->SetIncludeRecurrences(expand);
        EXPECT_TRUE(restricted->Sort(u"[Start]").ok());
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
};

TEST_F(StoreTest, WindowRestrictionComparesByDay) {
    AddAppointment(At(2004, 10, 18, 23), At(2004, 10, 18, 23, 30), u"last evening");
    AddAppointment(At(2004, 10, 19, 0), At(2004, 10, 19, 1), u"the day after");
    AddAppointment(At(2004, 10, 4, 22), At(2004, 10, 5, 0), u"ends at midnight");
    AddAppointment(At(2004, 10, 4, 9), At(2004, 10, 4, 23, 59), u"the day before");
    AddAppointment(At(2004, 9, 1), At(2004, 12, 1), u"long span", true);

    std::vector<std::u16string> subjects;
    for (const Appointment& a : Query(uR"([Start] <= "2004/10/18" and [End] >= "2004/10/5")")) {
        subjects.push_back(a.Subject());
    }
    EXPECT_EQ(subjects,
              (std::vector<std::u16string>{u"long span", u"ends at midnight", u"last evening"}));
}

TEST_F(StoreTest, SortTiesKeepObjectIdOrder) {
    const int32_t b = AddAppointment(At(2026, 1, 5, 9), At(2026, 1, 5, 10), u"b");
    const int32_t a = AddAppointment(At(2026, 1, 5, 8), At(2026, 1, 5, 9), u"a");
    const int32_t c = AddAppointment(At(2026, 1, 5, 9), At(2026, 1, 5, 9, 30), u"c");
    std::vector<int32_t> oids;
    for (const Appointment& item : Query(uR"([Start] >= "2026/1/5" and [Start] <= "2026/1/5")")) {
        oids.push_back(item.Oid());
    }
    EXPECT_EQ(oids, (std::vector<int32_t>{a, b, c}));
}

TEST_F(StoreTest, AnUnsortedCollectionKeepsObjectIdOrder) {
    const int32_t later = AddAppointment(At(2026, 1, 6, 9), At(2026, 1, 6, 10), u"later");
    const int32_t earlier = AddAppointment(At(2026, 1, 5, 9), At(2026, 1, 5, 10), u"earlier");
    auto items = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems();
    auto week = items->Restrict(uR"([Start] >= "2026/1/5" and [Start] <= "2026/1/11")");
    ASSERT_TRUE(week.ok());
    week->SetIncludeRecurrences(true);
    std::vector<int32_t> oids;
    for (int32_t i = 1; i <= *week->Count(); ++i) {
        oids.push_back(week->AppointmentAt(i)->Oid());
    }
    EXPECT_EQ(oids, (std::vector<int32_t>{later, earlier}));
    ASSERT_TRUE(week->Sort(u"[Start]").ok());
    EXPECT_EQ(week->AppointmentAt(1)->Oid(), earlier);
    EXPECT_EQ(week->AppointmentAt(2)->Oid(), later);
    ASSERT_TRUE(week->Sort(u"[Start]", true).ok());
    EXPECT_EQ(week->AppointmentAt(1)->Oid(), later);
}

// A collection hands out appointments that share what it read; each stays a copy of its own.
TEST_F(StoreTest, AnAppointmentEditedAndSavedLeavesItsCollectionAndOtherCopiesAsTheyWere) {
    const int32_t oid = AddAppointment(At(2026, 3, 2, 9), At(2026, 3, 2, 10), u"打ち合わせ");
    auto items = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems();
    auto day = items->Restrict(uR"([Start] >= "2026/3/2" and [Start] <= "2026/3/2")");
    ASSERT_TRUE(day.ok());
    auto edited = day->AppointmentAt(1);
    auto other = day->AppointmentAt(1);
    ASSERT_TRUE(edited.ok());
    ASSERT_TRUE(other.ok());
    const Appointment copy = *edited;

    edited->SetSubject(u"moved meeting");
    edited->SetStart(At(2026, 3, 3, 9));
    edited->SetEnd(At(2026, 3, 3, 10));
    ASSERT_TRUE(edited->Save().ok());

    const Appointment& handedOut = *other;
    for (const Appointment* unchanged : {&handedOut, &copy}) {
        EXPECT_EQ(unchanged->Subject(), u"打ち合わせ");
        EXPECT_EQ(unchanged->Start(), At(2026, 3, 2, 9));
    }
    EXPECT_EQ(day->AppointmentAt(1)->Subject(), u"打ち合わせ");
    EXPECT_EQ(app_.GetAppointmentFromOid(oid)->Subject(), u"moved meeting");

    // Saving another copy writes that copy's values, not the edited one's.
    other->SetLocation(u"会議室");
    ASSERT_TRUE(other->Save().ok());
    EXPECT_TRUE(edited->Location().empty());
    auto stored = app_.GetAppointmentFromOid(oid);
    EXPECT_EQ(stored->Subject(), u"打ち合わせ");
    EXPECT_EQ(stored->Location(), u"会議室");
    EXPECT_EQ(stored->Start(), At(2026, 3, 2, 9));
}

TEST_F(StoreTest, SavingANewAppointmentNumbersThatCopyAlone) {
    auto items = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems();
    Appointment saved = items->AddAppointment();
    saved.SetStart(At(2026, 4, 1, 9));
    saved.SetEnd(At(2026, 4, 1, 10));
    const Appointment unsaved = saved;
    ASSERT_TRUE(saved.Save().ok());
    EXPECT_NE(saved.Oid(), 0);
    EXPECT_FALSE(saved.Uid().empty());
    EXPECT_EQ(unsaved.Oid(), 0);
    EXPECT_TRUE(unsaved.Uid().empty());
}

TEST_F(StoreTest, TextsReadBackAsSavedWhateverTheirCharacters) {
    const std::vector<std::u16string> texts = {u"", u"plain ASCII", u"東京駅 8番線",
                                               u"🗓 mixed 予定", u"tab\tand\nnewline"};
    auto items = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems();
    std::vector<int32_t> oids;
    for (size_t i = 0; i < texts.size(); ++i) {
        Appointment appointment = items->AddAppointment();
        appointment.SetStart(At(2026, 5, 1, 9 + static_cast<int>(i)));
        appointment.SetEnd(At(2026, 5, 1, 10 + static_cast<int>(i)));
        appointment.SetSubject(texts[i]);
        appointment.SetLocation(texts[(i + 1) % texts.size()]);
        appointment.SetBody(texts[(i + 2) % texts.size()]);
        appointment.SetCategories(texts[(i + 3) % texts.size()]);
        ASSERT_TRUE(appointment.Save().ok());
    }
    const auto found = Query(uR"([Start] >= "2026/5/1" and [Start] <= "2026/5/1")");
    ASSERT_EQ(found.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(found[i].Subject(), texts[i]);
        EXPECT_EQ(found[i].Location(), texts[(i + 1) % texts.size()]);
        EXPECT_EQ(found[i].Body(), texts[(i + 2) % texts.size()]);
        EXPECT_EQ(found[i].Categories(), texts[(i + 3) % texts.size()]);
    }
    // A noncharacter is not kept: it reads back as the replacement character, as it always has.
    auto kept = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems()->AddAppointment();
    kept.SetStart(At(2026, 5, 2, 9));
    kept.SetEnd(At(2026, 5, 2, 10));
    kept.SetSubject(std::u16string(u"c") + char16_t(0xFFFF) + u"d" + char16_t(0xFFFE));
    ASSERT_TRUE(kept.Save().ok());
    const auto odd = Query(uR"([Start] >= "2026/5/2" and [Start] <= "2026/5/2")");
    ASSERT_EQ(odd.size(), 1u);
    EXPECT_EQ(odd[0].Subject(), u"c\uFFFDd\uFFFD");
}

TEST_F(StoreTest, MalformedRestrictionIsAnError) {
    auto items = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems();
    for (std::u16string_view bad :
         {u"[Start] <=", u"[Nope] = TRUE", u"[Start] <= \"2004/2/30\"", u"("}) {
        EXPECT_FALSE(items->Restrict(bad).ok()) << std::string(bad.begin(), bad.end());
    }
}

TEST_F(StoreTest, ObjectIdsAreSharedAndNeverReused) {
    const int32_t first = AddAppointment(At(2026, 1, 5, 9), At(2026, 1, 5, 10), u"one");
    const int32_t task = AddTask(u"task", calendar::kNoDateValue);
    EXPECT_GT(first, 0);
    EXPECT_GT(task, first);
    ASSERT_TRUE(app_.GetTaskFromOid(task)->Delete().ok());
    ASSERT_TRUE(app_.GetAppointmentFromOid(first)->Delete().ok());
    EXPECT_FALSE(app_.GetAppointmentFromOid(first).ok());
    EXPECT_FALSE(app_.GetTaskFromOid(task).ok());
    // A fresh connection to the same file still hands out new ids.
    app_.LogOff();
    ASSERT_TRUE(app_.LogOn(StorePath()).ok());
    const int32_t next = AddAppointment(At(2026, 1, 6, 9), At(2026, 1, 6, 10), u"two");
    EXPECT_GT(next, task);
    // An appointment's id does not find a task, and an unknown id finds nothing.
    EXPECT_FALSE(app_.GetTaskFromOid(next).ok());
    EXPECT_FALSE(app_.GetAppointmentFromOid(0).ok());
    EXPECT_FALSE(app_.GetAppointmentFromOid(-5).ok());
}

TEST_F(StoreTest, SavedPropertiesReadBackAndUpdateInPlace) {
    auto items = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems();
    Appointment a = items->AddAppointment();
    a.SetSubject(u"歯医者");
    a.SetLocation(u"駅前");
    a.SetBody(u"12.dat\r\n二行目");
    a.SetCategories(u"祝日");
    a.SetStart(At(2026, 12, 7, 9, 30));
    a.SetEnd(At(2026, 12, 7, 10));
    a.SetReminderSet(1);
    ASSERT_TRUE(a.Save().ok());
    auto read = app_.GetAppointmentFromOid(a.Oid());
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->Subject(), u"歯医者");
    EXPECT_EQ(read->Location(), u"駅前");
    EXPECT_EQ(read->Body(), u"12.dat\r\n二行目");
    EXPECT_EQ(read->Categories(), u"祝日");
    EXPECT_EQ(read->ReminderSet(), kTrue);
    EXPECT_EQ(read->AllDayEvent(), kFalse);
    EXPECT_EQ(read->Start(), At(2026, 12, 7, 9, 30));
    EXPECT_EQ(read->GetRecurrencePattern()->Type(), calendar::RecurrenceType::None);

    read->SetSubject(u"歯医者 (変更)");
    ASSERT_TRUE(read->Save().ok());
    EXPECT_EQ(read->Oid(), a.Oid());
    EXPECT_EQ(app_.GetAppointmentFromOid(a.Oid())->Subject(), u"歯医者 (変更)");
}

TEST_F(StoreTest, TasksWithoutDueDateAndTheUndatedRestriction) {
    const int32_t open = AddTask(u"open", calendar::kNoDateValue);
    const int32_t doneToday = AddTask(u"done today", calendar::kNoDateValue, true, At(2004, 10, 5));
    AddTask(u"done earlier", calendar::kNoDateValue, true, At(2004, 10, 4));
    const int32_t dated = AddTask(u"dated", At(2004, 10, 7));
    EXPECT_EQ(app_.GetTaskFromOid(open)->DueDate(), calendar::kNoDateValue);
    EXPECT_EQ(app_.GetTaskFromOid(doneToday)->Complete(), kTrue);

    auto items = app_.GetDefaultFolder(FolderKind::Tasks)->GetItems();
    auto restricted = items->Restrict(uR"([Complete] = FALSE or [DateCompleted] = "2004/10/5")");
    ASSERT_TRUE(restricted.ok());
    ASSERT_TRUE(restricted->Sort(u"[DueDate]").ok());
    std::vector<int32_t> oids;
    for (int32_t i = 1; i <= *restricted->Count(); ++i) {
        oids.push_back(restricted->TaskAt(i)->Oid());
    }
    EXPECT_EQ(oids, (std::vector<int32_t>{dated, open, doneToday}));

    auto window = items->Restrict(uR"([DueDate] <= "2004/10/18" and [DueDate] >= "2004/10/5")");
    ASSERT_TRUE(window.ok());
    EXPECT_EQ(*window->Count(), 1);
}

// The corner list walks the open tasks in due-date order and stops when it has enough, so the
// store reads them a page at a time: every page boundary must keep the order and lose no task.
TEST_F(StoreTest, TasksWalkedByDueDateComePageByPageInOneOrder) {
    std::vector<calendar::TaskRecord> records(700);
    for (size_t i = 0; i < records.size(); ++i) {
        calendar::TaskRecord& record = records[i];
        record.subject = u"t" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26));
        // A third undated, the rest on twenty days: long runs of equal due dates.
        record.dueDate =
            i % 3 == 0 ? calendar::kNoDateValue : At(2004, 10, 1 + static_cast<int>(i % 20));
        record.complete = i % 4 == 0;
        // Some open tasks carry a completion date all the same (a calendar's COMPLETED without
        // its STATUS): they satisfy both alternatives of the `or` below.
        record.dateCompleted = record.complete || i % 7 == 1
                                   ? At(2004, 10, 4 + static_cast<int>(i % 3), 18)
                                   : calendar::kNoDateValue;
    }
    ASSERT_TRUE(app_.AddAll({}, records).ok());
    auto stored = app_.GetDefaultFolder(FolderKind::Tasks)->GetItems();
    ASSERT_TRUE(stored.ok());
    std::vector<calendar::TaskRecord> all;
    for (int32_t i = 1; i <= *stored->Count(); ++i) {
        auto task = stored->TaskAt(i);
        calendar::TaskRecord read;
        read.oid = task->Oid();
        read.dueDate = task->DueDate();
        read.dateCompleted = task->DateCompleted();
        read.complete = task->Complete() != 0;
        all.push_back(read);
    }
    ASSERT_EQ(all.size(), records.size());

    const auto expected = [&all](auto keep) {
        std::vector<int32_t> oids;
        std::vector<calendar::TaskRecord> kept;
        std::copy_if(all.begin(), all.end(), std::back_inserter(kept), keep);
        std::stable_sort(kept.begin(), kept.end(),
                         [](const calendar::TaskRecord& a, const calendar::TaskRecord& b) {
                             return a.dueDate != b.dueDate ? a.dueDate < b.dueDate : a.oid < b.oid;
                         });
        for (const calendar::TaskRecord& task : kept) {
            oids.push_back(task.oid);
        }
        return oids;
    };
    // Walks the restricted tasks by due date up to `stopAt`, then counts them all.
    struct Walk {
        std::vector<int32_t> oids;
        int32_t count = 0;
    };
    const auto walk = [this](std::u16string_view restriction, size_t stopAt) {
        auto items = app_.GetDefaultFolder(FolderKind::Tasks)->GetItems()->Restrict(restriction);
        EXPECT_TRUE(items.ok());
        EXPECT_TRUE(items->Sort(u"[DueDate]").ok());
        Walk result;
        for (int32_t i = 1; result.oids.size() < stopAt; ++i) {
            auto task = items->TaskAt(i);
            if (!task) {
                break;
            }
            result.oids.push_back(task->Oid());
        }
        result.count = *items->Count();
        return result;
    };
    const auto openOrDoneOnThe5th = [](const calendar::TaskRecord& t) {
        return !t.complete ||
               (t.dateCompleted >= At(2004, 10, 5) && t.dateCompleted < At(2004, 10, 6));
    };
    const std::u16string_view openOrDone =
        uR"([Complete] = FALSE or [DateCompleted] = "2004/10/5")";
    const std::vector<int32_t> both = expected(openOrDoneOnThe5th);
    ASSERT_GT(both.size(), 400u);  // past the first pages
    ASSERT_GT(std::count_if(all.begin(), all.end(),
                            [](const calendar::TaskRecord& t) {
                                return !t.complete && t.dateCompleted >= At(2004, 10, 5) &&
                                       t.dateCompleted < At(2004, 10, 6);
                            }),
              10);  // each listed once
    const Walk whole = walk(openOrDone, SIZE_MAX);
    EXPECT_EQ(whole.oids, both);
    EXPECT_EQ(whole.count, static_cast<int32_t>(both.size()));
    // Counting after a walk that stopped early reads the rest.
    const Walk first100 = walk(openOrDone, 100);
    EXPECT_EQ(first100.oids, std::vector<int32_t>(both.begin(), both.begin() + 100));
    EXPECT_EQ(first100.count, static_cast<int32_t>(both.size()));
    // A task's [Start] has no column: that alternative is weighed in memory, page by page too,
    // and never matches.
    EXPECT_EQ(walk(uR"([Complete] = FALSE or [Start] >= "2004/1/1")", SIZE_MAX).oids,
              expected([](const calendar::TaskRecord& t) { return !t.complete; }));
    EXPECT_EQ(walk(u"[Complete] = TRUE", SIZE_MAX).oids,
              expected([](const calendar::TaskRecord& t) { return t.complete; }));
}

TEST_F(StoreTest, CompletingATaskStampsAndClearsItsCompletionDate) {
    auto task = app_.GetDefaultFolder(FolderKind::Tasks)->GetItems()->AddTask();
    task.SetSubject(u"買い物");
    const Date today = *platform::MakeDate(2031, 3, 1);
    task.SetComplete(1, today);
    EXPECT_EQ(task.DateCompleted(), today);
    ASSERT_TRUE(task.Save().ok());
    auto read = app_.GetTaskFromOid(task.Oid());
    EXPECT_EQ(read->Complete(), kTrue);
    EXPECT_EQ(read->DateCompleted(), today);
    // Completing again keeps the day it was first completed on.
    read->SetComplete(1, today + 3);
    EXPECT_EQ(read->DateCompleted(), today);
    read->SetComplete(0, today);
    EXPECT_EQ(read->DateCompleted(), calendar::kNoDateValue);
}

TEST_F(StoreTest, OccurrencesCarryTheirOwnTimesWhileTheSeriesIsFetchedById) {
    calendar::Recurrence weekly;
    weekly.rule = "FREQ=WEEKLY;BYDAY=MO";
    const int32_t oid =
        AddAppointment(At(2026, 11, 2, 10), At(2026, 11, 2, 11), u"定例", false, weekly);
    auto found = Query(uR"([Start] <= "2026/11/30" and [End] >= "2026/11/15")");
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].Start(), At(2026, 11, 16, 10));
    EXPECT_EQ(found[0].End(), At(2026, 11, 16, 11));
    EXPECT_EQ(found[2].Start(), At(2026, 11, 30, 10));
    for (const Appointment& a : found) {
        EXPECT_EQ(a.Oid(), oid);
        EXPECT_TRUE(a.IsOccurrence());
    }
    EXPECT_FALSE(Appointment(found[0]).Save().ok());
    auto series = app_.GetAppointmentFromOid(oid);
    EXPECT_EQ(series->Start(), At(2026, 11, 2, 10));
    EXPECT_EQ(series->GetRecurrencePattern()->Type(), calendar::RecurrenceType::Weekly);
    // Without expansion the series is one item, judged by its first occurrence.
    EXPECT_TRUE(Query(uR"([Start] <= "2026/11/30" and [End] >= "2026/11/15")", false).empty());
    EXPECT_EQ(Query(uR"([Start] <= "2026/11/30" and [End] >= "2026/11/1")", false).size(), 1u);
}

// A census reads each appointment for its marks alone: the same items, times, flags and
// categories as a whole read, the other texts left empty, and no save from such a copy.
TEST_F(StoreTest, AppointmentsReadForTheirMarksAreTheSameItemsAndCannotBeSaved) {
    calendar::AppointmentRecord series;
    series.subject = u"定例";
    series.location = u"三階";
    series.body = u"議事録";
    series.categories = u"会議";
    series.start = At(2026, 11, 2, 10);
    series.end = At(2026, 11, 2, 11);
    series.zoneStart = series.start;
    series.zone = calendar::ItemZone{calendar::ItemZone::Form::Floating, {}, {}};
    series.recurrence.rule = "FREQ=WEEKLY;BYDAY=MO";
    calendar::OccurrenceChange moved;
    moved.recurrenceId = At(2026, 11, 16, 10);
    moved.start = At(2026, 11, 17, 18);
    moved.end = At(2026, 11, 17, 20);
    moved.subject = u"定例 (火曜)";
    moved.categories = u"祝日";
    series.recurrence.changes.push_back(moved);
    calendar::AppointmentRecord cancelled;
    cancelled.subject = u"中止";
    cancelled.start = At(2026, 11, 5, 9);
    cancelled.end = At(2026, 11, 5, 10);
    cancelled.cancelled = true;
    // Singles with the flags the marks keep, each set alone.
    calendar::AppointmentRecord reminded;
    reminded.subject = u"通知";
    reminded.start = At(2026, 11, 20, 8);
    reminded.end = At(2026, 11, 20, 9);
    reminded.reminderSet = true;
    calendar::AppointmentRecord inked = reminded;
    inked.subject = u"手書き";
    inked.reminderSet = false;
    inked.handwritten = true;
    inked.body = u"1.ink";
    ASSERT_TRUE(app_.AddAll({series, cancelled, reminded, inked}, {}).ok());
    const int32_t holiday = AddAppointment(At(2026, 11, 3), At(2026, 11, 3), u"文化の日", true);
    {
        Appointment stored = *app_.GetAppointmentFromOid(holiday);
        stored.SetCategories(u"祝日");
        stored.SetLocation(u"全国");
        ASSERT_TRUE(stored.Save().ok());
    }

    const std::u16string month = uR"([Start] <= "2026/11/30" and [End] >= "2026/11/1")";
    auto read = [&](AppointmentParts parts, std::u16string_view restriction) {
        auto items = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems();
        items->SetIncludeRecurrences(true);
        items->SetAppointmentParts(parts);
        auto restricted = items->Restrict(restriction);
        EXPECT_TRUE(restricted.ok());
        std::vector<Appointment> found;
        for (int32_t i = 1; restricted && i <= *restricted->Count(); ++i) {
            found.push_back(*restricted->AppointmentAt(i));
        }
        return found;
    };
    const std::vector<Appointment> whole = read(AppointmentParts::Whole, month);
    const std::vector<Appointment> marks = read(AppointmentParts::TimesAndMarks, month);
    ASSERT_EQ(whole.size(), 8u);  // the holiday, the two flagged and five Mondays, one moved
    ASSERT_EQ(marks.size(), whole.size());
    for (size_t i = 0; i < whole.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(marks[i].Oid(), whole[i].Oid());
        EXPECT_EQ(marks[i].Start(), whole[i].Start());
        EXPECT_EQ(marks[i].End(), whole[i].End());
        EXPECT_EQ(marks[i].AllDayEvent(), whole[i].AllDayEvent());
        EXPECT_EQ(marks[i].Categories(), whole[i].Categories());
        EXPECT_EQ(marks[i].IsOccurrence(), whole[i].IsOccurrence());
        EXPECT_EQ(marks[i].IsChangedOccurrence(), whole[i].IsChangedOccurrence());
        EXPECT_EQ(marks[i].RecurrenceId(), whole[i].RecurrenceId());
        EXPECT_EQ(marks[i].ReminderSet(), whole[i].ReminderSet());
        EXPECT_EQ(marks[i].Handwritten(), whole[i].Handwritten());
        EXPECT_EQ(marks[i].CalendarId(), whole[i].CalendarId());
        EXPECT_EQ(marks[i].Record().cancelled, whole[i].Record().cancelled);
    }
    EXPECT_EQ(std::count_if(marks.begin(), marks.end(),
                            [](const Appointment& a) { return a.ReminderSet() == kTrue; }),
              1);
    EXPECT_EQ(std::count_if(marks.begin(), marks.end(),
                            [](const Appointment& a) { return a.Handwritten(); }),
              1);
    const auto holidayMarks = std::find_if(
        marks.begin(), marks.end(), [&](const Appointment& a) { return a.Oid() == holiday; });
    ASSERT_NE(holidayMarks, marks.end());
    EXPECT_EQ(holidayMarks->Categories(), u"祝日");
    EXPECT_TRUE(holidayMarks->Subject().empty());
    EXPECT_TRUE(holidayMarks->Location().empty());

    // Saved, such a copy would empty the stored texts: it is refused and the store keeps them.
    Appointment copy = *holidayMarks;
    copy.SetReminderSet(kTrue);
    EXPECT_FALSE(copy.Save().ok());
    const Appointment stored = *app_.GetAppointmentFromOid(holiday);
    EXPECT_EQ(stored.Subject(), u"文化の日");
    EXPECT_EQ(stored.Location(), u"全国");
    EXPECT_EQ(stored.ReminderSet(), kFalse);

    // A restriction on a text the marks leave out still finds what a whole read finds, in the
    // occurrences of a series too (they are matched in memory).
    const std::u16string bySubject = month + uR"( and [Subject] = "定例")";
    const std::vector<Appointment> named = read(AppointmentParts::TimesAndMarks, bySubject);
    EXPECT_EQ(named.size(), read(AppointmentParts::Whole, bySubject).size());
    EXPECT_EQ(named.size(), 4u);
}

TEST_F(StoreTest, WeeklySeriesWithExceptionAcrossDaylightSavingChanges) {
    // A local series keeps its wall-clock time through the change of 29 March 2026.
    calendar::Recurrence local;
    local.rule = "FREQ=WEEKLY;BYDAY=TH";
    local.exceptionDates = {At(2026, 3, 26, 10)};
    AddAppointment(At(2026, 3, 12, 10), At(2026, 3, 12, 11), u"local", false, local);
    EXPECT_EQ(Starts(uR"([Start] <= "2026/4/9" and [End] >= "2026/3/12")"),
              (std::vector<Date>{At(2026, 3, 12, 10), At(2026, 3, 19, 10), At(2026, 4, 2, 10),
                                 At(2026, 4, 9, 10)}));
}

TEST_F(StoreTest, SeriesInAnotherZoneFollowsThatZonesClock) {
    // 09:00 in New York: 15:00 in Berlin, 14:00 between the American change (8 March) and the
    // European one (29 March), 15:00 again after; the exception removes 19 March.
    calendar::Recurrence newYork;
    newYork.rule = "FREQ=WEEKLY;BYDAY=TH";
    newYork.exceptionDates = {At(2026, 3, 19, 9)};
    AddAppointment(At(2026, 3, 5, 15), At(2026, 3, 5, 16), u"NY", false, newYork,
                   "America/New_York", At(2026, 3, 5, 9));
    EXPECT_EQ(Starts(uR"([Start] <= "2026/4/2" and [End] >= "2026/3/1")"),
              (std::vector<Date>{At(2026, 3, 5, 15), At(2026, 3, 12, 14), At(2026, 3, 26, 14),
                                 At(2026, 4, 2, 15)}));
}

TEST_F(StoreTest, MonthlyOnThe31stSkipsShortMonths) {
    calendar::Recurrence monthly;
    monthly.rule = "FREQ=MONTHLY;BYMONTHDAY=31";
    const int32_t oid =
        AddAppointment(At(2026, 1, 31, 18), At(2026, 1, 31, 19), u"月末", false, monthly);
    EXPECT_EQ(Starts(uR"([Start] >= "2026/2/1" and [Start] <= "2026/8/31")"),
              (std::vector<Date>{At(2026, 3, 31, 18), At(2026, 5, 31, 18), At(2026, 7, 31, 18),
                                 At(2026, 8, 31, 18)}));
    EXPECT_EQ(app_.GetAppointmentFromOid(oid)->GetRecurrencePattern()->Type(),
              calendar::RecurrenceType::MonthlyByDay);
}

TEST_F(StoreTest, YearlyOn29FebruaryOnlyInLeapYears) {
    calendar::Recurrence yearly;
    yearly.rule = "FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29";
    AddAppointment(At(2024, 2, 29), At(2024, 2, 29), u"閏日", true, yearly);
    EXPECT_EQ(Starts(uR"([Start] >= "2025/1/1" and [Start] <= "2033/12/31")"),
              (std::vector<Date>{At(2028, 2, 29), At(2032, 2, 29)}));
}

TEST_F(StoreTest, CountAndUntilEndTheSeries) {
    calendar::Recurrence counted;
    counted.rule = "FREQ=DAILY;COUNT=5";
    AddAppointment(At(2026, 6, 1, 8), At(2026, 6, 1, 9), u"count", false, counted);
    calendar::Recurrence until;
    until.rule = "FREQ=WEEKLY;UNTIL=20260615T235959";
    AddAppointment(At(2026, 6, 1, 12), At(2026, 6, 1, 13), u"until", false, until);

    // The counted series ends on 5 June even when the window starts in its middle.
    EXPECT_EQ(Starts(uR"([Start] >= "2026/6/4" and [Start] <= "2026/6/30")"),
              (std::vector<Date>{At(2026, 6, 4, 8), At(2026, 6, 5, 8), At(2026, 6, 8, 12),
                                 At(2026, 6, 15, 12)}));
    EXPECT_TRUE(Starts(uR"([Start] >= "2026/6/16" and [Start] <= "2026/7/31")").empty());
}

// An UNTIL in UTC is a moment: 09:00Z is 10:00 in Berlin, so a 10:00 start that day is the
// last. The same UNTIL without its Z is 09:00 on the series' own clock, before that start.
TEST_F(StoreTest, AnUntilInUtcIsAMomentAndOneWithoutZoneIsWallClock) {
    calendar::Recurrence utc;
    utc.rule = "FREQ=WEEKLY;UNTIL=20261130T090000Z";
    AddAppointment(At(2026, 11, 2, 10), At(2026, 11, 2, 11), u"utc", false, utc, "Europe/Berlin",
                   At(2026, 11, 2, 10));
    calendar::Recurrence floating;
    floating.rule = "FREQ=WEEKLY;UNTIL=20261130T090000";
    AddAppointment(At(2026, 11, 2, 12), At(2026, 11, 2, 13), u"floating", false, floating);
    EXPECT_EQ(
        Starts(uR"([Start] >= "2026/11/23" and [Start] <= "2026/12/31")"),
        (std::vector<Date>{At(2026, 11, 23, 10), At(2026, 11, 23, 12), At(2026, 11, 30, 10)}));
}

TEST_F(StoreTest, FirstOccurrenceIsTheStartEvenOffTheRule) {
    // The start is a Sunday; the rule gives Mondays.
    calendar::Recurrence weekly;
    weekly.rule = "FREQ=WEEKLY;BYDAY=MO;COUNT=2";
    AddAppointment(At(2026, 12, 6, 9), At(2026, 12, 6, 10), u"kick-off", false, weekly);
    EXPECT_EQ(Starts(uR"([Start] >= "2026/12/1" and [Start] <= "2026/12/31")"),
              (std::vector<Date>{At(2026, 12, 6, 9), At(2026, 12, 7, 9), At(2026, 12, 14, 9)}));
}

TEST_F(StoreTest, SecondConnectionWritesWhileTheFirstReads) {
    AddAppointment(At(2026, 12, 7, 9), At(2026, 12, 7, 10), u"before");
    auto items = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems();
    auto first = items->Restrict(uR"([Start] >= "2026/12/1" and [Start] <= "2026/12/31")");
    ASSERT_EQ(*first->Count(), 1);

    Application importer;
    ASSERT_TRUE(importer.LogOn(StorePath()).ok());
    std::vector<calendar::AppointmentRecord> batch(50);
    for (size_t i = 0; i < batch.size(); ++i) {
        batch[i].subject = u"imported";
        batch[i].start = At(2026, 12, 8, 9);
        batch[i].end = At(2026, 12, 8, 10);
    }
    ASSERT_TRUE(importer.AddAll(batch, {}).ok());

    // The collection already walked keeps its items; a new query sees the import.
    EXPECT_EQ(*first->Count(), 1);
    EXPECT_EQ(first->AppointmentAt(1)->Subject(), u"before");
    auto again = items->Restrict(uR"([Start] >= "2026/12/1" and [Start] <= "2026/12/31")");
    EXPECT_EQ(*again->Count(), 51);
}

TEST_F(StoreTest, DamagedStoreIsRefusedAndLeftAsItWas) {
    const auto damaged = folder_.Path() / "damaged.sqlite";
    const std::string garbage(4096, 'x');
    testing_support::WriteBytes(damaged, garbage);
    Application other;
    auto logOn = other.LogOn(damaged);
    ASSERT_FALSE(logOn.ok());
    EXPECT_NE(logOn.error().message.find("damaged.sqlite"), std::string::npos);
    EXPECT_EQ(testing_support::ReadBytes(damaged), garbage);
    EXPECT_FALSE(other.GetDefaultFolder(FolderKind::Calendar).ok());
}

TEST_F(StoreTest, LockedStoreRefusesTheWriteAndKeepsWhatItHad) {
    const int32_t kept = AddAppointment(At(2026, 12, 7, 9), At(2026, 12, 7, 10), u"kept");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(StorePath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

    Application impatient;
    ASSERT_TRUE(impatient.LogOn(StorePath(), std::chrono::milliseconds(20)).ok());
    auto appointment = impatient.GetAppointmentFromOid(kept);
    ASSERT_TRUE(appointment.ok());
    appointment->SetSubject(u"changed");
    auto saved = appointment->Save();
    EXPECT_FALSE(saved.ok());
    EXPECT_FALSE(impatient.GetAppointmentFromOid(kept)->Delete().ok());

    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(app_.GetAppointmentFromOid(kept)->Subject(), u"kept");
    EXPECT_TRUE(appointment->Save().ok());
    EXPECT_EQ(app_.GetAppointmentFromOid(kept)->Subject(), u"changed");
}

// Programs started at one moment on a data home that has no store yet (the planner, a reminder
// service and a sync at log-in, say) all get to use it: none is refused by another's setting up.
TEST(StoreCreation, TenProcessesOpeningANewStoreAtOnceAllSucceed) {
    testing_support::TempFolder folder;
    ASSERT_TRUE(folder.Made());
    const std::filesystem::path store = folder.Path() / "schedule.sqlite";
    constexpr int kProcesses = 10;
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> children;
    for (int child = 0; child < kProcesses; ++child) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(start[1]);
            char go = 0;
            [[maybe_unused]] const ssize_t got = read(start[0], &go, 1);  // EOF: all start now
            Application app;
            if (auto logOn = app.LogOn(store); !logOn) {
                fprintf(stderr, "%s\n", logOn.error().message.c_str());
                _exit(1);
            }
            auto task = app.GetDefaultFolder(FolderKind::Tasks)->GetItems()->AddTask();
            task.SetSubject(u"task");
            _exit(task.Save().ok() ? 0 : 2);
        }
        children.push_back(pid);
    }
    close(start[0]);
    close(start[1]);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "process " << pid << " ended with " << status;
    }
    Application reader;
    ASSERT_TRUE(reader.LogOn(store).ok());
    EXPECT_EQ(reader.AllTasks()->size(), static_cast<size_t>(kProcesses));
}

TEST_F(StoreTest, StoreFileIsTheUsersAlone) {
    AddAppointment(At(2026, 12, 7, 9), At(2026, 12, 7, 10), u"private");
    EXPECT_EQ(testing_support::ModeOf(StorePath()), 0600u);
    EXPECT_EQ(testing_support::ModeOf(StorePath().string() + "-wal"), 0600u);
}

TEST_F(StoreTest, MovingAnAppointmentKeepsItsIdAndLeavesNoCopy) {
    const int32_t oid = AddAppointment(At(2026, 12, 7, 9), At(2026, 12, 7, 10), u"moved");
    auto appointment = app_.GetAppointmentFromOid(oid);
    appointment->SetStart(At(2026, 12, 9, 9));
    appointment->SetEnd(At(2026, 12, 9, 10));
    ASSERT_TRUE(appointment->Save().ok());
    EXPECT_TRUE(Query(uR"([Start] >= "2026/12/7" and [Start] <= "2026/12/8")").empty());
    auto found = Query(uR"([Start] >= "2026/12/9" and [Start] <= "2026/12/9")");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Oid(), oid);
}

TEST_F(StoreTest, LoggedOffStoreAnswersWithErrors) {
    auto items = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems();
    app_.LogOff();
    EXPECT_FALSE(app_.GetDefaultFolder(FolderKind::Calendar).ok());
    EXPECT_FALSE(app_.GetAppointmentFromOid(1).ok());
    // A collection obtained before the log-off keeps its own connection alive.
    EXPECT_TRUE(items->Count().ok());
}

// Other calendar programs learn of a change here by its stamps, and of a new version of the
// event (its times moved) by its SEQUENCE.
TEST_F(StoreTest, ChangesHereAreStampedAndANewTimeIsANewSequence) {
    calendar::AppointmentRecord record;
    record.subject = u"会議";
    record.start = At(2026, 12, 9, 10);
    record.end = At(2026, 12, 9, 11);
    record.extraProperties = "DTSTAMP:20200101T000000Z\r\nSEQUENCE:4\r\nX-KEPT:1";
    auto oids = app_.AddAll({record}, {});
    ASSERT_TRUE(oids.ok());
    const auto kept = [&] {
        return app_.GetAppointmentFromOid(oids->front())->Record().extraProperties;
    };

    Appointment item = *app_.GetAppointmentFromOid(oids->front());
    item.SetSubject(u"会議（資料あり）");
    ASSERT_TRUE(item.Save().ok());
    std::string lines = kept();
    EXPECT_EQ(lines.find("DTSTAMP:20200101T000000Z"), std::string::npos);
    EXPECT_EQ(lines.find("DTSTAMP:"), 0u) << lines;  // in its place
    EXPECT_NE(lines.find("\r\nSEQUENCE:4\r\nX-KEPT:1\r\nLAST-MODIFIED:"), std::string::npos)
        << lines;

    item = *app_.GetAppointmentFromOid(oids->front());
    item.SetStart(At(2026, 12, 10, 10));
    item.SetEnd(At(2026, 12, 10, 11));
    ASSERT_TRUE(item.Save().ok());
    EXPECT_NE(kept().find("\r\nSEQUENCE:5\r\n"), std::string::npos) << kept();
}

// A task's state as other programs read it, through being done and open again.
TEST_F(StoreTest, CompletingWritesTheWholeStateAndOpeningAgainRestoresTheRest) {
    for (const auto& [percent, reopened] : {std::pair{"PERCENT-COMPLETE:40", "STATUS:IN-PROCESS"},
                                            std::pair{"", "STATUS:NEEDS-ACTION"}}) {
        SCOPED_TRACE(percent);
        calendar::TaskRecord record;
        record.subject = u"報告";
        record.extraProperties = std::string(percent);
        if (!record.extraProperties.empty()) {
            record.extraProperties += "\r\nSTATUS:IN-PROCESS";
        }
        auto oids = app_.AddAll({}, {record});
        ASSERT_TRUE(oids.ok());
        Task task = *app_.GetTaskFromOid(oids->front());
        const auto lines = [&] {
            const calendar::TaskRecord stored = app_.GetTaskFromOid(oids->front())->Record();
            return calendar::WriteICalendar({}, {stored});
        };
        task.SetComplete(kTrue, At(2026, 12, 7));
        ASSERT_TRUE(task.Save().ok());
        std::string text = lines();
        EXPECT_NE(text.find("STATUS:COMPLETED\r\n"), std::string::npos);
        EXPECT_NE(text.find("COMPLETED:2026"), std::string::npos);
        EXPECT_NE(text.find("PERCENT-COMPLETE:100\r\n"), std::string::npos);
        EXPECT_EQ(text.find("PERCENT-COMPLETE:40"), std::string::npos);
        EXPECT_EQ(text.find("STATUS:IN-PROCESS"), std::string::npos);

        task.SetComplete(kFalse, At(2026, 12, 8));
        ASSERT_TRUE(task.Save().ok());
        text = lines();
        EXPECT_NE(text.find(std::string(reopened) + "\r\n"), std::string::npos);
        EXPECT_EQ(text.find("COMPLETED"), std::string::npos);
        EXPECT_EQ(text.find("PERCENT-COMPLETE:100"), std::string::npos);
        if (!std::string(percent).empty()) {
            EXPECT_NE(text.find(std::string(percent) + "\r\n"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace store
