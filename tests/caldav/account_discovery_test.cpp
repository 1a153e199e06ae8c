// Finding an account's calendars against a server of the test's own: the way from the address
// to the principal, its home and the calendars in it, the properties read from them, and what
// ends the search.
#include "caldav/account_discovery.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "tests/caldav/loopback_server.h"

namespace caldav {
namespace {

QByteArray Multistatus(const QByteArray& responses) {
    return R"(<?xml version="1.0"?><d:multistatus xmlns:d="DAV:" )"
           R"(xmlns:c="urn:ietf:params:xml:ns:caldav" xmlns:a="http://apple.com/ns/ical/">)" +
           responses + "</d:multistatus>";
}
QByteArray Response(const QByteArray& href, const QByteArray& properties) {
    return "<d:response><d:href>" + href + "</d:href><d:propstat><d:prop>" + properties +
           "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
}
const QByteArray kCalendarType = "<d:resourcetype><d:collection/><c:calendar/></d:resourcetype>";
const QByteArray kReadOnly =
    "<d:current-user-privilege-set><d:privilege><d:read/></d:privilege>"
    "</d:current-user-privilege-set>";

// A server that answers PROPFIND by path (and depth); every other path is 404. The paths asked
// are kept, in order.
class ScriptedDav {
public:
    void On(const QByteArray& path, const QByteArray& depth, const QByteArray& answer) {
        answers_[path + " " + depth] = answer;
    }
    std::vector<QByteArray> Asked() {
        std::lock_guard lock(mutex_);
        return asked_;
    }
    LoopbackServer::Answer Answer() {
        return [this](const Request& request, QTcpSocket& socket) {
            {
                std::lock_guard lock(mutex_);
                asked_.push_back(request.path);
            }
            const auto found = answers_.find(request.path + " " + request.depth);
            if (found == answers_.end()) {
                Write(socket, 404, "");
            } else {
                Write(socket, 207, found->second);
            }
        };
    }

private:
    std::map<QByteArray, QByteArray> answers_;
    std::mutex mutex_;
    std::vector<QByteArray> asked_;
};

TEST(AccountDiscovery, FromTheRootThroughThePrincipalAndItsHomeToEachCalendar) {
    ScriptedDav dav;
    // No /.well-known here: the root names the principal, the principal its home.
    dav.On("/", "0",
           Multistatus(Response("/",
                                "<d:current-user-principal><d:href>/p/alice/</d:href>"
                                "</d:current-user-principal>")));
    dav.On("/p/alice/", "0",
           Multistatus(Response("/p/alice/",
                                "<c:calendar-home-set><d:href>/cal/alice/"
                                "</d:href></c:calendar-home-set>")));
    dav.On(
        "/cal/alice/", "1",
        Multistatus(
            Response("/cal/alice/", "<d:resourcetype><d:collection/></d:resourcetype>") +
            Response("/cal/alice/work/",
                     kCalendarType +
                         "<d:displayname>仕事</d:displayname>"
                         "<a:calendar-color>#1e90ffcc</a:calendar-color>"
                         "<c:supported-calendar-component-set>"
                         "<c:comp name='VEVENT'/></c:supported-calendar-component-set>") +
            Response("/cal/alice/todo/",
                     kCalendarType + "<c:supported-calendar-component-set><c:comp name='VTODO'/>"
                                     "</c:supported-calendar-component-set>") +
            // A feed the user may only read, and an address book that is no calendar.
            Response("/cal/alice/school/",
                     kCalendarType + "<d:displayname>学校</d:displayname>" + kReadOnly) +
            Response("/cal/alice/contacts/", "<d:resourcetype><d:collection/></d:resourcetype>")));
    LoopbackServer server(dav.Answer());
    DavClient client(Account());
    const auto found = FindCalendars(client, server.Url("/"));
    ASSERT_TRUE(found.ok()) << found.error().message;
    const std::string base = server.Url("/cal/alice/").toString().toStdString();
    const std::vector<FoundCalendar> expected = {
        {base + "school/", "学校", true, true, "", true},
        {base + "todo/", "todo", false, true, "", false},
        {base + "work/", "仕事", true, false, "#1E90FF", false},
    };
    EXPECT_EQ(*found, expected);
    EXPECT_EQ(dav.Asked(),
              (std::vector<QByteArray>{"/.well-known/caldav", "/", "/p/alice/", "/cal/alice/"}));
}

TEST(AccountDiscovery, AnAddressThatNamesAHomeOrACalendarIsTakenForWhatItIs) {
    ScriptedDav dav;
    dav.On("/cal/alice/family/", "0",
           Multistatus(Response("/cal/alice/family/",
                                kCalendarType + "<d:displayname>家族</d:displayname>")));
    // A home that names neither its principal nor itself as a home: its members are looked at.
    dav.On("/cal/bob/", "1",
           Multistatus(Response("/cal/bob/", "<d:resourcetype><d:collection/></d:resourcetype>") +
                       Response("/cal/bob/main/", kCalendarType)));
    LoopbackServer server(dav.Answer());
    DavClient client(Account());
    const auto family = FindCalendars(client, server.Url("/cal/alice/family/"));
    ASSERT_TRUE(family.ok()) << family.error().message;
    ASSERT_EQ(family->size(), 1u);
    EXPECT_EQ(family->front().name, "家族");
    const auto bob = FindCalendars(client, server.Url("/cal/bob/"));
    ASSERT_TRUE(bob.ok()) << bob.error().message;
    ASSERT_EQ(bob->size(), 1u);
    EXPECT_EQ(bob->front().url, server.Url("/cal/bob/main/").toString().toStdString());
}

TEST(AccountDiscovery, AnHrefToAnotherServerIsReadAsAPathOnThisOne) {
    ScriptedDav dav;
    dav.On("/.well-known/caldav", "0",
           Multistatus(Response("/.well-known/caldav",
                                "<c:calendar-home-set><d:href>https://elsewhere.example/h/"
                                "</d:href></c:calendar-home-set>")));
    dav.On("/h/", "1", Multistatus(Response("https://elsewhere.example/h/c/", kCalendarType)));
    LoopbackServer server(dav.Answer());
    DavClient client(Account());
    const auto found = FindCalendars(client, server.Url("/"));
    ASSERT_TRUE(found.ok()) << found.error().message;
    ASSERT_EQ(found->size(), 1u);
    EXPECT_EQ(found->front().url, server.Url("/h/c/").toString().toStdString());
}

TEST(AccountDiscovery, ARefusedPasswordAnEmptyHomeAndNoCalendarServerAreSaid) {
    {
        LoopbackServer server([](const Request&, QTcpSocket& socket) { Write(socket, 401, ""); });
        DavClient client(Account());
        const auto found = FindCalendars(client, server.Url("/"));
        ASSERT_FALSE(found.ok());
        EXPECT_EQ(found.error().remedy, platform::Remedy::CheckAccount);
    }
    {
        ScriptedDav dav;
        dav.On("/", "0",
               Multistatus(Response("/",
                                    "<c:calendar-home-set><d:href>/h/</d:href>"
                                    "</c:calendar-home-set>")));
        dav.On("/h/", "1",
               Multistatus(Response("/h/", "<d:resourcetype><d:collection/></d:resourcetype>")));
        LoopbackServer server(dav.Answer());
        DavClient client(Account());
        const auto found = FindCalendars(client, server.Url("/"));
        ASSERT_FALSE(found.ok());
        EXPECT_NE(found.error().message.find("holds no calendar"), std::string::npos)
            << found.error().message;
    }
    {
        ScriptedDav nothing;  // every path 404
        LoopbackServer server(nothing.Answer());
        DavClient client(Account());
        const auto found = FindCalendars(client, server.Url("/somewhere/"));
        ASSERT_FALSE(found.ok());
        EXPECT_EQ(found.error().remedy, platform::Remedy::CheckAddress);
        EXPECT_NE(found.error().message.find("no calendars were found"), std::string::npos);
    }
}

}  // namespace
}  // namespace caldav
