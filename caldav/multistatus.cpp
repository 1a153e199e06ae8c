#include "caldav/multistatus.h"

#include <QXmlStreamReader>

namespace caldav {
namespace {

using platform::Error;

constexpr QStringView kDav = u"DAV:";
constexpr QStringView kCalDav = u"urn:ietf:params:xml:ns:caldav";
constexpr int kStatusOk = 200;

bool Is(const QXmlStreamReader& xml, QStringView space, QStringView name) {
    return xml.namespaceUri() == space && xml.name() == name;
}

// "HTTP/1.1 404 Not Found" -> 404; 0 when the line is not a status line.
int StatusCode(const QString& line) {
    const QStringList words = line.simplified().split(u' ');
    if (words.size() < 2 || !words[0].startsWith(u"HTTP/")) {
        return 0;
    }
    bool ok = false;
    const int code = words[1].toInt(&ok);
    return ok ? code : 0;
}

constexpr QStringView kAppleIcal = u"http://apple.com/ns/ical/";

// One propstat: its status, and the properties it carried (href and status left empty).
struct PropstatReading {
    int status = 0;
    MultistatusEntry properties;
};

// The first DAV:href inside the element the reader stands on.
std::string InnerHref(QXmlStreamReader& xml) {
    std::string href;
    while (xml.readNextStartElement()) {
        if (Is(xml, kDav, u"href") && href.empty()) {
            href = xml.readElementText().trimmed().toStdString();
        } else {
            xml.skipCurrentElement();
        }
    }
    return href;
}

// current-user-privilege-set: whether any privilege it lists lets the user change items.
bool AllowsWriting(QXmlStreamReader& xml) {
    bool writing = false;
    while (xml.readNextStartElement()) {
        if (Is(xml, kDav, u"privilege")) {
            while (xml.readNextStartElement()) {
                writing = writing || Is(xml, kDav, u"write") || Is(xml, kDav, u"write-content") ||
                          Is(xml, kDav, u"all");
                xml.skipCurrentElement();
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    return writing;
}

void ReadProp(QXmlStreamReader& xml, MultistatusEntry& out) {
    while (xml.readNextStartElement()) {
        if (Is(xml, kDav, u"getetag")) {
            out.etag = xml.readElementText().trimmed().toStdString();
        } else if (Is(xml, kDav, u"getlastmodified")) {
            out.lastModified = xml.readElementText().trimmed().toStdString();
        } else if (Is(xml, kCalDav, u"calendar-data")) {
            out.calendarData = xml.readElementText().toStdString();
        } else if (Is(xml, kDav, u"resourcetype")) {
            while (xml.readNextStartElement()) {
                out.isCollection = out.isCollection || Is(xml, kDav, u"collection");
                out.isCalendar = out.isCalendar || Is(xml, kCalDav, u"calendar");
                xml.skipCurrentElement();
            }
        } else if (Is(xml, kDav, u"current-user-principal")) {
            out.principalHref = InnerHref(xml);
        } else if (Is(xml, kCalDav, u"calendar-home-set")) {
            out.calendarHomeHref = InnerHref(xml);
        } else if (Is(xml, kDav, u"displayname")) {
            out.displayName = xml.readElementText().trimmed().toStdString();
        } else if (Is(xml, kCalDav, u"supported-calendar-component-set")) {
            while (xml.readNextStartElement()) {
                if (Is(xml, kCalDav, u"comp")) {
                    out.components.push_back(xml.attributes()
                                                 .value(QLatin1StringView("name"))
                                                 .toString()
                                                 .toUpper()
                                                 .toStdString());
                }
                xml.skipCurrentElement();
            }
        } else if (Is(xml, kAppleIcal, u"calendar-color")) {
            out.color = xml.readElementText().trimmed().toStdString();
        } else if (Is(xml, kDav, u"current-user-privilege-set")) {
            out.privilegesGiven = true;
            out.canWrite = AllowsWriting(xml);
        } else {
            xml.skipCurrentElement();
        }
    }
}

MultistatusEntry ReadResponse(QXmlStreamReader& xml) {
    MultistatusEntry entry;
    int ownStatus = 0;
    int firstPropstatStatus = 0;
    bool tookProperties = false;
    while (xml.readNextStartElement()) {
        if (Is(xml, kDav, u"href")) {
            entry.href = xml.readElementText().trimmed().toStdString();
        } else if (Is(xml, kDav, u"status")) {
            ownStatus = StatusCode(xml.readElementText());
        } else if (Is(xml, kDav, u"propstat")) {
            PropstatReading propstat;
            while (xml.readNextStartElement()) {
                if (Is(xml, kDav, u"prop")) {
                    ReadProp(xml, propstat.properties);
                } else if (Is(xml, kDav, u"status")) {
                    propstat.status = StatusCode(xml.readElementText());
                } else {
                    xml.skipCurrentElement();
                }
            }
            if (firstPropstatStatus == 0) {
                firstPropstatStatus = propstat.status;
            }
            // Properties a server could not give come in a propstat of their own (404).
            if (propstat.status == kStatusOk && !tookProperties) {
                tookProperties = true;
                std::string href = std::move(entry.href);
                entry = std::move(propstat.properties);
                entry.href = std::move(href);
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    entry.status = ownStatus != 0 ? ownStatus : tookProperties ? kStatusOk : firstPropstatStatus;
    return entry;
}

}  // namespace

platform::Result<Multistatus> ParseMultistatus(const QByteArray& text) {
    QXmlStreamReader xml(text);
    Multistatus result;
    if (!xml.readNextStartElement() || !Is(xml, kDav, u"multistatus")) {
        if (xml.hasError()) {
            return Error{"the server's answer is not well-formed XML (line " +
                         std::to_string(xml.lineNumber()) +
                         "): " + xml.errorString().toStdString()};
        }
        return Error{"the server's answer is not a WebDAV multistatus"};
    }
    while (xml.readNextStartElement()) {
        if (Is(xml, kDav, u"response")) {
            result.responses.push_back(ReadResponse(xml));
        } else if (Is(xml, kDav, u"sync-token")) {
            result.syncToken = xml.readElementText().trimmed().toStdString();
        } else {
            xml.skipCurrentElement();
        }
    }
    // Whatever follows the document's end must be nothing but the end.
    while (!xml.atEnd() && !xml.hasError()) {
        xml.readNext();
    }
    if (xml.hasError()) {
        return Error{"the server's answer is not well-formed XML (line " +
                     std::to_string(xml.lineNumber()) + "): " + xml.errorString().toStdString()};
    }
    for (const MultistatusEntry& entry : result.responses) {
        if (entry.href.empty()) {
            return Error{"the server's answer holds a response without an href"};
        }
    }
    return result;
}

}  // namespace caldav
