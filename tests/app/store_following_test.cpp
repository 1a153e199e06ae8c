// The running planner follows the store when another program (the CLI, a sync) writes to it.
#include <gtest/gtest.h>

#include "platform/gui/menus.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "tests/app/planner_fixture.h"

namespace app {
namespace {

class StoreFollowingTest : public PlannerFixture {
protected:
    void SetUp() override {
        Start([](store::Application& store) {
            calendar::AppointmentRecord standing;
            standing.start = At(2026, 12, 7, 9);
            standing.end = At(2026, 12, 7, 10);
            standing.subject = u"朝会";
            ASSERT_TRUE(store.AddAll({standing}, {}).ok());
        });
    }
    // Another program's write: a connection of its own.
    void AddElsewhere(std::u16string subject, platform::Date start) {
        calendar::AppointmentRecord record;
        record.start = start;
        record.end = start + 1.0 / 24;
        record.subject = std::move(subject);
        ASSERT_TRUE(Reader().AddAll({record}, {}).ok());
    }
    void LetTimersRun(int milliseconds) {
        screen_.AdvanceTimers(milliseconds);
        screen_.ProcessPending();
        screen_.PaintPending();
    }
    uint8_t MarksOf(platform::Date day) const {
        const schedule::MonthCensusState& census = planner_.census;
        for (size_t cell = 0; cell < schedule::kGridCells; ++cell) {
            if (census.dates[cell] == day) {
                return census.census.timeBands[cell];
            }
        }
        return 0xFF;
    }
    bool Shows(std::u16string_view subject) const {
        for (const schedule::DayItemRow& row : planner_.dayItems->table) {
            if (row.subject == subject) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(StoreFollowingTest, ChangeByAnotherProgramShowsWithinOneWatchTick) {
    ASSERT_TRUE(Shows(u"朝会"));
    AddElsewhere(u"外から", At(2026, 12, 8, 13));
    EXPECT_FALSE(Shows(u"外から"));
    EXPECT_EQ(MarksOf(At(2026, 12, 8)), 0);
    LetTimersRun(kStoreWatchMilliseconds);
    EXPECT_TRUE(Shows(u"外から"));
    EXPECT_EQ(Row(0).subject, u"朝会");
    EXPECT_EQ(Row(1).subject, u"外から");  // on the list's next day, as any load places it
    // The grid's marks were built again for it, although the month did not change.
    EXPECT_EQ(MarksOf(At(2026, 12, 8)), schedule::kBandMidday);
    // Deleted elsewhere: gone at the next tick.
    ASSERT_TRUE(Reader().GetAppointmentFromOid(Row(1).objectId)->Delete().ok());
    LetTimersRun(kStoreWatchMilliseconds);
    EXPECT_FALSE(Shows(u"外から"));
}

TEST_F(StoreFollowingTest, WhileAnEditorIsOpenTheMainWindowCatchesUpOnItsReturn) {
    main_->SendCommand(resources::kCommandNewAppointment);
    screen_.ProcessPending();
    ASSERT_NE(main_->OpenEditorWindow(), nullptr);
    AddElsewhere(u"編集中に", At(2026, 12, 7, 15));
    LetTimersRun(4 * kStoreWatchMilliseconds);
    // The editor keeps the record it was opened with, and the hidden list is left alone.
    EXPECT_FALSE(Shows(u"編集中に"));
    main_->OpenEditorWindow()->SendCommand(resources::kCommandBack);
    screen_.ProcessPending();
    EXPECT_EQ(main_->OpenEditorWindow(), nullptr);
    EXPECT_TRUE(Shows(u"編集中に"));
}

TEST_F(StoreFollowingTest, ThePlannersOwnLoadIsTheStartingPoint) {
    // Opening the store is no change: no tick reloads what start-up loaded, so a row the
    // planner's own state changed (here the list as loaded) stays as it is.
    planner_.dayItems->table[0].subject = u"そのまま";
    LetTimersRun(4 * kStoreWatchMilliseconds);
    EXPECT_EQ(Row(0).subject, u"そのまま");
}

// Settings saved from a terminal (`tessarinth-cli settings set ...`) while the planner runs.
class SettingsFollowingTest : public StoreFollowingTest {
protected:
    void SaveElsewhere(const std::function<void(settings::Settings&)>& change) {
        platform::registry::Registry terminal =
            platform::registry::Registry::Open(home_.RegistryPath());
        settings::Settings saved;
        settings::LoadSettings(terminal, saved);
        change(saved);
        ASSERT_TRUE(settings::SaveSettings(terminal, saved).ok());
    }
    bool NewTaskEnabled() {
        return screen_.MenuBarOf(*main_)
            ->SubMenu(resources::kCommandNew)
            ->IsEnabled(resources::kCommandNewTask);
    }
};

TEST_F(SettingsFollowingTest, ARunningPlannerTakesSettingsSavedElsewhereWithinOneTick) {
    int intervalChanges = 0;
    planner_.afterSettingsChange = [&intervalChanges] { ++intervalChanges; };
    ASSERT_TRUE(NewTaskEnabled());

    SaveElsewhere([](settings::Settings& saved) {
        saved.SyncMinutes = 1;
        saved.bTask = 0;
    });
    LetTimersRun(kStoreWatchMilliseconds);
    EXPECT_EQ(planner_.settings.SyncMinutes, 1);
    EXPECT_EQ(intervalChanges, 1);
    EXPECT_FALSE(NewTaskEnabled());

    // The planner's own saves are nothing new; a change that leaves the interval alone does not
    // touch the sync.
    ASSERT_TRUE(settings::SaveSettings(planner_.registry, planner_.settings).ok());
    LetTimersRun(4 * kStoreWatchMilliseconds);
    EXPECT_EQ(intervalChanges, 1);
    SaveElsewhere([](settings::Settings& saved) { saved.bTask = 1; });
    LetTimersRun(kStoreWatchMilliseconds);
    EXPECT_TRUE(NewTaskEnabled());
    EXPECT_EQ(intervalChanges, 1);
}

TEST_F(SettingsFollowingTest, TheMonthsMarksFollowANewHolidayCategory) {
    calendar::AppointmentRecord holiday;
    holiday.start = At(2026, 12, 9);
    holiday.end = At(2026, 12, 9);
    holiday.allDay = true;
    holiday.categories = u"休み";
    ASSERT_TRUE(Reader().AddAll({holiday}, {}).ok());
    LetTimersRun(kStoreWatchMilliseconds);
    const auto holidayMarkOf = [this](platform::Date day) {
        const schedule::MonthCensusState& census = planner_.census;
        for (size_t cell = 0; cell < schedule::kGridCells; ++cell) {
            if (census.dates[cell] == day) {
                return census.census.holiday[cell];
            }
        }
        return uint8_t{0xFF};
    };
    EXPECT_EQ(holidayMarkOf(At(2026, 12, 9)), 0);
    SaveElsewhere([](settings::Settings& saved) { saved.HoliDay = u"休み"; });
    LetTimersRun(kStoreWatchMilliseconds);
    EXPECT_EQ(holidayMarkOf(At(2026, 12, 9)), 1);
}

TEST_F(SettingsFollowingTest, AnOpenEditorKeepsItsSettingsUntilItCloses) {
    main_->SendCommand(resources::kCommandNewAppointment);
    screen_.ProcessPending();
    ASSERT_NE(main_->OpenEditorWindow(), nullptr);
    SaveElsewhere([](settings::Settings& saved) { saved.SyncMinutes = 3; });
    LetTimersRun(4 * kStoreWatchMilliseconds);
    EXPECT_EQ(planner_.settings.SyncMinutes, settings::kDefaultSyncMinutes);
    main_->OpenEditorWindow()->SendCommand(resources::kCommandBack);
    screen_.ProcessPending();
    LetTimersRun(kStoreWatchMilliseconds);
    EXPECT_EQ(planner_.settings.SyncMinutes, 3);
}

}  // namespace
}  // namespace app
