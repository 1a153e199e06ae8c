#include "editors/appointment_writes.h"

#include <gtest/gtest.h>

#include "schedule/ink_entry.h"
#include "tests/editors/editors_fixture.h"

namespace editors {
namespace {

using schedule::EncodeInkEntries;

class AppointmentWritesTest : public EditorsFixture {
protected:
    WriteResult CreateNew(std::u16string_view text) {
        FillForNewAppointment(record_, At(2024, 5, 10, 9));
        record_.End = At(2024, 5, 10, 10, 30);
        record_.Subject = u"会議";
        record_.Location = u"本社";
        record_.Reminder = 1;
        return CreateAppointment(context_, record_, pad_, text);
    }

    // A stored appointment with the body `body`, and the ink file `name` holding `ink`.
    int32_t AddInkAppointment(const char* name, const std::vector<InkEntry>& ink,
                              std::u16string body) {
        WriteBytes(DataFolder() / name, EncodeInkEntries(ink));
        return AddHandwritten(std::move(body));
    }
};

TEST_F(AppointmentWritesTest, CreateKeepsTextOverInkAndGivesInkTheLowestFreeFile) {
    SetPadInk(Strokes(2, 1));  // text and ink together: the text wins, no file is written
    WriteResult typed = CreateNew(u"議事録");
    ASSERT_TRUE(typed.ok()) << typed.detail;
    const calendar::AppointmentRecord stored = Stored(typed.itemOid);
    EXPECT_EQ(stored.body, u"議事録");
    EXPECT_EQ(stored.subject, u"会議");
    EXPECT_EQ(stored.location, u"本社");
    EXPECT_EQ(stored.start, At(2024, 5, 10, 9));
    EXPECT_EQ(stored.end, At(2024, 5, 10, 10, 30));
    EXPECT_TRUE(stored.reminderSet);
    EXPECT_FALSE(stored.allDay);
    EXPECT_EQ(pad_.InkCount, 0);
    EXPECT_EQ(ListFolder(DataFolder()), "");

    WriteBytes(DataFolder() / "1.dat", "");
    WriteBytes(DataFolder() / "3.dat", "");
    SetPadInk(Strokes(3, 7));
    WriteResult drawn = CreateNew(u"");
    ASSERT_TRUE(drawn.ok()) << drawn.detail;
    EXPECT_EQ(Stored(drawn.itemOid).body, u"2.dat");
    EXPECT_TRUE(Stored(drawn.itemOid).handwritten);
    EXPECT_FALSE(Stored(typed.itemOid).handwritten);
    EXPECT_EQ(InkFile("2.dat"), EncodeInkEntries(Strokes(3, 7)));

    pad_.InkCount = 0;  // neither: the body the caller set (a pasted memo) is stored
    FillForNewAppointment(record_, At(2024, 5, 11));
    record_.Body = u"貼り付けた\r\nメモ";
    WriteResult pasted = CreateAppointment(context_, record_, pad_, u"");
    EXPECT_EQ(Stored(pasted.itemOid).body, u"貼り付けた\r\nメモ");
    EXPECT_FALSE(Stored(pasted.itemOid).handwritten);
    EXPECT_EQ(ListFolder(DataFolder()), "1.dat 2.dat 3.dat");
}

TEST_F(AppointmentWritesTest, UpdatingATextMemoKeepsItWholeOrTurnsItToInkOrEmpty) {
    std::u16string longMemo;
    for (int line = 0; line < 500; ++line) {
        longMemo += u"一行のメモです\r\n";
    }
    const int32_t oid = AddAppointment(longMemo);
    Open(oid);
    ASSERT_EQ(record_.InkCountAtOpen, 0);
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, record_.Body));
    EXPECT_EQ(Stored(oid).body, longMemo);  // opened and saved: nothing lost

    SetPadInk(Strokes(1, 3));
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u""));
    EXPECT_EQ(Stored(oid).body, u"1.dat");
    EXPECT_EQ(InkFile("1.dat"), EncodeInkEntries(Strokes(1, 3)));

    const int32_t other = AddAppointment(u"消すメモ");
    Open(other);
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u""));
    EXPECT_EQ(Stored(other).body, u"");
    EXPECT_EQ(ListFolder(DataFolder()), "1.dat");
}

TEST_F(AppointmentWritesTest, UpdatingInkRewritesItsFileOrDeletesItForTextOrNothing) {
    const int32_t kept = AddInkAppointment("4.dat", Strokes(1, 1), u"4.dat\r\n二行目");
    Open(kept);
    ASSERT_EQ(record_.InkCountAtOpen, 5);
    SetPadInk(Strokes(4, 2));
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u""));
    EXPECT_EQ(Stored(kept).body, u"4.dat\r\n二行目");
    EXPECT_EQ(InkFile("4.dat"), EncodeInkEntries(Strokes(4, 2)));

    const int32_t typed = AddInkAppointment("5.dat", Strokes(1, 1), u"5.dat");
    Open(typed);
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u"清書"));
    EXPECT_EQ(Stored(typed).body, u"清書");
    EXPECT_EQ(pad_.InkCount, 0);

    const int32_t erased = AddInkAppointment("6.dat", Strokes(1, 1), u"6.dat");
    Open(erased);
    pad_.InkCount = 0;
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u""));
    EXPECT_EQ(Stored(erased).body, u"");

    // Lines stored after the ink's name were never shown: they outlive the ink.
    Open(kept);
    pad_.InkCount = 0;
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u""));
    EXPECT_EQ(Stored(kept).body, u"二行目");
    EXPECT_EQ(ListFolder(DataFolder()), "");
}

TEST_F(AppointmentWritesTest, ATextMemoThatReadsLikeAnInkFileIsNeverTakenForOne) {
    WriteBytes(DataFolder() / "4.dat", EncodeInkEntries(Strokes(1, 1)));
    const int32_t oid = AddAppointment(u"4.dat\nplease look at that file");
    Open(oid);
    EXPECT_EQ(record_.InkCountAtOpen, 0);
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, record_.Body));
    EXPECT_EQ(Stored(oid).body, u"4.dat\nplease look at that file");
    EXPECT_FALSE(Stored(oid).handwritten);
    // Replaced and deleted, it takes no file along.
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u"4.dat"));
    Open(oid);
    ASSERT_TRUE(DeleteAppointment(context_, record_));
    EXPECT_EQ(InkFile("4.dat"), EncodeInkEntries(Strokes(1, 1)));
}

TEST_F(AppointmentWritesTest, TypedTextBesideInkStaysWithItUntilTheTextIsChanged) {
    const int32_t oid = AddInkAppointment("4.dat", Strokes(1, 1), u"4.dat\r\n追記");
    Open(oid);
    ASSERT_EQ(record_.InkCountAtOpen, 5);
    // The text as the pad's text mode showed it, the ink redrawn: both kept.
    SetPadInk(Strokes(2, 3));
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u"追記"));
    EXPECT_EQ(Stored(oid).body, u"4.dat\r\n追記");
    EXPECT_TRUE(Stored(oid).handwritten);
    EXPECT_EQ(InkFile("4.dat"), EncodeInkEntries(Strokes(2, 3)));

    // The text changed: a typed memo, which wins over the ink.
    Open(oid);
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u"追記を書き直した"));
    EXPECT_EQ(Stored(oid).body, u"追記を書き直した");
    EXPECT_FALSE(Stored(oid).handwritten);
    EXPECT_EQ(pad_.InkCount, 0);
    EXPECT_EQ(ListFolder(DataFolder()), "");
}

TEST_F(AppointmentWritesTest, AHandwrittenMemoWhoseInkCannotBeReadIsKeptUntilChanged) {
    const int32_t oid = AddHandwritten(u"6.dat\r\n追記");
    Open(oid);
    ASSERT_EQ(record_.InkCountAtOpen, 0);
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u"追記"));
    EXPECT_EQ(Stored(oid).body, u"6.dat\r\n追記");
    EXPECT_TRUE(Stored(oid).handwritten);

    // Ink drawn now goes into the file it names.
    Open(oid);
    SetPadInk(Strokes(1, 2));
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u"追記"));
    EXPECT_EQ(Stored(oid).body, u"6.dat\r\n追記");
    EXPECT_EQ(InkFile("6.dat"), EncodeInkEntries(Strokes(1, 2)));

    const int32_t typed = AddHandwritten(u"7.dat");
    Open(typed);
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u"清書"));
    EXPECT_EQ(Stored(typed).body, u"清書");
    EXPECT_FALSE(Stored(typed).handwritten);
}

TEST_F(AppointmentWritesTest, SavingAnAppointmentBegunEarlierKeepsItsStart) {
    calendar::AppointmentRecord trip;
    trip.start = At(2024, 5, 8, 9);
    trip.end = At(2024, 5, 11, 18);
    trip.subject = u"出張";
    auto oids = reader_.AddAll({trip}, {});
    ASSERT_TRUE(oids.ok());
    Open(oids->front());  // listed from 10 May, the row starting at its midnight
    EXPECT_EQ(record_.Start, At(2024, 5, 8, 9));
    record_.Subject = u"出張 (大阪)";
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u"").ok());
    const calendar::AppointmentRecord stored = Stored(oids->front());
    EXPECT_EQ(stored.start, At(2024, 5, 8, 9));
    EXPECT_EQ(stored.end, At(2024, 5, 11, 18));
    EXPECT_EQ(stored.subject, u"出張 (大阪)");
}

TEST_F(AppointmentWritesTest, SavingAnOccurrenceNeverMovesItsSeries) {
    calendar::AppointmentRecord weekly;
    weekly.start = At(2024, 5, 3, 15);
    weekly.end = At(2024, 5, 3, 16);
    weekly.subject = u"定例";
    weekly.recurrence.rule = "FREQ=WEEKLY;COUNT=4";
    weekly.zoneStart = weekly.start;
    auto oids = reader_.AddAll({weekly}, {});
    ASSERT_TRUE(oids.ok());
    Open(oids->front());  // the occurrence of 10 May
    EXPECT_EQ(record_.Start, At(2024, 5, 10, 15));
    record_.Subject = u"定例会";
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u"").ok());
    const calendar::AppointmentRecord stored = Stored(oids->front());
    EXPECT_EQ(stored.start, At(2024, 5, 3, 15));
    EXPECT_EQ(stored.end, At(2024, 5, 3, 16));
    EXPECT_EQ(stored.subject, u"定例会");
    EXPECT_EQ(stored.recurrence.rule, "FREQ=WEEKLY;COUNT=4");
}

// A daily 09:00 morning meeting from 6 May whose memo is the ink file 4.dat; `changes` are its
// changed occurrences.
calendar::AppointmentRecord MorningSeries(std::vector<calendar::OccurrenceChange> changes = {}) {
    calendar::AppointmentRecord series;
    series.start = At(2024, 5, 6, 9);
    series.end = At(2024, 5, 6, 10);
    series.zoneStart = series.start;
    series.zoneEnd = series.end;
    series.subject = u"朝会";
    series.body = u"4.dat";
    series.handwritten = true;
    series.recurrence.rule = "FREQ=DAILY;COUNT=10";
    series.recurrence.changes = std::move(changes);
    return series;
}

// Saved for itself alone, an occurrence becomes a change of its series; its redrawn ink gets a
// file of its own while the series keeps its drawing. Saved again, the change is updated, and
// cancelled, the occurrence is an exception date of the series.
TEST_F(AppointmentWritesTest, AnOccurrenceSavedAloneIsAChangeOfItsSeries) {
    WriteBytes(DataFolder() / "4.dat", EncodeInkEntries(Strokes(1, 1)));
    auto oids = reader_.AddAll({MorningSeries()}, {});
    ASSERT_TRUE(oids.ok());
    const int32_t oid = oids->front();
    Open(oid);  // the occurrence of 10 May
    ASSERT_EQ(record_.Occurrence, At(2024, 5, 10, 9));
    ASSERT_EQ(record_.InkCountAtOpen, 5);
    record_.Start = At(2024, 5, 10, 14);
    record_.End = At(2024, 5, 10, 15);
    record_.Subject = u"朝会 (午後)";
    SetPadInk(Strokes(3, 9));
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u"", SeriesPart::ThisOccurrence));
    calendar::AppointmentRecord stored = Stored(oid);
    EXPECT_EQ(stored.start, At(2024, 5, 6, 9));
    EXPECT_EQ(stored.subject, u"朝会");
    EXPECT_EQ(stored.body, u"4.dat");
    ASSERT_EQ(stored.recurrence.changes.size(), 1u);
    const calendar::OccurrenceChange& change = stored.recurrence.changes[0];
    EXPECT_EQ(change.recurrenceId, At(2024, 5, 10, 9));
    EXPECT_EQ(change.start, At(2024, 5, 10, 14));
    EXPECT_EQ(change.end, At(2024, 5, 10, 15));
    EXPECT_EQ(change.subject, u"朝会 (午後)");
    EXPECT_EQ(change.body, u"1.dat");
    EXPECT_TRUE(change.handwritten);
    EXPECT_EQ(InkFile("4.dat"), EncodeInkEntries(Strokes(1, 1)));
    EXPECT_EQ(InkFile("1.dat"), EncodeInkEntries(Strokes(3, 9)));

    // Opened again it is the change; its ink replaced by text, its own file goes.
    Open(oid);
    ASSERT_EQ(record_.OccurrenceChanged, 1);
    ASSERT_EQ(record_.Start, At(2024, 5, 10, 14));
    ASSERT_TRUE(
        UpdateAppointment(context_, record_, pad_, u"午後に変更", SeriesPart::ThisOccurrence));
    stored = Stored(oid);
    ASSERT_EQ(stored.recurrence.changes.size(), 1u);
    EXPECT_EQ(stored.recurrence.changes[0].body, u"午後に変更");
    EXPECT_FALSE(stored.recurrence.changes[0].handwritten);
    EXPECT_EQ(ListFolder(DataFolder()), "4.dat");

    Open(oid);
    ASSERT_TRUE(CancelOccurrence(context_, record_));
    stored = Stored(oid);
    EXPECT_TRUE(stored.recurrence.changes.empty());
    EXPECT_EQ(stored.recurrence.exceptionDates, std::vector<platform::Date>{At(2024, 5, 10, 9)});
    EXPECT_EQ(ListFolder(DataFolder()), "4.dat");
}

// Saved for the whole series, an occurrence moved by a day and an hour moves the series (and
// its changes) by as much, with the occurrence's length; deleting the series takes its ink and
// its changes' ink along.
TEST_F(AppointmentWritesTest, TheWholeSeriesFollowsItsOccurrenceAndGoesWithAllItsInk) {
    calendar::OccurrenceChange moved;
    moved.recurrenceId = At(2024, 5, 8, 9);
    moved.start = moved.zoneStart = At(2024, 5, 8, 14);
    moved.end = moved.zoneEnd = At(2024, 5, 8, 15);
    moved.body = u"3.dat";
    moved.handwritten = true;
    WriteBytes(DataFolder() / "4.dat", EncodeInkEntries(Strokes(1, 1)));
    WriteBytes(DataFolder() / "3.dat", EncodeInkEntries(Strokes(2, 2)));
    auto oids = reader_.AddAll({MorningSeries({moved})}, {});
    ASSERT_TRUE(oids.ok());
    const int32_t oid = oids->front();
    Open(oid);
    ASSERT_EQ(record_.Occurrence, At(2024, 5, 10, 9));
    record_.Start = At(2024, 5, 11, 10);
    record_.End = At(2024, 5, 11, 11, 30);
    record_.Subject = u"朝礼";
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u"", SeriesPart::WholeSeries));
    const calendar::AppointmentRecord stored = Stored(oid);
    EXPECT_EQ(stored.start, At(2024, 5, 7, 10));
    EXPECT_EQ(stored.end, At(2024, 5, 7, 11, 30));
    EXPECT_EQ(stored.subject, u"朝礼");
    EXPECT_EQ(stored.body, u"4.dat");
    ASSERT_EQ(stored.recurrence.changes.size(), 1u);
    EXPECT_EQ(stored.recurrence.changes[0].recurrenceId, At(2024, 5, 9, 10));
    EXPECT_EQ(ListFolder(DataFolder()), "3.dat 4.dat");

    Open(oid);
    ASSERT_TRUE(DeleteAppointment(context_, record_));
    EXPECT_FALSE(reader_.GetAppointmentFromOid(oid));
    EXPECT_EQ(ListFolder(DataFolder()), "");
}

TEST_F(AppointmentWritesTest, TheHolidayBoxReplacesClearsOrKeepsCategories) {
    WriteResult plain = CreateNew(u"");
    EXPECT_EQ(Stored(plain.itemOid).categories, u"");
    EXPECT_FALSE(CensusStale());
    record_.Holiday = 1;
    ASSERT_TRUE(CreateAppointment(context_, record_, pad_, u""));
    EXPECT_TRUE(CensusStale());

    const int32_t work = AddAppointment(u"", u"仕事, 個人");
    Open(work);
    census_.census.cachedYear = 2024;
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u""));
    EXPECT_EQ(Stored(work).categories, u"仕事, 個人");
    EXPECT_FALSE(CensusStale());
    record_.Holiday = 1;
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u""));
    EXPECT_EQ(Stored(work).categories, u"祝日");
    EXPECT_TRUE(CensusStale());

    Open(work);
    ASSERT_EQ(record_.HolidayAtOpen, 1);
    census_.census.cachedYear = 2024;
    record_.Holiday = 0;
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u""));
    EXPECT_EQ(Stored(work).categories, u"");
    EXPECT_TRUE(CensusStale());
}

TEST_F(AppointmentWritesTest, DeleteTakesTheInkFileOnlyWithTheAppointment) {
    const int32_t oid = AddInkAppointment("8.dat", Strokes(1, 1), u"8.dat");
    Open(oid);
    EXPECT_TRUE(DeleteAppointment(context_, record_));
    EXPECT_FALSE(reader_.GetAppointmentFromOid(oid));
    EXPECT_EQ(ListFolder(DataFolder()), "");

    WriteBytes(DataFolder() / "8.dat", EncodeInkEntries(Strokes(1, 1)));
    EXPECT_EQ(DeleteAppointment(context_, record_).status, WriteStatus::ItemMissing);
    EXPECT_EQ(ListFolder(DataFolder()), "8.dat");
}

TEST_F(AppointmentWritesTest, AnInkFileTwoItemsNameGoesOnlyWithTheLastOfThem) {
    // An imported calendar can give two memos one file.
    const int32_t first = AddInkAppointment("5.dat", Strokes(2, 1), u"5.dat");
    const int32_t second = AddHandwritten(u"5.dat\r\nメモ");
    Open(first);
    ASSERT_EQ(record_.InkCountAtOpen, 10);
    ASSERT_TRUE(DeleteAppointment(context_, record_));
    EXPECT_EQ(InkFile("5.dat"), EncodeInkEntries(Strokes(2, 1)));  // still the second's

    // The second replaces its ink (and the text shown beside it) by text: the file goes only now
    // that nothing names it.
    const int32_t third = AddHandwritten(u"5.dat");
    Open(second);
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u"清書"));
    EXPECT_EQ(Stored(second).body, u"清書");
    EXPECT_FALSE(Stored(second).handwritten);
    EXPECT_EQ(ListFolder(DataFolder()), "5.dat");
    Open(third);
    ASSERT_TRUE(DeleteAppointment(context_, record_));
    EXPECT_EQ(ListFolder(DataFolder()), "");
}

TEST_F(AppointmentWritesTest, RedrawnInkOfASharedFileGetsAFileOfItsOwn) {
    const int32_t drawn = AddInkAppointment("5.dat", Strokes(2, 1), u"5.dat\r\n二行目");
    const int32_t other = AddHandwritten(u"5.dat");
    // Saved with the ink as it was: nothing to write, the shared file stays named.
    Open(drawn);
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u""));
    EXPECT_EQ(Stored(drawn).body, u"5.dat\r\n二行目");
    EXPECT_EQ(ListFolder(DataFolder()), "5.dat");

    SetPadInk(Strokes(3, 9));
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u""));
    EXPECT_EQ(Stored(drawn).body, u"1.dat\r\n二行目");
    EXPECT_EQ(InkFile("1.dat"), EncodeInkEntries(Strokes(3, 9)));
    EXPECT_EQ(InkFile("5.dat"), EncodeInkEntries(Strokes(2, 1)));
    EXPECT_EQ(Stored(other).body, u"5.dat");
}

TEST_F(AppointmentWritesTest, AChangedOccurrenceNamingTheFileKeepsIt) {
    calendar::AppointmentRecord series;
    series.start = At(2024, 5, 6, 9);
    series.end = At(2024, 5, 6, 10);
    series.subject = u"朝会";
    series.recurrence.rule = "FREQ=DAILY;COUNT=10";
    series.zoneStart = series.start;
    calendar::OccurrenceChange moved;
    moved.recurrenceId = At(2024, 5, 8, 9);
    moved.start = At(2024, 5, 8, 14);
    moved.end = At(2024, 5, 8, 15);
    moved.body = u"3.dat";
    moved.handwritten = true;
    series.recurrence.changes = {moved};
    WriteBytes(DataFolder() / "3.dat", EncodeInkEntries(Strokes(1, 1)));
    ASSERT_TRUE(reader_.AddAll({series}, {}));
    const int32_t single = AddHandwritten(u"3.dat");
    Open(single);
    ASSERT_TRUE(DeleteAppointment(context_, record_));
    EXPECT_EQ(ListFolder(DataFolder()), "3.dat");
}

TEST_F(AppointmentWritesTest, NewItemsGetAnIdentityThatEditsKeep) {
    SetPadInk({});
    WriteResult created = CreateNew(u"メモ");
    ASSERT_TRUE(created.ok());
    const std::string uid = Stored(created.itemOid).uid;
    EXPECT_TRUE(uid.ends_with("@tessarinth")) << uid;
    EXPECT_EQ(uid.size(), 36u + std::string("@tessarinth").size());
    Open(created.itemOid);
    record_.Subject = u"変更";
    ASSERT_TRUE(UpdateAppointment(context_, record_, pad_, u"メモ"));
    EXPECT_EQ(Stored(created.itemOid).uid, uid);
    // A paste is an item of its own.
    WriteResult pasted = CreateNew(u"メモ");
    EXPECT_NE(Stored(pasted.itemOid).uid, uid);
}

TEST_F(AppointmentWritesTest, InkWithoutRoomForAFileStoresNothing) {
    for (int32_t n = 1; n <= 1999; ++n) {
        WriteBytes(DataFolder() / (std::to_string(n) + ".dat"), "");
    }
    SetPadInk(Strokes(1, 1));
    EXPECT_EQ(CreateNew(u"").status, WriteStatus::NoRoomForInk);
    EXPECT_EQ(record_.Body, u"");
    EXPECT_EQ(pad_.InkCount, 5);
    const int32_t oid = AddAppointment(u"文字");
    Open(oid);
    SetPadInk(Strokes(1, 1));
    record_.Subject = u"変更";
    EXPECT_EQ(UpdateAppointment(context_, record_, pad_, u"").status, WriteStatus::NoRoomForInk);
    EXPECT_EQ(Stored(oid).subject, u"打合せ");
    EXPECT_EQ(reader_.AllAppointments()->size(), 1u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(DataFolder()), {}), 1999);
}

// A folder that takes no file is not a lack of numbers: the user is told it was not saved.
TEST_F(AppointmentWritesTest, InkInAFolderThatTakesNoFileIsAFailedSave) {
    SetPadInk(Strokes(1, 1));
    settings_.DataPath = u"\\" + std::u16string(251, u'x');  // "\x…x\1.dat" is 258 units
    EXPECT_EQ(CreateNew(u"").status, WriteStatus::InkFileFailed);
    EXPECT_FALSE(std::filesystem::exists(home_.DeviceRoot() / std::string(251, 'x')));

    // Not a folder at all (root may write anywhere, but not below a file).
    WriteBytes(home_.DeviceRoot() / "plain", "");
    settings_.DataPath = u"\\plain";
    EXPECT_EQ(CreateNew(u"").status, WriteStatus::InkFileFailed);
    const int32_t oid = AddAppointment(u"文字");
    Open(oid);
    SetPadInk(Strokes(1, 1));
    record_.Subject = u"変更";
    EXPECT_EQ(UpdateAppointment(context_, record_, pad_, u"").status, WriteStatus::InkFileFailed);
    EXPECT_EQ(Stored(oid).subject, u"打合せ");
    EXPECT_EQ(reader_.AllAppointments()->size(), 1u);
}

TEST_F(AppointmentWritesTest, AFailedInkSaveLeavesFileAndStoreAsTheyWere) {
    const int32_t oid = AddInkAppointment("2.dat", Strokes(1, 1), u"2.dat");
    Open(oid);
    SetPadInk(Strokes(30, 4));
    record_.Subject = u"変更";
    WriteResult result;
    {
        FileSizeLimit full(100);
        result = UpdateAppointment(context_, record_, pad_, u"");
    }
    EXPECT_EQ(result.status, WriteStatus::InkFileFailed);
    EXPECT_EQ(InkFile("2.dat"), EncodeInkEntries(Strokes(1, 1)));
    EXPECT_EQ(Stored(oid).subject, u"打合せ");

    record_.ItemOid = oid + 100;  // gone from the store: no file is written either
    EXPECT_EQ(UpdateAppointment(context_, record_, pad_, u"").status, WriteStatus::ItemMissing);
    EXPECT_EQ(InkFile("2.dat"), EncodeInkEntries(Strokes(1, 1)));
}

}  // namespace
}  // namespace editors
