#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

#include <functional>
#include <utility>
#include <vector>

#include "platform/gui/check_box.h"
#include "platform/gui/combo_box.h"
#include "platform/gui/device_screen.h"
#include "platform/gui/edit_box.h"
#include "platform/gui/label.h"
#include "platform/gui/month_calendar.h"
#include "platform/gui/push_button.h"
#include "platform/gui/typed_text_limit.h"

namespace gui {
namespace {

// A window that holds controls and writes down what they tell it.
class Panel : public Window {
public:
    explicit Panel(DeviceScreen& screen) : Window(screen, u"Panel", u"Tessarinth", kWhite) {}

    bool OnCommand(uint16_t command) override {
        commands.push_back(command);
        return true;
    }
    void OnControlNotify(Control& control, ControlNotification code) override {
        notes.emplace_back(&control, code);
        textsSeen.push_back(control.Text());
    }

    std::vector<uint16_t> commands;
    std::vector<std::pair<Control*, ControlNotification>> notes;
    std::vector<std::u16string> textsSeen;
};

void Type(QWidget* target, const QString& text) {
    for (const QChar character : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
        QApplication::sendEvent(target, &press);
    }
}

void PressKey(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

class ControlsTest : public ::testing::Test {
protected:
    ControlsTest() {
        panel_ = screen_.CreateTopLevel<Panel>();
        panel_->Show();
    }

    DeviceScreen screen_{Orientation::Portrait, 1};
    Panel* panel_ = nullptr;
};

TEST_F(ControlsTest, ButtonsAndCheckBoxesSendTheirIdOnATapOnly) {
    auto* button = screen_.CreateChild<PushButton>(*panel_, Rect{85, 52, 95, 64}, 40013, u".");
    auto* box = screen_.CreateChild<CheckBox>(*panel_, Rect{16, 86, 32, 102}, 40100, u"");
    qobject_cast<QPushButton*>(button->ScreenWidget())->click();
    button->Click();
    box->SetChecked(true);  // the program's own change: no command
    EXPECT_EQ(panel_->commands, (std::vector<uint16_t>{40013, 40013}));
    box->Click();
    EXPECT_FALSE(box->IsChecked());
    box->Click();
    EXPECT_TRUE(box->IsChecked());
    EXPECT_EQ(panel_->commands, (std::vector<uint16_t>{40013, 40013, 40100, 40100}));
    button->Enable(false);
    button->Click();
    EXPECT_EQ(panel_->commands.size(), 4u);
    EXPECT_FALSE(button->IsEnabled());
}

TEST_F(ControlsTest, ThePenOnTheDeviceActsOnControlsAsATapOnTheirWidgets) {
    screen_.CreateChild<PushButton>(*panel_, Rect{85, 52, 95, 64}, 40013, u".");
    auto* box = screen_.CreateChild<CheckBox>(*panel_, Rect{16, 86, 32, 102}, 40100, u"");
    auto* edit = screen_.CreateChild<EditBox>(*panel_, Rect{0, 120, 240, 150}, 7);
    const auto tap = [&](Point down, Point up) {
        screen_.PenDown({down.x, down.y + 26});
        screen_.PenUp({up.x, up.y + 26});
    };
    tap({90, 58}, {91, 60});
    EXPECT_EQ(panel_->commands, std::vector<uint16_t>{40013});
    tap({90, 58}, {120, 58});  // released off the button: no press
    EXPECT_EQ(panel_->commands.size(), 1u);
    tap({20, 90}, {20, 90});
    EXPECT_TRUE(box->IsChecked());
    EXPECT_EQ(panel_->commands, (std::vector<uint16_t>{40013, 40100}));

    EXPECT_FALSE(edit->HasFocus());
    tap({100, 130}, {100, 130});
    EXPECT_TRUE(edit->HasFocus());
    EXPECT_EQ(panel_->commands.size(), 2u);

    box->Enable(false);
    tap({20, 90}, {20, 90});
    EXPECT_TRUE(box->IsChecked());
    EXPECT_EQ(panel_->commands.size(), 2u);
}

TEST_F(ControlsTest, ComboBoxTellsPicksAndTypingButNotTheProgramsChanges) {
    auto* combo = screen_.CreateChild<ComboBox>(*panel_, Rect{30, 0, 240, 150}, 0);
    // The created height includes the dropped list; the control is as tall as its field.
    EXPECT_EQ(combo->ClientRect().Height(), combo->FieldHeight());
    EXPECT_EQ(combo->ScreenRect().top, 26);

    combo->SetText(u"打ち合わせ");
    combo->AddItem(u"会議");
    combo->AddItem(u"昼食");
    EXPECT_EQ(combo->Text(), u"打ち合わせ");  // adding entries leaves the field alone
    EXPECT_EQ(combo->Selection(), -1);
    ASSERT_EQ(combo->ItemCount(), 2);
    EXPECT_EQ(combo->ItemText(1), u"昼食");
    combo->Select(1);
    EXPECT_EQ(combo->Text(), u"昼食");
    EXPECT_TRUE(panel_->notes.empty());

    auto* widget = qobject_cast<QComboBox*>(combo->ScreenWidget());
    ASSERT_NE(widget, nullptr);
    PressKey(widget, Qt::Key_Up);
    ASSERT_EQ(panel_->notes.size(), 1u);
    EXPECT_EQ(panel_->notes[0].first, combo);
    EXPECT_EQ(panel_->notes[0].second, ControlNotification::SelectionChanged);
    EXPECT_EQ(panel_->textsSeen[0], u"会議");

    combo->LimitText(4);
    widget->lineEdit()->selectAll();
    Type(widget->lineEdit(), QStringLiteral("abcdef"));
    EXPECT_EQ(combo->Text(), u"abcd");
    EXPECT_EQ(panel_->notes.back().second, ControlNotification::EditChanged);
    EXPECT_EQ(widget->count(), 2);  // typing never adds to the list

    combo->ClearItems();
    EXPECT_EQ(combo->ItemCount(), 0);
    EXPECT_EQ(combo->Text(), u"");
}

TEST_F(ControlsTest, MultiLineEditHandsOverCrLfAndKeepsItsLimit) {
    auto* edit = screen_.CreateChild<EditBox>(*panel_, Rect{0, 75, 240, 175}, 0,
                                              EditStyle{true, true, true});
    edit->SetText(u"一行目\r\n二行目");
    EXPECT_TRUE(panel_->notes.empty());
    auto* widget = qobject_cast<QPlainTextEdit*>(edit->ScreenWidget());
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->toPlainText(), QStringLiteral("一行目\n二行目"));
    EXPECT_EQ(edit->Text(), u"一行目\r\n二行目");
    EXPECT_EQ(widget->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    edit->LimitText(12);  // 3 + 2 + 3 = 8 units so far
    widget->moveCursor(QTextCursor::End);
    widget->insertPlainText(QStringLiteral("\nabcdef"));
    EXPECT_EQ(edit->Text(), u"一行目\r\n二行目\r\nab");
    ASSERT_FALSE(panel_->notes.empty());
    EXPECT_EQ(panel_->notes.back().second, ControlNotification::EditChanged);
}

// A limit bounds typing only: a longer text the program put into a field stays whole, and what
// is typed past the limit goes whole, never half a surrogate pair.
TEST_F(ControlsTest, ALimitTakesBackOnlyWhatIsTypedAndNeverHalfACharacter) {
    auto* line = screen_.CreateChild<EditBox>(*panel_, Rect{10, 30, 190, 50}, 1002);
    line->LimitText(5);
    line->SetText(u"1234567");
    EXPECT_EQ(line->Text(), u"1234567");
    auto* field = qobject_cast<QLineEdit*>(line->ScreenWidget());
    ASSERT_NE(field, nullptr);
    field->end(false);
    Type(field, QStringLiteral("x"));
    EXPECT_EQ(line->Text(), u"1234567");
    PressKey(field, Qt::Key_Backspace);
    PressKey(field, Qt::Key_Backspace);
    PressKey(field, Qt::Key_Backspace);
    Type(field, QStringLiteral("ab"));
    EXPECT_EQ(line->Text(), u"1234a");

    auto* memo = screen_.CreateChild<EditBox>(*panel_, Rect{0, 75, 240, 175}, 0,
                                              EditStyle{true, true, true});
    memo->LimitText(4);
    memo->SetText(u"abcdef");
    auto* lines = qobject_cast<QPlainTextEdit*>(memo->ScreenWidget());
    ASSERT_NE(lines, nullptr);
    lines->moveCursor(QTextCursor::End);
    lines->insertPlainText(QStringLiteral("Z"));
    EXPECT_EQ(memo->Text(), u"abcdef");

    const auto taken = TakeBackOverLimit(QStringLiteral("abc"), QStringLiteral("abc🎍d"), 6, 4);
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(taken->text, QStringLiteral("abc"));
    EXPECT_EQ(taken->cursor, 3);
    EXPECT_FALSE(TakeBackOverLimit(QStringLiteral("abcdef"), QStringLiteral("abcde"), 5, 4));
}

TEST_F(ControlsTest, SingleLineEditNotifiesTyping) {
    auto* edit = screen_.CreateChild<EditBox>(*panel_, Rect{10, 30, 190, 50}, 1002);
    edit->SetText(u"\\My Documents");
    EXPECT_TRUE(panel_->notes.empty());
    Type(edit->ScreenWidget(), QStringLiteral("x"));
    EXPECT_EQ(edit->Text(), u"\\My Documentsx");
    ASSERT_EQ(panel_->notes.size(), 1u);
    EXPECT_EQ(panel_->notes[0].second, ControlNotification::EditChanged);
}

TEST_F(ControlsTest, MonthCalendarKeepsRealDaysOnly) {
    auto* calendar = screen_.CreateChild<MonthCalendar>(*panel_, Rect{10, 10, 180, 170}, 1001);
    EXPECT_TRUE(calendar->SetSelection({2026, 10, 12}));
    EXPECT_EQ(calendar->Selection(), (CalendarDay{2026, 10, 12}));
    EXPECT_FALSE(calendar->SetSelection({2026, 2, 30}));
    EXPECT_EQ(calendar->Selection(), (CalendarDay{2026, 10, 12}));
    EXPECT_TRUE(panel_->notes.empty());
}

TEST_F(ControlsTest, WidgetsFollowTheirWindowOnTheScreen) {
    auto* label = screen_.CreateChild<Label>(*panel_, Rect{0, 25, 30, 45}, 0, u"場所");
    QWidget* widget = label->ScreenWidget();
    EXPECT_FALSE(widget->isHidden());
    EXPECT_EQ(widget->geometry(), QRect(0, 51, 30, 20));

    screen_.SetZoom(3);
    EXPECT_EQ(widget->geometry(), QRect(0, 153, 90, 60));
    EXPECT_EQ(widget->font().pixelSize(), 36);
    label->SetFontPixelSize(11);
    EXPECT_EQ(widget->font().pixelSize(), 33);
    panel_->Move(0, 40, 240, 200, false);
    EXPECT_EQ(widget->geometry(), QRect(0, 195, 90, 60));

    // Another top-level window on top hides the controls of the one underneath.
    auto* other = screen_.CreateTopLevel<Panel>();
    other->Show();
    EXPECT_TRUE(widget->isHidden());
    other->Hide();
    EXPECT_FALSE(widget->isHidden());
    other->Show();
    other->Destroy();
    EXPECT_FALSE(widget->isHidden());

    label->Hide();
    EXPECT_TRUE(widget->isHidden());
    label->Show();
    panel_->Hide();
    EXPECT_TRUE(widget->isHidden());
    panel_->Show();
    EXPECT_FALSE(widget->isHidden());
}

TEST_F(ControlsTest, ControlsInsideAHiddenChildStayHidden) {
    auto* pad = screen_.CreateChild<Panel>(*panel_, Rect{0, 155, 240, 425});
    auto* notes =
        screen_.CreateChild<EditBox>(*pad, Rect{0, 20, 240, 115}, 0, EditStyle{true, true, true});
    EXPECT_TRUE(notes->ScreenWidget()->isHidden());  // the pad is not shown yet
    pad->Show();
    EXPECT_FALSE(notes->ScreenWidget()->isHidden());
    EXPECT_EQ(notes->ScreenWidget()->geometry().topLeft(), QPoint(0, 26 + 155 + 20));
}

TEST_F(ControlsTest, DestroyingTheWindowTakesEveryControlAndWidget) {
    std::vector<std::function<bool()>> alive;
    std::vector<QPointer<QWidget>> widgets;
    for (int i = 0; i < 4; ++i) {
        auto* button = screen_.CreateChild<PushButton>(*panel_, Rect{0, 20 * i, 50, 20 * i + 18},
                                                       static_cast<uint16_t>(i + 1), u"OK");
        alive.push_back(screen_.IsAlive(button));
        widgets.emplace_back(button->ScreenWidget());
    }
    panel_->Destroy();
    for (size_t i = 0; i < alive.size(); ++i) {
        EXPECT_FALSE(alive[i]()) << i;
        EXPECT_TRUE(widgets[i].isNull() || widgets[i]->isHidden()) << i;
    }
    screen_.ProcessPending();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (const QPointer<QWidget>& widget : widgets) {
        EXPECT_TRUE(widget.isNull());
    }
}

TEST_F(ControlsTest, ScreenshotsShowTheControls) {
    auto* swatch = screen_.CreateChild<Label>(*panel_, Rect{56, 40, 88, 55}, 1007, u"今日",
                                              LabelAlign::Center, true);
    swatch->SetColors(kBlack, Rgb(255, 0, 0));
    auto* edit = screen_.CreateChild<EditBox>(*panel_, Rect{10, 100, 190, 120}, 1002);
    screen_.ProcessPending();
    QImage shot = screen_.Render(1);
    // Swatch on screen at (56, 66): its border, then its colour inside.
    EXPECT_EQ(FromQRgb(shot.pixel(56, 66)), kBlack);
    EXPECT_EQ(FromQRgb(shot.pixel(58, 72)), Rgb(255, 0, 0));
    EXPECT_EQ(FromQRgb(shot.pixel(10, 130)), kBlack);  // the edit's border
    EXPECT_EQ(FromQRgb(shot.pixel(100, 136)), kWhite);

    // At another zoom than the screen's the widget is scaled into place.
    shot = screen_.Render(2);
    EXPECT_EQ(FromQRgb(shot.pixel(2 * 58, 2 * 72)), Rgb(255, 0, 0));

    edit->Hide();
    shot = screen_.Render(1);
    EXPECT_EQ(FromQRgb(shot.pixel(10, 130)), kWhite);
}

}  // namespace
}  // namespace gui
