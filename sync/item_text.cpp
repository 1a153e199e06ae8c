#include "sync/item_text.h"

#include <QDateTime>
#include <QString>
#include <vector>

#include "calendar/ical_io.h"

namespace calendar_sync {
namespace {

using platform::Error;

constexpr std::string_view kCrlf = "\r\n";
constexpr const char* kUtcForm = "yyyyMMdd'T'HHmmss'Z'";

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(kCrlf, start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + kCrlf.size();
    }
    return lines;
}

std::string NameOfLine(const std::string& line) {
    const size_t end = line.find_first_of(":;");
    return QString::fromStdString(line.substr(0, end)).toUpper().toStdString();
}

bool IsStampName(const std::string& name) {
    return name == "LAST-MODIFIED" || name == "DTSTAMP";
}

// The kept lines with the item's own LAST-MODIFIED and DTSTAMP replaced by `changedAt`; those of
// sub-components (an alarm's) stay as they are.
std::string Restamped(const std::string& extra, int64_t changedAt) {
    const std::string stamp =
        QDateTime::fromSecsSinceEpoch(changedAt, Qt::UTC).toString(kUtcForm).toStdString();
    std::string out = "LAST-MODIFIED:" + stamp + "\r\nDTSTAMP:" + stamp;
    int depth = 0;
    for (const std::string& line : SplitLines(extra)) {
        const std::string name = NameOfLine(line);
        if (name == "BEGIN") {
            ++depth;
        } else if (name == "END") {
            --depth;
        } else if (depth == 0 && IsStampName(name)) {
            continue;
        }
        out += kCrlf;
        out += line;
    }
    return out;
}

std::optional<int64_t> StampIn(const std::string& extra, const std::string& wanted) {
    int depth = 0;
    for (const std::string& line : SplitLines(extra)) {
        const std::string name = NameOfLine(line);
        if (name == "BEGIN") {
            ++depth;
        } else if (name == "END") {
            --depth;
        } else if (depth == 0 && name == wanted) {
            const size_t colon = line.find(':');
            if (colon == std::string::npos) {
                return std::nullopt;
            }
            QString value = QString::fromStdString(line.substr(colon + 1)).trimmed();
            if (!value.endsWith(u'Z')) {
                value += u'Z';  // a floating stamp is read as UTC, as a stamp should be written
            }
            QDateTime time = QDateTime::fromString(value, kUtcForm);
            time.setTimeSpec(Qt::UTC);
            if (!time.isValid()) {
                return std::nullopt;
            }
            return time.toSecsSinceEpoch();
        }
    }
    return std::nullopt;
}

// What an import's line names as wrong ("line 6: DTSTART is outside the years 100 to 9999"),
// without what the import made of it ("; the VEVENT of line 4 is not imported").
std::string ProblemOf(const std::string& importLine) {
    return importLine.substr(0, importLine.find("; "));
}

}  // namespace

platform::Result<ServerItem> ReadServerItem(const std::string& icsText) {
    if (icsText.size() > kMaxServerItemOctets) {
        return Error{"it is larger than " + std::to_string(kMaxServerItemOctets / (1024 * 1024)) +
                     " MiB (" + std::to_string(icsText.size()) + " bytes) and is not read"};
    }
    auto parsed = calendar::ParseICalendar(icsText);
    if (!parsed) {
        return parsed.error();
    }
    if (!parsed->dropped.empty()) {
        // Stored without what it lost, an edit here would take that from every other client too.
        return Error{ProblemOf(parsed->dropped.front()) +
                     ": the item is left as it is on the server"};
    }
    const size_t count = parsed->appointments.size() + parsed->tasks.size();
    if (count == 0 && !parsed->skipped.empty()) {
        // Its item could not be read: why, as an import of it says.
        return Error{ProblemOf(parsed->skipped.front())};
    }
    if (count != 1) {
        return Error{"it holds " + std::to_string(count) + " items instead of one"};
    }
    ServerItem item;
    if (!parsed->appointments.empty()) {
        item.kind = calendar::ItemKind::Appointment;
        item.appointment = std::move(parsed->appointments.front());
        if (!parsed->appointmentsInk.empty()) {
            item.ink = std::move(parsed->appointmentsInk.front());
        }
    } else {
        item.kind = calendar::ItemKind::Task;
        item.task = std::move(parsed->tasks.front());
    }
    if (item.Uid().empty()) {
        return Error{"its item has no UID"};
    }
    return item;
}

std::string ServerTextOf(const calendar::AppointmentRecord& record, int64_t changedAt,
                         const calendar::InkSource& inkOf) {
    calendar::AppointmentRecord sent = record;
    sent.extraProperties = Restamped(record.extraProperties, changedAt);
    if (inkOf) {
        return calendar::WriteICalendar({sent}, {}, platform::SystemClock(), inkOf);
    }
    return calendar::WriteICalendar({sent}, {});
}

std::string ServerTextOf(const calendar::TaskRecord& record, int64_t changedAt) {
    calendar::TaskRecord sent = record;
    sent.extraProperties = Restamped(record.extraProperties, changedAt);
    return calendar::WriteICalendar({}, {sent});
}

std::optional<int64_t> ChangeTimeOf(const ServerItem& item) {
    const std::string& extra = item.kind == calendar::ItemKind::Task
                                   ? item.task.extraProperties
                                   : item.appointment.extraProperties;
    if (auto modified = StampIn(extra, "LAST-MODIFIED")) {
        return modified;
    }
    return StampIn(extra, "DTSTAMP");
}

std::string NameOf(const ServerItem& item) {
    const std::u16string& subject =
        item.kind == calendar::ItemKind::Task ? item.task.subject : item.appointment.subject;
    if (subject.empty()) {
        return item.Uid();
    }
    return QString::fromStdU16String(subject).toStdString();
}

}  // namespace calendar_sync
