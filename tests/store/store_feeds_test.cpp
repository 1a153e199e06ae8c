// A subscribed feed's items replaced by each new copy of the feed: matched by UID (a series with
// its changed occurrences as one), all or nothing, never reaching past the feed's own calendar;
// and a subscription removed with everything it brought.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "calendar/ical_io.h"
#include "tests/store/store_fixture.h"

namespace store {
namespace {

// A feed's calendar file with the given components.
std::string FeedText(const std::string& components) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//school//EN\r\n" + components +
           "END:VCALENDAR\r\n";
}

std::string Event(const std::string& uid, const std::string& summary,
                  const std::string& day = "20261221", const std::string& more = "") {
    return "BEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTAMP:20261201T000000Z\r\nDTSTART:" + day +
           "T100000\r\nDTEND:" + day + "T113000\r\nSUMMARY:" + summary + "\r\n" + more +
           "END:VEVENT\r\n";
}

std::string Todo(const std::string& uid, const std::string& summary) {
    return "BEGIN:VTODO\r\nUID:" + uid + "\r\nSUMMARY:" + summary + "\r\nEND:VTODO\r\n";
}

class StoreFeedsTest : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        StoreCalendar feed;
        feed.name = "学校";
        feed.url = "https://school.example/feed.ics";
        feed.subscription = true;
        feed.readOnly = true;
        ASSERT_TRUE(app_.SaveCalendar(feed).ok());
        feed_ = feed.id;
    }

    Result<FeedReplacement> Replace(const std::string& components, const FeedMark& mark = {},
                                    int64_t calendarId = 0) {
        auto read = calendar::ParseICalendar(FeedText(components));
        EXPECT_TRUE(read.ok());
        return app_.ReplaceFeedItems(calendarId == 0 ? feed_ : calendarId,
                                     std::move(read->appointments), std::move(read->tasks), mark);
    }

    // The calendar's items, "subject@oid", appointments then tasks, each in object id order.
    std::vector<std::string> ItemsOf(int64_t calendarId) {
        std::vector<std::string> items;
        const std::vector<calendar::AppointmentRecord> appointments = *app_.AllAppointments();
        const std::vector<calendar::TaskRecord> tasks = *app_.AllTasks();
        for (const calendar::AppointmentRecord& record : appointments) {
            if (record.calendarId == calendarId) {
                items.push_back(Narrow(record.subject) + "@" + std::to_string(record.oid));
            }
        }
        for (const calendar::TaskRecord& record : tasks) {
            if (record.calendarId == calendarId) {
                items.push_back(Narrow(record.subject) + "@" + std::to_string(record.oid));
            }
        }
        return items;
    }

    static std::string Narrow(const std::u16string& text) {
        std::string narrow;
        for (const char16_t unit : text) {
            narrow += static_cast<char>(unit < 0x80 ? unit : '?');
        }
        return narrow;
    }

    int32_t OidOf(const std::string& uid) {
        const std::vector<calendar::AppointmentRecord> appointments = *app_.AllAppointments();
        const std::vector<calendar::TaskRecord> tasks = *app_.AllTasks();
        for (const calendar::AppointmentRecord& record : appointments) {
            if (record.uid == uid) {
                return record.oid;
            }
        }
        for (const calendar::TaskRecord& record : tasks) {
            if (record.uid == uid) {
                return record.oid;
            }
        }
        return 0;
    }

    int32_t AddOwnMeeting(const std::string& uid, const std::u16string& subject) {
        calendar::AppointmentRecord record;
        record.start = At(2026, 12, 22, 9);
        record.end = At(2026, 12, 22, 10);
        record.subject = subject;
        record.uid = uid;
        record.calendarId = 1;
        auto oids = app_.AddAll({record}, {});
        EXPECT_TRUE(oids.ok());
        return oids ? oids->front() : 0;
    }

    int64_t feed_ = 0;
};

TEST_F(StoreFeedsTest, ANewCopyUpdatesByUidAddsWhatIsNewAndRemovesWhatIsGone) {
    auto first = Replace(Event("fair@school", "fair") + Event("sports@school", "sports") +
                         Todo("homework@school", "homework"));
    ASSERT_TRUE(first.ok()) << first.error().message;
    EXPECT_EQ(first->added, 3);
    const int32_t fair = OidOf("fair@school");
    const int32_t homework = OidOf("homework@school");

    auto second = Replace(Event("fair@school", "fair moved", "20261222") +
                          Event("concert@school", "concert") + Todo("homework@school", "homework"));
    ASSERT_TRUE(second.ok()) << second.error().message;
    EXPECT_EQ(second->added, 1);
    EXPECT_EQ(second->updated, 1);
    EXPECT_EQ(second->removed, 1);
    EXPECT_EQ(second->unchanged, 1);
    // What stayed kept its object id (a copy the user made of it, an open editor, still find it).
    EXPECT_EQ(OidOf("fair@school"), fair);
    EXPECT_EQ(OidOf("homework@school"), homework);
    EXPECT_EQ(OidOf("sports@school"), 0);
    const calendar::AppointmentRecord moved = app_.GetAppointmentFromOid(fair)->Record();
    EXPECT_EQ(moved.subject, u"fair moved");
    EXPECT_EQ(moved.start, At(2026, 12, 22, 10));
    EXPECT_EQ(moved.calendarId, feed_);

    // The same copy again changes nothing.
    auto third = Replace(Event("fair@school", "fair moved", "20261222") +
                         Event("concert@school", "concert") + Todo("homework@school", "homework"));
    ASSERT_TRUE(third.ok());
    EXPECT_EQ(third->added + third->updated + third->removed, 0);
    EXPECT_EQ(third->unchanged, 3);

    // An emptied feed empties its calendar, and its calendar alone.
    AddOwnMeeting("own@here", u"own");
    auto emptied = Replace("");
    ASSERT_TRUE(emptied.ok());
    EXPECT_EQ(emptied->removed, 3);
    EXPECT_TRUE(ItemsOf(feed_).empty());
    EXPECT_EQ(ItemsOf(1).size(), 1u);
}

TEST_F(StoreFeedsTest, ASeriesIsMatchedWithItsChangedOccurrences) {
    const std::string rule = "RRULE:FREQ=WEEKLY;COUNT=4\r\n";
    const std::string moved =
        "BEGIN:VEVENT\r\nUID:club@school\r\nDTSTAMP:20261201T000000Z\r\n"
        "RECURRENCE-ID:20261208T100000\r\nDTSTART:20261209T150000\r\nDTEND:20261209T160000\r\n"
        "SUMMARY:club (moved)\r\nEND:VEVENT\r\n";
    ASSERT_TRUE(Replace(Event("club@school", "club", "20261201", rule) + moved).ok());
    const int32_t club = OidOf("club@school");
    ASSERT_EQ(app_.GetAppointmentFromOid(club)->Record().recurrence.changes.size(), 1u);

    // The occurrence is no longer changed in the feed: the series alone, under the same item.
    auto plain = Replace(Event("club@school", "club", "20261201", rule));
    ASSERT_TRUE(plain.ok());
    EXPECT_EQ(plain->updated, 1);
    EXPECT_EQ(OidOf("club@school"), club);
    EXPECT_TRUE(app_.GetAppointmentFromOid(club)->Record().recurrence.changes.empty());
    EXPECT_EQ(ItemsOf(feed_).size(), 1u);
}

TEST_F(StoreFeedsTest, AnItemOfAnotherCalendarIsNeitherTakenNorTouched) {
    const int32_t own = AddOwnMeeting("shared@school", u"mine");
    auto replaced = Replace(Event("shared@school", "theirs") + Event("fair@school", "fair"));
    ASSERT_TRUE(replaced.ok());
    EXPECT_EQ(replaced->added, 1);
    ASSERT_EQ(replaced->notes.size(), 1u);
    EXPECT_NE(replaced->notes[0].find("shared@school"), std::string::npos);
    EXPECT_NE(replaced->notes[0].find("カレンダー"), std::string::npos);
    const calendar::AppointmentRecord mine = app_.GetAppointmentFromOid(own)->Record();
    EXPECT_EQ(mine.subject, u"mine");
    EXPECT_EQ(mine.calendarId, 1);

    // Many such items are counted after the first few, not named one by one.
    std::string many;
    for (int i = 0; i < 8; ++i) {
        AddOwnMeeting("copied" + std::to_string(i) + "@school", u"mine");
        many += Event("copied" + std::to_string(i) + "@school", "theirs");
    }
    auto crowded = Replace(many);
    ASSERT_TRUE(crowded.ok());
    ASSERT_EQ(crowded->notes.size(), 6u);
    EXPECT_EQ(crowded->notes.back(), "and 3 more not kept, their UIDs held by other calendars");
}

TEST_F(StoreFeedsTest, OnlyASubscriptionsItemsAreReplacedOrRemoved) {
    AddOwnMeeting("own@here", u"own");
    // Calendar 1, or one of a server's account, is no feed: an empty copy must not empty it.
    StoreCalendar work;
    work.name = "仕事";
    work.url = "https://dav.example/work/";
    ASSERT_TRUE(app_.SaveCalendar(work).ok());
    EXPECT_FALSE(Replace("", {}, 1).ok());
    EXPECT_FALSE(Replace("", {}, work.id).ok());
    EXPECT_FALSE(app_.RemoveSubscription(1).ok());
    EXPECT_FALSE(app_.RemoveSubscription(work.id).ok());
    EXPECT_EQ(ItemsOf(1).size(), 1u);
    EXPECT_EQ(app_.Calendars()->size(), 3u);
}

TEST_F(StoreFeedsTest, AReplacementThatFailsOnTheWayKeepsTheLastCopyWhole) {
    ASSERT_TRUE(Replace(Event("fair@school", "fair") + Event("sports@school", "sports"),
                        FeedMark{"\"1\"", "", 100, ""})
                    .ok());
    const std::vector<std::string> before = ItemsOf(feed_);
    app_.LogOff();
    // The next new item cannot be numbered: the store has given out its last object id.
    Execute("UPDATE sqlite_sequence SET seq = 2147483647 WHERE name = 'object_ids'");
    ASSERT_TRUE(app_.LogOn(StorePath()).ok());

    // An update and a removal come before the new item that fails.
    auto failed = Replace(Event("fair@school", "fair moved") + Event("concert@school", "concert"),
                          FeedMark{"\"2\"", "", 200, ""});
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(ItemsOf(feed_), before);
    EXPECT_EQ(app_.FeedMarkOf(feed_)->etag, "\"1\"");
}

TEST_F(StoreFeedsTest, TheMarkOfTheLastFetchIsKeptWithTheCopyAndAlone) {
    EXPECT_EQ(*app_.FeedMarkOf(feed_), FeedMark{});
    const FeedMark fetched{"\"abc\"", "Mon, 07 Dec 2026 10:00:00 GMT", 1796000000, ""};
    ASSERT_TRUE(Replace(Event("fair@school", "fair"), fetched).ok());
    EXPECT_EQ(*app_.FeedMarkOf(feed_), fetched);

    FeedMark failed = fetched;
    failed.lastError = "the server refused the connection";
    ASSERT_TRUE(app_.RecordFeedMark(feed_, failed).ok());
    EXPECT_EQ(*app_.FeedMarkOf(feed_), failed);
    EXPECT_EQ(ItemsOf(feed_).size(), 1u);
    EXPECT_FALSE(app_.RecordFeedMark(1, fetched).ok());
}

TEST_F(StoreFeedsTest, UnsubscribingRemovesTheCalendarItsItemsAndItsMark) {
    ASSERT_TRUE(Replace(Event("fair@school", "fair") + Todo("homework@school", "homework"),
                        FeedMark{"\"1\"", "", 100, ""})
                    .ok());
    AddOwnMeeting("own@here", u"own");
    ASSERT_TRUE(app_.RemoveSubscription(feed_).ok());
    EXPECT_TRUE(ItemsOf(feed_).empty());
    EXPECT_EQ(ItemsOf(1).size(), 1u);
    EXPECT_EQ(app_.Calendars()->size(), 1u);
    const std::vector<calendar::SyncEntry> entries = *app_.SyncEntries();
    EXPECT_TRUE(std::none_of(entries.begin(), entries.end(),
                             [&](const calendar::SyncEntry& e) { return e.calendarId == feed_; }));
    // A feed subscribed again under the same name starts without the old one's mark.
    StoreCalendar again;
    again.name = "学校";
    again.url = "https://school.example/feed.ics";
    again.subscription = true;
    again.readOnly = true;
    ASSERT_TRUE(app_.SaveCalendar(again).ok());
    EXPECT_EQ(*app_.FeedMarkOf(again.id), FeedMark{});
}

TEST_F(StoreFeedsTest, AStoreOfTheVersionBeforeGetsItsFeedMarks) {
    ASSERT_TRUE(Replace(Event("fair@school", "fair")).ok());
    app_.LogOff();
    Execute("DROP TABLE feed_marks; PRAGMA user_version = 9");

    ASSERT_TRUE(app_.LogOn(StorePath()).ok());
    EXPECT_EQ(ItemsOf(feed_).size(), 1u);
    EXPECT_EQ(*app_.FeedMarkOf(feed_), FeedMark{});
    const FeedMark fetched{"\"2\"", "", 5, ""};
    ASSERT_TRUE(Replace(Event("fair@school", "fair"), fetched).ok());
    EXPECT_EQ(*app_.FeedMarkOf(feed_), fetched);
}

}  // namespace
}  // namespace store
