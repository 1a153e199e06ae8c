#include "platform/gui/message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/gui/device_screen.h"
#include "platform/gui/dialog.h"
#include "platform/gui/label.h"
#include "platform/gui/push_button.h"

namespace gui {
namespace {

constexpr std::u16string_view kEndSeriesText = u"繰り返しをやめて、この予定だけを残しますか？";
constexpr std::u16string_view kSeriesBoxCaption = u"繰り返し";
// The dialogs' font: "System" 9 is 12 device pixels high.
constexpr int kDialogFontPixels = 12;

class BoxOwner : public Window {
public:
    explicit BoxOwner(DeviceScreen& screen)
        : Window(screen, u"TimeWindow", u"Tessarinth", kWhite) {}
};

bool LiesInside(const Rect& inner, const Rect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

std::vector<PushButton*> ButtonsOfBox(const Dialog& box) {
    std::vector<PushButton*> buttons;
    for (Control* control : box.Items()) {
        if (auto* button = dynamic_cast<PushButton*>(control)) {
            buttons.push_back(button);
        }
    }
    return buttons;
}

// What a user sees of a message box while it is up, taken before it is answered.
struct SeenMessageBox {
    bool active = false;
    std::u16string title;
    const Window* owner = nullptr;
    Rect rect;
    Rect textRect;
    std::u16string text;
    int textFontPixels = 0;
    int textHeightNeeded = 0;  // the wrapped text's height at the zoom, in widget pixels
    int textWidgetHeight = 0;
    int textWidgetWidth = 0;
    int widestLine = 0;  // the text's widest line at the zoom, in widget pixels
    std::vector<std::u16string> buttonTexts;
    std::vector<Rect> buttonRects;
    std::vector<int> buttonFontPixels;
    std::vector<int> buttonTextWidths;  // each button's text at the zoom, in widget pixels
    std::vector<uint16_t> buttonIds;
    uint16_t defaultId = 0;
    QImage shot;
};

SeenMessageBox LookAtBox(Dialog& box, int zoom) {
    SeenMessageBox seen;
    DeviceScreen& screen = box.Screen();
    screen.ProcessPending();
    seen.active = screen.ActiveWindow() == &box;
    seen.title = box.Title();
    seen.owner = box.Owner();
    seen.rect = box.ScreenRect();
    if (Control* text = box.Item(kMessageBoxText)) {
        auto* label = qobject_cast<QLabel*>(text->ScreenWidget());
        seen.textRect = text->ScreenRect();
        seen.text = text->Text();
        seen.textFontPixels = label->font().pixelSize();
        seen.textHeightNeeded = label->heightForWidth(label->width());
        if (!label->wordWrap()) {
            // One line: it must be as wide as the text.
            seen.textHeightNeeded =
                label->width() >= QFontMetrics(label->font()).horizontalAdvance(label->text())
                    ? QFontMetrics(label->font()).height()
                    : 1 << 20;
        }
        seen.textWidgetHeight = label->height();
        seen.textWidgetWidth = label->width();
        for (const QString& line : label->text().split(QLatin1Char('\n'))) {
            seen.widestLine =
                std::max(seen.widestLine, QFontMetrics(label->font()).horizontalAdvance(line));
        }
    }
    for (PushButton* button : ButtonsOfBox(box)) {
        auto* widget = qobject_cast<QPushButton*>(button->ScreenWidget());
        seen.buttonTexts.push_back(button->Text());
        seen.buttonRects.push_back(button->ScreenRect());
        seen.buttonFontPixels.push_back(widget->font().pixelSize());
        seen.buttonTextWidths.push_back(
            QFontMetrics(widget->font()).horizontalAdvance(widget->text()));
        seen.buttonIds.push_back(button->Id());
        if (button->IsDefault()) {
            seen.defaultId = button->Id();
        }
    }
    seen.shot = screen.Render(zoom);
    return seen;
}

class MessageBoxTest : public ::testing::TestWithParam<std::tuple<Orientation, int>> {
protected:
    MessageBoxTest() : screen_(std::get<0>(GetParam()), std::get<1>(GetParam())) {
        owner_ = screen_.CreateTopLevel<BoxOwner>();
        owner_->Show();
        screen_.SetModalResponder(&responder_);
        screen_.UseManualTimers();
    }

    int Zoom() const { return std::get<1>(GetParam()); }

    DeviceScreen screen_;
    ScriptedResponder responder_;
    BoxOwner* owner_ = nullptr;
};

// The series question with its three answers, as the editor asks it: a dialog of the screen's
// own over the editor, in the dialogs' font at the screen's zoom, inside the work area, its
// whole text in sight above a row of buttons that hold their words.
TEST_P(MessageBoxTest, TheQuestionIsTheScreensOwnDialogInsideItsFrameAtItsZoom) {
    SeenMessageBox seen;
    responder_.whileMessageBoxOpen = [&](Dialog& box) { seen = LookAtBox(box, Zoom()); };
    responder_.messageBoxAnswers.push_back(MessageBoxAnswer::No);
    EXPECT_EQ(
        screen_.ShowMessageBox(kEndSeriesText, kSeriesBoxCaption, MessageBoxButtons::YesNoCancel),
        MessageBoxAnswer::No);
    EXPECT_EQ(responder_.messageBoxTexts,
              std::vector<std::u16string>{std::u16string(kEndSeriesText)});

    ASSERT_TRUE(seen.active);
    EXPECT_EQ(seen.title, kSeriesBoxCaption);
    EXPECT_EQ(seen.owner, owner_);
    const Rect work = screen_.WorkArea();
    EXPECT_TRUE(LiesInside(seen.rect, work));
    EXPECT_LE(std::abs((seen.rect.left - work.left) - (work.right - seen.rect.right)), 1);

    // The text: the whole question, in 12 device pixels times the zoom, every line of it in
    // sight inside the box.
    std::u16string shown = seen.text;
    std::erase(shown, u'\n');
    EXPECT_EQ(shown, kEndSeriesText);
    EXPECT_LE(seen.widestLine, seen.textWidgetWidth);
    EXPECT_EQ(seen.textFontPixels, kDialogFontPixels * Zoom());
    EXPECT_TRUE(LiesInside(seen.textRect, seen.rect));
    EXPECT_LE(seen.textHeightNeeded, seen.textWidgetHeight);

    // The buttons: はい (the default), いいえ, キャンセル left to right under the text, apart,
    // each wide enough for its word, all inside the box.
    EXPECT_EQ(seen.buttonTexts, (std::vector<std::u16string>{u"はい", u"いいえ", u"キャンセル"}));
    EXPECT_EQ(seen.buttonIds, (std::vector<uint16_t>{6, 7, 2}));
    EXPECT_EQ(seen.defaultId, 6);
    ASSERT_EQ(seen.buttonRects.size(), 3u);
    for (size_t i = 0; i < seen.buttonRects.size(); ++i) {
        const Rect& button = seen.buttonRects[i];
        EXPECT_TRUE(LiesInside(button, seen.rect)) << i;
        EXPECT_GE(button.top, seen.textRect.bottom) << i;
        EXPECT_EQ(seen.buttonFontPixels[i], kDialogFontPixels * Zoom()) << i;
        // The border of the default button is two pixels wide at each side.
        EXPECT_LE(seen.buttonTextWidths[i] + 4 * Zoom(), button.Width() * Zoom()) << i;
        if (i > 0) {
            EXPECT_LE(seen.buttonRects[i - 1].right, button.left) << i;
        }
    }

    // On the screen: the box's black frame, its text inked inside its own rectangle, and the
    // navigation bar above still the screen's.
    ASSERT_FALSE(seen.shot.isNull());
    const int zoom = Zoom();
    const auto at = [&](int x, int y) {
        return FromQRgb(seen.shot.pixel(x * zoom + zoom / 2, y * zoom + zoom / 2));
    };
    EXPECT_EQ(at(seen.rect.left, (seen.rect.top + seen.rect.bottom) / 2), kBlack);
    EXPECT_EQ(at(seen.rect.right - 1, (seen.rect.top + seen.rect.bottom) / 2), kBlack);
    int inked = 0;
    for (int y = seen.textRect.top; y < seen.textRect.bottom; ++y) {
        for (int x = seen.textRect.left; x < seen.textRect.right; ++x) {
            inked += at(x, y) != kWhite ? 1 : 0;
        }
    }
    EXPECT_GT(inked, 100);

    // Answered, the box is gone and the owner is in front again.
    EXPECT_EQ(screen_.ActiveWindow(), owner_);
}

TEST_P(MessageBoxTest, AWarningHasOnlyOkAndAnEmptyCaptionKeepsTheOwnersTitle) {
    SeenMessageBox seen;
    responder_.whileMessageBoxOpen = [&](Dialog& box) { seen = LookAtBox(box, Zoom()); };
    responder_.messageBoxAnswers.push_back(MessageBoxAnswer::Ok);
    EXPECT_EQ(screen_.ShowMessageBox(u"これ以上は追加できません", u"", MessageBoxButtons::Ok),
              MessageBoxAnswer::Ok);
    EXPECT_EQ(seen.title, u"Tessarinth");
    EXPECT_EQ(seen.buttonTexts, std::vector<std::u16string>{u"OK"});
    EXPECT_EQ(seen.defaultId, 1);
    ASSERT_EQ(seen.buttonRects.size(), 1u);
    EXPECT_TRUE(LiesInside(seen.buttonRects[0], seen.rect));
    EXPECT_LE(seen.textHeightNeeded, seen.textWidgetHeight);
}

// A file's path longer than a line is broken inside it rather than cut at the box's edge.
TEST_P(MessageBoxTest, AWordLongerThanALineIsBrokenInsideTheBox) {
    const std::u16string path =
        u"/home/someone/.local/share/tessarinth/registry.json.damaged-20261209-015129";
    const std::u16string text = u"The registry file is damaged; it was kept as " + path +
                                u" and the registry starts empty.";
    SeenMessageBox seen;
    responder_.whileMessageBoxOpen = [&](Dialog& box) { seen = LookAtBox(box, Zoom()); };
    responder_.messageBoxAnswers.push_back(MessageBoxAnswer::Ok);
    screen_.ShowMessageBox(text, u"Tessarinth", MessageBoxButtons::Ok);
    EXPECT_LE(seen.widestLine, seen.textWidgetWidth);
    EXPECT_LE(seen.textHeightNeeded, seen.textWidgetHeight);
    std::u16string shown = seen.text;
    std::erase(shown, u'\n');
    // Nothing is lost but the blanks the lines were broken at.
    std::u16string expected = text;
    std::erase(expected, u' ');
    std::erase(shown, u' ');
    EXPECT_EQ(shown, expected);
    // The path alone is wider than the box: it was broken.
    EXPECT_EQ(seen.text.find(path), std::u16string::npos);
}

// A text far longer than the screen stays inside the work area: the box scrolls to its buttons.
TEST_P(MessageBoxTest, AMessageTallerThanTheScreenScrollsToItsButtons) {
    std::u16string text;
    for (int line = 0; line < 40; ++line) {
        text += u"予定「打ち合わせ」は他の場所で変更されました\n";
    }
    bool inWorkArea = false;
    bool scrollable = false;
    bool buttonsReached = false;
    responder_.whileMessageBoxOpen = [&](Dialog& box) {
        const Rect work = screen_.WorkArea();
        inWorkArea = LiesInside(box.ScreenRect(), work);
        scrollable = box.IsScrollable();
        box.ScrollTo(box.MaxScrollOffset());
        buttonsReached = true;
        for (PushButton* button : ButtonsOfBox(box)) {
            buttonsReached = buttonsReached && LiesInside(button->ScreenRect(), work);
        }
    };
    responder_.messageBoxAnswers.push_back(MessageBoxAnswer::Yes);
    EXPECT_EQ(screen_.ShowMessageBox(text, u"", MessageBoxButtons::YesNo), MessageBoxAnswer::Yes);
    EXPECT_TRUE(inWorkArea);
    EXPECT_TRUE(scrollable);
    EXPECT_TRUE(buttonsReached);
}

INSTANTIATE_TEST_SUITE_P(OrientationsAndZooms, MessageBoxTest,
                         ::testing::Combine(::testing::Values(Orientation::Portrait,
                                                              Orientation::Landscape),
                                            ::testing::Values(1, 2)),
                         [](const ::testing::TestParamInfo<std::tuple<Orientation, int>>& param) {
                             return std::string(std::get<0>(param.param) == Orientation::Portrait
                                                    ? "Portrait"
                                                    : "Landscape") +
                                    "Zoom" + std::to_string(std::get<1>(param.param));
                         });

TEST(MessageBoxAnswers, EachButtonAnswersItselfAndAnythingElseDismisses) {
    using enum MessageBoxAnswer;
    EXPECT_EQ(MessageBoxAnswerOf(MessageBoxButtons::YesNoCancel, 6), Yes);
    EXPECT_EQ(MessageBoxAnswerOf(MessageBoxButtons::YesNoCancel, 7), No);
    EXPECT_EQ(MessageBoxAnswerOf(MessageBoxButtons::YesNoCancel, 2), Cancel);
    EXPECT_EQ(MessageBoxAnswerOf(MessageBoxButtons::YesNoCancel, 1), Cancel);
    EXPECT_EQ(MessageBoxAnswerOf(MessageBoxButtons::YesNo, 6), Yes);
    EXPECT_EQ(MessageBoxAnswerOf(MessageBoxButtons::YesNo, 7), No);
    EXPECT_EQ(MessageBoxAnswerOf(MessageBoxButtons::YesNo, 2), No);  // Escape
    EXPECT_EQ(MessageBoxAnswerOf(MessageBoxButtons::Ok, 2), Ok);
    EXPECT_EQ(MessageBoxAnswerOf(MessageBoxButtons::Ok, 6), Ok);
}

TEST(MessageBoxOverNothing, IsAskedWithNoWindowOnTheScreen) {
    DeviceScreen screen(Orientation::Portrait, 1);
    ScriptedResponder responder;
    screen.SetModalResponder(&responder);
    responder.messageBoxAnswers.push_back(MessageBoxAnswer::Yes);
    EXPECT_EQ(screen.ShowMessageBox(u"削除してよろしいですか", u"確認", MessageBoxButtons::YesNo),
              MessageBoxAnswer::Yes);
    EXPECT_EQ(screen.ActiveWindow(), nullptr);
}

// By hand, with no responder: the box runs its own loop until a button, Return or Escape ends
// it.
class MessageBoxByHandTest : public ::testing::Test {
protected:
    MessageBoxByHandTest() {
        owner_ = screen_.CreateTopLevel<BoxOwner>();
        owner_->Show();
    }

    // Runs `act` on the box once its loop runs, then returns the answer it was closed with.
    MessageBoxAnswer Ask(MessageBoxButtons buttons, const std::function<void(Dialog&)>& act) {
        bool acted = false;
        QTimer::singleShot(0, &screen_, [&] {
            auto* box = dynamic_cast<Dialog*>(screen_.ActiveWindow());
            if (box != nullptr) {
                act(*box);
                acted = true;
            }
        });
        // A box that no act ends must not hold the test: it is closed after a while.
        QTimer stop;
        stop.setSingleShot(true);
        QObject::connect(&stop, &QTimer::timeout, &screen_, [this] {
            if (auto* box = dynamic_cast<Dialog*>(screen_.ActiveWindow())) {
                box->Destroy();
            }
        });
        stop.start(5000);
        const MessageBoxAnswer answer =
            screen_.ShowMessageBox(kEndSeriesText, kSeriesBoxCaption, buttons);
        EXPECT_TRUE(acted);
        EXPECT_EQ(screen_.ActiveWindow(), owner_);
        return answer;
    }

    static QWidget* ButtonWidget(const Dialog& box, uint16_t id) {
        return box.Item(id)->ScreenWidget();
    }

    static void PressKeyOn(QWidget* widget, int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(widget, &press);
    }

    DeviceScreen screen_{Orientation::Portrait, 2};
    BoxOwner* owner_ = nullptr;
};

TEST_F(MessageBoxByHandTest, ATapOnAButtonAnswersWithIt) {
    EXPECT_EQ(Ask(MessageBoxButtons::YesNoCancel,
                  [](Dialog& box) {
                      qobject_cast<QPushButton*>(ButtonWidget(box, kMessageBoxNo))->click();
                  }),
              MessageBoxAnswer::No);
    // A tap through the screen, as a script's pen gives it, in the middle of キャンセル.
    EXPECT_EQ(Ask(MessageBoxButtons::YesNoCancel,
                  [this](Dialog& box) {
                      const Rect cancel = box.Item(kCancelCommand)->ScreenRect();
                      const Point middle{(cancel.left + cancel.right) / 2,
                                         (cancel.top + cancel.bottom) / 2};
                      screen_.PenDown(middle);
                      screen_.PenUp(middle);
                  }),
              MessageBoxAnswer::Cancel);
}

TEST_F(MessageBoxByHandTest, ReturnPressesTheDefaultButtonOrTheOneWithTheKeyboard) {
    EXPECT_EQ(
        Ask(MessageBoxButtons::YesNo,
            [](Dialog& box) { PressKeyOn(ButtonWidget(box, kMessageBoxYes), Qt::Key_Return); }),
        MessageBoxAnswer::Yes);
    // Moved on to いいえ, Return answers いいえ.
    EXPECT_EQ(Ask(MessageBoxButtons::YesNo,
                  [](Dialog& box) {
                      box.Item(kMessageBoxNo)->Focus();
                      PressKeyOn(ButtonWidget(box, kMessageBoxNo), Qt::Key_Return);
                  }),
              MessageBoxAnswer::No);
    EXPECT_EQ(Ask(MessageBoxButtons::Ok,
                  [](Dialog& box) { PressKeyOn(ButtonWidget(box, kOkCommand), Qt::Key_Enter); }),
              MessageBoxAnswer::Ok);
}

TEST_F(MessageBoxByHandTest, EscapeClosesWithoutAChoice) {
    const auto escape = [](Dialog& box) {
        PressKeyOn(ButtonWidget(box, box.Items().back()->Id()), Qt::Key_Escape);
    };
    EXPECT_EQ(Ask(MessageBoxButtons::YesNoCancel, escape), MessageBoxAnswer::Cancel);
    EXPECT_EQ(Ask(MessageBoxButtons::YesNo, escape), MessageBoxAnswer::No);
    EXPECT_EQ(Ask(MessageBoxButtons::Ok, escape), MessageBoxAnswer::Ok);
}

}  // namespace
}  // namespace gui
