#include "caldav/dav_client.h"

#include "caldav/curl_library.h"

#include <QString>
#include <algorithm>
#include <array>

namespace caldav {
namespace {

using platform::Error;

// Redirects followed within the server before the request is given up.
constexpr int kMaxRedirects = 5;

std::string Seconds(std::chrono::milliseconds duration) {
    return QString::number(static_cast<double>(duration.count()) / 1000.0, 'g', 3).toStdString();
}

// What one exchange with the server collects as it comes.
struct Exchange {
    int status = 0;  // 0 until a status line came
    QByteArray reason;
    QByteArray etag;
    QByteArray lastModified;
    QByteArray location;
    QByteArray body;
    bool tooLarge = false;
};

// The answer's body, up to the cap: past it the transfer is stopped, so that an answer without
// end is never held whole.
size_t TakeBody(char* data, size_t size, size_t count, void* exchange) {
    auto& taken = *static_cast<Exchange*>(exchange);
    const size_t length = size * count;
    if (static_cast<qint64>(taken.body.size()) + static_cast<qint64>(length) > kMaxAnswerOctets) {
        taken.tooLarge = true;
        return 0;
    }
    taken.body.append(data, static_cast<qsizetype>(length));
    return length;
}

// The status line and the headers the client reads; a second status line (after an interim
// answer) starts the answer again.
size_t TakeHeader(char* data, size_t size, size_t count, void* exchange) {
    auto& taken = *static_cast<Exchange*>(exchange);
    const size_t length = size * count;
    const QByteArray line = QByteArray(data, static_cast<qsizetype>(length)).trimmed();
    if (line.startsWith("HTTP/")) {
        taken = Exchange{};
        const QList<QByteArray> parts = line.split(' ');
        taken.status = parts.value(1).toInt();
        taken.reason = parts.size() > 2 ? line.mid(line.indexOf(' ', line.indexOf(' ') + 1) + 1)
                                        : QByteArray();
        return length;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon > 0) {
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "etag") {
            taken.etag = value;
        } else if (name == "last-modified") {
            taken.lastModified = value;
        } else if (name == "location") {
            taken.location = value;
        }
    }
    return length;
}

bool SameServer(const QUrl& one, const QUrl& other) {
    return one.scheme() == other.scheme() && one.host() == other.host() &&
           one.port(one.scheme() == u"https" ? 443 : 80) ==
               other.port(other.scheme() == u"https" ? 443 : 80);
}

bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The curl list of the request's header lines, freed with it.
class HeaderLines {
public:
    explicit HeaderLines(const CurlLibrary& curl) : curl_(curl) {}
    HeaderLines(const HeaderLines&) = delete;
    HeaderLines& operator=(const HeaderLines&) = delete;
    void Add(const QByteArray& line) {
        if (curl_slist* longer = curl_.slistAppend(list_, line.constData())) {
            list_ = longer;
        }
    }
    curl_slist* get() const { return list_; }
    ~HeaderLines() { curl_.slistFreeAll(list_); }

private:
    const CurlLibrary& curl_;
    curl_slist* list_ = nullptr;
};

}  // namespace

DavClient::DavClient(DavAccount account) : account_(std::move(account)) {
    if (auto library = Curl()) {
        library_ = *library;
        curl_ = library_->easyInit();
    } else {
        libraryError_ = library.error().message;
    }
}

DavClient::~DavClient() {
    if (curl_ != nullptr) {
        library_->easyCleanup(curl_);
    }
}

std::chrono::milliseconds DavClient::TimeLeft() const {
    const auto allowed = account_.timeout * kTimeoutsPerBatch * (requests_ / kRequestsPerBatch + 1);
    return std::chrono::duration_cast<std::chrono::milliseconds>(started_ + allowed -
                                                                 std::chrono::steady_clock::now());
}

Result<DavResponse> DavClient::Send(const QByteArray& method, const QUrl& url,
                                    const DavHeaders& headers, const QByteArray& body) {
    const std::string where = method.toStdString() + " " + url.toDisplayString().toStdString();
    const auto tooSlowOverall = [this, &where] {
        return Error{where + ": the server answers too slowly; the sync stopped after " +
                     std::to_string(requests_) + " requests"};
    };
    const std::chrono::milliseconds left = TimeLeft();
    if (left <= std::chrono::milliseconds::zero()) {
        return tooSlowOverall();
    }
    if (library_ == nullptr) {
        return Error{where + ": " + libraryError_};
    }
    if (curl_ == nullptr) {
        return Error{where + ": the network library could not be started"};
    }
    const CurlLibrary& curl = *library_;
    ++requests_;
    const std::chrono::milliseconds limit = std::min(account_.timeout, left);
    const auto deadline = std::chrono::steady_clock::now() + limit;

    // Sent with every request rather than after a refusal: a wrong password is then one clear
    // 401 instead of a round of questions. Without a user (a feed) nothing is sent.
    HeaderLines lines(curl);
    if (!account_.user.isEmpty()) {
        const QByteArray credentials =
            (account_.user + ":" + account_.password).toUtf8().toBase64();
        lines.Add("Authorization: Basic " + credentials);
    }
    for (const auto& [name, value] : headers) {
        lines.Add(name + ": " + value);
    }
    // A body goes at once, without waiting to be asked for it.
    lines.Add("Expect:");

    QUrl target = url;
    QByteArray verb = method;
    QByteArray payload = body;
    for (int redirects = 0;; ++redirects) {
        const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (remaining <= std::chrono::milliseconds::zero()) {
            return limit < account_.timeout ? tooSlowOverall()
                                            : Error{where + ": the server did not answer within " +
                                                    Seconds(limit) + " s"};
        }
        Exchange exchange;
        std::array<char, CURL_ERROR_SIZE> detail{};
        const QByteArray address = target.toEncoded();
        curl.easyReset(curl_);
        curl.easySetopt(curl_, CURLOPT_URL, address.constData());
        curl.easySetopt(curl_, CURLOPT_PROTOCOLS_STR, "http,https");
        curl.easySetopt(curl_, CURLOPT_NOSIGNAL, 1L);
        curl.easySetopt(curl_, CURLOPT_NOPROXY, "*");
        curl.easySetopt(curl_, CURLOPT_CUSTOMREQUEST, verb.constData());
        if (verb == "GET" || verb == "DELETE" || payload.isEmpty()) {
            curl.easySetopt(curl_, CURLOPT_HTTPGET, 1L);
            curl.easySetopt(curl_, CURLOPT_CUSTOMREQUEST, verb.constData());
        }
        if (!payload.isEmpty()) {
            curl.easySetopt(curl_, CURLOPT_POSTFIELDS, payload.constData());
            curl.easySetopt(curl_, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(payload.size()));
        }
        curl.easySetopt(curl_, CURLOPT_HTTPHEADER, lines.get());
        // Compressed answers are taken, and capped as they are unpacked.
        curl.easySetopt(curl_, CURLOPT_ACCEPT_ENCODING, "");
        curl.easySetopt(curl_, CURLOPT_MAXFILESIZE_LARGE,
                         static_cast<curl_off_t>(kMaxAnswerOctets));
        curl.easySetopt(curl_, CURLOPT_WRITEFUNCTION, TakeBody);
        curl.easySetopt(curl_, CURLOPT_WRITEDATA, &exchange);
        curl.easySetopt(curl_, CURLOPT_HEADERFUNCTION, TakeHeader);
        curl.easySetopt(curl_, CURLOPT_HEADERDATA, &exchange);
        curl.easySetopt(curl_, CURLOPT_ERRORBUFFER, detail.data());
        // One time for the whole exchange: a server that drips its answer a byte at a time is
        // given no more than a silent one.
        curl.easySetopt(curl_, CURLOPT_TIMEOUT_MS, static_cast<long>(remaining.count()));
        curl.easySetopt(curl_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(remaining.count()));
        const CURLcode done = curl.easyPerform(curl_);

        const std::string text = detail[0] != '\0' ? detail.data() : curl.easyStrerror(done);
        const auto answer = [&](bool tooLarge) {
            DavResponse response;
            response.status = exchange.status;
            response.reason = exchange.reason;
            response.etag = exchange.etag;
            response.lastModified = exchange.lastModified;
            response.url = target;
            response.tooLarge = tooLarge;
            if (!tooLarge) {
                response.body = std::move(exchange.body);
            }
            return response;
        };
        switch (done) {
            case CURLE_OK:
                break;
            case CURLE_FILESIZE_EXCEEDED:
                return answer(true);
            case CURLE_WRITE_ERROR:
                if (exchange.tooLarge) {
                    return answer(true);
                }
                return Error{where + ": " + text};
            case CURLE_OPERATION_TIMEDOUT:
                if (limit < account_.timeout) {
                    return tooSlowOverall();  // cut short by what was left of the sync's time
                }
                return Error{where + ": the server did not " +
                             (exchange.status != 0 ? "send its whole answer" : "answer") +
                             " within " + Seconds(limit) + " s"};
            case CURLE_COULDNT_CONNECT:
                return Error{where + ": the server refused the connection",
                             platform::Remedy::CheckAddress};
            case CURLE_COULDNT_RESOLVE_HOST:
                return Error{where + ": the server's name is not known",
                             platform::Remedy::CheckAddress};
            case CURLE_PEER_FAILED_VERIFICATION:
            case CURLE_SSL_CACERT_BADFILE:
            case CURLE_SSL_CONNECT_ERROR:
                return Error{where + ": the server's certificate is not trusted (" + text + ")"};
            case CURLE_GOT_NOTHING:
            case CURLE_RECV_ERROR:
            case CURLE_PARTIAL_FILE:
                // An answer cut off in the middle is no answer.
                return Error{where + ": the server closed the connection before it answered"};
            case CURLE_SEND_ERROR:
                return Error{where + ": the connection to the server broke off"};
            default:
                return Error{where + ": " + text};
        }
        if (!IsRedirect(exchange.status) || exchange.location.isEmpty()) {
            return answer(false);
        }
        const QUrl next = target.resolved(QUrl::fromEncoded(exchange.location));
        const bool anywhere = account_.redirects == Redirects::Anywhere &&
                              account_.user.isEmpty() &&
                              (next.scheme() == u"http" || next.scheme() == u"https");
        if (!anywhere && !SameServer(url, next)) {
            return Error{where + ": the server redirected elsewhere (to " +
                         next.toDisplayString().toStdString() + ")"};
        }
        if (redirects + 1 > kMaxRedirects) {
            return Error{where + ": the server redirected elsewhere (more than " +
                         std::to_string(kMaxRedirects) + " times)"};
        }
        if (exchange.status == 303) {
            verb = "GET";
            payload.clear();
        }
        target = next;
    }
}

std::string TooLargeText() {
    return "the server's answer is larger than " + std::to_string(kMaxAnswerOctets >> 20) +
           " MiB, far more than a calendar's listing takes, and was not read; the server "
           "behaves as no calendar server does: check the address, or ask whoever runs it";
}

std::string DescribeStatus(const DavResponse& response) {
    std::string text = "HTTP " + std::to_string(response.status);
    if (!response.reason.isEmpty()) {
        text += " " + response.reason.toStdString();
    }
    return text;
}

}  // namespace caldav
