#include "cli/reminders_command.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <charconv>
#include <optional>

#include "cli/command_support.h"
#include "cli/date_argument.h"
#include "cli/terminal_text.h"
#include "platform/notify/desktop_notifications.h"
#include "reminders/reminder_picture.h"
#include "reminders/reminder_schedule.h"
#include "reminders/reminder_service.h"
#include "store/schedule_store.h"

namespace cli {
namespace {

constexpr int kDefaultHours = 24;
// A year of reminders is as far ahead as a listing looks.
constexpr int kMostHours = 24 * 366;
constexpr double kHoursPerDay = 24.0;
constexpr const char* kPlannerProgram = "tessarinth";
// Where the planner started from a notification opens: read by the planner at start-up.
constexpr const char* kOpenDayVariable = "TESSARINTH_OPEN_DAY";

int Fail(std::ostream& err, int status, const std::string& message) {
    return cli::Fail(err, "reminders", status, message);
}

std::optional<int> ReadHours(const std::string& text) {
    int hours = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), hours);
    if (error != std::errc() || end != text.data() + text.size() || hours < 1 ||
        hours > kMostHours) {
        return std::nullopt;
    }
    return hours;
}

std::optional<platform::Date> Now(const platform::Clock& clock) {
    platform::CalendarFields now = clock.LocalTimeNow();
    now.Milliseconds = 0;
    return platform::FieldsToDate(now);
}

// Opens the planner on a day: started beside this program (or from the path); a planner
// already running comes forward instead.
void OpenPlanner(platform::Date day) {
    const QString here = QCoreApplication::applicationDirPath();
    QString program =
        QStandardPaths::findExecutable(QString::fromLatin1(kPlannerProgram),
                                       {here, QDir(here).filePath(QStringLiteral("../app"))});
    if (program.isEmpty()) {
        program = QStandardPaths::findExecutable(QString::fromLatin1(kPlannerProgram));
    }
    if (program.isEmpty()) {
        return;
    }
    QProcess planner;
    planner.setProgram(program);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kOpenDayVariable),
                       QString::fromStdString(FormatDay(day)));
    planner.setProcessEnvironment(environment);
    planner.startDetached();
}

}  // namespace

int RemindersCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                     const platform::Clock& clock, std::ostream& out, std::ostream& err) {
    int hours = kDefaultHours;
    std::optional<platform::Date> from = Now(clock);
    for (size_t index = 0; index < args.size(); ++index) {
        const std::string& arg = args[index];
        const bool hasValue = index + 1 < args.size();
        if (arg == "--hours" && hasValue) {
            const std::optional<int> read = ReadHours(args[++index]);
            if (!read) {
                return Fail(err, kUsageStatus,
                            "--hours must be a whole number of hours from 1 to " +
                                std::to_string(kMostHours) + ": " + args[index]);
            }
            hours = *read;
        } else if (arg == "--from" && hasValue) {
            from = ParseMinuteArgument(args[++index]);
            if (!from) {
                return Fail(err, kUsageStatus, "--from must be YYYY-MM-DDTHH:MM: " + args[index]);
            }
        } else {
            return Fail(err, kUsageStatus, "unknown argument: " + arg);
        }
    }
    if (!from) {
        return Fail(err, kFailureStatus, "the clock gives no date");
    }
    if (auto folders = home.EnsureFolders(); !folders) {
        return Fail(err, kFailureStatus, folders.error().message);
    }
    store::Application store;
    if (auto logged = store.LogOn(home.StorePath()); !logged) {
        return Fail(err, kFailureStatus, logged.error().message);
    }
    const platform::Date until =
        platform::LinearToDate(platform::DateToLinear(*from) + hours / kHoursPerDay);
    auto found = reminders::CollectReminders(store, *from, until);
    if (!found) {
        return Fail(err, kFailureStatus, found.error().message);
    }
    for (const reminders::Reminder& reminder : *found) {
        // Reminders already due belong to the service to ring (late); the list looks ahead.
        if (platform::DateToLinear(reminder.ringAt) < platform::DateToLinear(*from)) {
            continue;
        }
        out << FormatMinute(reminder.ringAt) << '\t' << FormatMinute(reminder.start) << '\t'
            << FormatMinute(reminder.end) << '\t' << TsvField(reminder.subject) << '\t'
            << TsvField(reminder.location) << '\n';
    }
    return 0;
}

int WatchReminders(const platform::DataHome& home, const platform::Clock& clock,
                   std::ostream& err) {
    if (auto folders = home.EnsureFolders(); !folders) {
        return Fail(err, kFailureStatus, folders.error().message);
    }
    notify::DesktopNotifications notifications(QDBusConnection::sessionBus(),
                                               QStringLiteral("Tessarinth"));
    reminders::ReminderService service(home.StorePath(), clock, notifications,
                                       reminders::ProgramPicture(), err);
    service.SetOpenDayHandler(OpenPlanner);
    service.Start();
    return QCoreApplication::exec();
}

}  // namespace cli
