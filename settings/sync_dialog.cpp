#include "settings/sync_dialog.h"

#include <QCoreApplication>
#include <QObject>
#include <QString>
#include <QThread>

#include <algorithm>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/gui/dialog.h"
#include "platform/gui/dialog_handler.h"
#include "platform/gui/edit_box.h"
#include "platform/gui/modal_dialog.h"
#include "resources/resource_ids.h"
#include "resources/shell_resources.h"
#include "settings/calendar_list_window.h"
#include "settings/settings_store.h"
#include "sync/account_setup.h"
#include "sync/data_home_sync.h"
#include "sync/sync_password.h"
#include "sync/sync_settings.h"

namespace settings {
namespace {

using calendar_sync::SyncSettings;

// Where the dialog's windows go, in pixels of its client area. The fields keep to the top; the
// list of calendars takes what is left between them and what is anchored to the bottom: in
// portrait 今すぐ同期 and four lines of status, in landscape (wider, lower) the user and the
// password side by side, both buttons on the interval's row and three lines of status.
struct SyncLayout {
    gui::Rect serverLabel, server;
    gui::Rect userLabel, user;
    gui::Rect passwordLabel, password;
    gui::Rect minutesLabel, minutes, minutesUnit;
    gui::Rect connect, syncNow;
    gui::Rect list, status;
};

constexpr int kMargin = 2;
constexpr int kLabelWidth = 62;
constexpr int kFieldLeft = kMargin + kLabelWidth + 2;
constexpr int kRowPitch = 23;
constexpr int kFieldHeight = 20;
constexpr int kLabelDrop = 3;  // a label's text level with its field's
constexpr int kMinutesWidth = 36;
constexpr int kUnitWidth = 16;
constexpr int kButtonWidth = 70;
constexpr int kSyncNowWidth = 88;
constexpr int kStatusLine = 13;
constexpr int kPortraitStatusLines = 4;
constexpr int kLandscapeStatusLines = 3;
constexpr int kGap = 4;

gui::Rect Sized(int left, int top, int width, int height) {
    return {left, top, left + width, top + height};
}

SyncLayout LayoutFor(const gui::Rect& client) {
    const bool landscape = client.Width() > client.Height();
    const int right = client.right - kMargin;
    auto label = [](int left, int row) {
        return Sized(left, kMargin + row * kRowPitch + kLabelDrop, kLabelWidth, kFieldHeight - 4);
    };
    auto field = [](int left, int fieldRight, int row) {
        return gui::Rect{left, kMargin + row * kRowPitch, fieldRight,
                         kMargin + row * kRowPitch + kFieldHeight};
    };
    SyncLayout layout;
    layout.serverLabel = label(kMargin, 0);
    layout.server = field(kFieldLeft, right, 0);
    layout.userLabel = label(kMargin, 1);
    int row = 1;
    if (landscape) {
        // The two fields share what their labels leave of the row.
        const int fieldWidth = (right - kFieldLeft - kGap - kLabelWidth - 2) / 2;
        layout.user = field(kFieldLeft, kFieldLeft + fieldWidth, 1);
        layout.passwordLabel = label(layout.user.right + kGap, 1);
        layout.password = field(layout.passwordLabel.right + 2, right, 1);
    } else {
        layout.user = field(kFieldLeft, right, 1);
        layout.passwordLabel = label(kMargin, 2);
        layout.password = field(kFieldLeft, right, 2);
        row = 2;
    }
    ++row;
    layout.minutesLabel = label(kMargin, row);
    layout.minutes = field(kFieldLeft, kFieldLeft + kMinutesWidth, row);
    layout.minutesUnit = label(layout.minutes.right + 2, row);
    layout.minutesUnit.right = layout.minutesUnit.left + kUnitWidth;
    const int buttonsTop = kMargin + row * kRowPitch;
    const int listTop = buttonsTop + kFieldHeight + kGap;
    if (landscape) {
        layout.syncNow = Sized(right - kSyncNowWidth, buttonsTop, kSyncNowWidth, kFieldHeight);
        layout.connect = Sized(layout.syncNow.left - kGap - kButtonWidth, buttonsTop, kButtonWidth,
                               kFieldHeight);
        layout.status = {kMargin, client.bottom - kLandscapeStatusLines * kStatusLine - 1,
                         client.right - kMargin, client.bottom - 1};
        layout.list = {kMargin, listTop, client.right - kMargin, layout.status.top - kGap};
    } else {
        layout.connect = Sized(right - kButtonWidth, buttonsTop, kButtonWidth, kFieldHeight);
        layout.status = {kMargin, client.bottom - kPortraitStatusLines * kStatusLine - 1,
                         client.right - kMargin, client.bottom - 1};
        layout.syncNow = Sized(kMargin, layout.status.top - kGap / 2 - kFieldHeight, kSyncNowWidth,
                               kFieldHeight);
        layout.list = {kMargin, listTop, client.right - kMargin, layout.syncNow.top - kGap};
    }
    layout.list.bottom = std::max(layout.list.top, layout.list.bottom);
    return layout;
}

std::string Utf8(const std::u16string& text) {
    return QString::fromStdU16String(text).trimmed().toStdString();
}

std::u16string Utf16(const std::string& text) {
    return QString::fromStdString(text).toStdU16String();
}

// The Japanese words the dialog shows, with the program's own words for the trouble written to
// standard error (the desktop's journal), where whoever helps the user can read them.
std::u16string Told(std::u16string_view shown, const platform::Error& error) {
    std::cerr << "tessarinth: 同期: " << error.message << "\n";
    return std::u16string(shown);
}

std::u16string Count(int n) {
    return Utf16(std::to_string(n)) + u"件";
}

// What the dialog says when the server or the store stopped its work, in the user's terms: the
// address, the account, or a try again later.
std::u16string TroubleWords(const platform::Error& error) {
    switch (error.remedy) {
        case platform::Remedy::CheckAccount:
            return u"ユーザー名かパスワードがサーバーに認められませんでした。";
        case platform::Remedy::CheckAddress:
            return u"サーバーに接続できないか、カレンダーが見つかりません。アドレスを確かめて"
                   u"ください。";
        case platform::Remedy::ConfirmDeletes:
            return u"多くの項目がここで削除されることになるため、止めました"
                   u"（tessarinth-cli sync --allow-mass-delete で確かめられます）。";
        case platform::Remedy::TryAgain:
            break;
    }
    return u"サーバーとのやり取りが途中で止まりました（時間切れなど）。もう一度試してください。";
}

// What a piece of the dialog's work has to tell when it ends.
struct WorkOutcome {
    std::u16string said;
    bool keptSetup = false;  // the settings and the calendars are new: read them again
};

// 接続's work: the account's calendars found and the setup kept, or why not (then nothing that
// was set up before is changed).
WorkOutcome SetUp(const platform::DataHome& home, SyncSettings settings, std::string password) {
    if (password.empty()) {
        auto kept = calendar_sync::KeptPassword(home, settings);
        if (!kept || kept->empty()) {
            return {u"保存されたパスワードを読めません。パスワードを入れてください。", false};
        }
        password = std::move(kept).value();
    }
    auto found = calendar_sync::FindAccount(settings, password);
    if (!found) {
        return {TroubleWords(found.error()) + u"設定は変わっていません。", false};
    }
    if (!found->events) {
        return {u"予定を書き込めるカレンダーがこのアカウントにありません。設定は変わっていません。",
                false};
    }
    auto kept = calendar_sync::KeepAccount(home, settings, password, &*found);
    if (!kept) {
        return {Told(u"設定を保存できません（パスワード、カレンダー、設定ファイルのどれかを書けま"
                     u"せん）。もう一度接続してください。",
                     kept.error()),
                false};
    }
    std::u16string said = Utf16(std::to_string(found->calendars.size())) +
                          u"個のカレンダーが見つかり、設定しました。";
    said += kept->passwordPlace == calendar_sync::PasswordStore::Place::SecretService
                ? u"パスワードはキーリングに保存しました。"
                : u"パスワードはあなただけが読めるファイルに保存しました。";
    if (kept->replacedServer) {
        said += u"次の同期ですべての項目を新しいサーバーに送ります。";
    }
    return {said, true};
}

// 今すぐ同期's work: what every collection received, sent and deleted, or why the sync stopped.
WorkOutcome SyncNow(const platform::DataHome& home, const SyncSettings& settings,
                    const std::u16string& dataFolder) {
    {
        // Another sync (the planner's own, or one from a terminal) would refuse this one at
        // its start: said in the dialog's own words.
        calendar_sync::SyncLock probe(home);
        if (!probe.Held()) {
            return {u"ほかの同期が実行中です。終わってからもう一度試してください。", false};
        }
    }
    calendar_sync::SyncOutcome total;
    const std::optional<calendar_sync::SyncStop> stopped = calendar_sync::SyncDataHome(
        home, settings, dataFolder, false, [&total](const calendar_sync::CollectionSynced& done) {
            total.received += done.outcome.received;
            total.sent += done.outcome.sent;
            total.deletedHere += done.outcome.deletedHere;
            total.deletedOnServer += done.outcome.deletedOnServer;
            total.conflicts.insert(total.conflicts.end(), done.outcome.conflicts.begin(),
                                   done.outcome.conflicts.end());
        });
    std::u16string counts = u"受信 " + Count(total.received) + u"・送信 " + Count(total.sent) +
                            u"・削除 ここで" + Count(total.deletedHere) + u"・サーバーで" +
                            Count(total.deletedOnServer);
    if (!total.conflicts.empty()) {
        counts += u"・競合 " + Count(static_cast<int>(total.conflicts.size())) +
                  u"（conflicts フォルダーに保存）";
    }
    if (!stopped) {
        return {u"同期しました。" + counts, false};
    }
    if (!stopped->inCollection) {
        return {Told(u"同期を始められません（保存されたパスワードかデータを読めません）。接続し直"
                     u"してください。",
                     stopped->error),
                false};
    }
    const bool somethingDone = total.received + total.sent + total.deletedHere +
                                   total.deletedOnServer +
                                   static_cast<int>(total.conflicts.size()) >
                               0;
    return {TroubleWords(stopped->error) +
                (somethingDone ? u"それまでの分は保存されています: " + counts : u""),
            false};
}

// The dialog's network work, one piece at a time on a thread of its own (a QThread, so that
// the secret service's short waits have an event loop there); its end is handed to the dialog
// on the planner's thread, through the event queue.
class DialogWork {
public:
    DialogWork() = default;
    DialogWork(const DialogWork&) = delete;
    DialogWork& operator=(const DialogWork&) = delete;
    // A dialog taken away while its work runs waits for it here: the work is bounded by the
    // sync's timeouts, and what it keeps must not be cut off half-way.
    ~DialogWork() {
        if (thread_) {
            thread_->wait();
        }
    }

    bool Running() const { return running_; }

    void Start(std::function<WorkOutcome()> work, std::function<void(WorkOutcome)> done) {
        running_ = true;
        thread_.reset(QThread::create([this, work = std::move(work), done = std::move(done)] {
            WorkOutcome outcome = work();
            QMetaObject::invokeMethod(
                &receiver_,
                [this, done, outcome = std::move(outcome)] {
                    thread_->wait();
                    running_ = false;
                    done(outcome);
                },
                Qt::QueuedConnection);
        }));
        thread_->start();
    }

private:
    QObject receiver_;
    std::unique_ptr<QThread> thread_;
    bool running_ = false;
};

class SyncDialogHandler final : public gui::DialogHandler {
public:
    explicit SyncDialogHandler(const SyncDialogContext& context) : context_(context) {}

    bool OnInitDialog(gui::Dialog& dialog) override {
        gui::InitFullScreenDialog(dialog);
        auto kept = calendar_sync::LoadSyncSettings(context_.home);
        std::u16string said;
        if (!kept) {
            said = u"同期の設定を読めません。接続し直してください。";
        } else if (kept->has_value()) {
            kept_ = **kept;
            dialog.SetItemText(
                resources::kSyncServer,
                Utf16(kept_->serverUrl.empty() ? kept_->eventsUrl : kept_->serverUrl));
            dialog.SetItemText(resources::kSyncUser, Utf16(kept_->user));
            said = u"設定済みです。今すぐ同期で同期します。";
        } else {
            said = u"サーバーのアドレス、ユーザー名、パスワードを入れて接続を押してください。";
        }
        dialog.SetItemText(resources::kSyncMinutes,
                           Utf16(std::to_string(context_.settings.SyncMinutes)));
        if (auto* password = dialog.ItemAs<gui::EditBox>(resources::kSyncPassword)) {
            password->HideTypedText(kept_ ? u"保存済み" : u"");
            password->LimitText(static_cast<int>(calendar_sync::kMaxPasswordBytes));
        }
        if (auto* minutes = dialog.ItemAs<gui::EditBox>(resources::kSyncMinutes)) {
            minutes->LimitText(kMostMinutesDigits);
        }
        list_ = dialog.Screen().CreateChild<CalendarListWindow>(
            dialog, LayoutFor(dialog.ClientRect()).list,
            [this, &dialog](size_t row, CalendarListWindow::Box box) {
                ChangeCalendar(dialog, row, box);
            });
        ShowCalendars(dialog);
        dialog.SetItemText(resources::kSyncStatus, said);
        LayOut(dialog);
        return true;
    }

    bool OnCommand(gui::Dialog& dialog, uint16_t id) override {
        switch (id) {
            case resources::kSyncConnect:
                StartSetUp(dialog);
                return true;
            case resources::kSyncNow:
                StartSync(dialog);
                return true;
            case resources::kCommandOk:
                if (work_.Running()) {
                    CloseWhenDone(dialog, resources::kCommandOk);
                } else {
                    Confirm(dialog);
                }
                return true;
            case resources::kCommandCancel:
                if (work_.Running()) {
                    CloseWhenDone(dialog, resources::kCommandCancel);
                } else {
                    dialog.End(resources::kCommandCancel);
                }
                return true;
            default:
                return false;
        }
    }

    // Return in the address, the user or the password connects, as a sign-in form does: closing
    // the dialog there would drop the account just typed.
    uint16_t ReturnCommand(gui::Dialog& /*dialog*/, const gui::Control& focused) override {
        switch (focused.Id()) {
            case resources::kSyncServer:
            case resources::kSyncUser:
            case resources::kSyncPassword:
                return resources::kSyncConnect;
            default:
                return 0;
        }
    }

    void OnSettingChange(gui::Dialog& dialog) override { LayOut(dialog); }
    bool IsWorking() const override { return work_.Running(); }

private:
    static constexpr int kMostMinutesDigits = 4;

    void LayOut(gui::Dialog& dialog) {
        const SyncLayout layout = LayoutFor(dialog.ClientRect());
        const std::pair<uint16_t, gui::Rect> places[] = {
            {resources::kSyncServerLabel, layout.serverLabel},
            {resources::kSyncServer, layout.server},
            {resources::kSyncUserLabel, layout.userLabel},
            {resources::kSyncUser, layout.user},
            {resources::kSyncPasswordLabel, layout.passwordLabel},
            {resources::kSyncPassword, layout.password},
            {resources::kSyncMinutesLabel, layout.minutesLabel},
            {resources::kSyncMinutes, layout.minutes},
            {resources::kSyncMinutesUnit, layout.minutesUnit},
            {resources::kSyncConnect, layout.connect},
            {resources::kSyncNow, layout.syncNow},
            {resources::kSyncStatus, layout.status},
        };
        for (const auto& [id, rect] : places) {
            if (gui::Control* control = dialog.Item(id)) {
                control->Move(rect.left, rect.top, rect.Width(), rect.Height(), true);
            }
        }
        if (list_ != nullptr) {
            list_->Fit(layout.list);
        }
    }

    void ShowCalendars(gui::Dialog& dialog) {
        auto store = context_.store.LoggedOnApplication();
        if (!store) {
            Say(dialog, Told(u"カレンダーを読めません。", store.error()));
            return;
        }
        auto calendars = (*store)->Calendars();
        if (!calendars) {
            Say(dialog, Told(u"カレンダーを読めません。", calendars.error()));
            return;
        }
        list_->ShowCalendars(std::move(calendars).value());
    }

    // A tap on a calendar's box: shown or hidden, or the default from now on; saved at once.
    void ChangeCalendar(gui::Dialog& dialog, size_t row, CalendarListWindow::Box box) {
        if (row >= list_->Calendars().size()) {
            return;
        }
        store::StoreCalendar calendar = list_->Calendars()[row];
        auto store = context_.store.LoggedOnApplication();
        if (!store) {
            Say(dialog, Told(u"カレンダーを変更できません。", store.error()));
            return;
        }
        platform::Result<void> saved;
        if (box == CalendarListWindow::Box::Shown) {
            calendar.hidden = !calendar.hidden;
            saved = (*store)->SaveCalendar(calendar);
        } else if (calendar.readOnly) {
            Say(dialog, u"読取専用のカレンダーは既定にできません。");
            return;
        } else {
            saved = (*store)->SetDefaultCalendar(calendar.id);
        }
        if (!saved) {
            Say(dialog, Told(u"カレンダーを変更できません。", saved.error()));
        }
        ShowCalendars(dialog);
    }

    void Say(gui::Dialog& dialog, const std::u16string& text) {
        dialog.SetItemText(resources::kSyncStatus, text);
    }

    void StartSetUp(gui::Dialog& dialog) {
        if (work_.Running()) {
            return;
        }
        SyncSettings wanted;
        wanted.serverUrl = Utf8(dialog.ItemText(resources::kSyncServer));
        wanted.user = Utf8(dialog.ItemText(resources::kSyncUser));
        if (kept_) {
            wanted.timeoutSeconds = kept_->timeoutSeconds;
        }
        const std::string password =
            QString::fromStdU16String(dialog.ItemText(resources::kSyncPassword)).toStdString();
        if (wanted.serverUrl.empty()) {
            Say(dialog, u"サーバーのアドレスを入れてください（https:// で始まるもの）。");
            return;
        }
        if (calendar_sync::CheckCollectionUrl(wanted.serverUrl)) {
            Say(dialog,
                u"サーバーのアドレスは http:// か https:// で始め、ユーザー名や"
                u"パスワードを含めずに入れてください。");
            return;
        }
        if (wanted.user.empty() || calendar_sync::CheckUserName(wanted.user)) {
            Say(dialog, wanted.user.empty() ? u"ユーザー名を入れてください。"
                                            : u"ユーザー名に使えない文字があります。");
            return;
        }
        if (password.size() > calendar_sync::kMaxPasswordBytes) {
            Say(dialog, u"パスワードが長すぎます。");
            return;
        }
        if (password.empty()) {
            if (!kept_ || !calendar_sync::IsSameAccount(*kept_, wanted.serverUrl, wanted.user)) {
                Say(dialog, u"パスワードを入れてください。");
                return;
            }
            // The same account again: the password kept for it, where it was put.
            wanted.eventsUrl = kept_->eventsUrl;
            wanted.passwordKeptIn = kept_->passwordKeptIn;
        }
        Begin(dialog, u"接続しています…");
        work_.Start(
            [home = context_.home, wanted, password] { return SetUp(home, wanted, password); },
            [this, &dialog](WorkOutcome outcome) { Finished(dialog, std::move(outcome)); });
    }

    void StartSync(gui::Dialog& dialog) {
        if (work_.Running()) {
            return;
        }
        auto kept = calendar_sync::LoadSyncSettings(context_.home);
        if (!kept || !kept->has_value()) {
            Say(dialog, kept ? u"まだ設定されていません。先に接続してください。"
                             : u"同期の設定を読めません。接続し直してください。");
            return;
        }
        Begin(dialog, u"同期しています…");
        work_.Start(
            [home = context_.home, settings = **kept, folder = context_.settings.DataPath] {
                return SyncNow(home, settings, folder);
            },
            [this, &dialog](WorkOutcome outcome) { Finished(dialog, std::move(outcome)); });
    }

    // While the work runs, the buttons that start work are off and the status says what runs.
    void Begin(gui::Dialog& dialog, const std::u16string& doing) {
        Say(dialog, doing);
        for (uint16_t id : {resources::kSyncConnect, resources::kSyncNow}) {
            if (gui::Control* button = dialog.Item(id)) {
                button->Enable(false);
            }
        }
    }

    void Finished(gui::Dialog& dialog, WorkOutcome outcome) {
        for (uint16_t id : {resources::kSyncConnect, resources::kSyncNow}) {
            if (gui::Control* button = dialog.Item(id)) {
                button->Enable(true);
            }
        }
        if (outcome.keptSetup) {
            dialog.SetItemText(resources::kSyncPassword, u"");
            if (auto kept = calendar_sync::LoadSyncSettings(context_.home);
                kept && kept->has_value()) {
                kept_ = **kept;
                if (auto* password = dialog.ItemAs<gui::EditBox>(resources::kSyncPassword)) {
                    password->HideTypedText(u"保存済み");
                }
            }
        }
        // What the work changed in the store (new calendars, items received) shows at once.
        ShowCalendars(dialog);
        Say(dialog, outcome.said);
        if (closeWith_) {
            const uint16_t command = *closeWith_;
            closeWith_.reset();
            dialog.SendCommand(command);
        }
    }

    void CloseWhenDone(gui::Dialog& dialog, uint16_t command) {
        closeWith_ = command;
        Say(dialog, u"終わりしだい閉じます…");
    }

    // Done: the interval is kept, when it reads as one.
    void Confirm(gui::Dialog& dialog) {
        const QString text =
            QString::fromStdU16String(dialog.ItemText(resources::kSyncMinutes)).trimmed();
        bool number = false;
        const int minutes = text.toInt(&number);
        if (!number || text.startsWith(u'+') || text.startsWith(u'-') || minutes < 0 ||
            minutes > kLongestSyncMinutes) {
            Say(dialog, u"間隔は 0 から " + Utf16(std::to_string(kLongestSyncMinutes)) +
                            u" 分で入れてください（0: 自動では同期しません）。");
            return;
        }
        context_.settings.SyncMinutes = minutes;
        // As the settings dialog: a registry that cannot be written leaves the interval in
        // force for the rest of the run all the same.
        (void)SaveSettings(context_.registry, context_.settings);
        dialog.End(resources::kCommandOk);
    }

    const SyncDialogContext& context_;
    std::optional<SyncSettings> kept_;
    CalendarListWindow* list_ = nullptr;
    std::optional<uint16_t> closeWith_;
    // Last, so that its thread is joined before anything it reports to goes.
    DialogWork work_;
};

}  // namespace

SyncDialogResult RunSyncDialog(gui::Window& owner, const SyncDialogContext& context) {
    SyncDialogHandler handler(context);
    const int result = gui::RunModalDialog(
        owner.Screen(), owner, resources::DialogTemplateOf(resources::kSyncDialog), handler);
    return result == resources::kCommandOk ? SyncDialogResult::Confirmed
                                           : SyncDialogResult::Cancelled;
}

}  // namespace settings
