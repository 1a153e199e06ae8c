#include "cli/month_command.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "cli/command_support.h"
#include "cli/date_argument.h"
#include "cli/home_settings.h"
#include "schedule/month_census.h"

namespace cli {
namespace {

using schedule::kGridColumns;
using schedule::kGridRows;
using schedule::MonthCensusState;

// A grid cell in the terminal: ">dd*H" and its band letters below, padded to this width.
constexpr size_t kCellWidth = 8;
constexpr size_t kDayNumberWidth = 2;

constexpr std::array<std::string_view, 12> kMonthNames{
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

// One letter per time band, in bit order.
constexpr std::array<std::pair<uint8_t, char>, 4> kBandLetters{{
    {schedule::kBandMorning, 'M'},
    {schedule::kBandMidday, 'N'},
    {schedule::kBandAfternoon, 'A'},
    {schedule::kBandEvening, 'E'},
}};

int Fail(std::ostream& err, int status, const std::string& message) {
    return cli::Fail(err, "month", status, message);
}

void PrintTsv(const MonthCensusState& state, std::ostream& out) {
    for (size_t cell = 0; cell < state.dates.size(); ++cell) {
        if (state.dates[cell] == 0) {
            continue;
        }
        out << FormatDay(state.dates[cell]) << '\t' << cell / kGridColumns << '\t'
            << cell % kGridColumns << '\t' << unsigned{state.census.allDay[cell]} << '\t'
            << unsigned{state.census.timeBands[cell]} << '\t'
            << unsigned{state.census.holiday[cell]} << '\n';
    }
}

std::string Padded(std::string text) {
    text.resize(std::max(text.size(), kCellWidth), ' ');
    return text;
}

bool RowHoldsDays(const schedule::MonthGridDates& dates, size_t row) {
    for (size_t column = 0; column < kGridColumns; ++column) {
        if (dates[row * kGridColumns + column] != 0) {
            return true;
        }
    }
    return false;
}

void EndLine(std::string& line, std::ostream& out) {
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << '\n';
}

void PrintReadable(const MonthCensusState& state, platform::Date selected, std::ostream& out) {
    const auto& census = state.census;
    const std::string title =
        std::string(kMonthNames[static_cast<size_t>(census.cachedMonth - 1)]) + " " +
        std::to_string(census.cachedYear);
    const size_t gridWidth = kCellWidth * kGridColumns;
    out << std::string((gridWidth - title.size()) / 2, ' ') << title << "\n";
    std::string header;
    for (unsigned column = 0; column < kGridColumns; ++column) {
        header += Padded(" " + std::string(WeekdayAbbreviation(column)));
    }
    EndLine(header, out);

    for (size_t row = 0; row < kGridRows; ++row) {
        if (!RowHoldsDays(state.dates, row)) {
            break;
        }
        std::string days;
        std::string bands;
        for (size_t column = 0; column < kGridColumns; ++column) {
            const size_t cell = row * kGridColumns + column;
            const platform::Date date = state.dates[cell];
            if (date == 0) {
                days += Padded("");
                bands += Padded("");
                continue;
            }
            std::string day = FormatDay(date).substr(8);
            if (day[0] == '0') {
                day.erase(0, 1);
            }
            // The day number right-aligned, the selected one with its marker just before it.
            const bool isSelected = platform::DayNumber(date) == platform::DayNumber(selected);
            std::string text(kDayNumberWidth - day.size(), ' ');
            text += isSelected ? ">" : " ";
            text += day;
            text += census.allDay[cell] != 0 ? '*' : ' ';
            text += census.holiday[cell] != 0 ? 'H' : ' ';
            days += Padded(text);
            std::string letters = " ";
            if (census.timeBands[cell] != 0) {
                for (const auto& [bit, letter] : kBandLetters) {
                    letters += (census.timeBands[cell] & bit) != 0 ? letter : '.';
                }
            }
            bands += Padded(letters);
        }
        EndLine(days, out);
        EndLine(bands, out);
    }
    out << "\n> selected  * all-day  H holiday  bands: M 0-11h  N 12-14h  A 15-17h  E 18h-\n";
}

}  // namespace

int MonthCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                 const platform::Clock& clock, std::ostream& out, std::ostream& err) {
    int status = 0;
    const auto read = ReadDateCommandArguments(args, ParseMonthArgument,
                                               "month or date of the form YYYY-MM or YYYY-MM-DD",
                                               clock, "month", err, status);
    if (!read) {
        return status;
    }
    const bool tsv = read->tsv;
    const std::optional<platform::Date> selected = read->selected;
    if (auto folders = home.EnsureFolders(); !folders) {
        return Fail(err, kFailureStatus, folders.error().message);
    }
    const settings::Settings settings = LoadHomeSettings(home, err);
    schedule::StoreSession store(home.StorePath());
    MonthCensusState state;
    if (auto built = schedule::RefreshMonthCensus(*selected, settings, store, state); !built) {
        return Fail(err, kFailureStatus, built.error().message);
    }
    if (tsv) {
        PrintTsv(state, out);
    } else {
        PrintReadable(state, *selected, out);
    }
    return 0;
}

}  // namespace cli
