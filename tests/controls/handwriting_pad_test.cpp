#include "controls/handwriting_pad.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QString>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/gui/device_screen.h"
#include "platform/gui/edit_box.h"
#include "platform/gui/modal_responder.h"

namespace controls {
namespace {

constexpr schedule::InkEntry W(int32_t width) {
    return {schedule::kInkWidthRecord, width};
}
constexpr schedule::InkEntry C(int32_t colour) {
    return {schedule::kInkColourRecord, colour};
}
constexpr schedule::InkEntry kEnd{schedule::kInkEndRecord, -1};
using Ink = std::vector<schedule::InkEntry>;

// Toolbar columns (any row up to 20 is the toolbar).
constexpr int kRedX = 50;
constexpr int kUndoX = 118;
constexpr int kClearX = 138;
constexpr int kWidthX = 158;
constexpr int kModeX = 205;
constexpr int kSizeX = 225;
constexpr int kBarY = 10;
// The pad's corner on the screen: in the editor, under the navigation bar; and enlarged.
constexpr gui::Point kPadOnScreen{0, 181};
constexpr gui::Point kEnlargedOnScreen{0, 26};
constexpr gui::ColorRef kRed = gui::Rgb(255, 0, 0);

// Each step 2 right and 4 up or down: no step is within 2 of the last, so none is thinned.
std::vector<gui::Point> Zigzag(int points, gui::Point from) {
    std::vector<gui::Point> stroke;
    for (int i = 0; i < points; ++i) {
        stroke.push_back({from.x + 2 * i, from.y + (i % 2) * 4});
    }
    return stroke;
}

// Handwriting-like: a wave 60 wide and 12 high.
std::vector<gui::Point> Wave(int x, int y) {
    std::vector<gui::Point> points;
    for (int step = 0; step <= 30; ++step) {
        const int phase = step % 8;
        points.push_back({x + step * 2, y + 2 * (phase < 4 ? phase * 2 - 3 : 11 - phase * 2)});
    }
    return points;
}

// Answers OK and keeps the whole question.
struct MessageRecorder final : gui::ModalResponder {
    struct Message {
        std::u16string text, caption;
        gui::MessageBoxButtons buttons;
    };
    std::vector<Message> messages;
    uint16_t ChoosePopupCommand(const gui::PopupMenu&, gui::Point) override { return 0; }
    gui::MessageBoxAnswer AnswerMessageBox(std::u16string_view text, std::u16string_view caption,
                                           gui::MessageBoxButtons buttons) override {
        messages.push_back({std::u16string(text), std::u16string(caption), buttons});
        return gui::MessageBoxAnswer::Ok;
    }
    bool IsHold(gui::Point) override { return false; }
};

// The pad in a host window standing in for the appointment editor, beside another child of
// it; the pen goes through the screen in screen coordinates, as a user's does.
class Pad : public ::testing::Test {
protected:
    Pad() {
        RegisterHandWriteClass();
        screen_.SetModalResponder(&recorder_);
        host_ = screen_.CreateTopLevel<gui::Window>(u"TimeWindow", u"Tessarinth", gui::kWhite);
        host_->Show();
        sibling_ = screen_.CreateChild<gui::Window>(*host_, gui::RectAt(0, 0, 30, 20), u"STATIC",
                                                    u"", gui::kLightGray);
        sibling_->Show();
    }
    ~Pad() override { ReleasePadResources(); }

    void Open() {
        pad_ = screen_.CreateChild<HandwritingPad>(*host_, kPadRect, *data_);
        screen_.PaintPending();
    }
    gui::Point OnScreen(gui::Point p) const {
        return {pad_->ScreenRect().left + p.x, pad_->ScreenRect().top + p.y};
    }
    void Tap(int x, int y) { Stroke({{x, y}}); }
    void Stroke(const std::vector<gui::Point>& points) {
        screen_.PenDown(OnScreen(points.front()));
        for (size_t i = 1; i < points.size(); ++i) {
            screen_.PenMove(OnScreen(points[i]));
        }
        screen_.PenUp(OnScreen(points.back()));
        screen_.PaintPending();
    }
    void Repaint() {
        pad_->InvalidateAll(true);
        screen_.PaintPending();
    }
    // Strokes of ten entries (seven points each) until `count` are stored.
    void FillInk(int32_t count) {
        for (data_->InkCount = 0; data_->InkCount < count; data_->InkCount += 10) {
            auto at = data_->InkBuffer.begin() + data_->InkCount;
            *at++ = W(1);
            *at++ = C(0);
            for (int32_t i = 0; i < 7; ++i) {
                *at++ = {10 + 2 * i, 60};
            }
            *at = kEnd;
        }
    }
    Ink Stored() const {
        return {data_->InkBuffer.begin(), data_->InkBuffer.begin() + data_->InkCount};
    }
    // The last stroke stored, from its width record on.
    Ink LastStroke() const {
        Ink ink = Stored();
        size_t start = ink.size();
        while (start > 0 &&
               schedule::KindOfInkEntry(ink[start - 1]) != schedule::InkEntryKind::Width) {
            --start;
        }
        return start == 0 ? Ink{}
                          : Ink{ink.begin() + static_cast<std::ptrdiff_t>(start - 1), ink.end()};
    }
    gui::EditBox& TextBox() const { return dynamic_cast<gui::EditBox&>(*pad_->Children().at(0)); }
    gui::ColorRef PadPixel(int x, int y) const { return gui::FromQRgb(pad_->Pixels().pixel(x, y)); }

    // The screen as shown, read in pad coordinates from `origin`.
    void Shoot(gui::Point origin) {
        shot_ = screen_.Render(1);
        origin_ = origin;
    }
    gui::ColorRef At(int x, int y) const {
        return gui::FromQRgb(shot_.pixel(origin_.x + x, origin_.y + y));
    }
    // The band, the swatches with the selected one framed, the gauge with its red fill `filled`
    // pixels wide, and the dashed guide line.
    void ExpectToolbar(int32_t selected, int filled) const {
        EXPECT_EQ(At(0, 19), gui::kGray);
        EXPECT_EQ(At(239, 0), gui::kGray);
        EXPECT_EQ(At(192, 8), gui::kGray);
        for (int32_t colour = 0; colour < schedule::kInkColourCount; ++colour) {
            const int left = 20 + 20 * colour;
            const gui::ColorRef frame = colour == selected ? gui::kBlack : gui::kGray;
            EXPECT_EQ(At(left, 0), frame) << colour;
            EXPECT_EQ(At(left, 8), frame) << colour;
            EXPECT_EQ(At(left + 19, 15), frame) << colour;
            EXPECT_EQ(At(left + 1, 1), schedule::InkColourOf(colour)) << colour;
            EXPECT_EQ(At(left + 18, 14), schedule::InkColourOf(colour)) << colour;
        }
        EXPECT_EQ(At(170, 1), gui::kBlack);
        EXPECT_EQ(At(189, 14), gui::kBlack);
        for (int x = 171; x < 189; ++x) {
            EXPECT_EQ(At(x, 2), x < 171 + filled ? kRed : gui::kWhite) << "gauge at " << x;
            EXPECT_EQ(At(x, 13), x < 171 + filled ? kRed : gui::kWhite) << "gauge at " << x;
        }
        for (int x = 0; x < 240; ++x) {
            EXPECT_EQ(At(x, 52), x % 8 < 4 ? gui::kGray : gui::kWhite) << "guide at " << x;
        }
    }
    // With TESSARINTH_PAD_SHOTS naming a folder, the screen at twice its size goes there, for a
    // person to look at.
    void SaveShot(const char* name) const {
        if (const char* folder = std::getenv("TESSARINTH_PAD_SHOTS")) {
            const QString path = QString::fromUtf8(folder) + u'/' + QString::fromUtf8(name);
            EXPECT_TRUE(screen_.Render(2).save(path + QStringLiteral(".png")));
        }
    }

    gui::DeviceScreen screen_{gui::Orientation::Portrait, 1};
    MessageRecorder recorder_;
    gui::Window* host_ = nullptr;
    gui::Window* sibling_ = nullptr;
    std::unique_ptr<PadData> data_ = std::make_unique<PadData>();
    HandwritingPad* pad_ = nullptr;
    QImage shot_;
    gui::Point origin_;
};

// ---- Strokes ----

using PadStrokes = Pad;

TEST_F(PadStrokes, TapStoresFourEntriesThatDrawNothingOnceRepainted) {
    Open();
    screen_.PenDown(OnScreen({30, 60}));
    EXPECT_EQ(PadPixel(30, 60), gui::kBlack);
    screen_.PenUp(OnScreen({30, 60}));
    EXPECT_EQ(Stored(), (Ink{W(1), C(0), {30, 40}, kEnd}));
    Repaint();
    EXPECT_EQ(PadPixel(30, 60), gui::kWhite);
}

TEST_F(PadStrokes, ThinningDropsPointsOnEvenStepsOnly) {
    Open();
    const std::vector<std::pair<std::vector<gui::Point>, Ink>> cases{
        // Straight at constant speed, and steps a pixel apart, counted between the recorded
        // points: only the ends stay.
        {{{10, 60}, {15, 60}, {20, 60}, {25, 60}, {30, 60}}, {{10, 40}, {30, 40}}},
        {{{10, 80}, {15, 80}, {21, 80}, {26, 81}, {32, 81}}, {{10, 60}, {32, 61}}},
        {{{100, 30}, {103, 33}, {106, 36}}, {{100, 10}, {106, 16}}},
        // Steps 2 apart keep every point; a corner stays.
        {{{10, 60}, {12, 60}, {16, 60}, {18, 60}}, {{10, 40}, {12, 40}, {16, 40}, {18, 40}}},
        {{{50, 30}, {50, 32}, {50, 36}}, {{50, 10}, {50, 12}, {50, 16}}},
        {{{100, 30}, {110, 30}, {120, 30}, {120, 40}, {120, 50}},
         {{100, 10}, {120, 10}, {120, 30}}},
    };
    for (const auto& [points, kept] : cases) {
        Stroke(points);
        Ink expected{W(1), C(0)};
        expected.insert(expected.end(), kept.begin(), kept.end());
        expected.push_back(kEnd);
        EXPECT_EQ(LastStroke(), expected) << "from " << points[0].x << ", " << points[0].y;
    }
    EXPECT_EQ(PadPixel(22, 60), gui::kBlack);  // drawn live through every point
}

TEST_F(PadStrokes, AStrokeKeepsNinetySevenPointsAndStopsFollowingThePen) {
    Open();
    Stroke(Zigzag(110, {0, 60}));
    const Ink stroke = LastStroke();
    ASSERT_EQ(stroke.size(), kStrokeEntries);
    EXPECT_EQ(stroke[98], (schedule::InkEntry{192, 40}));  // the 97th point
    EXPECT_EQ(PadPixel(191, 61), gui::kBlack);
    for (int x = 193; x < 220; ++x) {
        EXPECT_EQ(PadPixel(x, 62), gui::kWhite) << x;
    }
}

TEST_F(PadStrokes, PenOutsideThePadIsIgnoredAndTheStrokeGoesOnWhenItComesBack) {
    Open();
    // Captured, the pen goes off to the left, back, below, just right of the pad, over the
    // toolbar, and is lifted outside.
    Stroke({{20, 60},
            {10, 60},
            {-1, 60},
            {-30, 65},
            {5, 70},
            {30, 70},
            {60, 300},
            {240, 80},
            {100, 10},
            {40, 80},
            {-8, 400}});
    EXPECT_EQ(Stored(), (Ink{W(1), C(0), {20, 40}, {10, 40}, {5, 50}, {30, 50}, {40, 60}, kEnd}));
    EXPECT_EQ(PadPixel(0, 60), gui::kWhite);
    EXPECT_EQ(PadPixel(8, 64), gui::kBlack);  // from the last point inside to the next
}

TEST_F(PadStrokes, AFullBufferRefusesTheWholeStrokeAndKeepsItVisibleUntilRepainted) {
    FillInk(1990);
    Open();
    const Ink before = Stored();
    // Eleven entries; thinned it would have been five, but the count before thinning decides.
    Stroke({{10, 90}, {15, 90}, {20, 90}, {25, 90}, {30, 90}, {35, 90}, {40, 90}, {45, 90}});
    EXPECT_EQ(Stored(), before);
    ASSERT_EQ(recorder_.messages.size(), 1u);
    EXPECT_EQ(recorder_.messages[0].text, u"これ以上は追加できません");
    EXPECT_EQ(recorder_.messages[0].caption, u"");
    EXPECT_EQ(recorder_.messages[0].buttons, gui::MessageBoxButtons::Ok);
    EXPECT_EQ(PadPixel(30, 90), gui::kBlack);
    Repaint();
    EXPECT_EQ(PadPixel(30, 90), gui::kWhite);

    Shoot(kPadOnScreen);
    EXPECT_EQ(At(187, 8), kRed);  // 1990 entries: 17 of 18 pixels
    EXPECT_EQ(At(188, 8), gui::kWhite);
    Stroke(Zigzag(7, {100, 90}));  // ten entries: exactly full
    EXPECT_EQ(data_->InkCount, 2000);
    Shoot(kPadOnScreen);
    ExpectToolbar(0, 18);
    Tap(30, 100);
    EXPECT_EQ(recorder_.messages.size(), 2u);
}

// ---- Toolbar ----

using PadToolbar = Pad;

TEST_F(PadToolbar, UndoTakesBackTheLastWholeStrokeButNothingFromOneEntry) {
    Open();
    Tap(kUndoX, kBarY);
    EXPECT_EQ(data_->InkCount, 0);
    data_->InkBuffer[0] = {5, 5};
    data_->InkCount = 1;
    Tap(kUndoX, kBarY);
    EXPECT_EQ(data_->InkCount, 1);

    data_->InkCount = 0;
    Stroke({{10, 60}, {40, 60}});
    const Ink one = Stored();
    Stroke(Zigzag(6, {10, 80}));
    const Ink two = Stored();
    Stroke({{100, 40}, {100, 70}});
    Tap(kUndoX, kBarY);
    EXPECT_EQ(Stored(), two);
    EXPECT_EQ(PadPixel(100, 50), gui::kWhite);
    Tap(kUndoX, kBarY);
    EXPECT_EQ(Stored(), one);
    Tap(kUndoX, kBarY);
    EXPECT_EQ(data_->InkCount, 0);
}

TEST_F(PadToolbar, ClearEmptiesTheInkResetsColourAndWidthAndKeepsTheText) {
    data_->PadTextMode = 1;
    Open();
    TextBox().SetText(u"資料を持参");
    Tap(kModeX, kBarY);
    Tap(kRedX, kBarY);
    Tap(kWidthX, kBarY);
    Stroke({{10, 60}, {40, 60}});
    Tap(kClearX, kBarY);
    EXPECT_EQ(data_->InkCount, 0);
    EXPECT_EQ(PadPixel(20, 60), gui::kWhite);
    EXPECT_EQ(pad_->ReadPadText(), u"資料を持参");
    Stroke({{10, 60}, {40, 60}});
    EXPECT_EQ(Stored(), (Ink{W(1), C(0), {10, 40}, {40, 40}, kEnd}));
}

TEST_F(PadToolbar, WidthGoesOneTwoThreeOneAndSharedEdgesGoToTheRightHandButton) {
    Open();
    std::vector<int32_t> widths;
    for (int taps = 0; taps < 4; ++taps) {
        Stroke({{10, 60}, {40, 60}});
        widths.push_back(LastStroke()[0].y);
        Tap(kWidthX, kBarY);
    }
    EXPECT_EQ(widths, (std::vector<int32_t>{1, 2, 3, 1}));

    const std::vector<std::pair<int, int32_t>> swatchTaps{{20, 0}, {40, 1},  {60, 2},  {79, 2},
                                                          {80, 3}, {100, 3}, {101, 3}, {19, 3}};
    for (const auto& [x, colour] : swatchTaps) {
        Tap(x, 20);
        Stroke({{10, 60}, {40, 60}});
        EXPECT_EQ(LastStroke()[1], C(colour)) << "tap at x " << x;
    }

    // x 215 is both the mode button's last column and the size button's first: size only.
    Tap(215, kBarY);
    EXPECT_EQ(pad_->PadEnlarged(), 1);
    EXPECT_EQ(data_->PadTextMode, 0);
    Tap(214, kBarY);
    EXPECT_EQ(data_->PadTextMode, 1);
    EXPECT_EQ(pad_->PadEnlarged(), 1);
}

// ---- Text ----

using PadText = Pad;

TEST_F(PadText, EnteringTextModeReloadsPadTextEveryTime) {
    data_->PadText = u"持ち物\r\n名刺";
    Open();
    EXPECT_FALSE(TextBox().IsVisible());
    EXPECT_EQ(pad_->ReadPadText(), u"");  // not loaded in ink mode
    Tap(kModeX, kBarY);
    EXPECT_TRUE(TextBox().IsVisible());
    EXPECT_EQ(pad_->ReadPadText(), u"持ち物\r\n名刺");

    TextBox().SetText(u"書き直した");
    Tap(kModeX, kBarY);
    EXPECT_FALSE(TextBox().IsVisible());
    EXPECT_EQ(pad_->ReadPadText(), u"書き直した");  // read in ink mode too
    Tap(kModeX, kBarY);
    EXPECT_EQ(pad_->ReadPadText(), u"持ち物\r\n名刺");
    EXPECT_EQ(data_->PadText, u"持ち物\r\n名刺");
}

TEST_F(PadText, ReadPadTextHandsOverAWholeBody) {
    std::u16string body;
    while (body.size() < kMaxPadTextChars) {
        body += u"長いメモの行だ\r\n";  // nine units: the cut falls inside a line
    }
    body.resize(kMaxPadTextChars);
    data_->PadTextMode = 1;
    data_->PadText = body;
    Open();
    EXPECT_EQ(pad_->ReadPadText(), body);
    TextBox().SetText(body + u"余");
    EXPECT_EQ(pad_->ReadPadText(), body);
    // A surrogate pair the limit would split goes whole.
    TextBox().SetText(body.substr(0, kMaxPadTextChars - 1) + u"\U0002000B");
    EXPECT_EQ(pad_->ReadPadText(), body.substr(0, kMaxPadTextChars - 1));
}

// ---- Size ----

using PadSize = Pad;

TEST_F(PadSize, EnlargingCoversTheParentAndTakesTheInputPanelAlongInTextMode) {
    data_->PadTextMode = 1;
    Open();
    EXPECT_EQ(TextBox().ScreenRect(), (gui::Rect{0, 201, 240, 296}));
    Tap(kSizeX, kBarY);
    EXPECT_FALSE(sibling_->IsVisible());
    EXPECT_EQ(pad_->ScreenRect(), (gui::Rect{0, 26, 240, 296}));
    ASSERT_TRUE(screen_.IsInputPanelShown());
    const int panelTop = screen_.InputPanelRect().top;
    EXPECT_EQ(TextBox().ScreenRect(), (gui::Rect{0, 46, 240, 46 + panelTop - 44}));
    Tap(kModeX, kBarY);  // enlarged, ink mode lowers the panel and text mode raises it
    EXPECT_FALSE(screen_.IsInputPanelShown());
    Tap(kModeX, kBarY);
    EXPECT_TRUE(screen_.IsInputPanelShown());

    Tap(kSizeX, kBarY);
    EXPECT_TRUE(sibling_->IsVisible());
    EXPECT_EQ(pad_->ScreenRect(), (gui::Rect{0, 181, 240, 451}));
    EXPECT_EQ(TextBox().ScreenRect(), (gui::Rect{0, 201, 240, 296}));
    EXPECT_TRUE(screen_.IsInputPanelShown());  // shrinking leaves it alone

    Tap(kModeX, kBarY);
    Tap(kSizeX, kBarY);  // enlarged in ink mode: no keyboard
    EXPECT_FALSE(screen_.IsInputPanelShown());
}

// ---- Painting ----

using PadPaint = Pad;

TEST_F(PadPaint, ToolbarInTheEditorAndEnlargedAtItsTop) {
    Open();
    Shoot(kPadOnScreen);
    ExpectToolbar(0, 0);

    Tap(70, kBarY);  // green
    FillInk(1000);
    Tap(kSizeX, kBarY);
    Shoot(kEnlargedOnScreen);
    ExpectToolbar(2, 9);
    EXPECT_EQ(At(12, 80), gui::kBlack);  // ink, 20 pixels down
}

TEST_F(PadPaint, WidthSampleShowsTheStrokePenWhichOutlivesThePad) {
    Open();
    Shoot(kPadOnScreen);
    EXPECT_EQ(At(151, 8), gui::kBlack);
    EXPECT_EQ(At(165, 8), gui::kWhite);
    EXPECT_EQ(At(158, 9), gui::kWhite);
    Tap(kWidthX, kBarY);
    Tap(kWidthX, kBarY);
    Tap(kRedX, kBarY);  // the pen takes the colour at the next move
    Shoot(kPadOnScreen);
    EXPECT_EQ(At(158, 7), gui::kBlack);
    EXPECT_EQ(At(158, 9), gui::kBlack);
    Stroke({{10, 60}, {40, 60}});
    Repaint();
    Shoot(kPadOnScreen);
    EXPECT_EQ(At(158, 7), kRed);

    // A new pad writes black and 1 pixel wide, but shows the pen as the last one left it.
    pad_->Destroy();
    Open();
    Shoot(kPadOnScreen);
    EXPECT_EQ(At(158, 7), kRed);
    pad_->Destroy();
    ReleasePadResources();
    Open();
    Shoot(kPadOnScreen);
    EXPECT_EQ(At(158, 8), gui::kWhite);
}

TEST_F(PadPaint, InkInThreeColoursAndWidths) {
    Open();
    // Red 1 pixel wide, green 2, blue 3: a line and a wave each.
    const std::vector<std::pair<int, int>> strokes{{50, 64}, {70, 80}, {90, 98}};
    for (const auto& [swatchX, y] : strokes) {
        Tap(swatchX, kBarY);
        Stroke({{20, y}, {100, y}});
        Stroke(Wave(130, y));
        Tap(kWidthX, kBarY);
    }
    Repaint();
    Shoot(kPadOnScreen);
    const std::vector<std::pair<int, gui::ColorRef>> column{
        {63, gui::kWhite},         {64, kRed},
        {65, gui::kWhite},         {79, gui::kWhite},
        {80, schedule::kInkGreen}, {81, schedule::kInkGreen},
        {82, gui::kWhite},         {97, schedule::kInkBlue},
        {99, schedule::kInkBlue},  {100, gui::kWhite}};
    for (const auto& [y, colour] : column) {
        EXPECT_EQ(At(60, y), colour) << "row " << y;
    }
    EXPECT_EQ(At(101, 98), gui::kWhite);  // a polyline leaves out its last pixel
    SaveShot("pad-ink");
}

TEST_F(PadPaint, TheTextBoxCoversTheDrawingAreaInTextMode) {
    data_->PadText = u"会議の資料\r\n・予算案\r\n・日程表";
    Open();
    Stroke(Wave(130, 98));
    Stroke({{20, 105}, {200, 105}});
    Tap(kModeX, kBarY);
    Shoot(kPadOnScreen);
    EXPECT_EQ(PadPixel(150, 105), gui::kBlack);
    EXPECT_NE(At(150, 105), gui::kBlack);
    SaveShot("pad-text");

    Tap(kSizeX, kBarY);
    Shoot(kEnlargedOnScreen);
    EXPECT_NE(At(150, 105), gui::kBlack);
    EXPECT_EQ(At(239, 0), gui::kGray);
    SaveShot("pad-enlarged");
}

}  // namespace
}  // namespace controls
