// Items of a read-only calendar on the screen: the editors open them to be looked at only, the
// context menu offers only コピー, and cuts, completions and undo leave them as they are; a copy
// pasted is a writable item of the default calendar.
#include <gtest/gtest.h>

#include <algorithm>

#include "editors/appointment_editor.h"
#include "editors/task_editor.h"
#include "editors/undo_steps.h"
#include "platform/text/unicode_text.h"
#include "resources/resource_ids.h"
#include "tests/app/planner_fixture.h"

namespace editors::read_only_items {
namespace {

using namespace resources;
using app::At;
using app::ItemRow;

// On Monday 7 December 2026: a meeting and a dated task of the feed (read-only), lunch in the
// default calendar; in the corner a task of the feed.
class ReadOnlyItemsTest : public app::PlannerFixture {
protected:
    void SetUp() override {
        Start([this](store::Application& store) {
            feed_.name = "学校";
            feed_.url = "https://example.org/school.ics";
            feed_.subscription = true;
            ASSERT_TRUE(store.SaveCalendar(feed_).ok());
            calendar::AppointmentRecord assembly;
            assembly.start = At(2026, 12, 7, 9);
            assembly.end = At(2026, 12, 7, 10);
            assembly.subject = u"朝礼";
            assembly.location = u"講堂";
            assembly.calendarId = feed_.id;
            calendar::AppointmentRecord lunch;
            lunch.start = At(2026, 12, 7, 12);
            lunch.end = At(2026, 12, 7, 13);
            lunch.subject = u"昼食";
            calendar::TaskRecord homework;
            homework.subject = u"宿題";
            homework.dueDate = At(2026, 12, 7);
            homework.calendarId = feed_.id;
            calendar::TaskRecord reading;
            reading.subject = u"読書";
            reading.calendarId = feed_.id;
            ASSERT_TRUE(store.AddAll({assembly, lunch}, {homework, reading}).ok());
            // A feed's items come before it is read-only here: the store refuses to add them
            // after.
            feed_.readOnly = true;
            ASSERT_TRUE(store.SaveCalendar(feed_).ok());
        });
    }

    int RowOf(std::u16string_view subject) const {
        for (size_t i = 0; i < schedule::kDayItemRows; ++i) {
            if (Row(i).subject == subject && Row(i).objectId != 0) {
                return static_cast<int>(i);
            }
        }
        ADD_FAILURE() << "not listed";
        return 0;
    }
    std::vector<std::u16string> EnabledItems(const std::vector<gui::MenuItem>& items) const {
        std::vector<std::u16string> enabled;
        for (const gui::MenuItem& item : items) {
            if (!item.separator && item.enabled) {
                enabled.push_back(item.text);
            }
        }
        return enabled;
    }
    std::vector<uint16_t> MenuBarCommands(const gui::Window& window) const {
        std::vector<uint16_t> commands;
        for (const gui::MenuBarButton& button : screen_.MenuBarOf(window)->Buttons()) {
            if (!button.separator) {
                commands.push_back(button.command);
            }
        }
        return commands;
    }
    std::string Export() {
        auto appointments = Reader().AllAppointments();
        auto tasks = Reader().AllTasks();
        EXPECT_TRUE(appointments.ok() && tasks.ok());
        std::string text;
        for (const auto& record : *appointments) {
            text += platform::Utf16ToUtf8Lossy(record.subject) + ":" +
                    std::to_string(record.calendarId) + ";";
        }
        for (const auto& record : *tasks) {
            text += platform::Utf16ToUtf8Lossy(record.subject) + ":" +
                    std::to_string(record.calendarId) + (record.complete ? "+" : "-") + ";";
        }
        return text;
    }
    void Command(uint16_t command) {
        main_->PostCommand(command);
        screen_.ProcessPending();
    }

    store::StoreCalendar feed_;
};

TEST_F(ReadOnlyItemsTest, TheAppointmentEditorOpensAReadOnlyItemWithoutOkAndDelete) {
    Tap(ItemRow(RowOf(u"朝礼")));
    auto* editor = dynamic_cast<AppointmentEditor*>(main_->OpenEditorWindow());
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->LookOnly());
    EXPECT_EQ(screen_.OkButtonTarget(), nullptr);
    EXPECT_EQ(MenuBarCommands(*editor), std::vector<uint16_t>{kCommandBack});
    // Whatever sends them (Ctrl+Q, a script), OK and 削除 write nothing and ask nothing.
    const std::string before = Export();
    editor->SendCommand(kCommandOk);
    editor->SendCommand(kCommandDelete);
    screen_.ProcessPending();
    EXPECT_EQ(Export(), before);
    EXPECT_TRUE(responder_.messageBoxTexts.empty());
    ASSERT_EQ(main_->OpenEditorWindow(), editor);
    editor->SendCommand(kCommandBack);
    screen_.ProcessPending();
    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);

    // Lunch, of the default calendar, opens as ever.
    Tap(ItemRow(RowOf(u"昼食")));
    editor = dynamic_cast<AppointmentEditor*>(main_->OpenEditorWindow());
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->LookOnly());
    EXPECT_EQ(screen_.OkButtonTarget(), editor);
    const std::vector<uint16_t> commands = MenuBarCommands(*editor);
    EXPECT_NE(std::find(commands.begin(), commands.end(), kCommandDelete), commands.end());
}

TEST_F(ReadOnlyItemsTest, TheTaskEditorOpensAReadOnlyTaskWithoutOkAndDelete) {
    Tap(ItemRow(RowOf(u"宿題")));
    auto* editor = dynamic_cast<TaskEditor*>(main_->OpenEditorWindow());
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->LookOnly());
    EXPECT_EQ(screen_.OkButtonTarget(), nullptr);
    EXPECT_EQ(MenuBarCommands(*editor), std::vector<uint16_t>{kCommandBack});
    const std::string before = Export();
    editor->SendCommand(kCommandDelete);
    editor->SendCommand(kCommandOk);
    screen_.ProcessPending();
    EXPECT_EQ(Export(), before);
}

TEST_F(ReadOnlyItemsTest, TheContextMenuOffersOnlyCopyForAReadOnlyItem) {
    Hold(ItemRow(RowOf(u"朝礼")));
    ASSERT_EQ(responder_.popupsShown.size(), 1u);
    EXPECT_EQ(EnabledItems(responder_.popupsShown[0]), std::vector<std::u16string>{u"コピー"});
    Hold(app::CornerEntry(0));  // 読書, of the feed
    ASSERT_EQ(responder_.popupsShown.size(), 2u);
    EXPECT_EQ(EnabledItems(responder_.popupsShown[1]), std::vector<std::u16string>{u"コピー"});
    Hold(ItemRow(RowOf(u"昼食")));
    ASSERT_EQ(responder_.popupsShown.size(), 3u);
    const std::vector<std::u16string> enabled = EnabledItems(responder_.popupsShown[2]);
    EXPECT_NE(std::find(enabled.begin(), enabled.end(), u"切り取り"), enabled.end());
}

TEST_F(ReadOnlyItemsTest, CutAndCheckOfAReadOnlyItemAreRefusedWithoutTouchingTheStore) {
    const std::string before = Export();
    // The commands arrive even though the menu greyed them (a script sends them so).
    Hold(ItemRow(RowOf(u"朝礼")), kCommandCut);
    Hold(ItemRow(RowOf(u"宿題")), kCommandCut);
    Hold(ItemRow(RowOf(u"宿題")), kCommandToggleComplete);
    Hold(app::CornerEntry(0), kCommandToggleComplete);
    Hold(app::CornerEntry(0), kCommandCut);
    EXPECT_EQ(Export(), before);
    const std::u16string refusal = ReadOnlyCalendarMessage(u"学校");
    EXPECT_EQ(
        std::count(responder_.messageBoxTexts.begin(), responder_.messageBoxTexts.end(), refusal),
        5);
    // Nothing was kept to take back, and nothing reached the clipboard: a paste makes nothing.
    Hold(ItemRow(RowOf(u"昼食")), kCommandPasteAsAppointment);
    EXPECT_EQ(Export(), before);
    auto application = planner_.store.LoggedOnApplication();
    ASSERT_TRUE(application.ok());
    EXPECT_FALSE((*application)->HasStep(StepHome(home_), store::StepDirection::Back).value());
}

TEST_F(ReadOnlyItemsTest, ACopyPastedIsAWritableItemOfTheDefaultCalendar) {
    Hold(ItemRow(RowOf(u"朝礼")), kCommandCopy);
    Hold(ItemRow(RowOf(u"昼食")), kCommandPasteAsAppointment);
    auto appointments = Reader().AllAppointments();
    ASSERT_TRUE(appointments.ok());
    std::vector<int64_t> calendars;
    for (const calendar::AppointmentRecord& record : *appointments) {
        if (record.subject == u"朝礼") {
            calendars.push_back(record.calendarId);
        }
    }
    std::sort(calendars.begin(), calendars.end());
    EXPECT_EQ(calendars, (std::vector<int64_t>{1, feed_.id}));
    // The copy can be cut like any item of the default calendar; the feed's stays.
    responder_.messageBoxTexts.clear();
    const int copyRow = [&] {
        for (size_t i = 0; i < schedule::kDayItemRows; ++i) {
            if (Row(i).subject == u"朝礼" && Row(i).calendarId == 1) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }();
    ASSERT_GE(copyRow, 0);
    Hold(ItemRow(copyRow), kCommandCut);
    EXPECT_TRUE(responder_.messageBoxTexts.empty());
    appointments = Reader().AllAppointments();
    ASSERT_TRUE(appointments.ok());
    EXPECT_EQ(std::count_if(appointments->begin(), appointments->end(),
                            [](const auto& record) { return record.subject == u"朝礼"; }),
              1);
}

TEST_F(ReadOnlyItemsTest, UndoOfAChangeInACalendarThatBecameReadOnlyIsRefusedWithAMessage) {
    // Lunch is cut from the default calendar, which then becomes read-only (its server's
    // rights changed): the cut is neither taken back nor forgotten.
    Hold(ItemRow(RowOf(u"昼食")), kCommandCut);
    auto calendars = Reader().Calendars();
    ASSERT_TRUE(calendars.ok());
    store::StoreCalendar own = calendars->front();
    ASSERT_EQ(own.id, 1);
    own.readOnly = true;
    ASSERT_TRUE(Reader().SaveCalendar(own).ok());
    const std::string before = Export();
    Command(kCommandUndo);
    EXPECT_EQ(Export(), before);
    ASSERT_FALSE(responder_.messageBoxTexts.empty());
    EXPECT_EQ(responder_.messageBoxTexts.back(), ReadOnlyCalendarMessage(u"カレンダー"));
    auto application = planner_.store.LoggedOnApplication();
    ASSERT_TRUE(application.ok());
    EXPECT_TRUE((*application)->HasStep(StepHome(home_), store::StepDirection::Back).value());
}

}  // namespace
}  // namespace editors::read_only_items
