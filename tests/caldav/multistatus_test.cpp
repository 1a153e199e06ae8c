// Reading WebDAV multistatus answers as servers write them: prefixes or a default namespace,
// properties split over propstats, removed items in a sync report, and answers that are broken.
#include "caldav/multistatus.h"

#include <gtest/gtest.h>

#include "caldav/caldav_collection.h"

namespace caldav {
namespace {

TEST(MultistatusTest, SyncReportWithADefaultNamespaceGivesChangesRemovalsAndToken) {
    const QByteArray xml = R"(<?xml version='1.0' encoding='utf-8'?>
<multistatus xmlns="DAV:"><sync-token>http://radicale.org/ns/sync/abc</sync-token>
<response><href>/alice/calendar/a.ics</href><propstat><prop><getetag>"e1"</getetag>
<getlastmodified>Tue, 08 Dec 2026 00:20:46 GMT</getlastmodified></prop>
<status>HTTP/1.1 200 OK</status></propstat></response>
<response><href>/alice/calendar/gone.ics</href><status>HTTP/1.1 404 Not Found</status></response>
</multistatus>)";
    auto parsed = ParseMultistatus(xml);
    ASSERT_TRUE(parsed.ok()) << parsed.error().message;
    EXPECT_EQ(parsed->syncToken, "http://radicale.org/ns/sync/abc");
    ASSERT_EQ(parsed->responses.size(), 2u);
    EXPECT_EQ(parsed->responses[0].href, "/alice/calendar/a.ics");
    EXPECT_EQ(parsed->responses[0].status, 200);
    EXPECT_EQ(parsed->responses[0].etag, "\"e1\"");
    EXPECT_EQ(parsed->responses[0].lastModified, "Tue, 08 Dec 2026 00:20:46 GMT");
    EXPECT_EQ(parsed->responses[1].status, 404);
}

TEST(MultistatusTest, PropertiesComeFromTheSuccessfulPropstatWhateverItsPlace) {
    const QByteArray xml = R"(<d:multistatus xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav">
<d:response><d:href>/cal/x.ics</d:href>
<d:propstat><d:prop><c:calendar-data/></d:prop><d:status>HTTP/1.1 404 Not Found</d:status></d:propstat>
<d:propstat><d:prop><d:getetag>"x"</d:getetag><c:calendar-data>BEGIN:VCALENDAR&#13;
SUMMARY:a &amp; b&#13;
END:VCALENDAR&#13;
</c:calendar-data></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat>
</d:response></d:multistatus>)";
    auto parsed = ParseMultistatus(xml);
    ASSERT_TRUE(parsed.ok()) << parsed.error().message;
    ASSERT_EQ(parsed->responses.size(), 1u);
    const MultistatusEntry& entry = parsed->responses[0];
    EXPECT_EQ(entry.status, 200);
    EXPECT_EQ(entry.etag, "\"x\"");
    EXPECT_EQ(entry.calendarData, "BEGIN:VCALENDAR\r\nSUMMARY:a & b\r\nEND:VCALENDAR\r\n");
}

TEST(MultistatusTest, CollectionsAreToldApart) {
    const QByteArray xml = R"(<D:multistatus xmlns:D="DAV:">
<D:response><D:href>/cal/</D:href><D:propstat><D:prop><D:resourcetype><D:collection/>
<C:calendar xmlns:C="urn:ietf:params:xml:ns:caldav"/></D:resourcetype></D:prop>
<D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>
<D:response><D:href>/cal/a.ics</D:href><D:propstat><D:prop><D:resourcetype/>
<D:getetag>"a"</D:getetag></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>
</D:multistatus>)";
    auto parsed = ParseMultistatus(xml);
    ASSERT_TRUE(parsed.ok()) << parsed.error().message;
    ASSERT_EQ(parsed->responses.size(), 2u);
    EXPECT_TRUE(parsed->responses[0].isCollection);
    EXPECT_FALSE(parsed->responses[1].isCollection);
}

TEST(MultistatusTest, ElementsOfAnotherNamespaceAreNotTakenForDavOnes) {
    const QByteArray xml = R"(<d:multistatus xmlns:d="DAV:" xmlns:x="urn:example">
<d:response><d:href>/cal/a.ics</d:href><d:propstat><d:prop><x:getetag>"wrong"</x:getetag>
</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response></d:multistatus>)";
    auto parsed = ParseMultistatus(xml);
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed->responses[0].etag, "");
}

TEST(MultistatusTest, BrokenAnswersAreErrorsThatSaySo) {
    auto cut = ParseMultistatus(R"(<d:multistatus xmlns:d="DAV:"><d:response><d:href>/a.ics)");
    ASSERT_FALSE(cut.ok());
    EXPECT_NE(cut.error().message.find("not well-formed XML (line 1)"), std::string::npos)
        << cut.error().message;

    auto html = ParseMultistatus("<html><body>Proxy error</body></html>");
    ASSERT_FALSE(html.ok());
    EXPECT_EQ(html.error().message, "the server's answer is not a WebDAV multistatus");

    auto empty = ParseMultistatus("");
    EXPECT_FALSE(empty.ok());

    auto noHref = ParseMultistatus(
        R"(<d:multistatus xmlns:d="DAV:"><d:response><d:status>HTTP/1.1 200 OK</d:status></d:response></d:multistatus>)");
    ASSERT_FALSE(noHref.ok());
    EXPECT_EQ(noHref.error().message, "the server's answer holds a response without an href");

    auto mismatched = ParseMultistatus(
        R"(<d:multistatus xmlns:d="DAV:"><d:response><d:href>/a</d:response></d:multistatus>)");
    EXPECT_FALSE(mismatched.ok());
}

// One item must compare equal however the server spells its href, or a sync would take its own
// upload for a change made on the server.
TEST(CanonicalHrefTest, OnePathHowEverTheServerSpellsIt) {
    const QUrl base("http://127.0.0.1:5232/alice/calendar/");
    const std::string canonical = CanonicalHref(base, "/alice/calendar/a1@tessarinth.ics");
    EXPECT_EQ(canonical, "/alice/calendar/a1@tessarinth.ics");
    EXPECT_EQ(CanonicalHref(base, "/alice/calendar/a1%40tessarinth.ics"), canonical);
    EXPECT_EQ(CanonicalHref(base, "http://127.0.0.1:5232/alice/calendar/a1%40tessarinth.ics"),
              canonical);
    EXPECT_EQ(CanonicalHref(base, "a1@tessarinth.ics"), canonical);
    EXPECT_EQ(CanonicalHref(base, "/alice/calendar/%E4%BC%9A%E8%AD%B0.ics"),
              CanonicalHref(base, "/alice/calendar/会議.ics"));
    EXPECT_EQ(CanonicalHref(base, "/alice/calendar/a%20b.ics"), "/alice/calendar/a%20b.ics");
}

// An encoded "/" is a character of its name, not a step up: "a%2f..%2f..%2fevil.ics" is one item
// of the collection, and one that spells real dot segments is not the collection's.
TEST(CanonicalHrefTest, AnEncodedSlashStaysInItsNameAndDotSegmentsLeaveTheCollection) {
    const QUrl base("http://127.0.0.1:5232/alice/calendar/");
    const std::string own = CanonicalHref(base, "/alice/calendar/");
    const std::string slashed = CanonicalHref(base, "/alice/calendar/a%2f..%2f..%2fevil5.ics");
    EXPECT_EQ(slashed, "/alice/calendar/a%2F..%2F..%2Fevil5.ics");
    EXPECT_EQ(CanonicalHref(base, "a%2F..%2F..%2Fevil5.ics"), slashed);
    EXPECT_FALSE(LeavesItsCollection(own, slashed));

    EXPECT_EQ(CanonicalHref(base, "/alice/calendar/../evil.ics"), "/alice/calendar/../evil.ics");
    EXPECT_TRUE(LeavesItsCollection(own, CanonicalHref(base, "/alice/calendar/../evil.ics")));
    EXPECT_TRUE(LeavesItsCollection(own, CanonicalHref(base, "/alice/calendar/%2E%2E/x.ics")));
    EXPECT_TRUE(LeavesItsCollection(own, CanonicalHref(base, "/alice/other/x.ics")));
    EXPECT_FALSE(LeavesItsCollection(own, CanonicalHref(base, "/alice/calendar/..x.ics")));
    // Spelled once: a path of a whole URL that begins with "//" is not read as a server's name
    // the second time round.
    const std::string doubled = CanonicalHref(base, "http://h///alice/calendar/x.ics");
    EXPECT_EQ(doubled, "/alice/calendar/x.ics");
    EXPECT_EQ(CanonicalHref(base, doubled), doubled);
    // "://" within a path is no scheme.
    const std::string inner = CanonicalHref(base, "/alice/calendar/a://b.ics");
    EXPECT_EQ(inner, "/alice/calendar/a://b.ics");
    EXPECT_EQ(CanonicalHref(base, inner), inner);
}

}  // namespace
}  // namespace caldav
