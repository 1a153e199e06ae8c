#include "app/sync_mark.h"

#include <cstdio>

#include "platform/text/unicode_text.h"

namespace app {

std::u16string TroubleWords(calendar_sync::SyncTrouble trouble) {
    using calendar_sync::SyncTrouble;
    switch (trouble) {
        case SyncTrouble::None:
            break;
        case SyncTrouble::ServerUnreachable:
            return u"接続できません";
        case SyncTrouble::AccountRefused:
            return u"認証できません";
        case SyncTrouble::DeletesToConfirm:
            return u"削除の確認待ち";
        case SyncTrouble::Stopped:
            return u"同期が中断";
        case SyncTrouble::NotStarted:
            return u"起動できません";
        case SyncTrouble::SettingsUnreadable:
            return u"設定を読めません";
    }
    return {};
}

std::optional<controls::SyncMark> SyncMarkOf(const calendar_sync::BackgroundSyncStatus& status,
                                             const platform::CalendarFields& today,
                                             const std::u16string& keptIn) {
    if (!status.setUp) {
        return std::nullopt;
    }
    controls::SyncMark mark;
    // The status keeps "YYYY-MM-DD HH:MM": the time alone today, the day alone before.
    if (const std::optional<std::string>& at = status.lastGoodAt; at && at->size() == 16) {
        int year = 0;
        int month = 0;
        int day = 0;
        if (std::sscanf(at->c_str(), "%4d-%2d-%2d", &year, &month, &day) == 3) {
            const bool sameDay = year == today.Year && month == today.Month && day == today.Day;
            mark.lastGood = platform::Utf8ToUtf16Lossy(
                sameDay ? at->substr(11) : std::to_string(month) + "/" + std::to_string(day));
        }
    }
    mark.trouble = TroubleWords(status.trouble);
    mark.conflicts = static_cast<int>(status.conflicts.size());
    mark.keptIn = keptIn;
    return mark;
}

void SyncStatusTeller::Tell(const calendar_sync::BackgroundSyncStatus& status) {
    if (status.trouble != told_ || status.failure != toldFailure_) {
        if (status.trouble != calendar_sync::SyncTrouble::None) {
            out_ << "tessarinth: sync: " << status.failure << "\n";
        } else if (!status.lastGoodAt) {
            // Sync was set up and then taken away: nothing to tell.
        } else {
            out_ << "tessarinth: sync works again (" << *status.lastGoodAt << ")\n";
        }
        told_ = status.trouble;
        toldFailure_ = status.failure;
    }
    for (const std::string& conflict : status.conflicts) {
        out_ << "tessarinth: sync conflict: " << conflict << "\n";
    }
    out_.flush();
}

}  // namespace app
