// Finding items by their texts: which texts are read, how letters are folded, and which
// occurrence of a series is named.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text/unicode_text.h"
#include "store/search_folding.h"
#include "tests/store/store_fixture.h"

namespace store {
namespace {

std::string Folded(std::u16string_view text) {
    return FoldForSearch(platform::Utf16ToUtf8Lossy(text));
}

bool Holds(std::u16string_view text, std::u16string_view needle) {
    return HoldsFolded(platform::Utf16ToUtf8Lossy(text), Folded(needle));
}

TEST(SearchFoldingTest, LatinLettersMeetWhateverTheirCaseAndWidth) {
    EXPECT_EQ(Folded(u"ＡＢＣ"), "abc");
    EXPECT_EQ(Folded(u"ａｂｃ"), "abc");
    EXPECT_EQ(Folded(u"AbC"), "abc");
    EXPECT_EQ(Folded(u"Ｒｏｏｍ　３Ｆ"), "room 3f");
    EXPECT_TRUE(Holds(u"Dr. ＴＡＮＡＫＡ clinic", u"tanaka"));
    EXPECT_TRUE(Holds(u"meeting with abc corp", u"ＡＢＣ"));
    // Full case folding: ß is ss, and Greek and Cyrillic letters have case too.
    EXPECT_TRUE(Holds(u"Straße", u"STRASSE"));
    EXPECT_TRUE(Holds(u"ΟΔΟΣ", u"οδος"));
    // An accented letter typed as one character finds the same letter spelt with a combining
    // accent, and the other way round.
    EXPECT_TRUE(Holds(u"Cafe\u0301 Paul", u"CAFÉ"));
    EXPECT_TRUE(Holds(u"café", u"cafe\u0301"));
    EXPECT_FALSE(Holds(u"cafe", u"café"));
}

TEST(SearchFoldingTest, KanaAndKanjiStayAsTyped) {
    EXPECT_EQ(Folded(u"歯医者"), platform::Utf16ToUtf8Lossy(u"歯医者"));
    EXPECT_TRUE(Holds(u"10時 歯医者(定期)", u"歯医者"));
    EXPECT_FALSE(Holds(u"ハイシャ", u"はいしゃ"));
    EXPECT_FALSE(Holds(u"はいしゃ", u"ハイシャ"));
    EXPECT_FALSE(Holds(u"ﾊｲｼｬ", u"ハイシャ"));
    EXPECT_FALSE(Holds(u"歯医者", u"はいしゃ"));
    // A voiced kana written with its combining mark is the same kana.
    EXPECT_TRUE(Holds(u"か\u3099っこう", u"がっこう"));
}

TEST(SearchFoldingTest, BrokenTextIsReadNotFeared) {
    const std::string broken = "ab\xff\xfe\xc3";
    EXPECT_TRUE(HoldsFolded(broken, "ab"));
    EXPECT_FALSE(HoldsFolded(broken, "abc"));
    EXPECT_TRUE(HoldsFolded("anything", ""));
    EXPECT_FALSE(HoldsFolded("", "a"));
}

class StoreSearchTest : public StoreFixture {
protected:
    int32_t Add(calendar::AppointmentRecord record) {
        if (record.recurrence.recurs() && record.zoneStart == 0) {
            record.zoneStart = record.start;
        }
        auto oids = app_.AddAll({record}, {});
        EXPECT_TRUE(oids.ok());
        return oids ? oids->front() : 0;
    }
    int32_t AddTimed(Date start, Date end, std::u16string subject, std::u16string location = u"",
                     std::u16string body = u"") {
        calendar::AppointmentRecord record;
        record.start = start;
        record.end = end;
        record.subject = std::move(subject);
        record.location = std::move(location);
        record.body = std::move(body);
        return Add(record);
    }
    int32_t AddTask(std::u16string subject, Date due, std::u16string body = u"") {
        calendar::TaskRecord record;
        record.subject = std::move(subject);
        record.dueDate = due;
        record.body = std::move(body);
        auto oids = app_.AddAll({}, {record});
        EXPECT_TRUE(oids.ok());
        return oids ? oids->front() : 0;
    }

    // The object ids found, in the order given.
    std::vector<int32_t> Found(std::u16string_view text, Date from = At(2026, 12, 9),
                               size_t limit = 1000) {
        auto found = app_.FindItems(text, from, limit);
        EXPECT_TRUE(found.ok()) << (found ? "" : found.error().message);
        std::vector<int32_t> oids;
        if (found) {
            for (const FoundItem& item : found->items) {
                oids.push_back(item.oid);
            }
        }
        return oids;
    }
    FoundItem Only(std::u16string_view text, Date from = At(2026, 12, 9)) {
        auto found = app_.FindItems(text, from, 1000);
        EXPECT_TRUE(found.ok());
        if (!found || found->items.size() != 1) {
            ADD_FAILURE() << "not one item found for " << platform::Utf16ToUtf8Lossy(text);
            return {};
        }
        return found->items.front();
    }

    // A weekly series on Mondays at 10:00 from 2 November 2026 (`count` 0: without end).
    calendar::AppointmentRecord Weekly(std::u16string subject, int count = 0) {
        calendar::AppointmentRecord series;
        series.start = At(2026, 11, 2, 10);
        series.end = At(2026, 11, 2, 11);
        series.subject = std::move(subject);
        series.recurrence.rule =
            count > 0 ? "FREQ=WEEKLY;COUNT=" + std::to_string(count) : "FREQ=WEEKLY";
        return series;
    }
    static calendar::OccurrenceChange ChangeOf(Date recurrenceId, Date start,
                                               std::u16string subject) {
        calendar::OccurrenceChange change;
        change.recurrenceId = recurrenceId;
        change.start = start;
        change.end = start + 1.0 / 24;
        change.subject = std::move(subject);
        return change;
    }
};

TEST_F(StoreSearchTest, SubjectPlaceTypedMemoAndTaskNotesAreRead) {
    const int32_t bySubject = AddTimed(At(2026, 3, 2, 10), At(2026, 3, 2, 11), u"歯医者");
    const int32_t byPlace =
        AddTimed(At(2026, 4, 6, 10), At(2026, 4, 6, 11), u"定期検診", u"駅前の歯医者");
    const int32_t byMemo =
        AddTimed(At(2026, 5, 4, 10), At(2026, 5, 4, 11), u"予約", u"", u"電話\r\n歯医者に確認");
    const int32_t taskBySubject = AddTask(u"歯医者に電話", At(2026, 6, 1));
    const int32_t taskByNotes = AddTask(u"電話", At(2026, 7, 1), u"歯医者の予約");
    AddTimed(At(2026, 3, 3, 10), At(2026, 3, 3, 11), u"眼医者", u"駅前", u"歯科ではない");
    AddTask(u"掃除", At(2026, 6, 2));
    // The categories are no text of the search.
    calendar::AppointmentRecord categorised;
    categorised.start = At(2026, 8, 3, 9);
    categorised.end = At(2026, 8, 3, 10);
    categorised.subject = u"通院";
    categorised.categories = u"歯医者";
    Add(categorised);

    EXPECT_EQ(Found(u"歯医者"),
              (std::vector<int32_t>{bySubject, byPlace, byMemo, taskBySubject, taskByNotes}));
    const FoundItem first = Only(u"定期検診");
    EXPECT_EQ(first.kind, calendar::ItemKind::Appointment);
    EXPECT_EQ(first.start, At(2026, 4, 6, 10));
    EXPECT_EQ(first.end, At(2026, 4, 6, 11));
    EXPECT_EQ(first.location, u"駅前の歯医者");
    EXPECT_EQ(first.occurrence, SeriesOccurrence::NotASeries);
    const FoundItem task = Only(u"歯医者の予約");
    EXPECT_EQ(task.kind, calendar::ItemKind::Task);
    EXPECT_EQ(task.start, At(2026, 7, 1));
    EXPECT_EQ(task.subject, u"電話");
}

TEST_F(StoreSearchTest, AHandwrittenMemosInkFileIsNoText) {
    calendar::AppointmentRecord drawn;
    drawn.start = At(2026, 12, 1, 9);
    drawn.end = At(2026, 12, 1, 10);
    drawn.body = u"12.dat";
    drawn.handwritten = true;
    Add(drawn);
    calendar::AppointmentRecord drawnAndTyped = drawn;
    drawnAndTyped.body = u"13.dat\r\n地図は別紙";
    const int32_t typedBeside = Add(drawnAndTyped);
    // Without the mark a memo reading "14.dat" is text like any other.
    calendar::AppointmentRecord text = drawn;
    text.body = u"14.dat";
    text.handwritten = false;
    const int32_t textMemo = Add(text);

    EXPECT_EQ(Found(u"12.dat"), std::vector<int32_t>{});
    EXPECT_EQ(Found(u"13"), std::vector<int32_t>{});
    EXPECT_EQ(Found(u"地図"), std::vector<int32_t>{typedBeside});
    EXPECT_EQ(Found(u".DAT"), std::vector<int32_t>{textMemo});
}

TEST_F(StoreSearchTest, CaseAndWidthAreFoldedOnBothSides) {
    const int32_t fullWidth = AddTimed(At(2026, 1, 5, 9), At(2026, 1, 5, 10), u"ＡＢＣ商事");
    const int32_t halfWidth = AddTimed(At(2026, 1, 6, 9), At(2026, 1, 6, 10), u"abc corp");
    const int32_t mixed = AddTask(u"Call Abc", At(2026, 1, 7));
    AddTimed(At(2026, 1, 8, 9), At(2026, 1, 8, 10), u"ＡＢ Ｃ");
    for (const char16_t* needle : {u"abc", u"ABC", u"ＡＢＣ", u"ａｂｃ", u"Abc"}) {
        EXPECT_EQ(Found(needle), (std::vector<int32_t>{fullWidth, halfWidth, mixed}))
            << platform::Utf16ToUtf8Lossy(needle);
    }
}

TEST_F(StoreSearchTest, ASeriesIsFoundOnceAtItsNextOccurrence) {
    const int32_t series = Add(Weekly(u"歯医者"));
    const int32_t single = AddTimed(At(2026, 12, 10, 15), At(2026, 12, 10, 16), u"歯科検診");
    // Wednesday the 9th: the next Monday is the 14th.
    const FoundItem next = [&] {
        auto found = app_.FindItems(u"歯", At(2026, 12, 9, 18, 30), 1000);
        EXPECT_TRUE(found.ok());
        EXPECT_EQ(found->items.size(), 2u);
        EXPECT_EQ(found->items[0].oid, single);
        return found->items.at(1);
    }();
    EXPECT_EQ(next.oid, series);
    EXPECT_EQ(next.start, At(2026, 12, 14, 10));
    EXPECT_EQ(next.end, At(2026, 12, 14, 11));
    EXPECT_EQ(next.occurrence, SeriesOccurrence::Next);
    // From a Monday its own occurrence that day is the next, whatever the hour.
    EXPECT_EQ(Only(u"医者", At(2026, 12, 14, 23)).start, At(2026, 12, 14, 10));
    // Before the series began, its first occurrence.
    EXPECT_EQ(Only(u"医者", At(2026, 1, 1)).start, At(2026, 11, 2, 10));
}

TEST_F(StoreSearchTest, ASeriesAllInThePastIsFoundAtItsLastOccurrence) {
    Add(Weekly(u"リハビリ", 4));  // 2, 9, 16 and 23 November
    const FoundItem last = Only(u"リハビリ");
    EXPECT_EQ(last.start, At(2026, 11, 23, 10));
    EXPECT_EQ(last.occurrence, SeriesOccurrence::Last);
    // On the day of its last occurrence, that one is still the next.
    const FoundItem sameDay = Only(u"リハビリ", At(2026, 11, 23, 20));
    EXPECT_EQ(sameDay.start, At(2026, 11, 23, 10));
    EXPECT_EQ(sameDay.occurrence, SeriesOccurrence::Next);
}

TEST_F(StoreSearchTest, AChangedOccurrenceIsFoundByItsOwnTexts) {
    calendar::AppointmentRecord series = Weekly(u"定例");
    // The 21st December moved to 14:00 for the dentist; the 14th renamed to something else.
    series.recurrence.changes.push_back(
        ChangeOf(At(2026, 12, 14, 10), At(2026, 12, 14, 10), u"臨時会議"));
    series.recurrence.changes.push_back(
        ChangeOf(At(2026, 12, 21, 10), At(2026, 12, 21, 14), u"休み(歯医者)"));
    const int32_t oid = Add(series);

    const FoundItem dentist = Only(u"歯医者");
    EXPECT_EQ(dentist.oid, oid);
    EXPECT_EQ(dentist.start, At(2026, 12, 21, 14));
    EXPECT_EQ(dentist.subject, u"休み(歯医者)");
    EXPECT_EQ(dentist.occurrence, SeriesOccurrence::Next);
    // After that day it is the last one that holds the text.
    const FoundItem past = Only(u"歯医者", At(2027, 3, 1));
    EXPECT_EQ(past.start, At(2026, 12, 21, 14));
    EXPECT_EQ(past.occurrence, SeriesOccurrence::Last);
    // The series' own subject: the 14th no longer reads so, the 21st neither; the 28th does.
    const FoundItem regular = Only(u"定例", At(2026, 12, 12));
    EXPECT_EQ(regular.start, At(2026, 12, 28, 10));
    EXPECT_EQ(regular.subject, u"定例");
    EXPECT_EQ(Only(u"臨時").start, At(2026, 12, 14, 10));
}

TEST_F(StoreSearchTest, ACancelledItemOrOccurrenceIsNotFound) {
    calendar::AppointmentRecord cancelled;
    cancelled.start = At(2026, 12, 10, 9);
    cancelled.end = At(2026, 12, 10, 10);
    cancelled.subject = u"歯医者";
    cancelled.cancelled = true;
    Add(cancelled);
    calendar::AppointmentRecord series = Weekly(u"歯医者", 8);  // to 21 December
    calendar::OccurrenceChange off =
        ChangeOf(At(2026, 12, 14, 10), At(2026, 12, 14, 10), u"歯医者");
    off.cancelled = true;
    series.recurrence.changes.push_back(off);
    series.recurrence.exceptionDates.push_back(At(2026, 12, 21, 10));
    Add(series);
    // The 14th cancelled and the 21st taken out: the series' last is the 7th.
    const FoundItem last = Only(u"歯医者");
    EXPECT_EQ(last.start, At(2026, 12, 7, 10));
    EXPECT_EQ(last.occurrence, SeriesOccurrence::Last);
}

TEST_F(StoreSearchTest, ItemsComeByDateWithUndatedTasksLastAndTheLimitSaysThereIsMore) {
    const int32_t undated = AddTask(u"歯ブラシを買う", calendar::kNoDateValue);
    const int32_t late = AddTimed(At(2027, 2, 1, 9), At(2027, 2, 1, 10), u"歯医者");
    const int32_t dueSameMoment = AddTask(u"歯医者の領収書", At(2026, 5, 1));
    const int32_t early = AddTimed(At(2025, 5, 1, 0), At(2025, 5, 1, 1), u"歯医者");
    const int32_t atMidnight = AddTimed(At(2026, 5, 1), At(2026, 5, 1, 1), u"歯医者");
    EXPECT_EQ(Found(u"歯"),
              (std::vector<int32_t>{early, atMidnight, dueSameMoment, late, undated}));

    auto firstTwo = app_.FindItems(u"歯", At(2026, 12, 9), 2);
    ASSERT_TRUE(firstTwo.ok());
    ASSERT_EQ(firstTwo->items.size(), 2u);
    EXPECT_EQ(firstTwo->items[1].oid, atMidnight);
    EXPECT_TRUE(firstTwo->more);
    auto all = app_.FindItems(u"歯", At(2026, 12, 9), 5);
    ASSERT_TRUE(all.ok());
    EXPECT_EQ(all->items.size(), 5u);
    EXPECT_FALSE(all->more);
    EXPECT_EQ(all->items.back().start, calendar::kNoDateValue);
}

TEST_F(StoreSearchTest, NothingToSearchForIsAnErrorAndNoMatchIsEmpty) {
    AddTimed(At(2026, 12, 10, 9), At(2026, 12, 10, 10), u"会議");
    EXPECT_FALSE(app_.FindItems(u"", At(2026, 12, 9), 10).ok());
    auto none = app_.FindItems(u"歯医者", At(2026, 12, 9), 10);
    ASSERT_TRUE(none.ok());
    EXPECT_TRUE(none->items.empty());
    EXPECT_FALSE(none->more);
    Application loggedOff;
    EXPECT_FALSE(loggedOff.FindItems(u"会議", At(2026, 12, 9), 10).ok());
    // One item more than the limit is more, whichever kind it is.
    AddTimed(At(2026, 12, 11, 9), At(2026, 12, 11, 10), u"会議");
    auto first = app_.FindItems(u"会議", At(2026, 12, 9), 1);
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(first->items.size(), 1u);
    EXPECT_TRUE(first->more);
}

}  // namespace
}  // namespace store
