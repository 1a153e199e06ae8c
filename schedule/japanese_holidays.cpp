#include "schedule/japanese_holidays.h"

#include <algorithm>
#include <cmath>

namespace schedule {
namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::weekday;
using std::chrono::year_month_day;

// How a rule finds its day in a year.
enum class Placement {
    FixedDay,   // the same month and day every year
    NthMonday,  // the n-th Monday of the month
    MarchEquinox,
    SeptemberEquinox,
};

struct HolidayRule {
    std::u16string_view name;
    int firstYear;
    int lastYear;
    Placement placement;
    unsigned month = 0;
    unsigned dayOrOrdinal = 0;  // the day of the month, or which Monday of it
};

constexpr int kStillInForce = kLastHolidayYear;

// The national holidays, each for the years its rule was in force. In 2020 and 2021 laws of their
// own moved 海の日, スポーツの日 and 山の日 for the Olympic Games (kSingleDays), so their rules
// leave out those two years.
constexpr HolidayRule kHolidayRules[] = {
    {u"元日", 1955, kStillInForce, Placement::FixedDay, 1, 1},
    {u"成人の日", 1955, 1999, Placement::FixedDay, 1, 15},
    {u"成人の日", 2000, kStillInForce, Placement::NthMonday, 1, 2},
    {u"建国記念の日", 1967, kStillInForce, Placement::FixedDay, 2, 11},
    {u"天皇誕生日", 2020, kStillInForce, Placement::FixedDay, 2, 23},
    {u"春分の日", 1955, kStillInForce, Placement::MarchEquinox},
    {u"天皇誕生日", 1955, 1988, Placement::FixedDay, 4, 29},
    {u"みどりの日", 1989, 2006, Placement::FixedDay, 4, 29},
    {u"昭和の日", 2007, kStillInForce, Placement::FixedDay, 4, 29},
    {u"憲法記念日", 1955, kStillInForce, Placement::FixedDay, 5, 3},
    {u"みどりの日", 2007, kStillInForce, Placement::FixedDay, 5, 4},
    {u"こどもの日", 1955, kStillInForce, Placement::FixedDay, 5, 5},
    {u"海の日", 1996, 2002, Placement::FixedDay, 7, 20},
    {u"海の日", 2003, 2019, Placement::NthMonday, 7, 3},
    {u"海の日", 2022, kStillInForce, Placement::NthMonday, 7, 3},
    {u"山の日", 2016, 2019, Placement::FixedDay, 8, 11},
    {u"山の日", 2022, kStillInForce, Placement::FixedDay, 8, 11},
    {u"敬老の日", 1966, 2002, Placement::FixedDay, 9, 15},
    {u"敬老の日", 2003, kStillInForce, Placement::NthMonday, 9, 3},
    {u"秋分の日", 1955, kStillInForce, Placement::SeptemberEquinox},
    {u"体育の日", 1966, 1999, Placement::FixedDay, 10, 10},
    {u"体育の日", 2000, 2019, Placement::NthMonday, 10, 2},
    {u"スポーツの日", 2022, kStillInForce, Placement::NthMonday, 10, 2},
    {u"文化の日", 1955, kStillInForce, Placement::FixedDay, 11, 3},
    {u"勤労感謝の日", 1955, kStillInForce, Placement::FixedDay, 11, 23},
    {u"天皇誕生日", 1989, 2018, Placement::FixedDay, 12, 23},
};

// Days a law of their own made a holiday for one year. They count as national holidays for the
// rest-day rules: the accession day of 2019 is what makes 30 April and 2 May rest days.
struct SingleDay {
    year_month_day date;
    std::u16string_view name;
};

constexpr SingleDay kSingleDays[] = {
    {std::chrono::year{1959} / 4 / 10, u"皇太子明仁親王の結婚の儀"},
    {std::chrono::year{1989} / 2 / 24, u"昭和天皇の大喪の礼"},
    {std::chrono::year{1990} / 11 / 12, u"即位礼正殿の儀"},
    {std::chrono::year{1993} / 6 / 9, u"皇太子徳仁親王の結婚の儀"},
    {std::chrono::year{2019} / 5 / 1, u"天皇の即位の日"},
    {std::chrono::year{2019} / 10 / 22, u"即位礼正殿の儀"},
    {std::chrono::year{2020} / 7 / 23, u"海の日"},
    {std::chrono::year{2020} / 7 / 24, u"スポーツの日"},
    {std::chrono::year{2020} / 8 / 10, u"山の日"},
    {std::chrono::year{2021} / 7 / 22, u"海の日"},
    {std::chrono::year{2021} / 7 / 23, u"スポーツの日"},
    {std::chrono::year{2021} / 8 / 8, u"山の日"},
};

// When the rest-day rules took effect: a Sunday holiday gives the next day off from 12 April
// 1973, or the next day that is no national holiday from 2007; a day between two national
// holidays is a rest day from 27 December 1985.
constexpr sys_days kSubstituteRuleStart{std::chrono::year{1973} / 4 / 12};
constexpr sys_days kNextFreeDayRuleStart{std::chrono::year{2007} / 1 / 1};
constexpr sys_days kCitizensHolidayRuleStart{std::chrono::year{1985} / 12 / 27};

// The equinox comes about a quarter of a day later each year and a day earlier after each leap
// day. Its day in Japan's time is the whole part of a linear fit of the computed moments: the
// day of the month in 1980, plus the part of the tropical year beyond 365 days for each year
// since, less the leap days since (a slightly different base fits the years before 1980). These
// are the days the Observatory announces, and what it predicts until 2099.
struct EquinoxFit {
    unsigned month;
    double baseBefore1980;
    double baseFrom1980;
};

constexpr EquinoxFit kMarchEquinox{3, 20.8357, 20.8431};
constexpr EquinoxFit kSeptemberEquinox{9, 23.2588, 23.2488};
constexpr int kEquinoxFitYear = 1980;
constexpr double kTropicalYearBeyond365Days = 0.242194;
constexpr int kYearsPerLeapDay = 4;

year_month_day EquinoxDay(int year, const EquinoxFit& fit) {
    const int yearsSinceFit = year - kEquinoxFitYear;
    // Rounded down, so that years before 1980 count their leap days back from it.
    const double leapDays = std::floor(static_cast<double>(yearsSinceFit) / kYearsPerLeapDay);
    const double base = year < kEquinoxFitYear ? fit.baseBefore1980 : fit.baseFrom1980;
    const double dayOfMonth = base + kTropicalYearBeyond365Days * yearsSinceFit - leapDays;
    return std::chrono::year{year} / std::chrono::month{fit.month} /
           std::chrono::day{static_cast<unsigned>(dayOfMonth)};
}

year_month_day PlaceRule(const HolidayRule& rule, int year) {
    const std::chrono::year ruleYear{year};
    const std::chrono::month month{rule.month};
    switch (rule.placement) {
        case Placement::FixedDay:
            return ruleYear / month / std::chrono::day{rule.dayOrOrdinal};
        case Placement::NthMonday:
            return year_month_day{
                sys_days{ruleYear / month / std::chrono::Monday[rule.dayOrOrdinal]}};
        case Placement::MarchEquinox:
            return EquinoxDay(year, kMarchEquinox);
        case Placement::SeptemberEquinox:
            return EquinoxDay(year, kSeptemberEquinox);
    }
    return {};
}

// The national holidays of the year proper, in date order, without the rest days.
std::vector<Holiday> NationalHolidays(int year) {
    std::vector<Holiday> holidays;
    for (const HolidayRule& rule : kHolidayRules) {
        if (year >= rule.firstYear && year <= rule.lastYear) {
            holidays.push_back({PlaceRule(rule, year), rule.name});
        }
    }
    for (const SingleDay& single : kSingleDays) {
        if (single.date.year() == std::chrono::year{year}) {
            holidays.push_back({single.date, single.name});
        }
    }
    std::ranges::sort(holidays, {}, &Holiday::date);
    return holidays;
}

bool FallsOn(const std::vector<Holiday>& holidays, sys_days date) {
    return std::ranges::any_of(
        holidays, [date](const Holiday& holiday) { return sys_days{holiday.date} == date; });
}

}  // namespace

std::vector<Holiday> JapaneseHolidays(int year) {
    if (year < kFirstHolidayYear || year > kLastHolidayYear) {
        return {};
    }
    const std::vector<Holiday> national = NationalHolidays(year);
    std::vector<Holiday> holidays = national;

    for (const Holiday& holiday : national) {
        const sys_days date{holiday.date};
        if (weekday{date} != std::chrono::Sunday || date < kSubstituteRuleStart) {
            continue;
        }
        sys_days substitute = date + days{1};
        if (date >= kNextFreeDayRuleStart) {
            while (FallsOn(national, substitute)) {
                substitute += days{1};
            }
        } else if (FallsOn(national, substitute)) {
            continue;  // the Monday was a holiday already and nothing moved
        }
        holidays.push_back({year_month_day{substitute}, kSubstituteHolidayName});
    }

    // A day between two national holidays; under the first form of the rule a Sunday or a
    // substitute holiday stayed what it was.
    for (size_t i = 0; i + 1 < national.size(); ++i) {
        const sys_days between = sys_days{national[i].date} + days{1};
        if (sys_days{national[i + 1].date} != between + days{1} ||
            between < kCitizensHolidayRuleStart || FallsOn(holidays, between) ||
            (between < kNextFreeDayRuleStart && weekday{between} == std::chrono::Sunday)) {
            continue;
        }
        holidays.push_back({year_month_day{between}, kCitizensHolidayName});
    }

    std::ranges::sort(holidays, {}, &Holiday::date);
    return holidays;
}

}  // namespace schedule
