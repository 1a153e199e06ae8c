#include "cli/holidays_command.h"

#include <charconv>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "cli/command_support.h"
#include "cli/date_argument.h"
#include "cli/home_settings.h"
#include "editors/appointment_writes.h"
#include "editors/edit_record.h"
#include "editors/store_write_context.h"
#include "platform/text/unicode_text.h"
#include "schedule/japanese_holidays.h"
#include "schedule/month_census.h"
#include "schedule/store_session.h"
#include "store/schedule_store.h"

namespace cli {
namespace {

constexpr std::string_view kCommand = "holidays";
constexpr std::string_view kDryRunFlag = "--dry-run";
// "20260101": the day a UID begins with.
constexpr size_t kUidDayLength = 8;
constexpr size_t kUidYearLength = 4;

struct YearRange {
    int first = 0;
    int last = 0;
};

std::optional<int> ParseYear(std::string_view text) {
    int year = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), year);
    if (text.empty() || text.front() == '-' || error != std::errc() ||
        end != text.data() + text.size()) {
        return std::nullopt;
    }
    return year;
}

// "YYYY" or "YYYY-YYYY" of years the calendar knows; nullopt (reported) otherwise.
std::optional<YearRange> ReadYears(std::string_view text, std::ostream& err) {
    const size_t dash = text.find('-');
    const std::optional<int> first = ParseYear(text.substr(0, dash));
    const std::optional<int> last =
        dash == std::string_view::npos ? first : ParseYear(text.substr(dash + 1));
    if (!first || !last) {
        Fail(err, kCommand, kUsageStatus,
             "not a year or a range of years (YYYY or YYYY-YYYY): " + std::string(text));
        return std::nullopt;
    }
    for (const int year : {*first, *last}) {
        if (year < schedule::kFirstHolidayYear || year > schedule::kLastHolidayYear) {
            Fail(err, kCommand, kUsageStatus,
                 "the holidays are known for " + std::to_string(schedule::kFirstHolidayYear) +
                     " to " + std::to_string(schedule::kLastHolidayYear) + " only, not for " +
                     std::to_string(year));
            return std::nullopt;
        }
    }
    if (*first > *last) {
        Fail(err, kCommand, kUsageStatus,
             "the first year comes after the last: " + std::string(text));
        return std::nullopt;
    }
    return YearRange{*first, *last};
}

// One holiday as the store keeps it: its day at 00:00, its name and its UID.
struct HolidayEntry {
    platform::Date day = 0;
    std::u16string_view name;
    std::string uid;
};

std::vector<HolidayEntry> HolidaysOf(const YearRange& years) {
    std::vector<HolidayEntry> entries;
    for (int year = years.first; year <= years.last; ++year) {
        for (const schedule::Holiday& holiday : schedule::JapaneseHolidays(year)) {
            const int month = static_cast<int>(static_cast<unsigned>(holiday.date.month()));
            const int day = static_cast<int>(static_cast<unsigned>(holiday.date.day()));
            // The years have four digits, so the day's digits are always kUidDayLength.
            const std::string dayDigits = std::to_string(year * 10000 + month * 100 + day);
            entries.push_back({platform::MakeDate(year, month, day).value_or(0), holiday.name,
                               dayDigits + std::string(kHolidayUidDomain)});
        }
    }
    return entries;
}

// The year of a holiday UID; nullopt for any other UID.
std::optional<int> HolidayUidYear(std::string_view uid) {
    if (uid.size() != kUidDayLength + kHolidayUidDomain.size() ||
        !uid.ends_with(kHolidayUidDomain)) {
        return std::nullopt;
    }
    return ParseYear(uid.substr(0, kUidYearLength));
}

// Where the stored holidays of the years are looked for: all-day appointments or those of the
// holiday category (a holiday a user made timed keeps its category, one taken out of the
// category is still all-day), so that the rest of a large calendar is never read.
std::u16string HolidayCandidates(const YearRange& years, std::u16string_view holidayCategory) {
    // A day without a time compares by day: the last day counts whole.
    std::u16string restriction = platform::Utf8ToUtf16Lossy(
        "[Start] >= \"" + std::to_string(years.first) + "/1/1\" and [Start] <= \"" +
        std::to_string(years.last) + "/12/31\" and ([AllDayEvent] = TRUE");
    if (!holidayCategory.empty()) {
        restriction += u" or [Categories] = \"";
        for (const char16_t unit : holidayCategory) {
            restriction += unit == u'"' ? std::u16string(u"\"\"") : std::u16string(1, unit);
        }
        restriction += u'"';
    }
    return restriction + u")";
}

// The holiday appointments of the years, by UID (the first of any two with one UID): where a
// day that a corrected rule no longer gives is found.
platform::Result<std::map<std::string, calendar::AppointmentRecord>> StoredHolidays(
    const editors::StoreWriteContext& context, const YearRange& years) {
    auto items = editors::DefaultFolderItems(context, store::FolderKind::Calendar);
    if (!items) {
        return items.error();
    }
    auto inYears = items->Restrict(HolidayCandidates(years, context.settings.HoliDay));
    if (!inYears) {
        return inYears.error();
    }
    auto count = inYears->Count();
    if (!count) {
        return count.error();
    }
    std::map<std::string, calendar::AppointmentRecord> stored;
    for (int32_t index = 1; index <= *count; ++index) {
        auto appointment = inYears->AppointmentAt(index);
        if (!appointment) {
            return appointment.error();
        }
        if (HolidayUidYear(appointment->Record().uid)) {
            stored.emplace(appointment->Record().uid, appointment->Record());
        }
    }
    return stored;
}

// A holiday as the appointment editor would store it (an all-day appointment with only the
// holiday box set), with its UID. Stored by its UID, it gives its day, name and category; a
// memo, place or reminder a user gave the stored one stays.
store::IncomingAppointment IncomingHoliday(const HolidayEntry& holiday,
                                           const std::u16string& holidayCategory) {
    store::IncomingAppointment incoming;
    incoming.record.start = holiday.day;
    incoming.record.end = holiday.day;
    incoming.record.allDay = true;
    incoming.record.subject = holiday.name;
    incoming.record.categories = holidayCategory;
    incoming.record.uid = holiday.uid;
    incoming.given = calendar::ItemFields::None()
                         .Add(calendar::ItemField::Subject)
                         .Add(calendar::ItemField::Categories);
    return incoming;
}

// Deletes a stored holiday as the editor's delete would; any ink file its memo names stays.
editors::WriteResult DeleteHoliday(const editors::StoreWriteContext& context,
                                   const calendar::AppointmentRecord& stored) {
    auto record = std::make_unique<editors::EditRecord>();
    editors::FillForNewAppointment(*record, stored.start);
    record->ItemOid = stored.oid;
    record->Body = stored.body;
    record->Holiday = 1;
    return editors::DeleteAppointment(context, *record);
}

int WriteHolidays(const platform::DataHome& home, const platform::Clock& clock,
                  const YearRange& years, const std::vector<HolidayEntry>& holidays,
                  std::ostream& out, std::ostream& err) {
    if (auto folders = home.EnsureFolders(); !folders) {
        return Fail(err, kCommand, kFailureStatus, folders.error().message);
    }
    const settings::Settings settings = LoadHomeSettings(home, err);
    schedule::StoreSession store(home.StorePath());
    // The editors' delete marks the census stale; in this process nothing reads it afterwards.
    schedule::MonthCensusState census;
    const editors::StoreWriteContext context{store, home, settings, census, clock};

    auto stored = StoredHolidays(context, years);
    if (!stored) {
        return Fail(err, kCommand, kFailureStatus, stored.error().message);
    }
    std::vector<store::IncomingAppointment> incoming;
    std::set<std::string> computedUids;
    for (const HolidayEntry& holiday : holidays) {
        incoming.push_back(IncomingHoliday(holiday, settings.HoliDay));
        computedUids.insert(holiday.uid);
    }
    auto application = store.LoggedOnApplication();
    if (!application) {
        return Fail(err, kCommand, kFailureStatus, application.error().message);
    }
    const platform::Result<store::UidSaveSummary> saved =
        (*application)->SaveByUid(std::move(incoming), {}, calendar::UidSource::Owner);
    if (!saved) {
        return Fail(err, kCommand, kFailureStatus, saved.error().message);
    }

    // A day of these years that a corrected rule no longer makes a holiday.
    int removed = 0;
    for (const auto& [uid, record] : *stored) {
        const std::optional<int> year = HolidayUidYear(uid);
        if (computedUids.contains(uid) || *year < years.first || *year > years.last) {
            continue;
        }
        if (const editors::WriteResult deleted = DeleteHoliday(context, record); !deleted) {
            return Fail(err, kCommand, kFailureStatus, deleted.detail);
        }
        ++removed;
    }
    using Outcome = store::UidSaveSummary::Outcome;
    out << holidays.size() << " holidays: " << saved->Count(Outcome::Added) << " added, "
        << saved->Count(Outcome::Updated) << " updated, " << saved->Count(Outcome::Unchanged)
        << " unchanged, " << removed << " removed\n";
    return 0;
}

}  // namespace

int HolidaysCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                    const platform::Clock& clock, std::ostream& out, std::ostream& err) {
    bool dryRun = false;
    std::optional<std::string> yearsText;
    for (const std::string& arg : args) {
        if (arg == kDryRunFlag) {
            dryRun = true;
        } else if (!yearsText && !arg.starts_with("--")) {
            yearsText = arg;
        } else {
            return Fail(err, kCommand, kUsageStatus, "unexpected argument: " + arg);
        }
    }
    if (!yearsText) {
        return Fail(err, kCommand, kUsageStatus, "expected: holidays YEAR[-YEAR] [--dry-run]");
    }
    const std::optional<YearRange> years = ReadYears(*yearsText, err);
    if (!years) {
        return kUsageStatus;
    }
    const std::vector<HolidayEntry> holidays = HolidaysOf(*years);
    if (!dryRun) {
        return WriteHolidays(home, clock, *years, holidays, out, err);
    }
    for (const HolidayEntry& holiday : holidays) {
        out << FormatDay(holiday.day) << '\t' << platform::Utf16ToUtf8Lossy(holiday.name) << '\n';
    }
    return 0;
}

}  // namespace cli
