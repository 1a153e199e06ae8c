// Merging two versions of an item against the one both sides last agreed on: what each side
// changed is kept, only a property changed two ways is a conflict, the later side wins it, and
// SEQUENCE never goes down.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "sync/item_merge.h"

namespace calendar_sync {
namespace {

// A calendar object of one component (VEVENT or VTODO) with the UID given, made of the lines
// given (each without its CRLF), in the order given.
ServerItem Item(const std::string& component, const std::string& uid,
                std::initializer_list<std::string> lines) {
    std::string text =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:" + component +
        "\r\nUID:" + uid + "\r\n";
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    text += "END:" + component + "\r\nEND:VCALENDAR\r\n";
    auto item = ReadServerItem(text);
    EXPECT_TRUE(item.ok()) << (item ? "" : item.error().message);
    return item ? *item : ServerItem{};
}
ServerItem Event(std::initializer_list<std::string> lines) {
    return Item("VEVENT", "m@test", lines);
}
ServerItem Task(std::initializer_list<std::string> lines) {
    return Item("VTODO", "t@test", lines);
}

const std::string kStart = "DTSTART:20261221T100000";
const std::string kEnd = "DTEND:20261221T110000";

bool Keeps(const ServerItem& item, const std::string& line) {
    return item.appointment.extraProperties.find(line) != std::string::npos ||
           item.task.extraProperties.find(line) != std::string::npos;
}

TEST(ItemMerge, ChangesOfDifferentPropertiesOnEachSideAreBothKept) {
    const ServerItem base = Event({kStart, kEnd, "SUMMARY:会議", "DESCRIPTION:古いメモ"});
    const ServerItem here = Event({kStart, kEnd, "SUMMARY:会議（変更）", "DESCRIPTION:古いメモ"});
    const ServerItem server = Event({kStart, kEnd, "SUMMARY:会議", "DESCRIPTION:新しいメモ"});
    // Whichever side is later: nothing is in conflict.
    for (const Side later : {Side::Here, Side::Server}) {
        const ItemMerge merge = MergeItems(&base, here, server, later);
        EXPECT_TRUE(merge.conflicts.empty());
        EXPECT_EQ(merge.merged.appointment.subject, u"会議（変更）");
        EXPECT_EQ(merge.merged.appointment.body, u"新しいメモ");
        EXPECT_TRUE(merge.sendToServer);
        EXPECT_TRUE(merge.storeHere);
    }
}

TEST(ItemMerge, APropertyChangedTwoWaysGoesToTheLaterSideAndIsNamed) {
    const ServerItem base = Event({kStart, kEnd, "SUMMARY:会議", "LOCATION:本社"});
    const ServerItem here = Event({kStart, kEnd, "SUMMARY:会議A", "LOCATION:本社"});
    const ServerItem server = Event({kStart, kEnd, "SUMMARY:会議B", "LOCATION:支社"});

    const ItemMerge serverLater = MergeItems(&base, here, server, Side::Server);
    ASSERT_EQ(serverLater.conflicts.size(), 1u);
    EXPECT_EQ(serverLater.conflicts.front(), "SUMMARY");
    EXPECT_EQ(serverLater.merged.appointment.subject, u"会議B");
    EXPECT_EQ(serverLater.merged.appointment.location, u"支社");
    EXPECT_FALSE(serverLater.sendToServer);

    const ItemMerge hereLater = MergeItems(&base, here, server, Side::Here);
    EXPECT_EQ(hereLater.conflicts, std::vector<std::string>{"SUMMARY"});
    EXPECT_EQ(hereLater.merged.appointment.subject, u"会議A");
    // The server's other change still stands.
    EXPECT_EQ(hereLater.merged.appointment.location, u"支社");
    EXPECT_TRUE(hereLater.sendToServer);
}

TEST(ItemMerge, TheSameChangeOnBothSidesIsNoConflict) {
    const ServerItem base = Event({kStart, kEnd, "SUMMARY:会議"});
    const ServerItem both = Event({kStart, kEnd, "SUMMARY:会議（同じ）"});
    const ItemMerge merge = MergeItems(&base, both, both, Side::Here);
    EXPECT_TRUE(merge.conflicts.empty());
    EXPECT_FALSE(merge.sendToServer);
    EXPECT_FALSE(merge.storeHere);
}

TEST(ItemMerge, WithoutABaseTheLaterSideIsTakenWhole) {
    const ServerItem here = Event({kStart, kEnd, "SUMMARY:A", "LOCATION:本社"});
    const ServerItem server = Event({kStart, kEnd, "SUMMARY:B", "LOCATION:支社"});
    const ItemMerge merge = MergeItems(nullptr, here, server, Side::Here);
    EXPECT_EQ(merge.merged.appointment.subject, u"A");
    EXPECT_EQ(merge.merged.appointment.location, u"本社");
    EXPECT_EQ(merge.conflicts.size(), 2u);
}

TEST(ItemMerge, PropertiesOfOtherProgramsMergeByName) {
    const ServerItem base = Event({kStart, kEnd, "SUMMARY:会議", "X-OTHER:1", "X-THIRD:a"});
    const ServerItem here = Event({kStart, kEnd, "SUMMARY:会議（変更）", "X-OTHER:1", "X-THIRD:a"});
    const ServerItem server = Event(
        {kStart, kEnd, "SUMMARY:会議", "X-OTHER:2", "X-THIRD:a", "ATTENDEE:mailto:b@example.com"});
    const ItemMerge merge = MergeItems(&base, here, server, Side::Here);
    EXPECT_TRUE(merge.conflicts.empty());
    EXPECT_EQ(merge.merged.appointment.subject, u"会議（変更）");
    EXPECT_TRUE(Keeps(merge.merged, "X-OTHER:2"));
    EXPECT_TRUE(Keeps(merge.merged, "ATTENDEE:mailto:b@example.com"));
    EXPECT_FALSE(Keeps(merge.merged, "X-OTHER:1"));

    // One removed on the server is removed from the merge too.
    const ServerItem dropped = Event({kStart, kEnd, "SUMMARY:会議", "X-OTHER:1"});
    EXPECT_FALSE(Keeps(MergeItems(&base, here, dropped, Side::Here).merged, "X-THIRD"));
}

TEST(ItemMerge, OccurrencesChangedOnEachSideAreBothKept) {
    const std::string rule = "RRULE:FREQ=WEEKLY;COUNT=5";
    const auto series = [&](std::initializer_list<std::string> occurrences) {
        std::string text =
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//"
            "EN\r\nBEGIN:VEVENT\r\nUID:s@test\r\n" +
            kStart + "\r\n" + kEnd + "\r\n" + rule + "\r\nSUMMARY:週次\r\nEND:VEVENT\r\n";
        for (const std::string& occurrence : occurrences) {
            text += occurrence;
        }
        text += "END:VCALENDAR\r\n";
        auto item = ReadServerItem(text);
        EXPECT_TRUE(item.ok()) << (item ? "" : item.error().message);
        return *item;
    };
    const auto moved = [](const std::string& day, const std::string& summary) {
        return "BEGIN:VEVENT\r\nUID:s@test\r\nRECURRENCE-ID:" + day + "T100000\r\nDTSTART:" + day +
               "T140000\r\nDTEND:" + day + "T150000\r\nSUMMARY:" + summary + "\r\nEND:VEVENT\r\n";
    };
    const ServerItem base = series({});
    const ServerItem here = series({moved("20261228", "ここで")});
    const ServerItem server = series({moved("20270104", "向こうで")});
    const ItemMerge merge = MergeItems(&base, here, server, Side::Server);
    EXPECT_TRUE(merge.conflicts.empty());
    ASSERT_EQ(merge.merged.appointment.recurrence.changes.size(), 2u);
    EXPECT_EQ(merge.merged.appointment.recurrence.changes[0].subject, u"ここで");
    EXPECT_EQ(merge.merged.appointment.recurrence.changes[1].subject, u"向こうで");

    // The same occurrence changed two ways is one conflict.
    const ServerItem other = series({moved("20261228", "向こうで")});
    EXPECT_EQ(MergeItems(&base, here, other, Side::Server).conflicts.size(), 1u);
}

TEST(ItemMerge, ATaskCompletedOnOneSideAndRenamedOnTheOtherKeepsBoth) {
    const ServerItem base = Task({"SUMMARY:年賀状", "STATUS:NEEDS-ACTION"});
    const ServerItem here =
        Task({"SUMMARY:年賀状", "STATUS:COMPLETED", "COMPLETED:20261220T090000Z"});
    const ServerItem server = Task({"SUMMARY:年賀状を出す", "STATUS:NEEDS-ACTION"});
    const ItemMerge merge = MergeItems(&base, here, server, Side::Server);
    EXPECT_TRUE(merge.conflicts.empty());
    EXPECT_TRUE(merge.merged.task.complete);
    EXPECT_EQ(merge.merged.task.subject, u"年賀状を出す");
}

TEST(ItemMerge, SequenceNeverGoesDown) {
    const ServerItem base = Event({kStart, kEnd, "SUMMARY:会議", "SEQUENCE:3"});
    // Another program raised SEQUENCE twice for edits of its own; here a text was changed.
    const ServerItem server = Event({kStart, kEnd, "SUMMARY:会議B", "SEQUENCE:5"});
    const ServerItem here = Event({kStart, kEnd, "SUMMARY:会議A", "SEQUENCE:3"});
    const ItemMerge textWins = MergeItems(&base, here, server, Side::Here);
    EXPECT_EQ(textWins.merged.appointment.subject, u"会議A");
    EXPECT_EQ(SequenceOf(textWins.merged), 5);

    // A new time taken from here is a new version to the server's clients: one above theirs.
    const ServerItem moved =
        Event({"DTSTART:20261221T130000", "DTEND:20261221T140000", "SUMMARY:会議", "SEQUENCE:4"});
    const ItemMerge timeWins = MergeItems(&base, moved, server, Side::Here);
    EXPECT_EQ(timeWins.merged.appointment.subject, u"会議B");
    EXPECT_EQ(SequenceOf(timeWins.merged), 6);
    EXPECT_TRUE(timeWins.sendToServer);
}

TEST(ItemMerge, TheLaterSideIsDecidedBySequenceThenByTime) {
    EXPECT_EQ(LaterSide({5, 100}, {3, 200}), Side::Here);
    EXPECT_EQ(LaterSide({3, 300}, {5, 200}), Side::Server);
    EXPECT_EQ(LaterSide({3, 300}, {3, 200}), Side::Here);
    EXPECT_EQ(LaterSide({3, 100}, {3, 200}), Side::Server);
    // A side that does not say when it changed loses to one that does; a tie goes to this
    // planner.
    EXPECT_EQ(LaterSide({0, 100}, {0, std::nullopt}), Side::Here);
    EXPECT_EQ(LaterSide({0, std::nullopt}, {0, 100}), Side::Server);
    EXPECT_EQ(LaterSide({0, 100}, {0, 100}), Side::Here);
}

TEST(ItemMerge, ACopyThatOnlyLooksDifferentMeansTheSame) {
    const auto zoned = [](const std::string& name) {
        const std::string text =
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
            "BEGIN:VTIMEZONE\r\nTZID:Custom/Zone\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
            "TZOFFSETFROM:+0900\r\nTZOFFSETTO:+0900\r\nTZNAME:" +
            name +
            "\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\nBEGIN:VEVENT\r\nUID:z@test\r\n"
            "DTSTART;TZID=Custom/Zone:20261221T100000\r\nDTEND;TZID=Custom/Zone:20261221T110000\r\n"
            "SUMMARY:会議\r\nX-A:1\r\nX-B:2\r\nDTSTAMP:20261201T000000Z\r\nEND:VEVENT\r\n"
            "END:VCALENDAR\r\n";
        auto item = ReadServerItem(text);
        EXPECT_TRUE(item.ok()) << (item ? "" : item.error().message);
        return *item;
    };
    ServerItem one = zoned("JST");
    ServerItem other = zoned("jst");
    ASSERT_NE(one.appointment.zone.definition, other.appointment.zone.definition);
    EXPECT_TRUE(SameMeaning(one, other));
    // Kept lines in another order, and another stamp, mean the same too.
    other.appointment.extraProperties = "X-B:2\r\nX-A:1\r\nDTSTAMP:20261205T000000Z";
    EXPECT_TRUE(SameMeaning(one, other));
    other.appointment.subject = u"会議（変更）";
    EXPECT_FALSE(SameMeaning(one, other));
}

TEST(ItemMerge, HandwritingAndItsMemoAreOnePropertyWithTheDrawing) {
    ServerItem base = Event({kStart, kEnd, "SUMMARY:会議"});
    base.ink.item = calendar::CarriedInk{0, "ink one"};
    ServerItem here = base;
    here.ink.item = calendar::CarriedInk{0, "ink two"};
    ServerItem server = base;
    server.appointment.subject = u"会議（変更）";
    const ItemMerge merge = MergeItems(&base, here, server, Side::Server);
    EXPECT_TRUE(merge.conflicts.empty());
    ASSERT_TRUE(merge.merged.ink.item.has_value());
    EXPECT_EQ(merge.merged.ink.item->bytes, "ink two");
    EXPECT_EQ(merge.merged.appointment.subject, u"会議（変更）");
}

}  // namespace
}  // namespace calendar_sync
