#include "reminders/reminder_service.h"

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <utility>

namespace reminders {
namespace {

using platform::Date;
using platform::DateToLinear;
using platform::LinearToDate;

constexpr double kSecondsPerDay = 86400.0;
// Notifications whose action may still be chosen; older ones are forgotten first.
constexpr size_t kRememberedNotifications = 256;
constexpr const char* kOpenLabel = "開く";

using ReminderKey = std::tuple<int32_t, Date, Date>;

ReminderKey KeyOf(int32_t oid, Date occurrence, Date ringAt) {
    return {oid, occurrence, ringAt};
}

}  // namespace

ReminderService::ReminderService(std::filesystem::path storeFile, const platform::Clock& clock,
                                 notify::DesktopNotifications& notifications,
                                 notify::NotificationPicture picture, std::ostream& log)
    : storeFile_(std::move(storeFile)),
      clock_(clock),
      notifications_(notifications),
      picture_(std::move(picture)),
      log_(log),
      watcher_(storeFile_) {
    notifications_.SetActionHandler([this](uint32_t id) {
        const auto found = dayOfNotification_.find(id);
        if (found != dayOfNotification_.end() && openDay_) {
            openDay_(found->second);
        }
    });
}

ReminderService::~ReminderService() {
    notifications_.SetActionHandler(nullptr);
}

void ReminderService::Start() {
    timer_ = std::make_unique<QTimer>();
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { Tick(); });
    // The first look comes with the first tick, so that a planner paints before it reads.
    timer_->start(kTickInterval);
}

void ReminderService::SetOpenDayHandler(std::function<void(Date day)> handler) {
    openDay_ = std::move(handler);
}

Date ReminderService::Now() const {
    platform::CalendarFields now = clock_.LocalTimeNow();
    now.Milliseconds = 0;
    return platform::FieldsToDate(now).value_or(0.0);
}

void ReminderService::Report(bool& told, const std::string& message) {
    if (!told) {
        log_ << "tessarinth reminders: " << message << "\n";
        log_.flush();
        told = true;
    }
}

bool ReminderService::Reload(Date now) {
    // Until a read succeeds, every tick tries again: a change seen meanwhile is not lost.
    loaded_ = false;
    if (!store_.IsLoggedOn()) {
        if (auto logged = store_.LogOn(storeFile_, kBusyTimeout); !logged) {
            Report(toldStoreProblem_, logged.error().message);
            return false;
        }
    }
    const Date until = LinearToDate(DateToLinear(now) + kLookAheadDays);
    auto collected = CollectReminders(store_, now, until);
    if (!collected) {
        Report(toldStoreProblem_, collected.error().message);
        store_.LogOff();  // a damaged or replaced store is opened afresh next time
        return false;
    }
    const Date earliest = collected->empty() ? now : collected->front().ringAt;
    auto fired = store_.FiredRemindersFrom(earliest);
    if (!fired) {
        Report(toldStoreProblem_, fired.error().message);
        store_.LogOff();
        return false;
    }
    toldStoreProblem_ = false;
    std::set<ReminderKey> rung;
    for (const store::FiredReminder& reminder : *fired) {
        rung.insert(KeyOf(reminder.oid, reminder.occurrence, reminder.ringAt));
    }
    pending_.clear();
    for (Reminder& reminder : *collected) {
        if (!rung.contains(KeyOf(reminder.oid, reminder.occurrence, reminder.ringAt))) {
            pending_.push_back(std::move(reminder));
        }
    }
    reloadAt_ = DateToLinear(now) + kLookAheadDays / 2;
    loaded_ = true;
    return true;
}

void ReminderService::Tick() {
    const Date now = Now();
    const double nowLinear = DateToLinear(now);
    // The watcher is asked every time, so that a change it saw is not reported again later.
    const bool changed = watcher_.HasChanged();
    if (!loaded_ || changed || nowLinear >= reloadAt_ || nowLinear < lastNow_) {
        if (!Reload(now)) {
            return;
        }
    }
    lastNow_ = nowLinear;
    const auto firstLater = std::find_if(
        pending_.begin(), pending_.end(),
        [&](const Reminder& reminder) { return DateToLinear(reminder.ringAt) > nowLinear; });
    if (firstLater == pending_.begin()) {
        return;
    }
    std::vector<Reminder> due;
    std::vector<store::FiredReminder> claims;
    for (auto reminder = pending_.begin(); reminder != firstLater; ++reminder) {
        // An appointment over by now has nothing left to remind of.
        if (DateToLinear(reminder->EndsAt()) <= nowLinear) {
            continue;
        }
        const bool late =
            (nowLinear - DateToLinear(reminder->ringAt)) * kSecondsPerDay > kLateAfterSeconds;
        claims.push_back({reminder->oid, reminder->occurrence, reminder->ringAt, now, late});
        due.push_back(*reminder);
    }
    if (!claims.empty()) {
        auto claimed = store_.ClaimReminders(claims, LinearToDate(nowLinear - kFiredKeptDays));
        if (!claimed) {
            Report(toldStoreProblem_, claimed.error().message);
            return;  // tried again at the next tick
        }
        toldStoreProblem_ = false;
        for (size_t index = 0; index < due.size(); ++index) {
            if ((*claimed)[index]) {
                Ring(due[index], claims[index].late ? Lateness::Late : Lateness::OnTime);
            }
        }
    }
    pending_.erase(pending_.begin(), firstLater);
}

void ReminderService::Ring(const Reminder& reminder, Lateness lateness) {
    const ReminderText text = TextOf(reminder, lateness);
    notify::Notification notification;
    notification.title = QString::fromStdU16String(text.title);
    notification.body = QString::fromStdU16String(text.body);
    notification.picture = picture_;
    notification.actionLabel = QString::fromUtf8(kOpenLabel);
    auto shown = notifications_.Show(notification);
    if (!shown) {
        Report(toldNoService_, shown.error().message + "; reminders ring unseen until one answers");
        return;
    }
    toldNoService_ = false;
    if (dayOfNotification_.size() >= kRememberedNotifications) {
        dayOfNotification_.erase(dayOfNotification_.begin());
    }
    dayOfNotification_[*shown] = static_cast<Date>(platform::DayNumber(reminder.start));
}

}  // namespace reminders
