#include "platform/gui/input_panel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/combo_box.h"
#include "platform/gui/device_screen.h"
#include "platform/gui/edit_box.h"
#include "platform/gui/push_button.h"
#include "platform/gui/shell.h"
#include "platform/gui/shell_look.h"
#include "platform/handwriting/character_recognizer.h"
#include "tests/platform/gui/image_probe.h"
#include "tests/support/written_characters.h"

namespace gui {
namespace {

using handwriting::CharacterRecognizer;
using handwriting::CharacterSet;

// A stroke as the corners a hand passes through, in a writing box's own pixels.
using Corners = std::vector<Point>;

const std::vector<Corners> kTen = {{{12, 38}, {68, 38}}, {{40, 10}, {40, 70}}};
const std::vector<Corners> kMouth = {
    {{22, 22}, {22, 58}}, {{22, 22}, {58, 22}, {58, 58}}, {{22, 58}, {58, 58}}};
const std::vector<Corners> kOne = {{{40, 10}, {40, 70}}};

std::unique_ptr<CharacterRecognizer> LoadRecognizer(std::string& error) {
    return CharacterRecognizer::Load(CharacterRecognizer::PlannerModels(), error);
}

// A window that notes the pen input reaching it.
class PenNotingWindow : public Window {
public:
    explicit PenNotingWindow(DeviceScreen& screen) : Window(screen, u"Editor", u"予定", kWhite) {}
    void OnPenDown(Point point) override { pens.push_back(point); }
    void OnPenMove(Point point) override { pens.push_back(point); }
    void OnPenUp(Point point) override { pens.push_back(point); }
    std::vector<Point> pens;
};

// An editor-like window with a one-line field, an editable combo box, a memo and a button, and
// the panel installed with the real recogniser; timers driven by hand.
class InputPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        std::unique_ptr<CharacterRecognizer> recognizer = LoadRecognizer(error);
        if (!recognizer) {
            GTEST_SKIP() << "no handwriting recogniser here: " << error;
        }
        screen_.UseManualTimers();
        screen_.InstallHandwritingPanel(std::move(recognizer));
        editor_ = screen_.CreateTopLevel<PenNotingWindow>();
        subject_ = screen_.CreateChild<ComboBox>(*editor_, Rect{30, 0, 240, 150}, 100);
        place_ = screen_.CreateChild<EditBox>(*editor_, Rect{30, 25, 240, 45}, 101);
        memo_ = screen_.CreateChild<EditBox>(*editor_, Rect{0, 50, 240, 120}, 102,
                                             EditStyle{true, false, true});
        button_ = screen_.CreateChild<PushButton>(*editor_, Rect{0, 130, 60, 150}, 103, u"ボタン");
        editor_->Show();
        screen_.ProcessPending();
    }

    Point PanelOrigin() const {
        const Rect band = screen_.InputPanelRect();
        return {band.left, band.top};
    }

    // A pen tap at a point of the panel's own pixels.
    void TapPanel(Point point) {
        const Point at{PanelOrigin().x + point.x, PanelOrigin().y + point.y};
        screen_.PenDown(at);
        screen_.PenUp(at);
    }

    // The menu bar's input panel button, tapped with the pen.
    void TapInputPanelButton() {
        const Point button{screen_.Width() - 12, screen_.Height() - 12};
        screen_.PenDown(button);
        screen_.PenUp(button);
        screen_.ProcessPending();
    }

    // The panel up, asked for with its button when it is not.
    void ShowPanel() {
        if (!screen_.IsInputPanelShown()) {
            TapInputPanelButton();
        }
    }

    void TapControl(const Window& control) {
        const Rect rect = control.ScreenRect();
        const Point at{rect.left + 5, rect.top + 5};
        screen_.PenDown(at);
        screen_.PenUp(at);
        screen_.ProcessPending();
    }

    // Writes a character in box 0 or 1 through the screen's pen, every stroke passing its
    // corners with a point every 4 pixels between them, as a hand moves.
    void Write(int box, const std::vector<Corners>& strokes) {
        const Point origin{PanelOrigin().x + box * 80, PanelOrigin().y};
        for (const Corners& corners : strokes) {
            screen_.PenDown({origin.x + corners[0].x, origin.y + corners[0].y});
            for (size_t i = 1; i < corners.size(); ++i) {
                const Point from = corners[i - 1];
                const Point to = corners[i];
                const int steps = std::max(std::abs(to.x - from.x), std::abs(to.y - from.y)) / 4;
                for (int step = 1; step <= steps; ++step) {
                    screen_.PenMove({origin.x + from.x + (to.x - from.x) * step / steps,
                                     origin.y + from.y + (to.y - from.y) * step / steps});
                }
            }
            screen_.PenUp({origin.x + corners.back().x, origin.y + corners.back().y});
        }
    }

    const InputPanel& Panel() const { return *screen_.HandwritingPanel(); }
    QLineEdit* SubjectLine() const {
        return qobject_cast<QComboBox*>(subject_->ScreenWidget())->lineEdit();
    }

    DeviceScreen screen_{Orientation::Portrait, 1};
    PenNotingWindow* editor_ = nullptr;
    ComboBox* subject_ = nullptr;
    EditBox* place_ = nullptr;
    EditBox* memo_ = nullptr;
    PushButton* button_ = nullptr;
};

// Where things are, in the panel's own pixels: candidate cells, then the buttons.
constexpr Point CandidateCell(int index) {
    return {160 + (index % 2) * 40 + 20, (index / 2) * 16 + 8};
}
constexpr Point kSpace{180, 56};
constexpr Point kLineBreak{220, 56};
constexpr Point kDelete{180, 72};
constexpr Point kCharacterSet{220, 72};

TEST_F(InputPanelTest, ATapOnATextFieldLeavesTheBandToTheWindow) {
    TapControl(*subject_);
    EXPECT_TRUE(subject_->HasFocus());
    EXPECT_FALSE(screen_.IsInputPanelShown());
    EXPECT_FALSE(screen_.IsHandwritingPanelShown());
    // A stroke in the band after it reaches the window, as on the pad below the fields.
    editor_->pens.clear();
    screen_.PenDown({20, 230});
    screen_.PenMove({60, 260});
    screen_.PenUp({60, 260});
    EXPECT_EQ(editor_->pens, (std::vector<Point>{{20, 204}, {60, 234}, {60, 234}}));
    TapControl(*memo_);
    EXPECT_FALSE(screen_.IsInputPanelShown());
}

TEST_F(InputPanelTest, TheMenuBarsButtonShowsAndHidesThePanelAndTheChoiceIsTold) {
    int told = 0;
    screen_.SetViewChangedHandler([&] { ++told; });
    TapControl(*subject_);
    ASSERT_FALSE(screen_.IsInputPanelWanted());
    TapInputPanelButton();
    EXPECT_TRUE(screen_.IsHandwritingPanelShown());
    EXPECT_TRUE(screen_.IsInputPanelWanted());
    EXPECT_EQ(told, 1);
    // It stays up wherever the pen presses: on the window, on another field, on a button.
    screen_.PenDown({200, 150});
    screen_.PenUp({200, 150});
    TapControl(*button_);
    EXPECT_TRUE(screen_.IsHandwritingPanelShown());
    TapInputPanelButton();
    EXPECT_FALSE(screen_.IsHandwritingPanelShown());
    EXPECT_FALSE(screen_.IsInputPanelWanted());
    EXPECT_EQ(told, 2);
    // The pixels left of the button are the menu bar's own.
    screen_.PenDown({screen_.Width() - 25, 308});
    screen_.PenUp({screen_.Width() - 25, 308});
    EXPECT_FALSE(screen_.IsInputPanelShown());
}

TEST_F(InputPanelTest, ThePanelsButtonLiesAtTheRightEndOfTheMenuBarAndShowsItsState) {
    const ColorRef bar = FromQRgb(kMenuBarColor.rgb());
    const ColorRef pressed = FromQRgb(kBarColor.rgb());
    const auto buttonHasInk = [](const QImage& shot, const Rect& button, ColorRef background) {
        return InkBounds(shot.copy(button.left, button.top, button.Width(), button.Height()),
                         background)
            .has_value();
    };
    for (const bool turned : {false, true}) {
        if (turned) {
            screen_.Rotate();
        }
        // Portrait x 216..239, y 296..319; landscape x 296..319, y 216..239.
        const Rect button{screen_.Width() - 24, screen_.Height() - 24, screen_.Width(),
                          screen_.Height()};
        QImage shot = screen_.Render(1);
        EXPECT_EQ(ColorAt(shot, button.left, button.top), bar) << turned;
        EXPECT_TRUE(buttonHasInk(shot, button, bar)) << turned;
        TapInputPanelButton();
        shot = screen_.Render(1);
        EXPECT_EQ(ColorAt(shot, button.left, button.top), pressed) << turned;
        EXPECT_EQ(ColorAt(shot, button.right - 1, button.bottom - 1), pressed) << turned;
        EXPECT_NE(ColorAt(shot, button.left - 1, button.top + 2), pressed) << turned;
        EXPECT_NE(ColorAt(shot, button.left + 2, button.top - 1), pressed) << turned;
        EXPECT_TRUE(buttonHasInk(shot, button, pressed)) << turned;
        TapInputPanelButton();
    }
}

TEST_F(InputPanelTest, ThePenPressedOnTheWindowFinishesTheCharacterAndLeavesThePanelUp) {
    TapControl(*subject_);
    ShowPanel();
    Write(0, kTen);
    editor_->pens.clear();
    screen_.PenDown({200, 150});
    screen_.PenUp({200, 150});
    EXPECT_EQ(subject_->Text(), u"十");
    EXPECT_TRUE(screen_.IsHandwritingPanelShown());
    EXPECT_TRUE(subject_->HasFocus());
    EXPECT_EQ(editor_->pens.size(), 2u);
}

// A window that asks for the panel when the pen presses it, as the pad's "T" does.
class PanelAskingWindow : public Window {
public:
    explicit PanelAskingWindow(DeviceScreen& screen) : Window(screen, u"Pad", u"", kWhite) {}
    void OnPenDown(Point) override { Screen().ShowInputPanel(); }
};

TEST_F(InputPanelTest, TheProgramStillShowsThePanelWhenItAsks) {
    auto* pad = screen_.CreateChild<PanelAskingWindow>(*editor_, Rect{100, 130, 140, 150});
    pad->Show();
    screen_.PenDown({110, 160});
    screen_.PenUp({110, 160});
    EXPECT_TRUE(screen_.IsHandwritingPanelShown());
    // The program's asking is not the user's choice.
    EXPECT_FALSE(screen_.IsInputPanelWanted());
}

// A top-level window that hands its activations to the shell, as the planner's windows do.
class ShellHandledWindow : public Window {
public:
    explicit ShellHandledWindow(DeviceScreen& screen) : Window(screen, u"Editor", u"", kWhite) {}
    void OnActivate(Activation state) override { HandleActivation(Screen(), state, record_); }

private:
    ActivationRecord record_;
};

// What the user chose with the button is how a window with text fields opens; a window without
// one opens without the panel; each window gets back the panel as it left it.
TEST_F(InputPanelTest, AWindowWithFieldsOpensWithThePanelAsTheUserLastLeftIt) {
    const auto open = [&](bool withField) {
        auto* window = screen_.CreateTopLevel<ShellHandledWindow>();
        if (withField) {
            screen_.CreateChild<EditBox>(*window, Rect{30, 25, 240, 45}, 101);
        }
        window->Show();
        screen_.ProcessPending();
        return window;
    };
    Window* first = open(true);
    EXPECT_FALSE(screen_.IsInputPanelShown());  // never chosen yet
    TapInputPanelButton();
    ASSERT_TRUE(screen_.IsInputPanelWanted());
    Window* plain = open(false);
    EXPECT_FALSE(screen_.IsInputPanelShown());
    plain->Destroy();
    screen_.ProcessPending();
    EXPECT_TRUE(screen_.IsInputPanelShown());  // the first window as it left it
    first->Destroy();
    screen_.ProcessPending();
    Window* second = open(true);
    EXPECT_TRUE(screen_.IsHandwritingPanelShown());
    TapInputPanelButton();
    second->Destroy();
    screen_.ProcessPending();
    open(true);
    EXPECT_FALSE(screen_.IsInputPanelShown());
}

// 0 and O look alike in the candidates' face: each of them is marked with its kind.
TEST_F(InputPanelTest, LookAlikeCandidatesAreMarkedWithTheirKind) {
    TapControl(*place_);
    ShowPanel();
    TapPanel(kCharacterSet);
    Write(0, {{{40, 10},
               {26, 18},
               {20, 40},
               {26, 62},
               {40, 70},
               {54, 62},
               {60, 40},
               {54, 18},
               {40, 10}}});
    const std::vector<std::u16string> candidates = Panel().Candidates();
    ASSERT_GE(candidates.size(), 3u);
    const QImage shot = screen_.Render(1);
    const Point origin = PanelOrigin();
    // The top-right corner of a cell, where the kind is drawn.
    const auto marked = [&](size_t index, const ColorRef background) {
        const Point cell = CandidateCell(static_cast<int>(index));
        const QImage corner = shot.copy(origin.x + cell.x + 9, origin.y + cell.y - 7, 10, 10);
        return InkBounds(corner, background).has_value();
    };
    const ColorRef chosen = FromQRgb(kBarColor.rgb());
    for (size_t index = 0; index < candidates.size(); ++index) {
        const bool lookAlike =
            candidates[index] == u"0" || candidates[index] == u"O" || candidates[index] == u"o";
        EXPECT_EQ(marked(index, index == 0 ? chosen : kWhite), lookAlike)
            << QString::fromStdU16String(candidates[index]).toStdString();
    }
}

TEST_F(InputPanelTest, ThePanelIsDrawnInTheBandAboveTheMenuBar) {
    const QImage before = screen_.Render(1);
    TapControl(*place_);
    ShowPanel();
    const QImage shot = screen_.Render(1);
    const ColorRef line = FromQRgb(kMenuBarLineColor.rgb());
    const ColorRef grey = FromQRgb(kMenuBarColor.rgb());
    // Portrait band: y 214..293; a rule along its top.
    EXPECT_EQ(ColorAt(shot, 5, 214), line);
    for (const int left : {0, 80}) {
        // A white box with a dashed centre cross (2 on, 2 off) and a rule on its right.
        EXPECT_EQ(ColorAt(shot, left + 10, 230), kWhite);
        EXPECT_EQ(ColorAt(shot, left + 40, 214 + 2), line);
        EXPECT_EQ(ColorAt(shot, left + 40, 214 + 4), kWhite);
        EXPECT_EQ(ColorAt(shot, left + 40, 214 + 6), line);
        EXPECT_EQ(ColorAt(shot, left + 10, 254), line);
        EXPECT_EQ(ColorAt(shot, left + 12, 254), kWhite);
        EXPECT_EQ(ColorAt(shot, left + 79, 250), line);
        EXPECT_EQ(ColorAt(shot, left + 78, 250), kWhite);
    }
    // Candidate cells of 40 x 16 from x 160, white, ruled on the right and at the bottom.
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 2; ++column) {
            const int left = 160 + column * 40;
            const int top = 214 + row * 16;
            EXPECT_EQ(ColorAt(shot, left + 2, top + 2), kWhite) << row << column;
            EXPECT_EQ(ColorAt(shot, left + 39, top + 8), line) << row << column;
            EXPECT_EQ(ColorAt(shot, left + 8, top + 15), line) << row << column;
        }
    }
    // The two rows of buttons on the bars' grey, with their labels.
    EXPECT_EQ(ColorAt(shot, 161, 263), grey);
    EXPECT_EQ(ColorAt(shot, 199, 270), line);
    EXPECT_EQ(ColorAt(shot, 201, 279), grey);
    for (const Rect button : {Rect{160, 262, 199, 277}, Rect{200, 262, 239, 277},
                              Rect{160, 278, 199, 293}, Rect{200, 278, 239, 293}}) {
        const QImage inside = shot.copy(button.left, button.top, button.Width(), button.Height());
        EXPECT_TRUE(InkBounds(inside, grey).has_value()) << button.left << "," << button.top;
    }
    // Nothing of it outside the band.
    EXPECT_EQ(shot.copy(0, 0, 240, 214), before.copy(0, 0, 240, 214));
    // The menu bar as it was, but for the input panel button drawn pressed.
    EXPECT_EQ(shot.copy(0, 294, 216, 26), before.copy(0, 294, 216, 26));
}

TEST_F(InputPanelTest, TurnedThePanelKeepsItsLayoutFromTheBandsCornerAndLeavesTheRestAlone) {
    screen_.Rotate();
    const QImage before = screen_.Render(1);
    TapControl(*place_);
    ShowPanel();
    ASSERT_TRUE(screen_.IsHandwritingPanelShown());
    const QImage shot = screen_.Render(1);
    const ColorRef line = FromQRgb(kMenuBarLineColor.rgb());
    // Landscape band: y 134..213.
    EXPECT_EQ(ColorAt(shot, 40, 134 + 2), line);
    EXPECT_EQ(ColorAt(shot, 40, 134 + 4), kWhite);
    EXPECT_EQ(ColorAt(shot, 159, 170), line);
    EXPECT_EQ(ColorAt(shot, 160 + 39, 134 + 8), line);
    EXPECT_EQ(ColorAt(shot, 161, 183), FromQRgb(kMenuBarColor.rgb()));
    EXPECT_EQ(shot.copy(240, 26, 80, 188), before.copy(240, 26, 80, 188));
    EXPECT_EQ(shot.copy(0, 26, 320, 108), before.copy(0, 26, 320, 108));
}

TEST_F(InputPanelTest, StrokesAreShownAsWrittenAndNeverReachTheWindows) {
    TapControl(*place_);
    ShowPanel();
    editor_->pens.clear();
    Write(1, kOne);
    EXPECT_TRUE(editor_->pens.empty());
    const QImage shot = screen_.Render(1);
    const QImage box = shot.copy(80, 214, 80, 80);
    // The ink lies where the stroke went: x 40 of the box, y 10..70.
    const ColorRef ink = FromQRgb(kMenuTextColor.rgb());
    EXPECT_EQ(ColorAt(box, 40, 20), ink);
    EXPECT_EQ(ColorAt(box, 40, 60), ink);
    EXPECT_NE(ColorAt(shot.copy(0, 214, 80, 80), 40, 20), ink);  // box 1 stays empty
    EXPECT_FALSE(Panel().Candidates().empty());
    EXPECT_LE(Panel().Candidates().size(), InputPanel::kMaxCandidates);

    // And at zoom 2, where the screenshots are taken.
    const QImage large = screen_.Render(2);
    EXPECT_EQ(ColorAt(large, 2 * 80 + 2 * 40 + 1, 2 * 214 + 2 * 40), ink);
}

TEST_F(InputPanelTest, APenLeftScribblingHoldsBoundedInkAndStillFinishes) {
    TapControl(*place_);
    ShowPanel();
    const Point origin = PanelOrigin();
    // One stroke dragged to and fro across the box for a long while.
    screen_.PenDown({origin.x + 10, origin.y + 10});
    for (int i = 0; i < 3000; ++i) {
        screen_.PenMove({origin.x + 10 + (i % 2) * 50, origin.y + 10 + (i / 2) % 60});
    }
    screen_.PenUp({origin.x + 20, origin.y + 20});
    ASSERT_EQ(Panel().Strokes().size(), 1u);
    EXPECT_EQ(Panel().Strokes()[0].size(), InputPanel::kMaxPointsPerStroke);

    // Far more strokes than any character has: the ones past the limit leave no ink.
    for (int i = 0; i < 100; ++i) {
        Write(0, {{{10, 10 + i % 60}, {70, 10 + i % 60}}});
    }
    EXPECT_EQ(Panel().Strokes().size(), InputPanel::kMaxStrokes);
    // The pause after the last stroke taken still types what was written.
    screen_.AdvanceTimers(InputPanel::kCommitMilliseconds);
    screen_.ProcessPending();
    EXPECT_FALSE(Panel().IsWriting());
    EXPECT_TRUE(Panel().Strokes().empty());
}

TEST_F(InputPanelTest, TheDesktopsMouseOnThePanelWidgetWritesAtTheScreensZoom) {
    screen_.SetZoom(2);
    TapControl(*place_);
    ShowPanel();
    auto* widget = const_cast<InputPanel*>(screen_.HandwritingPanel());
    ASSERT_FALSE(widget->isHidden());
    EXPECT_EQ(widget->geometry(), QRect(0, 2 * 214, 2 * 240, 2 * 80));
    editor_->pens.clear();
    // 十 in box 2, in the widget's own pixels (twice the device's).
    const auto drag = [&](QPoint from, QPoint to) {
        QMouseEvent press(QEvent::MouseButtonPress, from, widget->mapToGlobal(from), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &press);
        for (int step = 1; step <= 10; ++step) {
            const QPoint at = from + (to - from) * step / 10;
            QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(widget, &move);
        }
        QMouseEvent release(QEvent::MouseButtonRelease, to, widget->mapToGlobal(to), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &release);
    };
    drag({2 * 92, 2 * 38}, {2 * 148, 2 * 38});
    drag({2 * 120, 2 * 10}, {2 * 120, 2 * 70});
    EXPECT_TRUE(editor_->pens.empty());
    ASSERT_FALSE(Panel().Candidates().empty());
    EXPECT_EQ(Panel().Candidates().front(), u"十");
    screen_.AdvanceTimers(1000);
    EXPECT_EQ(place_->Text(), u"十");
}

TEST_F(InputPanelTest, TheCharacterIsTypedOneSecondAfterItsLastStroke) {
    TapControl(*place_);
    ShowPanel();
    Write(0, kTen);
    ASSERT_FALSE(Panel().Candidates().empty());
    screen_.AdvanceTimers(999);
    EXPECT_EQ(place_->Text(), u"");
    // Another stroke of the same character starts the second again.
    Write(0, {{{20, 60}, {60, 60}}});
    const std::u16string newTop = Panel().Candidates().front();
    screen_.AdvanceTimers(999);
    EXPECT_EQ(place_->Text(), u"");
    screen_.AdvanceTimers(1);
    EXPECT_EQ(place_->Text(), newTop);
    EXPECT_FALSE(Panel().IsWriting());
    // The ink is gone from the box.
    EXPECT_NE(ColorAt(screen_.Render(1), 40, 214 + 30), FromQRgb(kMenuTextColor.rgb()));
    screen_.AdvanceTimers(5000);
    EXPECT_EQ(place_->Text(), newTop);
}

TEST_F(InputPanelTest, WritingInTheOtherBoxTypesTheFirstCharacter) {
    TapControl(*subject_);
    ShowPanel();
    Write(0, kTen);
    EXPECT_EQ(Panel().Candidates().front(), u"十");
    EXPECT_EQ(subject_->Text(), u"");
    Write(1, kMouth);
    EXPECT_EQ(subject_->Text(), u"十");
    // ロ and 口 are written alike: after the kanji 十, the kanji comes first.
    EXPECT_EQ(Panel().Candidates().front(), u"口");
    screen_.AdvanceTimers(1000);
    EXPECT_EQ(subject_->Text(), u"十口");
    // Box 1 again after the pause: a character of its own.
    Write(0, kTen);
    screen_.AdvanceTimers(1000);
    EXPECT_EQ(subject_->Text(), u"十口十");
}

// Of the characters written alike, the one of the kind just before the cursor comes first; with
// nothing of a kind before it, the one written more often.
TEST_F(InputPanelTest, ALookAlikeOfTheKindTypedBeforeComesFirst) {
    TapControl(*subject_);
    ShowPanel();
    for (const auto& [before, first] : std::vector<std::pair<std::u16string, std::u16string>>{
             {u"", u"ロ"}, {u"カ", u"ロ"}, {u"入", u"口"}, {u"入 ", u"ロ"}, {u"入口カ", u"ロ"}}) {
        SubjectLine()->setText(QString::fromStdU16String(before));
        Write(0, kMouth);
        ASSERT_FALSE(Panel().Candidates().empty());
        EXPECT_EQ(Panel().Candidates().front(), first)
            << QString::fromStdU16String(before).toStdString();
        EXPECT_EQ(Panel().Candidates()[1], first == u"ロ" ? u"口" : u"ロ");
        screen_.AdvanceTimers(1000);
        EXPECT_EQ(subject_->Text(), before + first);
    }
    // The character before the cursor, not the last of the field.
    SubjectLine()->setText(QStringLiteral("入カ"));
    SubjectLine()->setCursorPosition(1);
    Write(0, kMouth);
    ASSERT_FALSE(Panel().Candidates().empty());
    EXPECT_EQ(Panel().Candidates().front(), u"口");
}

TEST_F(InputPanelTest, ThePenGoingElsewhereFinishesTheCharacter) {
    TapControl(*place_);
    ShowPanel();
    Write(0, kTen);
    TapControl(*memo_);
    ShowPanel();
    EXPECT_EQ(place_->Text(), u"十");  // into the field it was written for
    EXPECT_EQ(memo_->Text(), u"");
}

TEST_F(InputPanelTest, EachCandidateCellCommitsItsOwnCandidate) {
    TapControl(*place_);
    ShowPanel();
    Write(0, kMouth);
    const std::vector<std::u16string> candidates = Panel().Candidates();
    ASSERT_EQ(candidates.size(), InputPanel::kMaxCandidates);
    TapPanel(kDelete);
    for (int index = 0; index < 6; ++index) {
        place_->SetText(u"");
        Write(0, kMouth);
        ASSERT_EQ(Panel().Candidates(), candidates);
        TapPanel(CandidateCell(index));
        EXPECT_EQ(place_->Text(), candidates[static_cast<size_t>(index)]) << index;
        EXPECT_FALSE(Panel().IsWriting());
    }
}

TEST_F(InputPanelTest, ACandidateTappedRightAfterACommitReplacesTheCharacterTyped) {
    TapControl(*subject_);
    ShowPanel();
    subject_->SetText(u"会");
    SubjectLine()->end(false);
    Write(0, kMouth);
    const std::vector<std::u16string> candidates = Panel().Candidates();
    ASSERT_GE(candidates.size(), 3u);
    screen_.AdvanceTimers(1000);
    EXPECT_EQ(subject_->Text(), u"会" + candidates[0]);
    TapPanel(CandidateCell(2));
    EXPECT_EQ(subject_->Text(), u"会" + candidates[2]);
    TapPanel(CandidateCell(1));
    EXPECT_EQ(subject_->Text(), u"会" + candidates[1]);

    // Once the field's text before the cursor is something else, nothing is replaced.
    SubjectLine()->insert(QStringLiteral("x"));
    TapPanel(CandidateCell(0));
    EXPECT_EQ(subject_->Text(), u"会" + candidates[1] + u"x");

    // A new character ends the chance: its candidates are its own.
    Write(0, kTen);
    TapPanel(CandidateCell(0));
    EXPECT_EQ(subject_->Text(), u"会" + candidates[1] + u"x十");
}

TEST_F(InputPanelTest, TheButtonsActAtOnce) {
    TapControl(*place_);
    ShowPanel();
    place_->SetText(u"ab");
    qobject_cast<QLineEdit*>(place_->ScreenWidget())->end(false);
    TapPanel(kDelete);
    EXPECT_EQ(place_->Text(), u"a");
    TapPanel(kSpace);
    EXPECT_EQ(place_->Text(), u"a\u3000");
    // A one-line field takes no line break.
    TapPanel(kLineBreak);
    EXPECT_EQ(place_->Text(), u"a\u3000");

    // What is being written is finished first.
    Write(0, kTen);
    TapPanel(kSpace);
    EXPECT_EQ(place_->Text(), u"a\u3000十\u3000");

    // ← on a character not typed yet rubs it out and leaves the field alone.
    Write(0, kTen);
    TapPanel(kDelete);
    EXPECT_FALSE(Panel().IsWriting());
    EXPECT_TRUE(Panel().Candidates().empty());
    screen_.AdvanceTimers(2000);
    EXPECT_EQ(place_->Text(), u"a\u3000十\u3000");

    TapControl(*memo_);
    ShowPanel();
    memo_->SetText(u"一行目");
    qobject_cast<QPlainTextEdit*>(memo_->ScreenWidget())->moveCursor(QTextCursor::End);
    Write(0, kTen);
    TapPanel(kLineBreak);
    Write(0, kMouth);
    screen_.AdvanceTimers(1000);
    EXPECT_EQ(memo_->Text(), u"一行目十\r\nロ");
    TapPanel(kDelete);
    TapPanel(kDelete);
    EXPECT_EQ(memo_->Text(), u"一行目十");
}

TEST_F(InputPanelTest, TheCharacterSetButtonSwitchesToLatinLettersAndDigitsAndBack) {
    TapControl(*place_);
    ShowPanel();
    EXPECT_EQ(Panel().CurrentCharacterSet(), CharacterSet::All);
    TapPanel(kCharacterSet);
    EXPECT_EQ(Panel().CurrentCharacterSet(), CharacterSet::LatinAndDigits);
    Write(0, kTen);
    ASSERT_FALSE(Panel().Candidates().empty());
    const std::u16string latinMarks = u"!?()@-/:";
    for (const std::u16string& candidate : Panel().Candidates()) {
        ASSERT_EQ(candidate.size(), 1u);
        EXPECT_TRUE(
            (std::isalnum(static_cast<unsigned char>(candidate[0])) && candidate[0] < 128) ||
            latinMarks.find(candidate[0]) != std::u16string::npos)
            << QString::fromStdU16String(candidate).toStdString();
    }
    TapPanel(kSpace);
    EXPECT_EQ(place_->Text().back(), u' ');  // a narrow space among Latin letters

    // Switching back while writing reads the same ink again with every character.
    Write(0, kTen);
    TapPanel(kCharacterSet);
    EXPECT_EQ(Panel().CurrentCharacterSet(), CharacterSet::All);
    EXPECT_EQ(Panel().Candidates().front(), u"十");
}

TEST_F(InputPanelTest, AFieldsLengthLimitHoldsForWrittenText) {
    TapControl(*subject_);
    ShowPanel();
    subject_->LimitText(3);
    subject_->SetText(u"ab");
    SubjectLine()->end(false);
    Write(0, kTen);
    screen_.AdvanceTimers(1000);
    EXPECT_EQ(subject_->Text(), u"ab十");
    Write(0, kMouth);
    screen_.AdvanceTimers(1000);
    EXPECT_EQ(subject_->Text(), u"ab十");
    // Nothing typed, so no candidate replaces the last character.
    TapPanel(CandidateCell(1));
    EXPECT_EQ(subject_->Text(), u"ab十");

    TapControl(*memo_);
    ShowPanel();
    memo_->LimitText(2);
    memo_->SetText(u"");
    Write(0, kTen);
    Write(1, kMouth);
    Write(0, kTen);
    screen_.AdvanceTimers(1000);
    EXPECT_EQ(memo_->Text(), u"十口");
}

TEST_F(InputPanelTest, TurnedOffTheBandIsTheDesktopInputMethodsAgain) {
    TapControl(*place_);
    ShowPanel();
    int told = 0;
    screen_.SetViewChangedHandler([&] { ++told; });
    Write(0, kTen);
    screen_.SetHandwritingPanelOn(false);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(place_->Text(), u"十");  // what was written is not lost
    EXPECT_FALSE(screen_.IsHandwritingPanelShown());
    // The shell's own state stays as the user set it.
    EXPECT_TRUE(screen_.IsInputPanelShown());
    const QImage off = screen_.Render(1);
    EXPECT_NE(ColorAt(off, 40, 214 + 2), FromQRgb(kMenuBarLineColor.rgb()));
    // Pen input in the band reaches the window again.
    editor_->pens.clear();
    screen_.PenDown({40, 250});
    screen_.PenUp({40, 250});
    EXPECT_EQ(editor_->pens.size(), 2u);

    screen_.SetHandwritingPanelOn(true);
    EXPECT_EQ(told, 2);
    EXPECT_TRUE(screen_.IsHandwritingPanelShown());
}

TEST_F(InputPanelTest, TheScreensMenuTurnsThePanelOffAndOn) {
    screen_.SetZoom(2);
    screen_.show();
    const auto chooseFromMenu = [&] {
        QTimer::singleShot(0, [] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* menu = qobject_cast<QMenu*>(widget);
                if (menu == nullptr || !menu->isVisible()) {
                    continue;
                }
                for (QAction* action : menu->actions()) {
                    if (action->text() == QStringLiteral("手書き入力パネル")) {
                        // Chosen as a user chooses it: highlighted, then Return.
                        menu->setActiveAction(action);
                        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                        QApplication::sendEvent(menu, &enter);
                    }
                }
                if (menu->isVisible()) {
                    menu->close();
                }
            }
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(40, 20),
                                screen_.mapToGlobal(QPoint(40, 20)));
        QApplication::sendEvent(&screen_, &event);
    };
    ASSERT_TRUE(screen_.IsHandwritingPanelOn());
    chooseFromMenu();
    EXPECT_FALSE(screen_.IsHandwritingPanelOn());
    chooseFromMenu();
    EXPECT_TRUE(screen_.IsHandwritingPanelOn());
}

// What the panel offered for each written character, drawn through the screen's pen in box 1
// and box 2 by turns.
struct ReadBack {
    int topRight = 0;
    std::vector<std::u16string> missing;  // the right one not among the candidates
};

class WrittenThroughThePanel : public InputPanelTest {
protected:
    ReadBack WriteAll(const std::vector<testing_support::WrittenCharacter>& characters) {
        static_assert(testing_support::kWritingBoxSize == 80);
        ReadBack read;
        int box = 0;
        for (const testing_support::WrittenCharacter& written : characters) {
            const Point origin{PanelOrigin().x + box * 80, PanelOrigin().y};
            for (const handwriting::Stroke& stroke : written.strokes) {
                screen_.PenDown({origin.x + stroke.front().x, origin.y + stroke.front().y});
                for (size_t i = 1; i < stroke.size(); ++i) {
                    screen_.PenMove({origin.x + stroke[i].x, origin.y + stroke[i].y});
                }
                screen_.PenUp({origin.x + stroke.back().x, origin.y + stroke.back().y});
            }
            const std::vector<std::u16string>& shown = Panel().Candidates();
            if (!shown.empty() && shown.front() == written.character) {
                ++read.topRight;
            }
            if (std::find(shown.begin(), shown.end(), written.character) == shown.end()) {
                read.missing.push_back(written.character);
            }
            TapPanel(kDelete);  // rubbed out, so the next one starts afresh
            box = 1 - box;
        }
        return read;
    }

    static std::string Joined(const std::vector<std::u16string>& characters) {
        std::u16string joined;
        for (const std::u16string& character : characters) {
            joined += character + u" ";
        }
        return QString::fromStdU16String(joined).toStdString();
    }
};

TEST_F(WrittenThroughThePanel, KanjiKanaAndDigitsAreReadAsWritten) {
    TapControl(*place_);
    ShowPanel();
    const std::vector<testing_support::WrittenCharacter> characters =
        testing_support::WrittenCharacters();
    ASSERT_GE(characters.size(), 40u);
    const ReadBack read = WriteAll(characters);
    RecordProperty("readFirst", read.topRight);
    RecordProperty("written", static_cast<int>(characters.size()));
    EXPECT_GE(read.topRight * 10, static_cast<int>(characters.size()) * 9)
        << read.topRight << " of " << characters.size() << " read first";
    EXPECT_TRUE(read.missing.empty()) << "not offered: " << Joined(read.missing);
    EXPECT_EQ(place_->Text(), u"");  // all rubbed out, none typed
}

// With 英 the digits are read first; the model knows no Latin letter, but those written like a
// character it knows are offered.
TEST_F(WrittenThroughThePanel, DigitsAndLatinLettersAreReadWithTheLatinSet) {
    TapControl(*place_);
    ShowPanel();
    TapPanel(kCharacterSet);
    std::vector<testing_support::WrittenCharacter> digits;
    for (const testing_support::WrittenCharacter& written : testing_support::WrittenCharacters()) {
        if (written.character.size() == 1 && written.character[0] >= u'0' &&
            written.character[0] <= u'9') {
            digits.push_back(written);
        }
    }
    ASSERT_EQ(digits.size(), 10u);
    const ReadBack digitsRead = WriteAll(digits);
    EXPECT_EQ(digitsRead.topRight, 10);
    EXPECT_TRUE(digitsRead.missing.empty()) << "not offered: " << Joined(digitsRead.missing);

    const std::vector<testing_support::WrittenCharacter> letters =
        testing_support::WrittenLatinLetters();
    ASSERT_FALSE(letters.empty());
    const ReadBack lettersRead = WriteAll(letters);
    EXPECT_TRUE(lettersRead.missing.empty()) << "not offered: " << Joined(lettersRead.missing);
}

TEST(InputPanelAbsent, WithoutARecogniserTheBandStaysTheProgramsOwn) {
    DeviceScreen screen(Orientation::Portrait, 1);
    auto* window = screen.CreateTopLevel<PenNotingWindow>();
    auto* field = screen.CreateChild<EditBox>(*window, Rect{30, 25, 240, 45}, 101);
    window->Show();
    const QImage before = screen.Render(1);
    screen.PenDown({40, 55});
    screen.PenUp({40, 55});
    EXPECT_TRUE(field->HasFocus());
    EXPECT_FALSE(screen.HasHandwritingPanel());
    EXPECT_FALSE(screen.IsInputPanelShown());  // a tap asks for nothing, as before
    screen.ShowInputPanel();
    EXPECT_TRUE(screen.IsInputPanelShown());
    EXPECT_FALSE(screen.IsHandwritingPanelShown());
    EXPECT_EQ(screen.Render(1).copy(0, 214, 240, 80), before.copy(0, 214, 240, 80));
    window->pens.clear();
    screen.PenDown({40, 250});
    screen.PenUp({40, 250});
    EXPECT_EQ(window->pens.size(), 2u);
}

}  // namespace
}  // namespace gui
