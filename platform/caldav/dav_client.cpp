#include "platform/caldav/dav_client.h"

#include <QEventLoop>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <algorithm>

namespace caldav {
namespace {

using platform::Error;

std::string Seconds(std::chrono::milliseconds duration) {
    return QString::number(static_cast<double>(duration.count()) / 1000.0, 'g', 3).toStdString();
}

std::string Describe(QNetworkReply::NetworkError error, const DavAccount& account,
                     const QString& text) {
    switch (error) {
        case QNetworkReply::ConnectionRefusedError:
            return "the server refused the connection";
        case QNetworkReply::HostNotFoundError:
            return "the server's name is not known";
        case QNetworkReply::OperationCanceledError:
        case QNetworkReply::TimeoutError:
            return "the server did not answer within " + Seconds(account.timeout) + " s";
        case QNetworkReply::RemoteHostClosedError:
            return "the server closed the connection before it answered";
        case QNetworkReply::UnknownNetworkError:
            // What Qt says when the server goes away while a request's body is still being sent:
            // "Unknown error", which tells the user nothing.
            return "the connection to the server broke off";
        case QNetworkReply::SslHandshakeFailedError:
            return "the server's certificate is not trusted (" + text.toStdString() + ")";
        case QNetworkReply::InsecureRedirectError:
        case QNetworkReply::TooManyRedirectsError:
            return "the server redirected elsewhere (" + text.toStdString() + ")";
        default:
            return text.toStdString();
    }
}

}  // namespace

DavClient::DavClient(DavAccount account)
    : account_(std::move(account)), network_(std::make_unique<QNetworkAccessManager>()) {}

DavClient::~DavClient() = default;

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
    ++requests_;
    const std::chrono::milliseconds limit = std::min(account_.timeout, left);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    request.setTransferTimeout(static_cast<int>(limit.count()));
    // Sent with every request rather than after a refusal: a wrong password is then one
    // clear 401 instead of a round of questions.
    const QByteArray credentials = (account_.user + ":" + account_.password).toUtf8().toBase64();
    request.setRawHeader("Authorization", "Basic " + credentials);
    for (const auto& [name, value] : headers) {
        request.setRawHeader(name, value);
    }
    // The answer is capped by its decompressed size below; Qt's own check of the compression
    // ratio would refuse a large listing that compresses well long before that.
    request.setDecompressedSafetyCheckThreshold(kMaxAnswerOctets);
    QNetworkReply* reply = network_->sendCustomRequest(request, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // Read as it comes, so that an answer without end is cut off at the cap, and one that
    // announces more than the cap is not waited for.
    QByteArray answer;
    bool tooLarge = false;
    const auto cutOff = [reply, &tooLarge] {
        tooLarge = true;
        reply->abort();
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, cutOff] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > kMaxAnswerOctets) {
            cutOff();
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, &answer, cutOff] {
        answer += reply->read(kMaxAnswerOctets + 1 - answer.size());
        if (answer.size() > kMaxAnswerOctets) {
            cutOff();
        }
    });
    // The transfer timeout is one for silence: a server that drips its answer a byte at a time
    // would hold the sync for ever. The whole exchange has the same time.
    QTimer whole;
    whole.setSingleShot(true);
    bool tooSlow = false;
    QObject::connect(&whole, &QTimer::timeout, reply, [reply, &tooSlow] {
        tooSlow = true;
        reply->abort();
    });
    whole.start(limit);
    if (!reply->isFinished()) {
        loop.exec();
    }
    whole.stop();
    std::unique_ptr<QNetworkReply> owned(reply);
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (tooLarge && status.isValid()) {
        DavResponse response;
        response.status = status.toInt();
        response.reason =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray();
        response.url = reply->url();
        response.tooLarge = true;
        return response;
    }
    const bool timedOut = tooSlow || reply->error() == QNetworkReply::OperationCanceledError ||
                          reply->error() == QNetworkReply::TimeoutError;
    if (timedOut && limit < account_.timeout) {
        return tooSlowOverall();  // cut short by what was left of the sync's time
    }
    if (tooSlow) {
        return Error{where + ": the server did not " +
                     (status.isValid() ? "send its whole answer" : "answer") + " within " +
                     Seconds(limit) + " s"};
    }
    if (!status.isValid()) {
        const bool unreachable = reply->error() == QNetworkReply::ConnectionRefusedError ||
                                 reply->error() == QNetworkReply::HostNotFoundError;
        return Error{where + ": " + Describe(reply->error(), account_, reply->errorString()),
                     unreachable ? platform::Remedy::CheckAddress : platform::Remedy::TryAgain};
    }
    DavResponse response;
    response.status = status.toInt();
    response.reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray();
    answer += reply->read(kMaxAnswerOctets + 1 - answer.size());
    if (answer.size() > kMaxAnswerOctets) {
        response.tooLarge = true;
        return response;
    }
    response.body = std::move(answer);
    response.etag = reply->rawHeader("ETag");
    response.url = reply->url();
    if (reply->error() == QNetworkReply::OperationCanceledError ||
        reply->error() == QNetworkReply::TimeoutError ||
        reply->error() == QNetworkReply::RemoteHostClosedError) {
        // An answer cut off in the middle is no answer.
        return Error{where + ": " + Describe(reply->error(), account_, reply->errorString())};
    }
    return response;
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
