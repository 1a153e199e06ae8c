#include "editors/appointment_editor.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include <cmath>
#include <vector>

#include "controls/handwriting_pad.h"
#include "platform/gui/dialog.h"
#include "platform/gui/month_calendar.h"
#include "resources/resource_ids.h"
#include "schedule/ink_entry.h"
#include "tests/app/planner_fixture.h"
#include "tests/editors/editor_layout.h"
#include "tests/editors/editors_fixture.h"

namespace editors {
namespace {

using app::At;
using namespace resources;

enum class Ring { Inner, Outer };

// A point of the dial on the screen: the centre of the clock position's sector on a ring (the
// dial's centre is at (190, 100) in the editor, which starts 26 pixels down; the rings' middles
// lie at radius 24 and 40).
constexpr gui::Point kDialCentre{190, 126};
gui::Point Dial(Ring ring, int position, gui::Point centre = kDialCentre) {
    const double radius = ring == Ring::Inner ? 24 : 40;
    const double angle = position * M_PI / 6;
    return {static_cast<int>(std::lround(centre.x + radius * std::sin(angle))),
            static_cast<int>(std::lround(centre.y - radius * std::cos(angle)))};
}
constexpr gui::Point kAllDayBox{22, 26 + 94};
constexpr gui::Point kHolidayBox{92, 26 + 94};

class AppointmentEditorTest : public app::PlannerFixture {
protected:
    void SetUp() override {
        Start([](store::Application&) {});
    }

    // Opens a new appointment on the selected day, as 新規 → 予定 does.
    AppointmentEditor* OpenNew() {
        main_->SendCommand(kCommandNewAppointment);
        return Editor();
    }
    AppointmentEditor* Editor() const {
        return dynamic_cast<AppointmentEditor*>(main_->OpenEditorWindow());
    }
    void Stroke(gui::Point from, gui::Point to) {
        screen_.PenDown(from);
        screen_.PenMove(to);
        screen_.PenUp(to);
        screen_.ProcessPending();
        screen_.PaintPending();
    }
    void Type(const QString& text) {
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(screen_.FocusWindow()->ScreenWidget(), &commit);
    }
    // The record's start and end as "hh:mm-hh:mm".
    std::string Times() const {
        const auto text = [](platform::Date date) {
            const auto fields = platform::DateToFields(date);
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "%02u:%02u", unsigned{fields->Hour},
                          unsigned{fields->Minute});
            return std::string(buffer);
        };
        return text(planner_.editRecord->Start) + "-" + text(planner_.editRecord->End);
    }
    void Ok() {
        Editor()->SendCommand(kCommandOk);
        screen_.ProcessPending();
        screen_.PaintPending();
    }
    void Key(Qt::Key key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(screen_.FocusWindow()->ScreenWidget(), &press);
    }
    std::filesystem::path DataFolder() const { return home_.DeviceRoot() / "My Documents"; }
    calendar::AppointmentRecord Stored(int32_t oid) {
        auto appointment = Reader().GetAppointmentFromOid(oid);
        EXPECT_TRUE(appointment.ok()) << oid;
        return appointment ? appointment->Record() : calendar::AppointmentRecord{};
    }
};

TEST_F(AppointmentEditorTest, OneStrokeOnTheDialSetsTheTimes) {
    OpenNew();
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editor()->Face(), DialFace::Day);
    Stroke(Dial(Ring::Outer, 9), Dial(Ring::Inner, 6));
    EXPECT_EQ(Times(), "09:30-10:30");
    Stroke(Dial(Ring::Outer, 10), Dial(Ring::Outer, 10));
    EXPECT_EQ(Times(), "10:00-11:00");
    Stroke(Dial(Ring::Outer, 10), Dial(Ring::Outer, 12));
    EXPECT_EQ(Times(), "10:00-12:00");
    Stroke(Dial(Ring::Inner, 3), Dial(Ring::Outer, 9));
    EXPECT_EQ(Times(), "10:00-15:45");
    Stroke(Dial(Ring::Inner, 3), Dial(Ring::Inner, 4));  // within the inner ring: nothing
    EXPECT_EQ(Times(), "10:00-15:45");
    Stroke(Dial(Ring::Outer, 7), Dial(Ring::Outer, 7));
    EXPECT_EQ(Times(), "19:00-20:00");
    EXPECT_EQ(Editor()->Face(), DialFace::Night);
    Stroke(Dial(Ring::Outer, 12), Dial(Ring::Outer, 12));
    EXPECT_EQ(Times(), "00:00-01:00");
    Stroke(kDialCentre, kDialCentre);
    EXPECT_EQ(Editor()->Face(), DialFace::Day);
    Stroke(kDialCentre, Dial(Ring::Outer, 3));
    EXPECT_EQ(Editor()->Face(), DialFace::Day);
    EXPECT_EQ(Times(), "00:00-01:00");
    EXPECT_EQ(planner_.editRecord->Start, At(2026, 12, 7));
}

TEST_F(AppointmentEditorTest, TwelveOClockAndElevenAtNightCarryIntoTheNextHourAndDay) {
    OpenNew();
    // Outer 11 (11:00) released on inner 12: the minutes are 60.
    Stroke(Dial(Ring::Outer, 11), Dial(Ring::Inner, 12));
    EXPECT_EQ(Times(), "12:00-13:00");
    Stroke(kDialCentre, kDialCentre);                      // night
    Stroke(Dial(Ring::Outer, 11), Dial(Ring::Outer, 11));  // 23:00 to 24:00
    EXPECT_EQ(planner_.editRecord->Start, At(2026, 12, 7, 23));
    EXPECT_EQ(planner_.editRecord->End, At(2026, 12, 8, 0));
}

TEST_F(AppointmentEditorTest, OnlyThePicturesOwnPixelsNameRegions) {
    OpenNew();
    const platform::Date before = planner_.editRecord->Start;
    // x 240 and y 150 of the editor lie one past the 100 x 100 picture.
    Stroke({240, 26 + 100}, {240, 26 + 100});
    Stroke({190, 26 + 150}, {190, 26 + 150});
    Stroke({150, 26 + 100}, {240, 26 + 100});
    EXPECT_EQ(planner_.editRecord->Start, before);
}

TEST_F(AppointmentEditorTest, AllDayDropsTheTimesAndTheDialIgnoresThePen) {
    OpenNew();
    Stroke(Dial(Ring::Outer, 9), Dial(Ring::Inner, 6));
    Tap(kAllDayBox);
    EXPECT_EQ(planner_.editRecord->AllDay, 1);
    EXPECT_EQ(Times(), "00:00-00:00");
    Stroke(Dial(Ring::Outer, 10), Dial(Ring::Outer, 10));
    EXPECT_EQ(Times(), "00:00-00:00");
    Tap(kAllDayBox);
    EXPECT_EQ(planner_.editRecord->AllDay, 0);
    EXPECT_EQ(Times(), "00:00-00:00");
}

TEST_F(AppointmentEditorTest, AnEndBeforeTheStartIsRefusedAndNothingIsWritten) {
    OpenNew();
    Tap(kSubjectField);
    Type(QStringLiteral("逆"));
    Stroke(Dial(Ring::Outer, 11), Dial(Ring::Outer, 9));
    EXPECT_EQ(Times(), "11:00-09:00");
    Ok();
    EXPECT_EQ(responder_.messageBoxTexts,
              std::vector<std::u16string>{u"終了時間が開始時間より前です"});
    ASSERT_NE(Editor(), nullptr);
    EXPECT_TRUE(Reader().AllAppointments()->empty());
}

TEST_F(AppointmentEditorTest, ANewAppointmentWithTextOrInkAndItsHistory) {
    OpenNew();
    Tap(kSubjectField);
    Type(QStringLiteral("会議"));
    Stroke(Dial(Ring::Outer, 9), Dial(Ring::Inner, 6));
    // A stroke in the pad's drawing area (the pad starts at y 155 of the editor).
    Stroke({40, 26 + 200}, {120, 26 + 230});
    EXPECT_EQ(planner_.pad->InkCount, 5);
    Tap(kHolidayBox);
    Ok();
    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);
    ASSERT_EQ(Row(0).kind, schedule::DayItemKind::Appointment);
    const calendar::AppointmentRecord stored = Stored(Row(0).objectId);
    EXPECT_EQ(stored.subject, u"会議");
    EXPECT_EQ(stored.start, At(2026, 12, 7, 9, 30));
    EXPECT_EQ(stored.body, u"1.dat");
    EXPECT_EQ(stored.categories, u"祝日");
    EXPECT_EQ(testing_support::ReadBytes(DataFolder() / "1.dat").size(), 5u * 8);
    EXPECT_EQ(planner_.history.SubjectHistory.Texts()[0], u"会議");
    // The month's marks show it at once: the 7th is a holiday with a morning mark.
    const size_t cell = static_cast<size_t>(
        std::find(planner_.census.dates.begin(), planner_.census.dates.end(), At(2026, 12, 7)) -
        planner_.census.dates.begin());
    EXPECT_EQ(planner_.census.census.holiday[cell], 1);
}

TEST_F(AppointmentEditorTest, OpeningAndSavingKeepsOrReplacesTheMemo) {
    calendar::AppointmentRecord memo;
    memo.start = At(2026, 12, 7, 8);
    memo.end = At(2026, 12, 7, 9);
    memo.subject = u"メモ";
    memo.body = u"一行目\r\n二行目";
    memo.categories = u"祝日";
    ASSERT_TRUE(Reader().AddAll({memo}, {}).ok());
    main_->SendCommand(kCommandToday);
    Tap(app::ItemRow(0));
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(planner_.pad->PadTextMode, 1);
    EXPECT_EQ(planner_.pad->PadText, u"一行目\r\n二行目");
    Tap(kHolidayBox);  // cleared
    Ok();
    const calendar::AppointmentRecord saved = Stored(Row(0).objectId);
    EXPECT_EQ(saved.body, u"一行目\r\n二行目");
    EXPECT_EQ(saved.categories, u"");

    // A new appointment after it starts with an empty text memo, in text mode by the setting.
    planner_.settings.HMemo = 1;
    OpenNew();
    EXPECT_EQ(planner_.pad->PadTextMode, 1);
    EXPECT_EQ(planner_.pad->PadText, u"");
    Editor()->SendCommand(kCommandBack);
}

TEST_F(AppointmentEditorTest, DeleteAsksAndTakesTheInkFileAlong) {
    OpenNew();
    Tap(kDeleteButton);  // a new one closes without a question
    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);
    EXPECT_TRUE(responder_.messageBoxTexts.empty());

    OpenNew();
    Stroke({40, 26 + 200}, {120, 26 + 230});
    Ok();
    ASSERT_TRUE(std::filesystem::exists(DataFolder() / "1.dat"));
    Tap(app::ItemRow(0));
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(planner_.pad->InkCount, 5);
    responder_.messageBoxAnswers = {gui::MessageBoxAnswer::No, gui::MessageBoxAnswer::Yes};
    Tap(kDeleteButton);
    ASSERT_NE(Editor(), nullptr);
    Tap(kDeleteButton);
    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);
    EXPECT_EQ(responder_.messageBoxTexts.size(), 2u);
    EXPECT_TRUE(Reader().AllAppointments()->empty());
    EXPECT_FALSE(std::filesystem::exists(DataFolder() / "1.dat"));
}

TEST_F(AppointmentEditorTest, InkKeptErasedOrReplacedByText) {
    // Three handwritten appointments at 9, 10 and 11.
    for (int hour : {9, 10, 11}) {
        OpenNew();
        Stroke(Dial(Ring::Outer, hour), Dial(Ring::Outer, hour));
        Stroke({40, 26 + 200}, {120, 26 + 230});
        Ok();
    }
    ASSERT_EQ(Stored(Row(2).objectId).body, u"3.dat");
    constexpr gui::Point kClear{138, 26 + 155 + 8};
    constexpr gui::Point kTextMode{205, 26 + 155 + 8};

    Tap(app::ItemRow(0));  // kept: a stroke added, the same file rewritten
    Stroke({40, 26 + 240}, {60, 26 + 260});
    Ok();
    EXPECT_EQ(Stored(Row(0).objectId).body, u"1.dat");
    EXPECT_EQ(testing_support::ReadBytes(DataFolder() / "1.dat").size(), 10u * 8);

    Tap(app::ItemRow(1));  // erased
    Tap(kClear);
    Ok();
    EXPECT_EQ(Stored(Row(1).objectId).body, u"");
    EXPECT_FALSE(std::filesystem::exists(DataFolder() / "2.dat"));

    Tap(app::ItemRow(2));  // replaced by a typed memo
    Tap(kTextMode);
    Tap({100, 26 + 155 + 60});
    Type(QStringLiteral("地図は不要"));
    Ok();
    EXPECT_EQ(Stored(Row(2).objectId).body, u"地図は不要");
    EXPECT_FALSE(std::filesystem::exists(DataFolder() / "3.dat"));
}

TEST_F(AppointmentEditorTest, TypedTextBesideInkShowsInTextModeAndATextMemoIsNeverInk) {
    testing_support::WriteBytes(DataFolder() / "1.dat",
                                schedule::EncodeInkEntries(std::vector<schedule::InkEntry>{
                                    {-3, 1}, {10, 10}, {20, 20}, {-1, -1}}));
    calendar::AppointmentRecord drawn;
    drawn.start = At(2026, 12, 7, 8);
    drawn.end = At(2026, 12, 7, 9);
    drawn.body = u"1.dat\r\n別の予定表で\n追記";
    drawn.handwritten = true;
    // Another calendar program's memo that begins with the name of this home's ink file.
    calendar::AppointmentRecord typed = drawn;
    typed.start = At(2026, 12, 7, 10);
    typed.end = At(2026, 12, 7, 11);
    typed.body = u"1.dat\nplease look at that file";
    typed.handwritten = false;
    ASSERT_TRUE(Reader().AddAll({drawn, typed}, {}).ok());
    main_->SendCommand(kCommandToday);
    constexpr gui::Point kTextMode{205, 26 + 155 + 8};

    Tap(app::ItemRow(0));
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(planner_.pad->InkCount, 4);
    EXPECT_EQ(planner_.pad->PadTextMode, 0);
    Tap(kTextMode);
    EXPECT_EQ(planner_.pad->PadTextMode, 1);
    EXPECT_EQ(planner_.pad->PadText, u"別の予定表で\n追記");
    Ok();
    EXPECT_EQ(Stored(Row(0).objectId).body, u"1.dat\r\n別の予定表で\n追記");
    EXPECT_TRUE(Stored(Row(0).objectId).handwritten);

    Tap(app::ItemRow(1));
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(planner_.pad->InkCount, 0);
    EXPECT_EQ(planner_.pad->PadTextMode, 1);
    EXPECT_EQ(planner_.pad->PadText, u"1.dat\nplease look at that file");
    responder_.messageBoxAnswers = {gui::MessageBoxAnswer::Yes};
    Tap(kDeleteButton);
    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);
    // The drawing was the other memo's, and stays.
    EXPECT_TRUE(std::filesystem::exists(DataFolder() / "1.dat"));
    EXPECT_EQ(Reader().AllAppointments()->size(), 1u);
}

TEST_F(AppointmentEditorTest, InkThatCannotBeStoredKeepsTheEditorOpenWithNothingWritten) {
    for (int n = 1; n <= 1999; ++n) {
        testing_support::WriteBytes(DataFolder() / (std::to_string(n) + ".dat"), "");
    }
    OpenNew();
    Stroke({40, 26 + 200}, {120, 26 + 230});
    Ok();
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(responder_.messageBoxTexts, std::vector<std::u16string>{u"これ以上は追加できません"});
    EXPECT_EQ(planner_.pad->InkCount, 5);
    std::filesystem::remove(DataFolder() / "5.dat");
    {
        // A full disk: the ink file cannot be written.
        FileSizeLimit full(16);
        Ok();
    }
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(responder_.messageBoxTexts.back(), u"保存できませんでした");
    EXPECT_TRUE(Reader().AllAppointments()->empty());
    Ok();
    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);
    EXPECT_EQ(Stored(Row(0).objectId).body, u"5.dat");
}

TEST_F(AppointmentEditorTest, InkInAFolderThatTakesNoFileIsReportedAsNotSaved) {
    testing_support::WriteBytes(home_.DeviceRoot() / "plain", "");
    planner_.settings.DataPath = u"\\plain";  // a file, so nothing can be made below it
    OpenNew();
    Stroke({40, 26 + 200}, {120, 26 + 230});
    Ok();
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(responder_.messageBoxTexts, std::vector<std::u16string>{u"保存できませんでした"});
    EXPECT_TRUE(Reader().AllAppointments()->empty());
}

TEST_F(AppointmentEditorTest, ADayTheDialCarriedIntoReturnsWhenTheTimesNoLongerCrossMidnight) {
    OpenNew();
    Stroke(kDialCentre, kDialCentre);                      // night
    Stroke(Dial(Ring::Outer, 11), Dial(Ring::Outer, 11));  // 23:00 to 24:00
    ASSERT_EQ(planner_.editRecord->End, At(2026, 12, 8, 0));
    Stroke(kDialCentre, kDialCentre);  // day
    Stroke(Dial(Ring::Outer, 10), Dial(Ring::Outer, 10));
    EXPECT_EQ(planner_.editRecord->Start, At(2026, 12, 7, 10));
    EXPECT_EQ(planner_.editRecord->End, At(2026, 12, 7, 11));
    // The end alone, carried by its minutes (inner 11 on the night face is 23:00, outer 12 is
    // 60 minutes), and set again.
    Stroke(kDialCentre, kDialCentre);
    Stroke(Dial(Ring::Inner, 11), Dial(Ring::Outer, 12));
    ASSERT_EQ(planner_.editRecord->End, At(2026, 12, 8, 0));
    Stroke(Dial(Ring::Inner, 11), Dial(Ring::Outer, 6));
    EXPECT_EQ(planner_.editRecord->End, At(2026, 12, 7, 23, 30));
    Ok();
    EXPECT_EQ(Stored(Row(0).objectId).end, At(2026, 12, 7, 23, 30));
}

TEST_F(AppointmentEditorTest, AnEndDayChosenWithTheButtonIsNeverTakenBackByTheDial) {
    OpenNew();
    responder_.dialogAnswers.push_back(
        {[](gui::Dialog& dialog) {
             dialog.ItemAs<gui::MonthCalendar>(kDatePickerCalendar)->Pick({2026, 12, 9});
         },
         kCommandOk});
    Tap({90, 26 + 74});  // the end date's "."
    ASSERT_EQ(platform::DayNumber(planner_.editRecord->End), platform::DayNumber(At(2026, 12, 9)));
    Stroke(Dial(Ring::Outer, 10), Dial(Ring::Outer, 10));
    EXPECT_EQ(planner_.editRecord->End, At(2026, 12, 9, 11));
    Stroke(kDialCentre, kDialCentre);
    Stroke(Dial(Ring::Outer, 11), Dial(Ring::Outer, 11));
    EXPECT_EQ(planner_.editRecord->End, At(2026, 12, 10, 0));
    Stroke(kDialCentre, kDialCentre);
    Stroke(Dial(Ring::Outer, 10), Dial(Ring::Outer, 10));
    EXPECT_EQ(planner_.editRecord->End, At(2026, 12, 9, 11));
}

TEST_F(AppointmentEditorTest, TypingStopsAtTheLimitWithoutHalfACharacter) {
    OpenNew();
    Tap(kSubjectField);
    Type(QString(253, QChar(u'件')));
    Type(QStringLiteral("🎍"));  // a surrogate pair: 255 units would pass the limit
    Ok();
    ASSERT_EQ(Reader().AllAppointments()->size(), 1u);
    const std::u16string stored = Reader().AllAppointments()->front().subject;
    EXPECT_EQ(stored, std::u16string(253, u'件'));

    Tap(app::ItemRow(0));
    Tap(kSubjectField);
    Key(Qt::Key_End);
    Key(Qt::Key_Backspace);
    Type(QStringLiteral("🎍🎍"));  // the first fits whole, the second not at all
    Ok();
    EXPECT_EQ(Reader().AllAppointments()->front().subject, std::u16string(252, u'件') + u"🎍");
}

TEST_F(AppointmentEditorTest, ALongerStoredSubjectAndPlaceSurviveOpeningAndSaving) {
    calendar::AppointmentRecord imported;
    imported.start = At(2026, 12, 7, 9);
    imported.end = At(2026, 12, 7, 10);
    imported.subject = std::u16string(253, u'件') + u"🎍" + std::u16string(40, u'長');
    imported.location = std::u16string(300, u'所');
    ASSERT_TRUE(Reader().AddAll({imported}, {}).ok());
    main_->SendCommand(kCommandToday);
    Tap(app::ItemRow(0));
    ASSERT_NE(Editor(), nullptr);
    Tap(kSubjectField);
    Type(QStringLiteral("x"));  // typing into a text past the limit takes nothing
    Ok();
    const calendar::AppointmentRecord stored = Reader().AllAppointments()->front();
    EXPECT_EQ(stored.subject, imported.subject);
    EXPECT_EQ(stored.location, imported.location);
}

// On the turned screen (320 x 240) the editor is 320 wide and 188 high.
class LandscapeAppointmentEditorTest : public AppointmentEditorTest {
protected:
    // Where the turned editor puts its dial (its top right corner) and its pad (the whole width
    // from row 104 of the editor down).
    static constexpr gui::Point kTurnedDialCentre{220 + 50, 26 + 50};
    static constexpr gui::Rect kTurnedPad{0, 26 + 104, 320, 26 + 188};

    controls::HandwritingPad* Pad() const {
        for (gui::Window* child : Editor()->Children()) {
            if (auto* pad = dynamic_cast<controls::HandwritingPad*>(child)) {
                return pad;
            }
        }
        return nullptr;
    }
    // What the user sees of each part of the editor, on the screen: its controls (a text box
    // without its dropped list), the pad, the dial's picture and the icons of the three boxes.
    std::vector<gui::Rect> Parts() const {
        std::vector<gui::Rect> parts;
        for (gui::Window* child : Editor()->Children()) {
            gui::Rect rect = child->ScreenRect();
            if (child->ClassName() == u"COMBOBOX") {
                rect.bottom = rect.top + 20;
            }
            parts.push_back(rect);
        }
        const gui::Rect editor = Editor()->ScreenRect();
        parts.push_back({kTurnedDialCentre.x - 50, kTurnedDialCentre.y - 50,
                         kTurnedDialCentre.x + 50, kTurnedDialCentre.y + 50});
        for (int left : {0, 35, 70}) {
            parts.push_back(
                {editor.left + left, editor.top + 86, editor.left + left + 16, editor.top + 102});
        }
        return parts;
    }
};

// Turned, the editor lays itself out over the whole width: the dial at the top right, the pad
// under the fields across the screen with its toolbar and rows to write in, nothing over
// anything else and all of it between the bars; the pen writes there at once and the dial sets
// the times where it now is.
TEST_F(LandscapeAppointmentEditorTest, ThePadIsInSightAcrossTheWholeWidthFromTheStart) {
    screen_.Rotate();
    OpenNew();
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editor()->ScreenRect(), (gui::Rect{0, 26, 320, 214}));
    ASSERT_NE(Pad(), nullptr);
    EXPECT_EQ(Pad()->ScreenRect(), kTurnedPad);

    const std::vector<gui::Rect> parts = Parts();
    const gui::Rect work = screen_.WorkArea();
    for (size_t i = 0; i < parts.size(); ++i) {
        const gui::Rect& a = parts[i];
        EXPECT_TRUE(a.left >= work.left && a.right <= work.right && a.top >= work.top &&
                    a.bottom <= work.bottom)
            << "part " << i << " lies off the work area";
        for (size_t j = i + 1; j < parts.size(); ++j) {
            const gui::Rect& b = parts[j];
            const bool apart =
                a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
            EXPECT_TRUE(apart) << "parts " << i << " and " << j << " overlap";
        }
    }
    // The pad's text box ends where the pad does, above the menu bar.
    for (gui::Window* child : Pad()->Children()) {
        EXPECT_LE(child->ScreenRect().bottom, kTurnedPad.bottom);
        EXPECT_EQ(child->ScreenRect().right, 320);
    }

    // The toolbar and the guide reach the right edge.
    screen_.PaintPending();
    const QImage shot = screen_.Render(1);
    EXPECT_EQ(gui::FromQRgb(shot.pixel(300, kTurnedPad.top + 10)), gui::kGray);
    int guide = 0;
    for (int x = 240; x < 320; ++x) {
        guide += gui::FromQRgb(shot.pixel(x, kTurnedPad.top + 52)) == gui::kGray ? 1 : 0;
    }
    EXPECT_GT(guide, 20);

    // Written across the pad, out to the right of where the upright pad ends.
    Stroke({20, kTurnedPad.top + 40}, {300, kTurnedPad.top + 70});
    EXPECT_EQ(planner_.pad->InkCount, 5);
    EXPECT_EQ(planner_.pad->InkBuffer[3].x, 300);
    Stroke(Dial(Ring::Outer, 9, kTurnedDialCentre), Dial(Ring::Inner, 6, kTurnedDialCentre));
    EXPECT_EQ(Times(), "09:30-10:30");
    Ok();
    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);
    EXPECT_EQ(testing_support::ReadBytes(DataFolder() / "1.dat").size(), 5u * 8);
}

// The screen turned with the editor open, and back: the editor follows each time, the upright
// layout exactly as it was, and an enlarged pad covers the editor in either.
TEST_F(LandscapeAppointmentEditorTest, TurningTheScreenWithTheEditorOpenLaysItOutAgain) {
    OpenNew();
    ASSERT_NE(Pad(), nullptr);
    const auto uprightRects = [this] {
        std::vector<gui::Rect> rects;
        for (gui::Window* child : Editor()->Children()) {
            rects.push_back(child->ScreenRect());
        }
        return rects;
    };
    const std::vector<gui::Rect> upright = uprightRects();
    EXPECT_EQ(Pad()->ScreenRect(), (gui::Rect{0, 26 + 155, 240, 26 + 155 + 270}));

    screen_.Rotate();
    EXPECT_EQ(Pad()->ScreenRect(), kTurnedPad);
    Stroke(Dial(Ring::Outer, 10, kTurnedDialCentre), Dial(Ring::Outer, 10, kTurnedDialCentre));
    EXPECT_EQ(Times(), "10:00-11:00");

    screen_.Rotate();
    EXPECT_EQ(uprightRects(), upright);
    Stroke(Dial(Ring::Outer, 9), Dial(Ring::Inner, 6));
    EXPECT_EQ(Times(), "09:30-10:30");

    // Enlarged (▲ at the toolbar's right), the pad covers the editor, turned or not; shrunk
    // again, it is back in its turned place with the fields beside it.
    Tap({225, 26 + 155 + 8});
    EXPECT_EQ(Pad()->ScreenRect(), (gui::Rect{0, 26, 240, 26 + 270}));
    screen_.Rotate();
    EXPECT_EQ(Pad()->ScreenRect(), (gui::Rect{0, 26, 320, 214}));
    Tap({225, 26 + 8});
    EXPECT_EQ(Pad()->ScreenRect(), kTurnedPad);
    for (gui::Window* child : Editor()->Children()) {
        EXPECT_TRUE(child->IsVisible());
    }
}

}  // namespace
}  // namespace editors
