#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QWheelEvent>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/gui/check_box.h"
#include "platform/gui/color_chooser.h"
#include "platform/gui/combo_box.h"
#include "platform/gui/device_screen.h"
#include "platform/gui/dialog_units.h"
#include "platform/gui/edit_box.h"
#include "platform/gui/label.h"
#include "platform/gui/modal_dialog.h"
#include "platform/gui/push_button.h"

namespace gui {
namespace {

constexpr uint16_t kSubjectBox = 1001;
constexpr uint16_t kPathEdit = 1002;
constexpr uint16_t kColorButton = 1005;
constexpr uint16_t kSwatch = 1007;
constexpr uint16_t kMemoBox = 1018;

// An "edit entry" dialog in the settings dialog's manner: a path, a subject with history, a
// switch, a colour and its swatch, OK and Cancel.
DialogTemplate EntryTemplate() {
    DialogTemplate dialog;
    dialog.width = 131;
    dialog.height = 149;
    dialog.caption = u"設定";
    dialog.fontFace = u"System";
    dialog.pointSize = 9;
    dialog.items = {
        {DialogItemKind::Static, 0, 7, 7, 89, 11, u"データ保存ディレクトリー", 0, {}},
        {DialogItemKind::Edit, kPathEdit, 7, 21, 118, 12, u"", kItemBorder | kItemAutoHScroll, {}},
        {DialogItemKind::ComboBox, kSubjectBox, 7, 36, 118, 60, u"", kItemTabStop, {}},
        {DialogItemKind::PushButton, kColorButton, 43, 52, 10, 7, u"..", kItemTabStop, {}},
        {DialogItemKind::Static, kSwatch, 56, 50, 21, 9, u"今日", kItemBorder | kItemCenter, {}},
        {DialogItemKind::CheckBox, kMemoBox, 7, 84, 86, 10, u"テキストメモ優先", kItemTabStop, {}},
        {DialogItemKind::DefaultPushButton, kOkCommand, 7, 128, 50, 14, u"OK", kItemTabStop, {}},
        {DialogItemKind::PushButton,
         kCancelCommand,
         72,
         128,
         50,
         14,
         u"キャンセル",
         kItemTabStop,
         {}},
    };
    return dialog;
}

// The settings the dialog edits, and a procedure in the program's manner.
struct Entry {
    std::u16string path = u"\\My Documents";
    std::u16string subject;
    bool memo = false;
    ColorRef color = Rgb(0, 0, 0xFF);
};

class EntryHandler : public DialogHandler {
public:
    explicit EntryHandler(Entry& entry) : entry_(entry), working_(entry.color) {}

    bool OnInitDialog(Dialog& dialog) override {
        initialised = true;
        InitFullScreenDialog(dialog);
        dialog.SetItemText(kPathEdit, entry_.path);
        auto* subject = dialog.ItemAs<ComboBox>(kSubjectBox);
        subject->AddItem(u"会議");
        subject->AddItem(u"昼食");
        subject->SetText(entry_.subject);
        dialog.CheckItem(kMemoBox, entry_.memo);
        ShowSwatch(dialog);
        return true;
    }
    bool OnCommand(Dialog& dialog, uint16_t id) override {
        commands.push_back(id);
        switch (id) {
            case kOkCommand:
                entry_.path = dialog.ItemText(kPathEdit);
                entry_.subject = dialog.ItemText(kSubjectBox);
                entry_.memo = dialog.IsItemChecked(kMemoBox);
                entry_.color = working_;
                dialog.End(1);
                return true;
            case kCancelCommand:
                dialog.End(2);
                return true;
            case kColorButton:
                if (std::optional<ColorRef> chosen = ChooseColor(dialog.Screen(), working_)) {
                    working_ = *chosen;
                    ShowSwatch(dialog);
                }
                return true;
            default:
                return false;
        }
    }
    void OnControlNotify(Dialog&, Control& control, ControlNotification code) override {
        notes.emplace_back(control.Id(), code);
    }

    bool initialised = false;
    std::vector<uint16_t> commands;
    std::vector<std::pair<uint16_t, ControlNotification>> notes;

private:
    void ShowSwatch(Dialog& dialog) { dialog.ItemAs<Label>(kSwatch)->SetColors(kBlack, working_); }

    Entry& entry_;
    ColorRef working_;
};

class Owner : public Window {
public:
    explicit Owner(DeviceScreen& screen) : Window(screen, u"TimeWindow", u"Tessarinth", kWhite) {}
};

class DialogsTest : public ::testing::Test {
protected:
    DialogsTest() {
        owner_ = screen_.CreateTopLevel<Owner>();
        owner_->Show();
        screen_.SetModalResponder(&responder_);
    }

    DeviceScreen screen_{Orientation::Portrait, 1};
    ScriptedResponder responder_;
    Owner* owner_ = nullptr;
    Entry entry_;
};

TEST(DialogUnitsTest, SystemFontsMeasuredOnTheProportionalGothic) {
    const DialogUnits eight = DialogUnits::ForPointSize(8);
    EXPECT_EQ(eight.FontPixels(), 11);
    EXPECT_EQ(eight.BaseX(), 7);
    EXPECT_EQ(eight.BaseY(), 12);
    const DialogUnits nine = DialogUnits::ForPointSize(9);
    EXPECT_EQ(nine.FontPixels(), 12);
    EXPECT_EQ(nine.BaseX(), 7);
    EXPECT_EQ(nine.BaseY(), 13);
    // Each value rounds on its own: 131 x 7 / 4 = 229.25, 118 x 7 / 4 = 206.5, 149 x 13 / 8 =
    // 242.1. The settings dialog still fits the upright screen's 240 pixels across.
    EXPECT_EQ(nine.ToPixelsX(131), 229);
    EXPECT_EQ(nine.ToPixelsY(149), 242);
    EXPECT_EQ(nine.ToPixels(7, 21, 118, 12), (Rect{12, 34, 12 + 207, 34 + 20}));
    EXPECT_EQ(DialogUnits(6, 13, 12).ToPixelsX(-3), -5);
    // Full-width text gets the room the templates give it: the settings dialog's twelve
    // characters of "データ保存ディレクトリー" (144 pixels) in 89 units.
    EXPECT_GE(nine.ToPixelsX(89), 12 * nine.FontPixels());
}

TEST_F(DialogsTest, OkReadsWhatTheUserSetAndEndsWithOne) {
    EntryHandler handler(entry_);
    entry_.subject = u"打ち合わせ";
    bool checkedBeforeAnswer = false;
    responder_.dialogAnswers.push_back({[&](Dialog& dialog) {
                                            // Initialised and on top when the user sees it.
                                            checkedBeforeAnswer =
                                                handler.initialised &&
                                                screen_.ActiveWindow() == &dialog &&
                                                dialog.ItemText(kSubjectBox) == u"打ち合わせ" &&
                                                dialog.ItemText(kPathEdit) == u"\\My Documents";
                                            dialog.SetItemText(kPathEdit, u"\\Storage Card");
                                            dialog.ItemAs<ComboBox>(kSubjectBox)->Select(1);
                                            dialog.ItemAs<CheckBox>(kMemoBox)->Click();
                                        },
                                        kOkCommand});
    EXPECT_EQ(RunModalDialog(screen_, *owner_, EntryTemplate(), handler), 1);
    EXPECT_TRUE(checkedBeforeAnswer);
    EXPECT_EQ(entry_.path, u"\\Storage Card");
    EXPECT_EQ(entry_.subject, u"昼食");
    EXPECT_TRUE(entry_.memo);
    EXPECT_EQ(handler.commands, (std::vector<uint16_t>{kMemoBox, kOkCommand}));
    EXPECT_EQ(responder_.dialogsShown, std::vector<std::u16string>{u"設定"});
    EXPECT_EQ(responder_.unexpected, 0);
    // The dialog is gone and its owner is back on top.
    EXPECT_EQ(screen_.ActiveWindow(), owner_);
}

TEST_F(DialogsTest, CancelChangesNothingEvenAfterAColourWasChosen) {
    EntryHandler handler(entry_);
    responder_.colorAnswers.push_back(Rgb(0x12, 0x34, 0x56));
    responder_.dialogAnswers.push_back(
        {[](Dialog& dialog) { dialog.ItemAs<PushButton>(kColorButton)->Click(); }, kCancelCommand});
    EXPECT_EQ(RunModalDialog(screen_, *owner_, EntryTemplate(), handler), 2);
    EXPECT_EQ(responder_.colorsOffered, std::vector<ColorRef>{Rgb(0, 0, 0xFF)});
    EXPECT_EQ(entry_.color, Rgb(0, 0, 0xFF));
    EXPECT_EQ(entry_.path, u"\\My Documents");
}

TEST_F(DialogsTest, TheChosenColourShowsOnTheSwatch) {
    EntryHandler handler(entry_);
    responder_.colorAnswers = {Rgb(0x12, 0x34, 0x56), std::nullopt};
    QImage shot;
    responder_.dialogAnswers.push_back({[&](Dialog& dialog) {
                                            auto* button = dialog.ItemAs<PushButton>(kColorButton);
                                            button->Click();
                                            button->Click();  // cancelled: the colour stays
                                            screen_.ProcessPending();
                                            shot = screen_.Render(1);
                                        },
                                        kOkCommand});
    EXPECT_EQ(RunModalDialog(screen_, *owner_, EntryTemplate(), handler), 1);
    EXPECT_EQ(entry_.color, Rgb(0x12, 0x34, 0x56));
    // The swatch at (56, 50) dialog units = (98, 81) in the dialog, under the 26-pixel bar.
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(FromQRgb(shot.pixel(98 + 2, 26 + 81 + 2)), Rgb(0x12, 0x34, 0x56));
}

TEST_F(DialogsTest, FullScreenDialogsFillTheWorkAreaAndTheirOkButtonSendsOne) {
    EntryHandler handler(entry_);
    Rect placed;
    responder_.dialogAnswers.push_back({[&](Dialog& dialog) {
                                            placed = dialog.ScreenRect();
                                            screen_.PenDown({235, 10});  // the OK button
                                        },
                                        0});
    EXPECT_EQ(RunModalDialog(screen_, *owner_, EntryTemplate(), handler), 1);
    EXPECT_EQ(placed, screen_.WorkArea());
    EXPECT_EQ(handler.commands, (std::vector<uint16_t>{0, kOkCommand}));
}

TEST_F(DialogsTest, APopUpDialogIsCentredAndHidesTheOwnersControls) {
    class Plain : public DialogHandler {
    public:
        bool OnCommand(Dialog& dialog, uint16_t id) override {
            dialog.End(id);
            return true;
        }
    } handler;
    auto* ownButton = screen_.CreateChild<PushButton>(*owner_, Rect{0, 0, 50, 20}, 40013, u".");
    DialogTemplate about;
    about.width = 140;
    about.height = 98;
    about.pointSize = 8;
    about.caption = u"About Tessarinth";
    about.items = {{DialogItemKind::PushButton, 1, 40, 58, 50, 14, u"Ok", kItemTabStop, {}}};
    Rect placed;
    bool ownerButtonHidden = false;
    responder_.dialogAnswers.push_back({[&](Dialog& dialog) {
                                            placed = dialog.ScreenRect();
                                            ownerButtonHidden =
                                                ownButton->ScreenWidget()->isHidden();
                                        },
                                        1});
    EXPECT_EQ(RunModalDialog(screen_, *owner_, about, handler), 1);
    // 140 x 98 units at 7 x 12 is 245 x 147: as wide as the 240 x 268 work area below y 26
    // allows, and centred in it.
    EXPECT_EQ(placed, (Rect{0, 26 + 60, 240, 26 + 60 + 147}));
    EXPECT_TRUE(ownerButtonHidden);
    EXPECT_FALSE(ownButton->ScreenWidget()->isHidden());
}

TEST_F(DialogsTest, NotificationsAndKeysReachTheHandler) {
    EntryHandler handler(entry_);
    responder_.dialogAnswers.push_back(
        {[](Dialog& dialog) { dialog.Screen().KeyDown(Key::Return); }, 0});
    EXPECT_EQ(RunModalDialog(screen_, *owner_, EntryTemplate(), handler), 1);
    EXPECT_EQ(handler.commands, (std::vector<uint16_t>{kOkCommand}));

    EntryHandler second(entry_);
    responder_.dialogAnswers.push_back(
        {[](Dialog& dialog) {
             QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
             QApplication::sendEvent(dialog.Item(kSubjectBox)->ScreenWidget(), &down);
             dialog.Screen().KeyDown(Key::Escape);
         },
         0});
    EXPECT_EQ(RunModalDialog(screen_, *owner_, EntryTemplate(), second), 2);
    EXPECT_EQ(entry_.subject, u"");  // cancelled: the pick is not kept
    EXPECT_EQ(second.notes, (std::vector<std::pair<uint16_t, ControlNotification>>{
                                {kSubjectBox, ControlNotification::SelectionChanged}}));
}

TEST_F(DialogsTest, ADialogEndedWhileInitialisingIsNeverShown) {
    class Refusing : public DialogHandler {
    public:
        bool OnInitDialog(Dialog& dialog) override {
            dialog.End(7);
            return true;
        }
        bool OnCommand(Dialog&, uint16_t) override { return false; }
    } handler;
    EXPECT_EQ(RunModalDialog(screen_, *owner_, EntryTemplate(), handler), 7);
    EXPECT_TRUE(responder_.dialogsShown.empty());
}

TEST_F(DialogsTest, ADialogThatWillNotEndIsGivenUpOn) {
    class Stubborn : public DialogHandler {
    public:
        bool OnCommand(Dialog&, uint16_t) override { return true; }
    } handler;
    EXPECT_EQ(RunModalDialog(screen_, *owner_, EntryTemplate(), handler), kDialogNotEnded);
    EXPECT_GT(responder_.unexpected, 0);
    EXPECT_EQ(screen_.ActiveWindow(), owner_);
}

TEST_F(DialogsTest, WithoutAResponderTheDialogRunsItsOwnLoop) {
    screen_.SetModalResponder(nullptr);
    EntryHandler handler(entry_);
    bool tapped = false;
    // A tap on the OK button once the loop runs: the event loop is the one inside the run.
    QTimer::singleShot(0, &screen_, [&] {
        auto* dialog = dynamic_cast<Dialog*>(screen_.ActiveWindow());
        ASSERT_NE(dialog, nullptr);
        dialog->SetItemText(kPathEdit, u"\\Temp");
        qobject_cast<QPushButton*>(dialog->Item(kOkCommand)->ScreenWidget())->click();
        tapped = true;
    });
    EXPECT_EQ(RunModalDialog(screen_, *owner_, EntryTemplate(), handler), 1);
    EXPECT_TRUE(tapped);
    EXPECT_EQ(entry_.path, u"\\Temp");
}

TEST_F(DialogsTest, ColourChooserAnswersThroughTheResponder) {
    responder_.colorAnswers = {Rgb(1, 2, 3), std::nullopt};
    EXPECT_EQ(ChooseColor(screen_, Rgb(9, 9, 9)), std::optional<ColorRef>(Rgb(1, 2, 3)));
    EXPECT_EQ(ChooseColor(screen_, Rgb(8, 8, 8)), std::nullopt);
    EXPECT_EQ(ChooseColor(screen_, Rgb(7, 7, 7)), std::nullopt);  // nothing queued: cancelled
    EXPECT_EQ(responder_.colorsOffered,
              (std::vector<ColorRef>{Rgb(9, 9, 9), Rgb(8, 8, 8), Rgb(7, 7, 7)}));
    EXPECT_EQ(responder_.unexpected, 1);
}

// The same dialogs on the turned screen, whose work area (320 x 188) is lower than the entry
// dialog (242 pixels).
class LandscapeDialogsTest : public DialogsTest {
protected:
    LandscapeDialogsTest() { screen_.Rotate(); }

    void Tap(Point point) {
        screen_.PenDown(point);
        screen_.ProcessPending();
        screen_.PenUp(point);
        screen_.ProcessPending();
    }
    static Point Middle(const Rect& rect) {
        return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
    bool InWorkArea(const Rect& rect) const {
        const Rect work = screen_.WorkArea();
        return rect.top >= work.top && rect.bottom <= work.bottom && rect.left >= work.left &&
               rect.right <= work.right;
    }
};

TEST_F(LandscapeDialogsTest, ATallDialogScrollsWithThePenUntilItsButtonsCanBeTapped) {
    EntryHandler handler(entry_);
    bool okOutOfReachAtFirst = false;
    bool pathInReachAtFirst = false;
    int taps = 0;
    responder_.dialogAnswers.push_back({[&](Dialog& dialog) {
                                            Control* ok = dialog.Item(kOkCommand);
                                            okOutOfReachAtFirst = !InWorkArea(ok->ScreenRect());
                                            pathInReachAtFirst =
                                                InWorkArea(dialog.Item(kPathEdit)->ScreenRect());
                                            // Taps on the lower end of the strip at the right edge,
                                            // as a user pages down.
                                            const Rect work = screen_.WorkArea();
                                            while (taps < 10 && !InWorkArea(ok->ScreenRect())) {
                                                Tap({work.right - 6, work.bottom - 20});
                                                ++taps;
                                            }
                                            dialog.SetItemText(kPathEdit, u"\\Storage Card");
                                            Tap(Middle(ok->ScreenRect()));
                                        },
                                        0});
    EXPECT_EQ(RunModalDialog(screen_, *owner_, EntryTemplate(), handler), 1);
    EXPECT_TRUE(okOutOfReachAtFirst);
    EXPECT_TRUE(pathInReachAtFirst);
    EXPECT_LT(taps, 10);
    EXPECT_EQ(entry_.path, u"\\Storage Card");
}

TEST_F(LandscapeDialogsTest, ControlsScrolledOutOfTheWindowAreCutAtItsEdges) {
    EntryHandler handler(entry_);
    // Shown, so that the desktop draws the control widgets over the screen as a user sees it.
    screen_.show();
    QImage partly;
    QImage wholly;
    responder_.dialogAnswers.push_back({[&](Dialog& dialog) {
                                            // The path field (34 to 54 unscrolled) then lies at
                                            // -11 to 9, half in front of the navigation bar...
                                            dialog.ScrollTo(45);
                                            screen_.ProcessPending();
                                            partly = screen_.grab().toImage();
                                            // ... and at -20 to 0, wholly in front of it.
                                            dialog.ScrollTo(dialog.MaxScrollOffset());
                                            screen_.ProcessPending();
                                            wholly = screen_.grab().toImage();
                                        },
                                        kCancelCommand});
    RunModalDialog(screen_, *owner_, EntryTemplate(), handler);
    screen_.hide();
    ASSERT_FALSE(partly.isNull());
    ASSERT_FALSE(wholly.isNull());
    const int zoom = screen_.Zoom();
    const auto at = [zoom](const QImage& image, int x, int y) {
        return image.pixelColor(x * zoom + zoom / 2, y * zoom + zoom / 2);
    };
    // The navigation bar's colour beside the field, and where the field would lie over it.
    const QColor bar = at(partly, 220, 20);
    EXPECT_NE(bar, QColor(Qt::white));
    EXPECT_EQ(at(partly, 100, 20), bar);
    EXPECT_EQ(at(wholly, 100, 16), bar);
    // The part of the field still in the dialog shows, white.
    EXPECT_EQ(at(partly, 100, 30), QColor(Qt::white));
}

TEST_F(LandscapeDialogsTest, TheWheelOverTheScreenScrolls) {
    EntryHandler handler(entry_);
    int afterDown = -1;
    int afterUp = -1;
    responder_.dialogAnswers.push_back(
        {[&](Dialog& dialog) {
             // Over the screen itself, where the desktop's wheel ends up whichever control it
             // turned over (none of them takes it).
             const auto turn = [this](int degrees) {
                 const QPointF where(100, 150);
                 QWheelEvent wheel(where, screen_.mapToGlobal(where), QPoint(),
                                   QPoint(0, degrees * 8), Qt::NoButton, Qt::NoModifier,
                                   Qt::NoScrollPhase, false);
                 QApplication::sendEvent(&screen_, &wheel);
             };
             turn(-15 * 10);  // ten notches towards the user: down, as far as there is
             afterDown = dialog.ScrollOffset();
             turn(15);
             afterUp = dialog.ScrollOffset();
         },
         kCancelCommand});
    RunModalDialog(screen_, *owner_, EntryTemplate(), handler);
    EXPECT_EQ(afterDown, 242 - 188);
    EXPECT_LT(afterUp, afterDown);
    EXPECT_GT(afterUp, 0);
}

TEST_F(LandscapeDialogsTest, TurningTheScreenWithTheDialogOpenScrollsOnlyWhereItMust) {
    screen_.Rotate();  // back to portrait: the dialog fits
    EntryHandler handler(entry_);
    bool scrollableInPortrait = true;
    int maxInLandscape = 0;
    bool okReachedInLandscape = false;
    int offsetBackInPortrait = -1;
    Rect okBackInPortrait;
    responder_.dialogAnswers.push_back({[&](Dialog& dialog) {
                                            scrollableInPortrait = dialog.IsScrollable();
                                            screen_.Rotate();
                                            maxInLandscape = dialog.MaxScrollOffset();
                                            dialog.ScrollTo(maxInLandscape);
                                            okReachedInLandscape =
                                                InWorkArea(dialog.Item(kOkCommand)->ScreenRect());
                                            screen_.Rotate();
                                            offsetBackInPortrait = dialog.ScrollOffset();
                                            okBackInPortrait =
                                                dialog.Item(kOkCommand)->ScreenRect();
                                        },
                                        kCancelCommand});
    RunModalDialog(screen_, *owner_, EntryTemplate(), handler);
    EXPECT_FALSE(scrollableInPortrait);
    EXPECT_EQ(maxInLandscape, 242 - 188);
    EXPECT_TRUE(okReachedInLandscape);
    EXPECT_EQ(offsetBackInPortrait, 0);
    // OK at (7, 128) dialog units, 50 x 14: (12, 208), 88 x 23, under the bar.
    EXPECT_EQ(okBackInPortrait, (Rect{12, 26 + 208, 12 + 88, 26 + 208 + 23}));
}

TEST_F(LandscapeDialogsTest, TheKeyboardMovingIntoAControlOutOfSightScrollsItIntoView) {
    EntryHandler handler(entry_);
    screen_.show();
    screen_.activateWindow();
    bool okOutOfReach = false;
    bool okInReach = false;
    responder_.dialogAnswers.push_back({[&](Dialog& dialog) {
                                            Control* ok = dialog.Item(kOkCommand);
                                            okOutOfReach = !InWorkArea(ok->ScreenRect());
                                            ok->ScreenWidget()->setFocus(Qt::TabFocusReason);
                                            okInReach = InWorkArea(ok->ScreenRect());
                                        },
                                        kCancelCommand});
    RunModalDialog(screen_, *owner_, EntryTemplate(), handler);
    screen_.hide();
    EXPECT_TRUE(okOutOfReach);
    EXPECT_TRUE(okInReach);
}

}  // namespace
}  // namespace gui
