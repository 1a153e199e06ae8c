// A CalDAV collection against a server of the test's own on loopback, in the same thread: what a
// sync-collection report with a token may be answered with, and answers too large to read.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "caldav/caldav_collection.h"
#include "caldav/dav_client.h"
#include "tests/caldav/loopback_server.h"

namespace caldav {
namespace {

constexpr const char* kPath = "/alice/calendar/";

QByteArray SyncAnswer(const QByteArray& token) {
    return R"(<?xml version="1.0"?><d:multistatus xmlns:d="DAV:">)"
           R"(<d:response><d:href>/alice/calendar/a.ics</d:href><d:propstat><d:prop>)"
           R"(<d:getetag>"1"</d:getetag></d:prop><d:status>HTTP/1.1 200 OK</d:status>)"
           R"(</d:propstat></d:response>)" +
           (token.isEmpty() ? QByteArray() : "<d:sync-token>" + token + "</d:sync-token>") +
           "</d:multistatus>";
}

TEST(CalDavCollection, AReportTheServerCannotAnswerForItsTokenIsAListingNotAFailure) {
    struct Case {
        int status;
        QByteArray body;
    };
    // A forgotten token, a server that fails on a token it never gave, an answer without a new
    // token, one that cannot be read.
    const std::vector<Case> cases = {
        {403, "<error xmlns='DAV:'><valid-sync-token/></error>"},
        {409, "<error xmlns='DAV:'><valid-sync-token/></error>"},
        {500, "Internal Server Error"},
        {207, SyncAnswer("")},
        {207, "<d:multistatus"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.status);
        LoopbackServer server(
            [&](const Request&, QTcpSocket& socket) { Write(socket, each.status, each.body); });
        DavClient client(Account());
        CalDavCollection collection(client, server.Url(kPath));
        auto withToken = collection.ChangesSince("http://server/sync/old");
        ASSERT_TRUE(withToken.ok()) << withToken.error().message;
        EXPECT_TRUE(withToken->tokenRejected);
        // Without a token the server is one that keeps none: listed every time.
        auto without = collection.ChangesSince("");
        ASSERT_TRUE(without.ok()) << without.error().message;
        EXPECT_TRUE(without->unsupported);
    }
}

TEST(CalDavCollection, AWrongPasswordOrAddressIsNoTokenTrouble) {
    for (const int status : {401, 404}) {
        LoopbackServer server(
            [&](const Request&, QTcpSocket& socket) { Write(socket, status, "no"); });
        DavClient client(Account());
        CalDavCollection collection(client, server.Url(kPath));
        auto report = collection.ChangesSince("http://server/sync/old");
        ASSERT_FALSE(report.ok());
        EXPECT_EQ(report.error().remedy,
                  status == 401 ? platform::Remedy::CheckAccount : platform::Remedy::CheckAddress);
    }
}

TEST(CalDavCollection, ACollectionThatIsNotThereIsNamedSoHoweverTheServerSaysIt) {
    // A plain 404, and a multistatus whose one answer is a 404 for the path asked.
    const std::vector<std::pair<int, QByteArray>> answers = {
        {404, "Not Found"},
        {207, R"(<d:multistatus xmlns:d="DAV:"><d:response><d:href>/alice/calendar/</d:href>)"
              R"(<d:status>HTTP/1.1 404 Not Found</d:status></d:response></d:multistatus>)"}};
    for (const auto& [status, body] : answers) {
        LoopbackServer server(
            [&](const Request&, QTcpSocket& socket) { Write(socket, status, body); });
        DavClient client(Account());
        CalDavCollection collection(client, server.Url(kPath));
        auto learnt = collection.LearnOwnHref();
        ASSERT_FALSE(learnt.ok());
        EXPECT_NE(learnt.error().message.find("no such collection"), std::string::npos)
            << learnt.error().message;
        EXPECT_EQ(learnt.error().remedy, platform::Remedy::CheckAddress);
    }
}

TEST(DavClient, RedirectsAreFollowedOnlyWithinTheServer) {
    std::atomic<int> loops = 0;
    LoopbackServer server([&loops](const Request& request, QTcpSocket& socket) {
        const auto redirect = [&](const QByteArray& to) {
            socket.write("HTTP/1.1 301 Moved\r\nLocation: " + to + "\r\nContent-Length: 0\r\n\r\n");
        };
        if (request.path == "/moved") {
            redirect("/here");  // the same server: followed, with the same method and body
        } else if (request.path == "/away") {
            redirect("http://192.0.2.1/here");
        } else if (request.path == "/loop") {
            ++loops;
            redirect("/loop");
        } else {
            Write(socket, 207, request.method + " " + request.path + " " + request.body);
        }
    });
    DavClient client(Account());
    auto followed = client.Send("PROPFIND", server.Url("/moved"), {}, "asked");
    ASSERT_TRUE(followed.ok()) << followed.error().message;
    EXPECT_EQ(followed->status, 207);
    EXPECT_EQ(followed->body, "PROPFIND /here asked");
    EXPECT_EQ(followed->url.path(), "/here");

    auto away = client.Send("PROPFIND", server.Url("/away"), {}, "asked");
    ASSERT_FALSE(away.ok());
    EXPECT_NE(away.error().message.find("redirected elsewhere"), std::string::npos);
    auto loop = client.Send("PROPFIND", server.Url("/loop"), {}, "asked");
    ASSERT_FALSE(loop.ok());
    EXPECT_NE(loop.error().message.find("redirected elsewhere"), std::string::npos);
    EXPECT_LE(loops, 6);
}

TEST(DavClient, AnAnswerDrippedTooSlowlyIsGivenUpWithinTheTimeout) {
    LoopbackServer server([](const Request&, QTcpSocket& socket) {
        socket.write("HTTP/1.1 207 Multi-Status\r\nContent-Length: 100000\r\n\r\n<");
        // One more byte every 100 ms: it would take hours.
        auto* drip = new QTimer(&socket);
        QObject::connect(drip, &QTimer::timeout, &socket, [&socket] { socket.write("x"); });
        drip->start(100);
    });
    DavClient client(DavAccount{"alice", "secret", std::chrono::milliseconds(700)});
    auto response = client.Send("REPORT", server.Url(kPath), {}, "x");
    ASSERT_FALSE(response.ok());
    EXPECT_NE(response.error().message.find("did not send its whole answer within 0.7 s"),
              std::string::npos)
        << response.error().message;
}

TEST(CalDavCollection, AReportWithATokenGivesChangesAndTheNextToken) {
    LoopbackServer server([](const Request&, QTcpSocket& socket) {
        Write(socket, 207, SyncAnswer("http://server/sync/2"));
    });
    DavClient client(Account());
    CalDavCollection collection(client, server.Url(kPath));
    auto report = collection.ChangesSince("http://server/sync/1");
    ASSERT_TRUE(report.ok()) << report.error().message;
    EXPECT_FALSE(report->tokenRejected || report->unsupported);
    EXPECT_EQ(report->token, "http://server/sync/2");
    ASSERT_EQ(report->changed.size(), 1u);
    EXPECT_EQ(report->changed.front().href, "/alice/calendar/a.ics");
}

TEST(CalDavCollection, AnAnswerWithoutEndIsCutOffAtTheCap) {
    std::atomic<qint64> sent = 0;
    LoopbackServer server([&](const Request&, QTcpSocket& socket) {
        socket.write("HTTP/1.1 207 Multi-Status\r\nTransfer-Encoding: chunked\r\n\r\n");
        const QByteArray chunk = "100000\r\n" + QByteArray(0x100000, 'x') + "\r\n";
        // One more chunk each time the last has gone out, for as long as the client reads.
        QObject::connect(&socket, &QTcpSocket::bytesWritten, &socket, [&socket, chunk, &sent] {
            if (socket.bytesToWrite() == 0 && socket.state() == QAbstractSocket::ConnectedState) {
                sent += chunk.size();
                socket.write(chunk);
            }
        });
        socket.write(chunk);
    });
    DavClient client(Account());
    auto response = client.Send("REPORT", server.Url(kPath), {}, "x");
    ASSERT_TRUE(response.ok()) << response.error().message;
    EXPECT_TRUE(response->tooLarge);
    EXPECT_TRUE(response->body.isEmpty());
    // Given up soon after the cap, not read on.
    EXPECT_GE(sent, kMaxAnswerOctets - 0x200000);
    EXPECT_LT(sent, 2 * kMaxAnswerOctets);

    CalDavCollection collection(client, server.Url(kPath));
    auto report = collection.ChangesSince("");
    ASSERT_FALSE(report.ok());
    EXPECT_NE(report.error().message.find("larger than 64 MiB"), std::string::npos);
}

TEST(CalDavCollection, AnAnswerAnnouncingMoreThanTheCapIsNotWaitedFor) {
    LoopbackServer server([](const Request&, QTcpSocket& socket) {
        socket.write("HTTP/1.1 207 Multi-Status\r\nContent-Length: 2147483648\r\n\r\n<d:multi");
    });
    DavClient client(Account());
    CalDavCollection collection(client, server.Url(kPath));
    auto listed = collection.ListItems();
    ASSERT_FALSE(listed.ok());
    EXPECT_NE(listed.error().message.find("larger than 64 MiB"), std::string::npos);
    EXPECT_EQ(listed.error().remedy, platform::Remedy::CheckAddress);
}

TEST(CalDavCollection, ItemsTooLargeTogetherAreFetchedInSmallerBatches) {
    // Each item is small alone; asked for with another, the answer claims more than the cap.
    LoopbackServer server([](const Request& request, QTcpSocket& socket) {
        const qsizetype hrefs = request.body.count("<d:href>");
        if (hrefs > 1) {
            socket.write("HTTP/1.1 207 Multi-Status\r\nContent-Length: 100000000\r\n\r\n");
            return;
        }
        const qsizetype start = request.body.indexOf("<d:href>") + 8;
        const QByteArray href = request.body.mid(start, request.body.indexOf("</d:href>") - start);
        if (href.endsWith("huge.ics")) {
            socket.write("HTTP/1.1 207 Multi-Status\r\nContent-Length: 100000000\r\n\r\n");
            return;
        }
        Write(socket, 207,
              R"(<d:multistatus xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav">)"
              "<d:response><d:href>" +
                  href +
                  R"(</d:href><d:propstat><d:prop><d:getetag>"1"</d:getetag>)"
                  "<c:calendar-data>BEGIN:VCALENDAR</c:calendar-data></d:prop>"
                  "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>"
                  "</d:multistatus>");
    });
    DavClient client(Account());
    CalDavCollection collection(client, server.Url(kPath));
    const std::vector<std::string> hrefs = {"/alice/calendar/1.ics", "/alice/calendar/2.ics",
                                            "/alice/calendar/huge.ics", "/alice/calendar/3.ics"};
    auto fetched = collection.Fetch(hrefs);
    ASSERT_TRUE(fetched.ok()) << fetched.error().message;
    ASSERT_EQ(fetched->size(), 4u);
    for (size_t i = 0; i < hrefs.size(); ++i) {
        EXPECT_EQ((*fetched)[i].href, hrefs[i]);
        EXPECT_EQ((*fetched)[i].tooLarge, hrefs[i].ends_with("huge.ics"));
        EXPECT_EQ((*fetched)[i].data.empty(), hrefs[i].ends_with("huge.ics"));
    }
}

}  // namespace
}  // namespace caldav
