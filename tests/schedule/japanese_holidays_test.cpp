#include "schedule/japanese_holidays.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/text/unicode_text.h"
#include "tests/schedule/published_holidays.h"

namespace schedule {
namespace {

using std::chrono::year_month_day;

struct PublishedDay {
    year_month_day date;
    std::u16string_view name;
};

// Reads the digits at `position` and steps over them and the one separator after them.
unsigned ReadNumber(std::u16string_view line, size_t& position) {
    unsigned number = 0;
    while (position < line.size() && line[position] >= u'0' && line[position] <= u'9') {
        number = number * 10 + static_cast<unsigned>(line[position++] - u'0');
    }
    ++position;
    return number;
}

std::map<int, std::vector<PublishedDay>> PublishedByYear() {
    std::map<int, std::vector<PublishedDay>> years;
    std::u16string_view rest = kPublishedHolidays;
    while (!rest.empty()) {
        const size_t end = rest.find(u'\n');
        const std::u16string_view line = rest.substr(0, end);
        rest = end == std::u16string_view::npos ? u"" : rest.substr(end + 1);
        size_t position = 0;
        const int year = static_cast<int>(ReadNumber(line, position));
        const unsigned month = ReadNumber(line, position);
        const unsigned day = ReadNumber(line, position);
        years[year].push_back({std::chrono::year{year} / month / day, line.substr(position)});
    }
    return years;
}

std::string Format(year_month_day date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

template <typename Day>
std::string Dates(const std::vector<Day>& days) {
    std::string dates;
    for (const Day& day : days) {
        dates += Format(day.date) + " ";
    }
    return dates;
}

// Whether the calendar's name is the one the published list means: the list words the rest days
// and the single days of 1959 to 2019 differently.
bool NamesAgree(std::u16string_view published, std::u16string_view computed) {
    if (published == u"休日") {
        return computed == kSubstituteHolidayName || computed == kCitizensHolidayName;
    }
    if (published == u"休日（祝日扱い）") {
        return computed == u"天皇の即位の日" || computed == u"即位礼正殿の儀";
    }
    if (published == u"体育の日（スポーツの日）") {
        return computed == u"体育の日";
    }
    if (published == u"結婚の儀" || published == u"大喪の礼") {
        return computed.ends_with(published);  // the full names end so
    }
    return computed == published;
}

// The calendar's name for that day; empty when it is no holiday.
std::u16string_view NameOn(int year, unsigned month, unsigned day) {
    const year_month_day date = std::chrono::year{year} / month / day;
    for (const Holiday& holiday : JapaneseHolidays(year)) {
        if (holiday.date == date) {
            return holiday.name;
        }
    }
    return {};
}

TEST(JapaneseHolidaysTest, EveryPublishedYearFrom1955To2027) {
    const std::map<int, std::vector<PublishedDay>> published = PublishedByYear();
    ASSERT_EQ(published.size(), 73u);
    for (const auto& [year, days] : published) {
        const std::vector<Holiday> computed = JapaneseHolidays(year);
        ASSERT_EQ(Dates(computed), Dates(days)) << year;
        for (size_t i = 0; i < days.size(); ++i) {
            EXPECT_TRUE(NamesAgree(days[i].name, computed[i].name))
                << Format(days[i].date) << ": " << platform::Utf16ToUtf8Lossy(computed[i].name)
                << ", published " << platform::Utf16ToUtf8Lossy(days[i].name);
        }
    }
}

// The turns of the rules, day by day: an empty name is no holiday.
TEST(JapaneseHolidaysTest, TheRulesTakeEffectWhenTheLawSays) {
    struct Case {
        int year;
        unsigned month;
        unsigned day;
        std::u16string_view name;
    };
    constexpr std::u16string_view kSubstitute = kSubstituteHolidayName;
    constexpr std::u16string_view kBetween = kCitizensHolidayName;
    // clang-format off
    const Case cases[] = {
        // Substitutes from 12 April 1973; for 3 May on a Sunday the 4th is one, not a day between.
        {1973, 2, 12, u""}, {1973, 4, 30, kSubstitute}, {1987, 5, 4, kSubstitute},
        // Since 2007 the substitute moves past the holidays after the Sunday.
        {2008, 5, 6, kSubstitute}, {2009, 5, 6, kSubstitute}, {2019, 5, 6, kSubstitute},
        // Days between two holidays from 1986, a Sunday left alone; 4 May a holiday from 2007.
        {1986, 5, 4, u""}, {1988, 5, 4, kBetween}, {2006, 5, 4, kBetween},
        {2007, 5, 4, u"みどりの日"}, {2009, 9, 22, kBetween}, {2015, 9, 22, kBetween},
        {2026, 9, 22, kBetween},
        {2019, 4, 30, kBetween}, {2019, 5, 1, u"天皇の即位の日"}, {2019, 5, 2, kBetween},
        // The emperor's birthday and 29 April by era.
        {1988, 4, 29, u"天皇誕生日"}, {1989, 4, 29, u"みどりの日"}, {2007, 4, 29, u"昭和の日"},
        {2018, 12, 23, u"天皇誕生日"}, {2019, 12, 23, u""}, {2020, 2, 23, u"天皇誕生日"},
        // The Olympic moves, and nothing left on the days the rules would have given.
        {2020, 7, 23, u"海の日"}, {2020, 7, 24, u"スポーツの日"}, {2020, 8, 10, u"山の日"},
        {2021, 7, 22, u"海の日"}, {2021, 7, 23, u"スポーツの日"}, {2021, 8, 8, u"山の日"},
        {2021, 8, 9, kSubstitute}, {2020, 7, 20, u""}, {2020, 8, 11, u""}, {2020, 10, 12, u""},
        {2021, 7, 19, u""}, {2021, 8, 11, u""}, {2021, 10, 11, u""},
        {2019, 10, 14, u"体育の日"}, {2022, 10, 10, u"スポーツの日"},
    };
    // clang-format on
    for (const Case& rule : cases) {
        EXPECT_EQ(NameOn(rule.year, rule.month, rule.day), rule.name)
            << rule.year << "-" << rule.month << "-" << rule.day;
    }
    for (const Holiday& holiday : JapaneseHolidays(2019)) {
        EXPECT_NE(holiday.name, u"天皇誕生日") << Format(holiday.date);
    }
}

// Beyond the announced years, the days the Observatory's computations predict: the March
// equinox on the 21st only in the year before a leap year until 2055, otherwise the 20th, and
// the 19th in 2092 and 2096; the September equinox on the 22nd in leap years until 2043, also in
// the year after one until 2075, and in all but the year before one after that.
TEST(JapaneseHolidaysTest, EquinoxDaysFollowThePredictionsTo2099) {
    for (int year = 2028; year <= kLastHolidayYear; ++year) {
        const int sinceLeapYear = year % 4;
        const unsigned march = year == 2092 || year == 2096         ? 19
                               : year <= 2055 && sinceLeapYear == 3 ? 21
                                                                    : 20;
        const bool september22 = year <= 2043   ? sinceLeapYear == 0
                                 : year <= 2075 ? sinceLeapYear <= 1
                                                : sinceLeapYear <= 2;
        EXPECT_EQ(NameOn(year, 3, march), u"春分の日") << year;
        EXPECT_EQ(NameOn(year, 9, september22 ? 22 : 23), u"秋分の日") << year;
    }
}

TEST(JapaneseHolidaysTest, EachDayOnceInDateOrderWithinTheYears) {
    EXPECT_TRUE(JapaneseHolidays(kFirstHolidayYear - 1).empty());
    EXPECT_TRUE(JapaneseHolidays(kLastHolidayYear + 1).empty());
    for (int year = kFirstHolidayYear; year <= kLastHolidayYear; ++year) {
        const std::vector<Holiday> holidays = JapaneseHolidays(year);
        ASSERT_FALSE(holidays.empty()) << year;
        EXPECT_EQ(holidays.front().name, u"元日") << year;
        for (size_t i = 1; i < holidays.size(); ++i) {
            EXPECT_LT(holidays[i - 1].date, holidays[i].date) << Format(holidays[i].date);
            EXPECT_EQ(holidays[i].date.year(), std::chrono::year{year});
            EXPECT_TRUE(holidays[i].date.ok());
        }
    }
}

}  // namespace
}  // namespace schedule
