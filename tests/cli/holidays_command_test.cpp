#include "cli/holidays_command.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "cli/month_command.h"
#include "cli/settings_command.h"
#include "store/schedule_store.h"
#include "tests/cli/imported_home.h"

namespace cli {
namespace {

class HolidaysCommandTest : public ImportedHome {
protected:
    int Holidays(std::initializer_list<std::string> args) {
        out_.str("");
        err_.str("");
        return HolidaysCommand(home_, std::vector<std::string>(args), clock_, out_, err_);
    }

    std::vector<calendar::AppointmentRecord> Appointments() {
        store::Application store;
        EXPECT_TRUE(store.LogOn(home_.StorePath()).ok());
        return *store.AllAppointments();
    }

    // The stored appointments that carry a holiday UID, by UID.
    std::map<std::string, calendar::AppointmentRecord> StoredHolidays() {
        std::map<std::string, calendar::AppointmentRecord> holidays;
        for (const calendar::AppointmentRecord& record : Appointments()) {
            if (record.uid.ends_with(kHolidayUidDomain)) {
                holidays.emplace(record.uid, record);
            }
        }
        return holidays;
    }
};

TEST_F(HolidaysCommandTest, DryRunPrintsTheHolidaysAndStoresNothing) {
    const std::vector<calendar::AppointmentRecord> before = Appointments();
    ASSERT_EQ(Holidays({"--dry-run", "2026"}), 0) << err_.str();
    EXPECT_EQ(out_.str(),
              "2026-01-01\t元日\n2026-01-12\t成人の日\n2026-02-11\t建国記念の日\n"
              "2026-02-23\t天皇誕生日\n2026-03-20\t春分の日\n2026-04-29\t昭和の日\n"
              "2026-05-03\t憲法記念日\n2026-05-04\tみどりの日\n2026-05-05\tこどもの日\n"
              "2026-05-06\t振替休日\n2026-07-20\t海の日\n2026-08-11\t山の日\n"
              "2026-09-21\t敬老の日\n2026-09-22\t休日\n2026-09-23\t秋分の日\n"
              "2026-10-12\tスポーツの日\n2026-11-03\t文化の日\n2026-11-23\t勤労感謝の日\n");
    ASSERT_EQ(Holidays({"2026-2027", "--dry-run"}), 0);
    EXPECT_EQ(LineCount(out_.str()), 18 + 17);
    EXPECT_EQ(Appointments(), before);
}

TEST_F(HolidaysCommandTest, YearsItDoesNotKnowAreRefused) {
    const std::vector<calendar::AppointmentRecord> before = Appointments();
    EXPECT_EQ(Holidays({"1954"}), 2);
    EXPECT_NE(err_.str().find("1955 to 2099 only, not for 1954"), std::string::npos) << err_.str();
    EXPECT_EQ(Holidays({"2026-2100", "--dry-run"}), 2);
    EXPECT_NE(err_.str().find("not for 2100"), std::string::npos) << err_.str();
    EXPECT_EQ(out_.str(), "");
    const std::initializer_list<std::string> wrong[] = {
        {},       {"2027-2026"}, {"2026-"},        {"-2026"},
        {"20x6"}, {"2026/2027"}, {"2026", "2027"}, {"2026", "--force"}};
    for (const auto& args : wrong) {
        EXPECT_EQ(Holidays(args), 2) << (args.size() ? *args.begin() : "(none)");
        EXPECT_FALSE(err_.str().empty());
    }
    EXPECT_EQ(Appointments(), before);
}

TEST_F(HolidaysCommandTest, EachHolidayBecomesOneAllDayAppointmentOfTheHolidayCategory) {
    std::ostringstream ignored;
    ASSERT_EQ(SettingsCommand(home_, {"set", "HoliDay", "休業日"}, ignored, ignored), 0);
    ASSERT_EQ(Holidays({"2026"}), 0) << err_.str();
    EXPECT_EQ(out_.str(), "18 holidays: 18 added, 0 updated, 0 unchanged, 0 removed\n");

    const std::map<std::string, calendar::AppointmentRecord> holidays = StoredHolidays();
    ASSERT_EQ(holidays.size(), 18u);
    const calendar::AppointmentRecord& substitute = holidays.at("20260506@holidays.tessarinth");
    EXPECT_EQ(substitute.subject, u"振替休日");
    EXPECT_EQ(substitute.start, *platform::MakeDate(2026, 5, 6));
    EXPECT_EQ(substitute.end, *platform::MakeDate(2026, 5, 6));
    EXPECT_TRUE(substitute.allDay);
    EXPECT_FALSE(substitute.reminderSet);
    EXPECT_EQ(substitute.location, u"");
    EXPECT_EQ(substitute.body, u"");
    for (const auto& [uid, record] : holidays) {
        EXPECT_EQ(record.categories, u"休業日") << uid;
        EXPECT_TRUE(record.allDay) << uid;
        EXPECT_EQ(record.end, record.start) << uid;
    }

    // Again: nothing is added and nothing changes, down to the object ids.
    const std::vector<calendar::AppointmentRecord> before = Appointments();
    ASSERT_EQ(Holidays({"2026"}), 0) << err_.str();
    EXPECT_EQ(out_.str(), "18 holidays: 0 added, 0 updated, 18 unchanged, 0 removed\n");
    EXPECT_EQ(Appointments(), before);
}

TEST_F(HolidaysCommandTest, TheMonthGridMarksTheHolidays) {
    ASSERT_EQ(Holidays({"2026"}), 0) << err_.str();
    ASSERT_EQ(Run(MonthCommand, {"2026-05", "--tsv"}), 0) << err_.str();
    std::istringstream lines(out_.str());
    std::string line;
    int day = 0;
    while (std::getline(lines, line)) {
        ++day;
        const bool holiday = line.substr(line.rfind('\t') + 1) == "1";
        EXPECT_EQ(holiday, day >= 3 && day <= 6) << line;
    }
    EXPECT_EQ(day, 31);
}

// What a run finds after the rules were corrected: a day renamed since the last run, and a day
// that no longer is a holiday; and a holiday a user made timed.
TEST_F(HolidaysCommandTest, ACorrectedCalendarRewritesItsDaysInPlace) {
    ASSERT_EQ(Holidays({"2026"}), 0) << err_.str();
    const int32_t citizensDay = StoredHolidays().at("20260922@holidays.tessarinth").oid;
    const int32_t cultureDay = StoredHolidays().at("20261103@holidays.tessarinth").oid;
    calendar::AppointmentRecord noLongerHoliday;
    noLongerHoliday.start = noLongerHoliday.end = *platform::MakeDate(2026, 5, 7);
    noLongerHoliday.allDay = true;
    noLongerHoliday.subject = u"振替休日";
    noLongerHoliday.categories = u"祝日";
    noLongerHoliday.uid = "20260507@holidays.tessarinth";
    // Another year's holiday that was moved into this year by hand is not this run's to judge.
    calendar::AppointmentRecord otherYear = noLongerHoliday;
    otherYear.start = otherYear.end = *platform::MakeDate(2026, 12, 30);
    otherYear.uid = "20270101@holidays.tessarinth";
    {
        store::Application store;
        ASSERT_TRUE(store.LogOn(home_.StorePath()).ok());
        auto renamed = store.GetAppointmentFromOid(citizensDay);
        ASSERT_TRUE(renamed.ok());
        renamed->SetSubject(u"国民の休日");
        renamed->SetCategories(u"");
        renamed->SetBody(u"墓参り");  // the user's own memo
        ASSERT_TRUE(renamed->Save().ok());
        auto timed = store.GetAppointmentFromOid(cultureDay);
        ASSERT_TRUE(timed.ok());
        timed->SetAllDayEvent(store::kFalse);
        timed->SetStart(*platform::MakeDate(2026, 11, 3, 10));
        timed->SetEnd(*platform::MakeDate(2026, 11, 3, 12));
        ASSERT_TRUE(timed->Save().ok());
        ASSERT_TRUE(store.AddAll({noLongerHoliday, otherYear}, {}).ok());
    }

    ASSERT_EQ(Holidays({"2026"}), 0) << err_.str();
    EXPECT_EQ(out_.str(), "18 holidays: 0 added, 2 updated, 16 unchanged, 1 removed\n");
    const std::map<std::string, calendar::AppointmentRecord> holidays = StoredHolidays();
    const calendar::AppointmentRecord& restored = holidays.at("20260922@holidays.tessarinth");
    EXPECT_EQ(restored.oid, citizensDay);
    EXPECT_EQ(restored.subject, u"休日");
    EXPECT_EQ(restored.categories, u"祝日");
    EXPECT_EQ(restored.body, u"墓参り");
    const calendar::AppointmentRecord& allDayAgain = holidays.at("20261103@holidays.tessarinth");
    EXPECT_EQ(allDayAgain.oid, cultureDay);
    EXPECT_TRUE(allDayAgain.allDay);
    EXPECT_EQ(allDayAgain.start, *platform::MakeDate(2026, 11, 3));
    EXPECT_FALSE(holidays.contains("20260507@holidays.tessarinth"));
    EXPECT_TRUE(holidays.contains("20270101@holidays.tessarinth"));
    EXPECT_EQ(holidays.size(), 18u + 1u);
}

}  // namespace
}  // namespace cli
