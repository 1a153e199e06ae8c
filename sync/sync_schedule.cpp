#include "sync/sync_schedule.h"

#include <algorithm>

namespace calendar_sync {
namespace {

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return lines;
}

}  // namespace

SyncSchedule::SyncSchedule(Millis interval) : interval_(interval) {}

std::optional<Millis> SyncSchedule::NextDue() const {
    if (running_ || interval_ <= Millis{0}) {
        return std::nullopt;
    }
    return next_;
}

bool SyncSchedule::IsDue(Millis now) const {
    const std::optional<Millis> due = NextDue();
    return due && now >= *due;
}

void SyncSchedule::Started() {
    running_ = true;
    savedWhileRunning_ = false;
}

void SyncSchedule::Finished(Millis now) {
    running_ = false;
    lastFinished_ = now;
    next_ = now + (savedWhileRunning_ ? std::min(kAfterSave, interval_) : interval_);
    savedWhileRunning_ = false;
}

void SyncSchedule::ChangeInterval(Millis interval, Millis now) {
    if (interval == interval_) {
        return;
    }
    interval_ = interval;
    if (!running_) {
        next_ = lastFinished_ ? std::max(now, *lastFinished_ + interval) : now;
    }
}

void SyncSchedule::Saved(Millis now) {
    if (running_) {
        savedWhileRunning_ = true;
        return;
    }
    next_ = std::min(next_, now + kAfterSave);
}

SyncReport ReadSyncReport(int exitStatus, std::string_view output, std::string_view errors) {
    SyncReport report;
    report.ok = exitStatus == 0;
    constexpr std::string_view kConflict = "conflict: ";
    for (std::string_view line : Lines(output)) {
        if (line.starts_with(kConflict)) {
            report.conflicts.emplace_back(line.substr(kConflict.size()));
        }
    }
    if (!report.ok) {
        constexpr std::string_view kProgram = "tessarinth-cli: ";
        constexpr std::string_view kRemedy = "remedy: ";
        for (std::string_view line : Lines(errors)) {
            if (line.starts_with(kRemedy)) {
                report.remedy = std::string(line.substr(kRemedy.size()));
                continue;
            }
            if (line.starts_with(kProgram)) {
                line.remove_prefix(kProgram.size());
            }
            if (!line.empty() && report.reason.empty()) {
                report.reason = std::string(line);
            }
        }
        if (report.reason.empty()) {
            report.reason = "the sync ended with status " + std::to_string(exitStatus);
        }
    }
    return report;
}

}  // namespace calendar_sync
