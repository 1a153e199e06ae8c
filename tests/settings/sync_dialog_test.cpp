#include "settings/sync_dialog.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QTcpServer>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/gui/device_screen.h"
#include "platform/gui/dialog.h"
#include "platform/gui/label.h"
#include "platform/gui/modal_dialog.h"
#include "platform/gui/push_button.h"
#include "platform/gui/surface.h"
#include "resources/resource_ids.h"
#include "schedule/item_calendars.h"
#include "settings/calendar_list_window.h"
#include "settings/settings_store.h"
#include "store/schedule_store.h"
#include "sync/data_home_sync.h"
#include "sync/sync_settings.h"
#include "tests/support/temp_folder.h"

namespace settings {
namespace {

using platform::registry::Registry;
using Box = CalendarListWindow::Box;

constexpr std::chrono::seconds kLongestWork{60};

gui::Point Middle(const gui::Rect& rect) {
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Whether what the status says is seen whole: its lines, wrapped at the label's width, within
// the label's height.
bool StatusSeenWhole(gui::Dialog& dialog) {
    const auto* label =
        qobject_cast<const QLabel*>(dialog.Item(resources::kSyncStatus)->ScreenWidget());
    return label != nullptr && label->heightForWidth(label->width()) <= label->height();
}

CalendarListWindow* ListOf(gui::Dialog& dialog) {
    for (gui::Window* child : dialog.Children()) {
        if (auto* list = dynamic_cast<CalendarListWindow*>(child)) {
            return list;
        }
    }
    return nullptr;
}

// The 同期 dialog over a window, on a real data home (store, registry, sync settings), worked
// through its controls as the user would.
class SyncDialogTest : public ::testing::Test {
protected:
    SyncDialogTest() {
        LoadSettings(registry_, settings_);
        EXPECT_TRUE(home_.EnsureFolders().ok());
        owner_ = screen_.CreateTopLevel<gui::Window>(u"TESSARINTH", u"Tessarinth", gui::kGray);
        owner_->Show();
        screen_.SetModalResponder(&responder_);
    }

    // Opens the dialog; `act` works it, and the dialog is then closed with `close`.
    SyncDialogResult Run(const std::function<void(gui::Dialog&)>& act,
                         uint16_t close = gui::kCancelCommand) {
        responder_.dialogAnswers.push_back({act, close});
        return RunSyncDialog(*owner_, {home_, session_, settings_, registry_});
    }

    void Tap(gui::Point point) {
        screen_.PenDown(point);
        screen_.ProcessPending();
        screen_.PenUp(point);
        screen_.ProcessPending();
    }
    void TapItem(gui::Dialog& dialog, uint16_t id) {
        gui::Control* control = dialog.Item(id);
        ASSERT_NE(control, nullptr) << id;
        Tap(Middle(control->ScreenRect()));
    }
    // A tap on a row's box in the list of calendars.
    void TapBox(gui::Dialog& dialog, size_t row, Box box) {
        CalendarListWindow* list = ListOf(dialog);
        ASSERT_NE(list, nullptr);
        const gui::Rect rect = list->BoxRect(row, box);
        ASSERT_FALSE(rect.IsEmpty()) << row;
        const gui::Rect outer = list->ScreenRect();
        Tap(Middle(rect.Offset(outer.left, outer.top)));
    }

    int64_t AddCalendar(const std::string& name, bool readOnly = false) {
        store::Application store;
        EXPECT_TRUE(store.LogOn(home_.StorePath()).ok());
        store::StoreCalendar calendar;
        calendar.name = name;
        calendar.url = "http://127.0.0.1:5232/alice/" + name + "/";
        calendar.readOnly = readOnly;
        calendar.color = "#1E90FF";
        EXPECT_TRUE(store.SaveCalendar(calendar).ok());
        return calendar.id;
    }
    std::vector<store::StoreCalendar> StoredCalendars() {
        store::Application store;
        EXPECT_TRUE(store.LogOn(home_.StorePath()).ok());
        return *store.Calendars();
    }
    store::StoreCalendar Stored(int64_t id) {
        for (const store::StoreCalendar& calendar : StoredCalendars()) {
            if (calendar.id == id) {
                return calendar;
            }
        }
        ADD_FAILURE() << "no calendar " << id;
        return {};
    }

    calendar_sync::SyncSettings SetUpBefore() {
        calendar_sync::SyncSettings kept;
        kept.serverUrl = "http://127.0.0.1:5232/";
        kept.eventsUrl = "http://127.0.0.1:5232/alice/calendar/";
        kept.user = "alice";
        kept.passwordKeptIn = "file";
        EXPECT_TRUE(calendar_sync::SaveSyncSettings(home_, kept).ok());
        return kept;
    }

    testing_support::TempFolder folder_;
    platform::DataHome home_{folder_.Path()};
    Registry registry_ = Registry::Open(home_.RegistryPath());
    Settings settings_;
    schedule::StoreSession session_{home_.StorePath()};
    gui::DeviceScreen screen_{gui::Orientation::Portrait, 1};
    gui::ScriptedResponder responder_;
    gui::Window* owner_ = nullptr;
};

TEST_F(SyncDialogTest, ShowsTheAccountSetUpAndTheIntervalWithThePasswordHidden) {
    SetUpBefore();
    settings_.SyncMinutes = 45;
    Run([](gui::Dialog& dialog) {
        EXPECT_TRUE(dialog.IsFullScreen());
        EXPECT_EQ(dialog.Title(), u"同期");
        EXPECT_EQ(dialog.ItemText(resources::kSyncServer), u"http://127.0.0.1:5232/");
        EXPECT_EQ(dialog.ItemText(resources::kSyncUser), u"alice");
        EXPECT_EQ(dialog.ItemText(resources::kSyncPassword), u"");
        EXPECT_EQ(dialog.ItemText(resources::kSyncMinutes), u"45");
        EXPECT_NE(dialog.ItemText(resources::kSyncStatus).find(u"設定済み"), std::u16string::npos);
    });
}

TEST_F(SyncDialogTest, ATapOnACalendarsBoxesHidesShowsAndMakesItTheDefault) {
    const int64_t work = AddCalendar("仕事");
    const int64_t feed = AddCalendar("学校", true);
    Run([&](gui::Dialog& dialog) {
        CalendarListWindow* list = ListOf(dialog);
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->Calendars().size(), 3u);
        TapBox(dialog, 1, Box::Shown);
        EXPECT_TRUE(Stored(work).hidden);
        EXPECT_TRUE(list->Calendars()[1].hidden) << "the list shows what the store holds";
        TapBox(dialog, 1, Box::Shown);
        EXPECT_FALSE(Stored(work).hidden);

        TapBox(dialog, 1, Box::Default);
        EXPECT_TRUE(Stored(work).isDefault);
        EXPECT_FALSE(Stored(1).isDefault);
        EXPECT_TRUE(list->Calendars()[1].isDefault);

        // A read-only calendar has no default box, and a tap where it would be changes nothing.
        EXPECT_TRUE(list->BoxRect(2, Box::Default).IsEmpty() ||
                    !list->BoxAt(Middle(list->BoxRect(2, Box::Default))));
        TapBox(dialog, 2, Box::Shown);
        EXPECT_TRUE(Stored(feed).hidden) << "a read-only calendar can still be hidden";
    });
    EXPECT_TRUE(Stored(work).isDefault) << "kept whatever closes the dialog";
    EXPECT_TRUE(Stored(feed).hidden);
}

TEST_F(SyncDialogTest, TheDefaultBoxIsFilledOnTheDefaultRowOnly) {
    AddCalendar("仕事");
    Run([&](gui::Dialog& dialog) {
        CalendarListWindow* list = ListOf(dialog);
        ASSERT_NE(list, nullptr);
        QImage image(list->ClientRect().Width(), list->ClientRect().Height(), QImage::Format_RGB32);
        gui::Surface surface(image);
        list->OnPaint(surface);
        const gui::Point first = Middle(list->BoxRect(0, Box::Default));
        const gui::Point second = Middle(list->BoxRect(1, Box::Default));
        EXPECT_EQ(gui::FromQRgb(image.pixel(first.x, first.y)), gui::kBlack);
        EXPECT_EQ(gui::FromQRgb(image.pixel(second.x, second.y)), gui::kWhite);
    });
}

// Each row's mark is the colour the day list marks the calendar's items with: its own, else the
// palette's for its id.
TEST_F(SyncDialogTest, EachCalendarsMarkIsTheColourOfItsItemsInTheList) {
    const int64_t work = AddCalendar("仕事");
    Run([&](gui::Dialog& dialog) {
        CalendarListWindow* list = ListOf(dialog);
        ASSERT_NE(list, nullptr);
        QImage image(list->ClientRect().Width(), list->ClientRect().Height(), QImage::Format_RGB32);
        gui::Surface surface(image);
        list->OnPaint(surface);
        const auto markAt = [&](size_t row) {
            const gui::Point box = Middle(list->BoxRect(row, Box::Shown));
            return gui::FromQRgb(image.pixel(25, box.y));
        };
        EXPECT_EQ(markAt(0), schedule::PaletteColour(1));
        EXPECT_EQ(markAt(1), gui::Rgb(0x1E, 0x90, 0xFF));
        EXPECT_NE(schedule::PaletteColour(work), gui::Rgb(0x1E, 0x90, 0xFF));
    });
}

TEST_F(SyncDialogTest, DoneKeepsTheIntervalInTheSettingsAndTheRegistry) {
    EXPECT_EQ(Run([&](gui::Dialog& dialog) { dialog.SetItemText(resources::kSyncMinutes, u"30"); },
                  gui::kOkCommand),
              SyncDialogResult::Confirmed);
    EXPECT_EQ(settings_.SyncMinutes, 30);
    Registry reopened = Registry::Open(home_.RegistryPath());
    Settings reloaded;
    LoadSettings(reopened, reloaded);
    EXPECT_EQ(reloaded.SyncMinutes, 30);
}

TEST_F(SyncDialogTest, AnIntervalThatIsNoNumberOfMinutesIsRefusedAndEscapeKeepsTheOldOne) {
    for (std::u16string_view wrong : {u"abc", u"-5", u"1441", u""}) {
        bool stayedOpen = false;
        std::u16string said;
        Run([&](gui::Dialog& dialog) {
            dialog.SetItemText(resources::kSyncMinutes, wrong);
            dialog.SendCommand(gui::kOkCommand);
            stayedOpen = !dialog.IsEnded();
            said = dialog.ItemText(resources::kSyncStatus);
        });
        EXPECT_TRUE(stayedOpen)
            << QString::fromUtf16(wrong.data(), static_cast<qsizetype>(wrong.size())).toStdString();
        EXPECT_NE(said.find(u"間隔"), std::u16string::npos);
        EXPECT_EQ(settings_.SyncMinutes, kDefaultSyncMinutes);
    }
    Run([&](gui::Dialog& dialog) { dialog.SetItemText(resources::kSyncMinutes, u"0"); });
    EXPECT_EQ(settings_.SyncMinutes, kDefaultSyncMinutes) << "Escape keeps nothing";
    Run([&](gui::Dialog& dialog) { dialog.SetItemText(resources::kSyncMinutes, u"0"); },
        gui::kOkCommand);
    EXPECT_EQ(settings_.SyncMinutes, 0) << "0 leaves syncing to the user";
}

TEST_F(SyncDialogTest, ReturnInTheAccountConnectsAndInTheIntervalIsDone) {
    for (const uint16_t field :
         {resources::kSyncServer, resources::kSyncUser, resources::kSyncPassword}) {
        bool stayedOpen = false;
        std::u16string said;
        Run([&](gui::Dialog& dialog) {
            // No user: 接続 asks for one before any request is made.
            dialog.SetItemText(resources::kSyncServer, u"http://127.0.0.1:5232/");
            dialog.Item(field)->SetFocus();
            dialog.Screen().KeyDown(gui::Key::Return);
            stayedOpen = !dialog.IsEnded();
            said = dialog.ItemText(resources::kSyncStatus);
        });
        EXPECT_TRUE(stayedOpen) << field;
        EXPECT_NE(said.find(u"ユーザー名を入れて"), std::u16string::npos) << field;
    }
    EXPECT_EQ(Run([&](gui::Dialog& dialog) {
                  dialog.SetItemText(resources::kSyncMinutes, u"30");
                  dialog.Item(resources::kSyncMinutes)->SetFocus();
                  dialog.Screen().KeyDown(gui::Key::Return);
              }),
              SyncDialogResult::Confirmed);
    EXPECT_EQ(settings_.SyncMinutes, 30);
}

TEST_F(SyncDialogTest, SetupAsksForWhatIsMissingBeforeAnyRequest) {
    struct Case {
        std::u16string server, user, password, said;
    };
    const std::vector<Case> cases{
        {u"", u"alice", u"secret", u"アドレスを入れて"},
        {u"ftp://127.0.0.1/", u"alice", u"secret", u"http:// か https://"},
        {u"http://bob:pw@127.0.0.1/", u"alice", u"secret", u"http:// か https://"},
        {u"http://127.0.0.1:5232/", u"", u"secret", u"ユーザー名を入れて"},
        {u"http://127.0.0.1:5232/", u"a:b", u"secret", u"使えない文字"},
        {u"http://127.0.0.1:5232/", u"alice", u"", u"パスワードを入れて"},
    };
    for (const Case& c : cases) {
        std::u16string said;
        bool working = true;
        Run([&](gui::Dialog& dialog) {
            dialog.SetItemText(resources::kSyncServer, c.server);
            dialog.SetItemText(resources::kSyncUser, c.user);
            dialog.SetItemText(resources::kSyncPassword, c.password);
            TapItem(dialog, resources::kSyncConnect);
            working = dialog.Handler().IsWorking();
            said = dialog.ItemText(resources::kSyncStatus);
        });
        EXPECT_FALSE(working);
        EXPECT_NE(said.find(c.said), std::u16string::npos)
            << QString::fromStdU16String(said).toStdString();
    }
    EXPECT_FALSE(std::filesystem::exists(calendar_sync::SyncSettingsPath(home_)));
}

// A server that takes the connection and never answers: the dialog says it is working while the
// request waits, and when the timeout ends it says why, leaving the setup before untouched.
TEST_F(SyncDialogTest, AServerThatDoesNotAnswerIsToldInTheDialogAndLosesNothing) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    calendar_sync::SyncSettings kept = SetUpBefore();
    kept.timeoutSeconds = 1;
    ASSERT_TRUE(calendar_sync::SaveSyncSettings(home_, kept).ok());
    const std::u16string address =
        u"http://127.0.0.1:" + QString::number(silent.serverPort()).toStdU16String() + u"/";
    std::u16string during;
    bool buttonsOff = false;
    std::u16string after;
    Run([&](gui::Dialog& dialog) {
        dialog.SetItemText(resources::kSyncServer, address);
        dialog.SetItemText(resources::kSyncUser, u"carol");
        dialog.SetItemText(resources::kSyncPassword, u"secret");
        TapItem(dialog, resources::kSyncConnect);
        ASSERT_TRUE(dialog.Handler().IsWorking());
        during = dialog.ItemText(resources::kSyncStatus);
        buttonsOff = !dialog.Item(resources::kSyncConnect)->IsEnabled() &&
                     !dialog.Item(resources::kSyncNow)->IsEnabled();
        ASSERT_TRUE(gui::WaitForDialogWork(dialog, kLongestWork));
        after = dialog.ItemText(resources::kSyncStatus);
        EXPECT_TRUE(dialog.Item(resources::kSyncConnect)->IsEnabled());
    });
    EXPECT_EQ(during, u"接続しています…");
    EXPECT_TRUE(buttonsOff);
    EXPECT_NE(after.find(u"設定は変わっていません"), std::u16string::npos)
        << QString::fromStdU16String(after).toStdString();
    EXPECT_EQ(*calendar_sync::LoadSyncSettings(home_), kept);
}

// Done while the work runs closes the dialog when the work has ended, not before: what it
// reports has a dialog to go to, and the interval is kept then.
TEST_F(SyncDialogTest, DoneWhileConnectingClosesTheDialogWhenTheWorkHasEnded) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    calendar_sync::SyncSettings kept = SetUpBefore();
    kept.timeoutSeconds = 1;
    ASSERT_TRUE(calendar_sync::SaveSyncSettings(home_, kept).ok());
    bool endedAtOnce = true;
    bool endedAfter = false;
    const SyncDialogResult result = Run([&](gui::Dialog& dialog) {
        dialog.SetItemText(
            resources::kSyncServer,
            u"http://127.0.0.1:" + QString::number(silent.serverPort()).toStdU16String() + u"/");
        dialog.SetItemText(resources::kSyncPassword, u"secret");
        dialog.SetItemText(resources::kSyncMinutes, u"1440");
        TapItem(dialog, resources::kSyncConnect);
        dialog.SendCommand(gui::kOkCommand);
        endedAtOnce = dialog.IsEnded();
        const std::function<bool()> alive = screen_.IsAlive(&dialog);
        EXPECT_TRUE(gui::WaitForDialogWork(dialog, kLongestWork));
        endedAfter = !alive() || dialog.IsEnded();
    });
    EXPECT_FALSE(endedAtOnce);
    EXPECT_TRUE(endedAfter);
    EXPECT_EQ(result, SyncDialogResult::Confirmed);
    EXPECT_EQ(settings_.SyncMinutes, 1440) << "a day, the longest interval";
}

TEST_F(SyncDialogTest, AServerThatRefusesTheConnectionIsToldInJapanese) {
    // A port that was just free: nothing listens there.
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    std::u16string after;
    Run([&](gui::Dialog& dialog) {
        dialog.SetItemText(resources::kSyncServer,
                           u"http://127.0.0.1:" + QString::number(port).toStdU16String() + u"/");
        dialog.SetItemText(resources::kSyncUser, u"alice");
        dialog.SetItemText(resources::kSyncPassword, u"secret");
        TapItem(dialog, resources::kSyncConnect);
        ASSERT_TRUE(gui::WaitForDialogWork(dialog, kLongestWork));
        after = dialog.ItemText(resources::kSyncStatus);
        EXPECT_TRUE(StatusSeenWhole(dialog)) << "upright";
        screen_.Rotate();
        screen_.ProcessPending();
        EXPECT_TRUE(StatusSeenWhole(dialog)) << "turned";
    });
    EXPECT_NE(after.find(u"サーバーに接続できない"), std::u16string::npos)
        << QString::fromStdU16String(after).toStdString();
    EXPECT_FALSE(std::filesystem::exists(calendar_sync::SyncSettingsPath(home_)));
}

// 今すぐ同期 on a data home whose sync cannot start: another sync holds the lock, or the password
// kept is gone. Each is said in the dialog, and nothing is asked of a server.
TEST_F(SyncDialogTest, SyncNowThatCannotStartSaysWhy) {
    SetUpBefore();
    std::u16string whileLocked;
    std::u16string withoutPassword;
    Run([&](gui::Dialog& dialog) {
        {
            calendar_sync::SyncLock other(home_);
            ASSERT_TRUE(other.Held());
            TapItem(dialog, resources::kSyncNow);
            ASSERT_TRUE(gui::WaitForDialogWork(dialog, kLongestWork));
            whileLocked = dialog.ItemText(resources::kSyncStatus);
        }
        TapItem(dialog, resources::kSyncNow);
        ASSERT_TRUE(gui::WaitForDialogWork(dialog, kLongestWork));
        withoutPassword = dialog.ItemText(resources::kSyncStatus);
    });
    EXPECT_EQ(whileLocked, u"ほかの同期が実行中です。終わってからもう一度試してください。");
    EXPECT_NE(withoutPassword.find(u"同期を始められません"), std::u16string::npos)
        << QString::fromStdU16String(withoutPassword).toStdString();
}

TEST_F(SyncDialogTest, SyncNowBeforeAnySetupSaysSo) {
    std::u16string said;
    Run([&](gui::Dialog& dialog) {
        TapItem(dialog, resources::kSyncNow);
        EXPECT_FALSE(dialog.Handler().IsWorking());
        said = dialog.ItemText(resources::kSyncStatus);
    });
    EXPECT_NE(said.find(u"先に接続"), std::u16string::npos);
}

gui::Rect Overlap(const gui::Rect& a, const gui::Rect& b) {
    gui::Rect both{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom)};
    return both.left < both.right && both.top < both.bottom ? both : gui::Rect{};
}

// Every window of the dialog inside it and none over another, in portrait and after the screen
// turned with the dialog open; the list of calendars shows a few rows even on the lower, turned
// screen, and nothing needs the dialog to scroll.
TEST_F(SyncDialogTest, LaysItsWindowsOutInsideTheScreenInBothOrientations) {
    auto check = [](gui::Dialog& dialog, const char* where) {
        std::vector<gui::Rect> placed;
        for (gui::Control* control : dialog.Items()) {
            placed.push_back(control->ScreenRect());
        }
        CalendarListWindow* list = ListOf(dialog);
        ASSERT_NE(list, nullptr);
        placed.push_back(list->ScreenRect());
        const gui::Rect inside = dialog.ScreenRect();
        for (size_t i = 0; i < placed.size(); ++i) {
            EXPECT_EQ(Overlap(placed[i], inside), placed[i]) << where << " " << i;
            for (size_t j = i + 1; j < placed.size(); ++j) {
                EXPECT_TRUE(Overlap(placed[i], placed[j]).IsEmpty())
                    << where << " " << i << " " << j;
            }
        }
        EXPECT_GE(list->VisibleRows(), 4u) << where;
        EXPECT_FALSE(dialog.IsScrollable()) << where;
        // Each label's and button's text is seen whole (the status wraps, the fields scroll).
        for (gui::Control* control : dialog.Items()) {
            const bool button = dynamic_cast<gui::PushButton*>(control) != nullptr;
            if (control->Id() == resources::kSyncStatus ||
                (!button && dynamic_cast<gui::Label*>(control) == nullptr)) {
                continue;
            }
            const QWidget* widget = control->ScreenWidget();
            const int border = button ? 2 * dialog.Screen().Zoom() : 0;
            EXPECT_LE(QFontMetrics(widget->font())
                          .horizontalAdvance(QString::fromStdU16String(control->Text())),
                      widget->width() - border)
                << where << " " << control->Id();
        }
    };
    Run([&](gui::Dialog& dialog) {
        EXPECT_EQ(dialog.ScreenRect().Width(), 240);
        check(dialog, "portrait");
        screen_.Rotate();
        screen_.ProcessPending();
        EXPECT_EQ(dialog.ScreenRect().Width(), 320);
        check(dialog, "landscape");
        screen_.SetZoom(2);
        screen_.ProcessPending();
        check(dialog, "landscape at zoom 2");
    });
}

}  // namespace
}  // namespace settings
