#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <chrono>
#include <memory>
#include <string>
#include <utility>

#include "platform/result.h"

typedef void CURL;

namespace caldav {

struct CurlLibrary;

using platform::Result;

// Where a redirect may lead: within the server asked (the same scheme, host and port), or, for
// a request that carries no credentials (a subscribed feed), to any http or https address.
enum class Redirects { WithinServer, Anywhere };

// Who talks to the server, and how long one request may take, its whole answer included. An
// empty user sends no credentials at all.
struct DavAccount {
    QString user;
    QString password;
    std::chrono::milliseconds timeout{30000};
    Redirects redirects = Redirects::WithinServer;
};

// A sync as a whole is bounded too: each batch of kRequestsPerBatch requests may take
// kTimeoutsPerBatch times the account's timeout, so that a server that answers every request
// just within the timeout cannot hold a sync for hours.
inline constexpr int kRequestsPerBatch = 100;
inline constexpr int kTimeoutsPerBatch = 4;

// The largest answer read: far beyond a listing of a collection of 100,000 items, so that a
// server that answers without end (or announces gigabytes) cannot make a sync hold it.
inline constexpr qint64 kMaxAnswerOctets = 64 * 1024 * 1024;

// A whole HTTP answer.
struct DavResponse {
    int status = 0;
    QByteArray reason;
    QByteArray body;
    QByteArray etag;          // the ETag header, quotes kept, as If-Match wants it back
    QByteArray lastModified;  // the Last-Modified header, as If-Modified-Since wants it back
    QUrl url;                 // where the answer came from, after redirects
    // The answer was larger than kMaxAnswerOctets and was not read on: the body is empty.
    bool tooLarge = false;
};

using DavHeaders = QList<std::pair<QByteArray, QByteArray>>;

// HTTP and HTTPS for WebDAV (libcurl), one request at a time, waited for; connections are kept
// from one request to the next.
class DavClient {
public:
    explicit DavClient(DavAccount account);
    ~DavClient();
    DavClient(const DavClient&) = delete;
    DavClient& operator=(const DavClient&) = delete;

    // Sends one request and waits for its whole answer, for the account's timeout at most (a
    // silent server and one that sends its answer too slowly alike). Redirects are followed as
    // the account's Redirects say; certificates are checked. A failure to
    // get an answer (refused, timed out, untrusted certificate, a redirect elsewhere) is an error
    // that says so; every HTTP status is an answer. An answer larger than kMaxAnswerOctets is
    // left unread at that size (DavResponse::tooLarge).
    Result<DavResponse> Send(const QByteArray& method, const QUrl& url, const DavHeaders& headers,
                             const QByteArray& body);

private:
    // What is left of the time the requests made so far may take together.
    std::chrono::milliseconds TimeLeft() const;

    DavAccount account_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    int requests_ = 0;
    const CurlLibrary* library_ = nullptr;  // null when libcurl could not be loaded
    std::string libraryError_;
    CURL* curl_ = nullptr;
};

// "HTTP 412 Precondition Failed" for messages.
std::string DescribeStatus(const DavResponse& response);

// Why an answer too large to read was not read, after "METHOD URL: ".
std::string TooLargeText();

}  // namespace caldav
