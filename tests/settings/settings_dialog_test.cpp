#include "settings/settings_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/gui/check_box.h"
#include "platform/gui/device_screen.h"
#include "platform/gui/dialog.h"
#include "platform/gui/edit_box.h"
#include "platform/gui/push_button.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "tests/support/temp_folder.h"

namespace settings {
namespace {

using platform::registry::KeyHandle;
using platform::registry::Registry;

constexpr std::array<uint16_t, 6> kSwatches{kTodaySwatch,  kCurDaySwatch, kWeekDaySwatch,
                                            kSatDaySwatch, kSunDaySwatch, kHoliDaySwatch};

gui::Point Middle(const gui::Rect& rect) {
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// How often each colour occurs inside a swatch's border on a picture of the screen at zoom 1.
std::map<gui::ColorRef, int> ColoursInside(const QImage& shot, const gui::Rect& swatch) {
    std::map<gui::ColorRef, int> counts;
    for (int y = swatch.top + 1; y < swatch.bottom - 1; ++y) {
        for (int x = swatch.left + 1; x < swatch.right - 1; ++x) {
            ++counts[gui::FromQRgb(shot.pixel(x, y))];
        }
    }
    return counts;
}

gui::ColorRef MostCommon(const std::map<gui::ColorRef, int>& counts) {
    gui::ColorRef best = 0;
    int most = -1;
    for (const auto& [colour, count] : counts) {
        if (count > most) {
            best = colour;
            most = count;
        }
    }
    return best;
}

// The settings dialog opened over a window on a real registry file, worked through its
// controls as the user would: taps on the screen, typed text, keys.
class SettingsDialogTest : public ::testing::Test {
protected:
    SettingsDialogTest() {
        LoadSettings(registry_, settings_);  // as start-up does: the key exists from now on
        owner_ = screen_.CreateTopLevel<gui::Window>(u"TESSARINTH", u"Tessarinth", gui::kGray);
        owner_->Show();
        screen_.SetModalResponder(&responder_);
    }

    std::filesystem::path File() const { return folder_.Path() / "registry.json"; }

    // Opens the dialog; `act` works it and closes it (a dialog it leaves open is cancelled).
    SettingsDialogResult Run(const std::function<void(gui::Dialog&)>& act) {
        responder_.dialogAnswers.push_back({act, gui::kCancelCommand});
        return RunSettingsDialog(*owner_, settings_, registry_);
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
    // Text as the desktop's input method commits it into the control with the keyboard.
    void Type(const QString& text) {
        gui::Window* focus = screen_.FocusWindow();
        ASSERT_NE(focus, nullptr);
        ASSERT_NE(focus->ScreenWidget(), nullptr);
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(focus->ScreenWidget(), &commit);
    }
    // Return pressed on the desktop's keyboard, into the widget with the keyboard.
    void PressReturn() {
        QWidget* widget = screen_.FocusWindow()->ScreenWidget();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QApplication::sendEvent(widget, &press);
        screen_.ProcessPending();
    }

    // What a new start would read from the file.
    Settings Reloaded() const {
        Registry registry = Registry::Open(File());
        Settings loaded;
        LoadSettings(registry, loaded);
        return loaded;
    }
    std::vector<std::u16string> StoredNames() {
        KeyHandle key = Registry::CurrentUser();
        for (std::u16string_view name : {u"Software", u"Tessarinth", u"Tessarinth"}) {
            key = *registry_.OpenKey(key, name);
        }
        return registry_.ValueNames(key);
    }

    testing_support::TempFolder folder_;
    Registry registry_ = Registry::Open(File());
    Settings settings_;
    gui::DeviceScreen screen_{gui::Orientation::Portrait, 1};
    gui::ScriptedResponder responder_;
    gui::Window* owner_ = nullptr;
};

TEST_F(SettingsDialogTest, OpensFullScreenWithEverySettingInItsControls) {
    settings_.DataPath = u"\\Storage Card\\予定";
    settings_.HoliDay = u"休日";
    settings_.ccToday = 0x123456;
    settings_.ccCurDay = 0x00FFFF;
    settings_.ccWeekDay = 0x000000;
    settings_.ccSatDay = 0xFF8000;
    settings_.ccSunDay = 0x4040C0;
    settings_.ccHoliDay = 0x00C000;
    settings_.HMemo = 1;
    settings_.ClearType = 0;
    settings_.Small = -3;  // not on, but not 0 either: shown checked
    screen_.ShowInputPanel();
    bool fullScreen = false;
    bool doneButton = false;
    bool panelDown = false;
    std::u16string path;
    std::u16string holiday;
    std::vector<bool> checked;
    std::vector<gui::ColorRef> swatches;
    Run([&](gui::Dialog& dialog) {
        fullScreen = dialog.IsFullScreen() && dialog.ScreenRect() == screen_.WorkArea();
        doneButton = screen_.OkButtonTarget() == &dialog;
        panelDown = !screen_.IsInputPanelShown();
        path = dialog.ItemText(kDataPathEdit);
        holiday = dialog.ItemText(kHolidayEdit);
        for (uint16_t box : {kTextMemoFirstBox, kDatedTasksBox, kClearTypeBox, kSmallFontBox}) {
            checked.push_back(dialog.IsItemChecked(box));
        }
        const QImage shot = screen_.Render(1);
        for (uint16_t swatch : kSwatches) {
            swatches.push_back(MostCommon(ColoursInside(shot, dialog.Item(swatch)->ScreenRect())));
        }
    });
    EXPECT_EQ(responder_.dialogsShown, std::vector<std::u16string>{u"設定"});
    EXPECT_TRUE(fullScreen);
    EXPECT_TRUE(doneButton);
    EXPECT_TRUE(panelDown);
    EXPECT_EQ(path, u"\\Storage Card\\予定");
    EXPECT_EQ(holiday, u"休日");
    EXPECT_EQ(checked, (std::vector<bool>{true, true, false, true}));
    EXPECT_EQ(swatches, (std::vector<gui::ColorRef>{0x123456, 0x00FFFF, 0x000000, 0xFF8000,
                                                    0x4040C0, 0x00C000}));
}

TEST_F(SettingsDialogTest, EachSwatchIsCaptionedInWhicheverOfBlackAndWhiteStandsOutOnIt) {
    // Grey is light enough for black; navy needs white.
    responder_.colorAnswers = {gui::Rgb(0x80, 0x80, 0x80), gui::Rgb(0, 0, 0x80)};
    std::vector<std::map<gui::ColorRef, int>> opened;
    std::map<gui::ColorRef, int> weekdayOnGrey;
    std::map<gui::ColorRef, int> todayOnNavy;
    Run([&](gui::Dialog& dialog) {
        const QImage shot = screen_.Render(1);
        for (uint16_t swatch : kSwatches) {
            opened.push_back(ColoursInside(shot, dialog.Item(swatch)->ScreenRect()));
        }
        // A chosen colour is captioned at once, before OK.
        TapItem(dialog, kWeekDayButton);
        TapItem(dialog, kTodayButton);
        const QImage chosen = screen_.Render(1);
        weekdayOnGrey = ColoursInside(chosen, dialog.Item(kWeekDaySwatch)->ScreenRect());
        todayOnNavy = ColoursInside(chosen, dialog.Item(kTodaySwatch)->ScreenRect());
        TapItem(dialog, gui::kCancelCommand);
    });
    // The defaults: black weekdays and blue Saturdays in white; magenta, yellow and the reds of
    // Sundays and holidays in black.
    ASSERT_EQ(opened.size(), kSwatches.size());
    for (size_t i = 0; i < kSwatches.size(); ++i) {
        const bool white = kSwatches[i] == kWeekDaySwatch || kSwatches[i] == kSatDaySwatch;
        const gui::ColorRef caption = white ? gui::kWhite : gui::kBlack;
        const gui::ColorRef other = white ? gui::kBlack : gui::kWhite;
        EXPECT_GT(opened[i][caption], 3) << kSwatches[i];
        // The opposite never shows, unless it is the swatch's own colour (black weekdays).
        if (kSwatches[i] != kWeekDaySwatch) {
            EXPECT_EQ(opened[i][other], 0) << kSwatches[i];
        }
    }
    EXPECT_EQ(MostCommon(weekdayOnGrey), gui::Rgb(0x80, 0x80, 0x80));
    EXPECT_GT(weekdayOnGrey[gui::kBlack], 3);
    EXPECT_EQ(weekdayOnGrey[gui::kWhite], 0);
    EXPECT_EQ(MostCommon(todayOnNavy), gui::Rgb(0, 0, 0x80));
    EXPECT_GT(todayOnNavy[gui::kWhite], 3);
    EXPECT_EQ(todayOnNavy[gui::kBlack], 0);
}

// Where a control's text is drawn, in the widget's own (zoomed) pixels: inside the border of a
// button, a swatch or an edit box, and beside the box of a check box.
QRect TextArea(const gui::Control& control, int zoom) {
    const QRect whole = control.ScreenWidget()->rect();
    constexpr int kCheckBoxAndGap = 13 + 4;
    if (dynamic_cast<const gui::CheckBox*>(&control) != nullptr) {
        return whole.adjusted(kCheckBoxAndGap * zoom, 0, 0, 0);
    }
    int border = 0;
    if (const auto* button = dynamic_cast<const gui::PushButton*>(&control)) {
        border = button->IsDefault() ? 2 * zoom : zoom;
    } else if (dynamic_cast<const gui::EditBox*>(&control) != nullptr ||
               std::find(kSwatches.begin(), kSwatches.end(), control.Id()) != kSwatches.end()) {
        border = zoom;
    }
    return whole.adjusted(border, border, -border, -border);
}

TEST_F(SettingsDialogTest, EveryTextFitsItsControlAtEveryZoomUprightAndTurned) {
    for (const gui::Orientation orientation :
         {gui::Orientation::Portrait, gui::Orientation::Landscape}) {
        if (screen_.CurrentOrientation() != orientation) {
            screen_.Rotate();
        }
        for (int zoom = 1; zoom <= 3; ++zoom) {
            SCOPED_TRACE(testing::Message()
                         << (orientation == gui::Orientation::Portrait ? "portrait" : "landscape")
                         << " at zoom " << zoom);
            screen_.SetZoom(zoom);
            int walked = 0;
            Run([&](gui::Dialog& dialog) {
                const gui::Rect inside = dialog.ScreenRect();
                for (const gui::Control* control : dialog.Items()) {
                    const QWidget* widget = control->ScreenWidget();
                    ASSERT_NE(widget, nullptr);
                    ++walked;
                    const QString text = QString::fromStdU16String(control->Text());
                    SCOPED_TRACE(testing::Message() << control->Id() << " " << text.toStdString());
                    const QFontMetrics metrics(widget->font());
                    EXPECT_EQ(widget->font().pixelSize(), 12 * zoom);
                    const QRect area = TextArea(*control, zoom);
                    // A line of the font fits every control's height; its whole text fits the
                    // width of all but the edit boxes, which scroll.
                    EXPECT_LE(metrics.height(), area.height());
                    if (dynamic_cast<const gui::EditBox*>(control) == nullptr) {
                        EXPECT_LE(metrics.horizontalAdvance(text), area.width());
                    }
                    // Nothing lies beyond the dialog's right edge, where the screen ends.
                    const gui::Rect rect = control->ScreenRect();
                    EXPECT_LE(rect.right, inside.right);
                    EXPECT_GE(rect.left, inside.left);
                }
            });
            EXPECT_EQ(walked, 24);  // 同期 among them
        }
    }
}

// 同期 is the planner's to open, over the settings dialog, which stays open under it; without
// a planner to open it the button does nothing.
TEST_F(SettingsDialogTest, TheSyncButtonOpensWhatThePlannerGivesItOverTheDialog) {
    std::vector<gui::Window*> openedOver;
    bool enabledWithout = true;
    responder_.dialogAnswers.push_back(
        {[&](gui::Dialog& dialog) {
             enabledWithout = dialog.Item(resources::kCommandSyncSetup)->IsEnabled();
         },
         gui::kCancelCommand});
    RunSettingsDialog(*owner_, settings_, registry_);
    EXPECT_FALSE(enabledWithout);

    gui::Dialog* settingsDialog = nullptr;
    bool stillOpen = false;
    responder_.dialogAnswers.push_back({[&](gui::Dialog& dialog) {
                                            settingsDialog = &dialog;
                                            TapItem(dialog, resources::kCommandSyncSetup);
                                            stillOpen = !dialog.IsEnded();
                                        },
                                        gui::kCancelCommand});
    RunSettingsDialog(*owner_, settings_, registry_,
                      [&](gui::Window& over) { openedOver.push_back(&over); });
    ASSERT_EQ(openedOver.size(), 1u);
    EXPECT_EQ(openedOver.front(), settingsDialog);
    EXPECT_TRUE(stillOpen);
}

TEST_F(SettingsDialogTest, CancelAfterChoosingColoursChangesNothingInMemoryOrOnDisk) {
    settings_.HoliDay = u"休日";
    ASSERT_TRUE(SaveSettings(registry_, settings_).ok());
    const std::string fileBefore = testing_support::ReadBytes(File());
    const Settings before = settings_;
    responder_.colorAnswers = {gui::Rgb(1, 2, 3), gui::Rgb(4, 5, 6), gui::Rgb(7, 8, 9)};
    const SettingsDialogResult result = Run([&](gui::Dialog& dialog) {
        TapItem(dialog, kTodayButton);
        TapItem(dialog, kWeekDayButton);
        TapItem(dialog, kHoliDayButton);
        dialog.SetItemText(kDataPathEdit, u"\\Temp");
        TapItem(dialog, kDatedTasksBox);
        TapItem(dialog, gui::kCancelCommand);
    });
    EXPECT_EQ(result, SettingsDialogResult::Cancelled);
    EXPECT_EQ(responder_.colorsOffered.size(), 3u);
    EXPECT_EQ(settings_, before);
    EXPECT_EQ(testing_support::ReadBytes(File()), fileBefore);
}

TEST_F(SettingsDialogTest, AStoredBTaskOfTwoShowsCheckedAndIsOneAfterOk) {
    settings_.bTask = 2;
    ASSERT_TRUE(SaveSettings(registry_, settings_).ok());
    LoadSettings(registry_, settings_);
    ASSERT_EQ(settings_.bTask, 2);
    bool shownChecked = false;
    const SettingsDialogResult result = Run([&](gui::Dialog& dialog) {
        shownChecked = dialog.IsItemChecked(kDatedTasksBox);
        TapItem(dialog, gui::kOkCommand);
    });
    EXPECT_EQ(result, SettingsDialogResult::Confirmed);
    EXPECT_TRUE(shownChecked);
    EXPECT_EQ(settings_.bTask, 1);
    EXPECT_EQ(Reloaded().bTask, 1);
}

// The twelve the dialog shows, and the sync interval beside them.
TEST_F(SettingsDialogTest, OkWithNothingChangedWritesAllTheValues) {
    ASSERT_TRUE(StoredNames().empty());
    const SettingsDialogResult result =
        Run([&](gui::Dialog& dialog) { TapItem(dialog, gui::kOkCommand); });
    EXPECT_EQ(result, SettingsDialogResult::Confirmed);
    const std::vector<std::u16string> names = StoredNames();
    EXPECT_EQ(
        std::set<std::u16string>(names.begin(), names.end()),
        (std::set<std::u16string>{u"DataPath", u"HoliDay", u"ccToday", u"ccCurDay", u"ccWeekDay",
                                  u"ccSatDay", u"ccSunDay", u"ccHoliDay", u"HMemo", u"bTask",
                                  u"ClearType", u"Small", u"SyncMinutes"}));
    EXPECT_EQ(settings_, Settings{});
    EXPECT_EQ(Reloaded(), Settings{});
}

TEST_F(SettingsDialogTest, EachColourButtonChoosesItsOwnColourStartingFromTheWorkingOne) {
    // Saturday's button comes after Sunday's swatch in the template: ids 1012 and 1011.
    responder_.colorAnswers = {gui::Rgb(1, 0, 0), gui::Rgb(2, 0, 0), gui::Rgb(3, 0, 0),
                               gui::Rgb(4, 0, 0), std::nullopt,      gui::Rgb(5, 0, 0),
                               gui::Rgb(6, 0, 0), gui::Rgb(7, 0, 0)};
    const Settings defaults;
    const SettingsDialogResult result = Run([&](gui::Dialog& dialog) {
        for (uint16_t button : {kTodayButton, kCurDayButton, kWeekDayButton, kSatDayButton,
                                kSatDayButton, kSunDayButton, kHoliDayButton, kHoliDayButton}) {
            TapItem(dialog, button);
        }
        TapItem(dialog, gui::kOkCommand);
    });
    EXPECT_EQ(result, SettingsDialogResult::Confirmed);
    // Each chooser starts at its button's working colour: the second Saturday choice is
    // cancelled and keeps the first; the second holiday one starts at the first.
    EXPECT_EQ(responder_.colorsOffered,
              (std::vector<gui::ColorRef>{defaults.ccToday, defaults.ccCurDay, defaults.ccWeekDay,
                                          defaults.ccSatDay, gui::Rgb(4, 0, 0), defaults.ccSunDay,
                                          defaults.ccHoliDay, gui::Rgb(6, 0, 0)}));
    EXPECT_EQ(settings_.ccToday, gui::Rgb(1, 0, 0));
    EXPECT_EQ(settings_.ccCurDay, gui::Rgb(2, 0, 0));
    EXPECT_EQ(settings_.ccWeekDay, gui::Rgb(3, 0, 0));
    EXPECT_EQ(settings_.ccSatDay, gui::Rgb(4, 0, 0));
    EXPECT_EQ(settings_.ccSunDay, gui::Rgb(5, 0, 0));
    EXPECT_EQ(settings_.ccHoliDay, gui::Rgb(7, 0, 0));
    EXPECT_EQ(Reloaded(), settings_);
}

TEST_F(SettingsDialogTest, LongTextsAreCutTo254UnitsNeverInsideASurrogatePair) {
    const std::u16string flag = u"\U0001F38C";  // two UTF-16 units
    Run([&](gui::Dialog& dialog) {
        dialog.SetItemText(kDataPathEdit, std::u16string(300, u'a'));
        // The pair would take units 254 and 255: it goes whole.
        dialog.SetItemText(kHolidayEdit, std::u16string(253, u'x') + flag + u"yy");
        TapItem(dialog, gui::kOkCommand);
    });
    EXPECT_EQ(settings_.DataPath, std::u16string(254, u'a'));
    EXPECT_EQ(settings_.HoliDay, std::u16string(253, u'x'));
    EXPECT_EQ(Reloaded().DataPath, std::u16string(254, u'a'));

    // Exactly 254 units, the last two a pair: kept as it is.
    const std::u16string longest = std::u16string(252, u'd') + flag;
    Run([&](gui::Dialog& dialog) {
        dialog.SetItemText(kDataPathEdit, longest);
        TapItem(dialog, gui::kOkCommand);
    });
    EXPECT_EQ(settings_.DataPath, longest);
    EXPECT_EQ(Reloaded().DataPath, longest);
}

TEST_F(SettingsDialogTest, ReturnInEitherEditBoxPressesOk) {
    for (uint16_t edit : {kHolidayEdit, kDataPathEdit}) {
        const SettingsDialogResult result = Run([&](gui::Dialog& dialog) {
            dialog.SetItemText(edit, u"");
            TapItem(dialog, edit);
            Type(QStringLiteral("振替"));
            PressReturn();
        });
        EXPECT_EQ(result, SettingsDialogResult::Confirmed) << edit;
        EXPECT_EQ(edit == kHolidayEdit ? settings_.HoliDay : settings_.DataPath, u"振替");
    }
    EXPECT_EQ(Reloaded().HoliDay, u"振替");
    EXPECT_EQ(Reloaded().DataPath, u"振替");
    EXPECT_EQ(responder_.unexpected, 0);
}

// On the turned screen the dialog (242 pixels) is taller than the work area (188).
class LandscapeSettingsDialogTest : public SettingsDialogTest {
protected:
    LandscapeSettingsDialogTest() { screen_.Rotate(); }

    bool InWorkArea(const gui::Rect& rect) const {
        const gui::Rect work = screen_.WorkArea();
        return rect.top >= work.top && rect.bottom <= work.bottom && rect.left >= work.left &&
               rect.right <= work.right;
    }
    // Every control the user can reach where the dialog is scrolled to now.
    void NoteReachable(const gui::Dialog& dialog, std::set<uint16_t>& reached) const {
        for (const gui::Control* control : dialog.Items()) {
            if (InWorkArea(control->ScreenRect())) {
                reached.insert(control->Id());
            }
        }
    }
};

TEST_F(LandscapeSettingsDialogTest, EveryControlOkAndCancelIncludedCanBeReachedAndUsed) {
    std::set<uint16_t> reached;
    std::set<uint16_t> all;
    bool okOutOfReachAtFirst = false;
    const SettingsDialogResult result = Run([&](gui::Dialog& dialog) {
        for (const gui::Control* control : dialog.Items()) {
            all.insert(control->Id());
        }
        okOutOfReachAtFirst = !InWorkArea(dialog.Item(gui::kOkCommand)->ScreenRect());
        NoteReachable(dialog, reached);
        // Page down with taps on the lower end of the scroll bar at the right edge.
        const gui::Rect work = screen_.WorkArea();
        for (int page = 0; page < 5; ++page) {
            Tap({work.right - 6, work.bottom - 20});
            NoteReachable(dialog, reached);
        }
        TapItem(dialog, kSmallFontBox);
        TapItem(dialog, gui::kOkCommand);
    });
    EXPECT_TRUE(okOutOfReachAtFirst);
    EXPECT_EQ(reached, all);
    EXPECT_EQ(result, SettingsDialogResult::Confirmed);
    EXPECT_EQ(settings_.Small, 1);
}

}  // namespace
}  // namespace settings
