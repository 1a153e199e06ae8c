#include "cli/calendar_commands.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "calendar/ical_io.h"
#include "cli/agenda_command.h"
#include "cli/month_command.h"
#include "schedule/calendar_ink.h"
#include "schedule/ink_entry.h"
#include "store/schedule_store.h"
#include "tests/support/temp_folder.h"

namespace cli {
namespace {

using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;

constexpr const char* kTwoEvents =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
    "BEGIN:VEVENT\r\nUID:a@test\r\nDTSTART:20261207T090000\r\nDTEND:20261207T100000\r\n"
    "SUMMARY:会議\r\nX-KEPT:yes\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:b@test\r\nDTSTART;VALUE=DATE:20261223\r\nSUMMARY:天皇誕生日\r\n"
    "CATEGORIES:祝日\r\nEND:VEVENT\r\n"
    "BEGIN:VTODO\r\nUID:c@test\r\nSUMMARY:買い物\r\nEND:VTODO\r\n"
    "END:VCALENDAR\r\n";

// A weekly series at 15:00 whose second occurrence moved to the next morning and whose third
// was cancelled.
constexpr const char* kSeriesWithChanges =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
    "BEGIN:VEVENT\r\nUID:d@test\r\nDTSTAMP:20261101T000000Z\r\nDTSTART:20261201T150000\r\n"
    "DTEND:20261201T160000\r\nRRULE:FREQ=WEEKLY;COUNT=4\r\nSUMMARY:定例\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:d@test\r\nDTSTAMP:20261101T000000Z\r\nRECURRENCE-ID:20261208T150000\r\n"
    "DTSTART:20261209T090000\r\nDTEND:20261209T100000\r\nSUMMARY:定例\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:d@test\r\nDTSTAMP:20261101T000000Z\r\nRECURRENCE-ID:20261215T150000\r\n"
    "DTSTART:20261215T150000\r\nSUMMARY:定例\r\nSTATUS:CANCELLED\r\nEND:VEVENT\r\n"
    "BEGIN:VJOURNAL\r\nUID:j@test\r\nEND:VJOURNAL\r\n"
    "END:VCALENDAR\r\n";

// What a command prints on one of the standard streams while it runs.
class CapturedOutput {
public:
    explicit CapturedOutput(std::ostream& stream = std::cout)
        : stream_(stream), old_(stream.rdbuf(text_.rdbuf())) {}
    ~CapturedOutput() { stream_.rdbuf(old_); }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;
    std::string Text() const { return text_.str(); }

private:
    std::ostream& stream_;
    std::ostringstream text_;
    std::streambuf* old_;
};

class CalendarCommandsTest : public ::testing::Test {
protected:
    std::vector<int32_t> Oids() {
        store::Application store;
        EXPECT_TRUE(store.LogOn(home_.StorePath()).ok());
        const auto appointments = store.AllAppointments();
        const auto tasks = store.AllTasks();
        std::vector<int32_t> oids;
        if (!appointments || !tasks) {
            ADD_FAILURE() << "cannot read the store";
            return oids;
        }
        for (const calendar::AppointmentRecord& record : *appointments) {
            oids.push_back(record.oid);
        }
        for (const calendar::TaskRecord& record : *tasks) {
            oids.push_back(record.oid);
        }
        return oids;
    }

    int Count(store::FolderKind kind) {
        store::Application store;
        EXPECT_TRUE(store.LogOn(home_.StorePath()).ok());
        return *store.GetDefaultFolder(kind)->GetItems()->Count();
    }

    TempFolder folder_;
    platform::DataHome home_{folder_.Path()};
};

TEST_F(CalendarCommandsTest, ImportThenExportKeepsEveryItem) {
    const auto ics = folder_.Path() / "in.ics";
    WriteBytes(ics, kTwoEvents);
    ASSERT_EQ(ImportCalendar(home_, ics.string()), 0);
    EXPECT_EQ(Count(store::FolderKind::Calendar), 2);
    EXPECT_EQ(Count(store::FolderKind::Tasks), 1);

    const auto out = folder_.Path() / "out.ics";
    ASSERT_EQ(ExportCalendar(home_, out.string()), 0);
    const std::string exported = ReadBytes(out);
    EXPECT_NE(exported.find("X-KEPT:yes"), std::string::npos);
    EXPECT_NE(exported.find("CATEGORIES:祝日"), std::string::npos);

    // The exported file imports again as the same items: known by their UIDs, not added twice.
    ASSERT_EQ(ImportCalendar(home_, out.string()), 0);
    EXPECT_EQ(Count(store::FolderKind::Calendar), 2);
    EXPECT_EQ(Count(store::FolderKind::Tasks), 1);
}

TEST_F(CalendarCommandsTest, ImportingTheSameFileTwiceChangesNothingButWhatWasEdited) {
    const auto ics = folder_.Path() / "in.ics";
    WriteBytes(ics, kTwoEvents);
    {
        CapturedOutput output;
        ASSERT_EQ(ImportCalendar(home_, ics.string()), 0);
        EXPECT_EQ(output.Text().substr(0, output.Text().find('\n')),
                  "imported 2 appointments and 1 tasks from " + ics.string() +
                      ": 3 added, 0 updated, 0 unchanged; 0 skipped");
    }
    const std::vector<int32_t> oids = Oids();
    {
        CapturedOutput output;
        ASSERT_EQ(ImportCalendar(home_, ics.string()), 0);
        EXPECT_NE(output.Text().find(": 0 added, 0 updated, 3 unchanged; 0 skipped"),
                  std::string::npos)
            << output.Text();
    }
    EXPECT_EQ(Oids(), oids);

    // Edited in the planner meanwhile, and then in the file: the file's words win, in place.
    {
        store::Application store;
        ASSERT_TRUE(store.LogOn(home_.StorePath()).ok());
        auto meeting = store.GetAppointmentFromOid(oids[0]);
        meeting->SetSubject(u"会議 (書き換え)");
        meeting->SetBody(u"3.dat");
        ASSERT_TRUE(meeting->Save().ok());
    }
    std::string edited = kTwoEvents;
    edited.replace(edited.find("SUMMARY:会議"), 15, "SUMMARY:定例会議");
    WriteBytes(ics, edited);
    {
        CapturedOutput output;
        ASSERT_EQ(ImportCalendar(home_, ics.string()), 0);
        EXPECT_NE(output.Text().find(": 0 added, 1 updated, 2 unchanged; 0 skipped"),
                  std::string::npos)
            << output.Text();
    }
    EXPECT_EQ(Oids(), oids);
    store::Application store;
    ASSERT_TRUE(store.LogOn(home_.StorePath()).ok());
    const calendar::AppointmentRecord meeting = store.GetAppointmentFromOid(oids[0])->Record();
    EXPECT_EQ(meeting.subject, u"定例会議");
    EXPECT_EQ(meeting.body, u"3.dat");  // the file gives no memo: the handwriting's name stays
    EXPECT_EQ(meeting.uid, "a@test");
}

TEST_F(CalendarCommandsTest, ImportPrintsTheChangedOccurrencesItKept) {
    const auto ics = folder_.Path() / "series.ics";
    WriteBytes(ics, kSeriesWithChanges);
    CapturedOutput output;
    CapturedOutput errors(std::cerr);
    ASSERT_EQ(ImportCalendar(home_, ics.string()), kSomeSkippedStatus);
    EXPECT_EQ(output.Text(),
              "imported 1 appointments and 0 tasks from " + ics.string() +
                  ": 1 added, 0 updated, 0 unchanged; 1 skipped\n"
                  "kept: line 12: 定例 (d@test): the occurrence of 2026-12-08 15:00 moved to "
                  "2026-12-09 09:00\n"
                  "kept: line 20: 定例 (d@test): the occurrence of 2026-12-15 15:00 cancelled\n");
    EXPECT_EQ(errors.Text(), "skipped: line 28: VJOURNAL not kept by the planner\n");
    store::Application store;
    ASSERT_TRUE(store.LogOn(home_.StorePath()).ok());
    EXPECT_EQ(store.AllAppointments()->front().recurrence.changes.size(), 2u);
    // Exported again with its changes.
    const auto out = folder_.Path() / "out.ics";
    ASSERT_EQ(ExportCalendar(home_, out.string()), 0);
    const std::string exported = ReadBytes(out);
    EXPECT_NE(exported.find("RECURRENCE-ID:20261208T150000"), std::string::npos);
    EXPECT_NE(exported.find("RECURRENCE-ID:20261215T150000"), std::string::npos);
}

TEST_F(CalendarCommandsTest, ABrokenEventIsSkippedAndTheRestImported) {
    std::string broken = kTwoEvents;
    broken.replace(broken.find("DTSTART;VALUE=DATE:20261223"), 27, "DTSTART;VALUE=DATE:2026122X");
    broken += "--\r\nSent from my phone\r\n";
    const auto ics = folder_.Path() / "broken.ics";
    WriteBytes(ics, broken);
    std::ostringstream out;
    std::ostringstream err;

    // --check reads and reports, and writes nothing.
    ASSERT_EQ(ImportCommand(home_, {"--check", ics.string()}, out, err), kSomeSkippedStatus);
    EXPECT_EQ(out.str(),
              "would import 1 appointments and 1 tasks from " + ics.string() + "; 2 skipped\n");
    EXPECT_FALSE(std::filesystem::exists(home_.StorePath()));

    // --strict refuses the whole file, naming the first line it cannot read.
    out.str("");
    err.str("");
    EXPECT_EQ(ImportCommand(home_, {"--strict", ics.string()}, out, err), 1);
    EXPECT_EQ(err.str(), "tessarinth-cli: import: " + ics.string() +
                             ": line 13: DTSTART has no valid date (nothing was imported)\n");
    EXPECT_EQ(Count(store::FolderKind::Calendar), 0);
    EXPECT_EQ(Count(store::FolderKind::Tasks), 0);

    // Without it, the rest is imported and each skip is one line on standard error.
    out.str("");
    err.str("");
    ASSERT_EQ(ImportCommand(home_, {ics.string()}, out, err), kSomeSkippedStatus);
    EXPECT_EQ(out.str(), "imported 1 appointments and 1 tasks from " + ics.string() +
                             ": 2 added, 0 updated, 0 unchanged; 2 skipped\n");
    EXPECT_EQ(err.str(),
              "skipped: line 13: DTSTART has no valid date; the VEVENT of line 11 is not imported\n"
              "skipped: line 22: text after END:VCALENDAR; lines 22 to 23 not read\n");
    EXPECT_EQ(Count(store::FolderKind::Calendar), 1);
    EXPECT_EQ(Count(store::FolderKind::Tasks), 1);
}

TEST_F(CalendarCommandsTest, AFileOfWhichNothingCanBeTakenFails) {
    const auto ics = folder_.Path() / "nothing.ics";
    WriteBytes(ics,
               "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:x\r\nDTSTART:2026122X\r\n"
               "END:VEVENT\r\nEND:VCALENDAR\r\n");
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(ImportCommand(home_, {"--check", ics.string()}, out, err), 1);
    EXPECT_EQ(ImportCommand(home_, {ics.string()}, out, err), 1);
    EXPECT_EQ(Count(store::FolderKind::Calendar), 0);
}

TEST_F(CalendarCommandsTest, WhatIsNoCalendarAtAllImportsNothing) {
    const auto letter = folder_.Path() / "letter.txt";
    WriteBytes(letter, "Dear Hanako,\nsee you on Monday.\n");
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(ImportCommand(home_, {letter.string()}, out, err), 1);
    EXPECT_EQ(err.str(), "tessarinth-cli: import: " + letter.string() +
                             ": line 1: not an iCalendar file: it must begin with "
                             "BEGIN:VCALENDAR (nothing was imported)\n");
    EXPECT_EQ(ImportCommand(home_, {(folder_.Path() / "missing.ics").string()}, out, err), 1);
    EXPECT_EQ(ImportCommand(home_, {"--sloppy", letter.string()}, out, err), 2);
    EXPECT_EQ(ImportCommand(home_, {}, out, err), 2);
    EXPECT_EQ(ImportCommand(home_, {"a.ics", "b.ics"}, out, err), 2);
    EXPECT_EQ(Count(store::FolderKind::Calendar), 0);
}

// Writes `head`, then `endless` over and over into the FIFO until its reader has gone.
class EndlessWriter {
public:
    EndlessWriter(std::filesystem::path fifo, std::string head, std::string endless)
        : oldHandler_(std::signal(SIGPIPE, SIG_IGN)), thread_([=] {
              const int descriptor = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
              if (descriptor < 0 || write(descriptor, head.data(), head.size()) < 0) {
                  return;
              }
              while (write(descriptor, endless.data(), endless.size()) > 0) {
              }
              close(descriptor);
          }) {}
    ~EndlessWriter() {
        thread_.join();
        std::signal(SIGPIPE, oldHandler_);
    }

private:
    void (*oldHandler_)(int);
    std::thread thread_;
};

// Nothing an import is given is read whole before its first line shows a calendar, nor past
// its ceiling (kMaxImportBytes for a pipe, kMaxImportFileBytes for a regular file); what is not a
// file or a pipe is not read at all. A calendar in a pipe is
// imported as from a file.
TEST_F(CalendarCommandsTest, AnImportReadsNoMoreThanItsCeiling) {
    std::ostringstream out;
    std::ostringstream err;
    for (const char* device : {"/dev/zero", "/dev/urandom"}) {
        err.str("");
        EXPECT_EQ(ImportCommand(home_, {"--check", device}, out, err), 1);
        EXPECT_EQ(err.str(), "tessarinth-cli: import: cannot read " + std::string(device) +
                                 ": not a regular file\n");
    }
    const auto fifo = folder_.Path() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    {
        const EndlessWriter zeros(fifo, "", std::string(64 * 1024, '\0'));
        err.str("");
        EXPECT_EQ(ImportCommand(home_, {fifo.string()}, out, err), 1);
        EXPECT_NE(err.str().find("line 1: not an iCalendar file"), std::string::npos) << err.str();
    }
    {
        const EndlessWriter junk(fifo, "BEGIN:VCALENDAR\r\n",
                                 "X-JUNK:" + std::string(1000, 'j') + "\r\n");
        err.str("");
        EXPECT_EQ(ImportCommand(home_, {fifo.string()}, out, err), 1);
        EXPECT_NE(err.str().find("larger than " + std::to_string(kMaxImportBytes) + " bytes"),
                  std::string::npos)
            << err.str();
    }
    // A calendar of one byte more than the ceiling is refused by its size, unread.
    const auto large = folder_.Path() / "large.ics";
    WriteBytes(large, kTwoEvents);
    std::filesystem::resize_file(large, kMaxImportFileBytes + 1);
    err.str("");
    EXPECT_EQ(ImportCommand(home_, {large.string()}, out, err), 1);
    EXPECT_NE(err.str().find("larger than"), std::string::npos) << err.str();
    EXPECT_EQ(Count(store::FolderKind::Calendar), 0);

    std::thread writer([&] { WriteBytes(fifo, kTwoEvents); });
    const int imported = ImportCommand(home_, {fifo.string()}, out, err);
    writer.join();
    EXPECT_EQ(imported, 0) << err.str();
    EXPECT_EQ(Count(store::FolderKind::Calendar), 2);
}

TEST_F(CalendarCommandsTest, ExportBelowAFileFailsCleanly) {
    const auto notAFolder = folder_.Path() / "plain";
    WriteBytes(notAFolder, "x");
    EXPECT_NE(ExportCalendar(home_, (notAFolder / "out.ics").string()), 0);
    EXPECT_EQ(ReadBytes(notAFolder), "x");
}

// As `cp` would: a folder that is not there is a mistake to report, not one to make.
TEST_F(CalendarCommandsTest, ExportIntoAMissingFolderIsRefusedAndMakesNoFolder) {
    const auto missing = folder_.Path() / "no-such-folder" / "deeper";
    const std::string file = (missing / "out.ics").string();
    testing::internal::CaptureStderr();
    EXPECT_EQ(ExportCalendar(home_, file), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "tessarinth-cli: export: cannot write " + file + ": No such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() / "no-such-folder"));
    // Into a folder that is there, the file is written, and written again over itself.
    const std::string there = (folder_.Path() / "out.ics").string();
    ASSERT_EQ(ExportCalendar(home_, there), 0);
    ASSERT_EQ(ExportCalendar(home_, there), 0);
    EXPECT_TRUE(ReadBytes(there).starts_with("BEGIN:VCALENDAR"));
}

// Calendars as mail and calendar programs export them, one edge each (see the files): how many
// items they give, how many components are skipped, and how many properties are dropped.
struct ClientFile {
    const char* name;
    size_t appointments;
    size_t tasks;
    size_t skipped;
    size_t dropped = 0;
};

constexpr ClientFile kClientFiles[] = {
    {"web_calendar_utc.ics", 4, 0, 0},
    {"mail_client_vtimezone.ics", 2, 0, 0},
    {"tzid_without_vtimezone.ics", 3, 0, 0},
    {"all_day.ics", 4, 0, 0},
    {"alarms.ics", 3, 0, 0},
    {"shared_event_bare.ics", 1, 1, 0},
    {"broken_among_good.ics", 3, 1, 2, 1},
    {"trailing_text.ics", 1, 0, 1},
    {"many_calendars.ics", 2, 1, 0},
    {"long_unfolded_lines.ics", 2, 0, 0},
    {"bom_lf_only.ics", 1, 1, 0},
    // What other programs write wrong costs what it stands in, not the event.
    {"empty_rrule.ics", 2, 0, 0, 2},
    {"malformed_rdate_exdate.ics", 2, 0, 0, 1},
    {"structured_location.ics", 1, 0, 0},
    {"alarm_bad_trigger.ics", 1, 0, 0, 1},
    {"geo_escaped.ics", 1, 0, 0},
    {"lic_error_in_change.ics", 1, 0, 0, 1},
    {"latin1_byte.ics", 1, 0, 0},
    {"fold_without_space.ics", 1, 0, 0},
    {"misspelt_end.ics", 3, 0, 1},
    {"lone_occurrence.ics", 1, 0, 0},
    {"two_versions.ics", 1, 0, 0},
    {"version1_header.ics", 1, 0, 0},
};

// What the planner shows of the months the files fill: the day list from every sixth day, and
// the month grids.
std::string Views(const platform::DataHome& home) {
    const platform::FixedClock clock(platform::CalendarFields{2026, 1, 4, 1, 9, 0, 0, 0});
    std::ostringstream out;
    std::ostringstream err;
    for (int month = 1; month <= 3; ++month) {
        for (int day = 1; day <= 28; day += 6) {
            char date[16];
            std::snprintf(date, sizeof date, "2026-%02d-%02d", month, day);
            out << date << "\n";
            EXPECT_EQ(AgendaCommand(home, {date, "--tsv"}, clock, out, err), 0) << err.str();
        }
        const std::string yearMonth = "2026-0" + std::to_string(month);
        EXPECT_EQ(MonthCommand(home, {yearMonth, "--tsv"}, clock, out, err), 0) << err.str();
    }
    return out.str();
}

TEST_F(CalendarCommandsTest, ClientFilesImportExportAndImportAgainAsTheSameCalendar) {
    for (const ClientFile& sample : kClientFiles) {
        SCOPED_TRACE(sample.name);
        TempFolder first;
        TempFolder second;
        const platform::DataHome firstHome(first.Path());
        const platform::DataHome secondHome(second.Path());
        const std::filesystem::path file =
            std::filesystem::path(TESSARINTH_CALENDAR_SAMPLES) / sample.name;
        std::ostringstream out;
        std::ostringstream err;
        const int status = ImportCalendar(firstHome, file.string(), {}, out, err);
        ASSERT_TRUE(status == 0 || status == kSomeSkippedStatus) << status << err.str();
        const std::string summary = out.str().substr(0, out.str().find('\n'));
        EXPECT_EQ(summary.substr(0, summary.find(" from ")),
                  "imported " + std::to_string(sample.appointments) + " appointments and " +
                      std::to_string(sample.tasks) + " tasks");
        EXPECT_EQ(summary.substr(summary.rfind("; ")),
                  "; " + std::to_string(sample.skipped) + " skipped");
        // Each dropped property is counted and named on a line of its own.
        EXPECT_EQ(summary.find(" dropped;") != std::string::npos, sample.dropped > 0);
        size_t named = 0;
        for (size_t at = err.str().find("dropped: line "); at != std::string::npos;
             at = err.str().find("dropped: line ", at + 1)) {
            ++named;
        }
        EXPECT_EQ(named, sample.dropped) << err.str();

        const std::filesystem::path exported = first.Path() / "export.ics";
        ASSERT_EQ(ExportCalendar(firstHome, exported.string()), 0);
        // The export is read whole, even by the strict reading, with nothing left out.
        const auto strict =
            calendar::ParseICalendar(ReadBytes(exported), calendar::ImportMode::AllOrNothing);
        ASSERT_TRUE(strict.ok()) << strict.error().message;
        EXPECT_TRUE(strict->skipped.empty());

        out.str("");
        err.str("");
        ASSERT_EQ(ImportCalendar(secondHome, exported.string(), {}, out, err), 0);
        EXPECT_EQ(err.str(), "");
        const std::string views = Views(firstHome);
        EXPECT_EQ(Views(secondHome), views);
    }
}

// What each of the files that other programs wrote wrong gives: the event with what could be
// read, and on export what it carried as it stood.
TEST_F(CalendarCommandsTest, WhatAnotherProgramWroteWrongCostsOnlyItself) {
    const auto read = [](const char* name) {
        const std::filesystem::path file =
            std::filesystem::path(TESSARINTH_CALENDAR_SAMPLES) / name;
        auto calendar = calendar::ParseICalendar(ReadBytes(file));
        EXPECT_TRUE(calendar.ok()) << name;
        return calendar.ok() ? std::move(calendar).value() : calendar::ImportedCalendar{};
    };
    const auto exported = [](const calendar::ImportedCalendar& calendar) {
        return calendar::WriteICalendar(calendar.appointments, calendar.tasks);
    };
    // An empty RRULE leaves a single event.
    for (const calendar::AppointmentRecord& holiday : read("empty_rrule.ics").appointments) {
        EXPECT_FALSE(holiday.recurrence.recurs());
        EXPECT_TRUE(holiday.allDay);
    }
    // A malformed RDATE costs itself; an EXDATE with a trailing space is read.
    const calendar::ImportedCalendar dates = read("malformed_rdate_exdate.ics");
    ASSERT_EQ(dates.appointments.size(), 2u);
    EXPECT_EQ(dates.appointments[0].recurrence.rule, "FREQ=WEEKLY;COUNT=4");
    EXPECT_TRUE(dates.appointments[0].recurrence.extraDates.empty());
    EXPECT_EQ(dates.appointments[1].recurrence.exceptionDates.size(), 1u);
    // Apple's structured location and an escaped GEO are carried as they stood.
    std::string location =
        exported(read("structured_location.ics")) + exported(read("geo_escaped.ics"));
    for (size_t fold = location.find("\r\n "); fold != std::string::npos;
         fold = location.find("\r\n ", fold)) {
        location.erase(fold, 3);
    }
    EXPECT_NE(location.find("X-ADDRESS=1-9-1 Marunouchi; Chiyoda;X-TITLE=Tokyo Station:geo:"),
              std::string::npos);
    EXPECT_NE(location.find("GEO:35.681\\;139.767\r\n"), std::string::npos);
    // An alarm whose TRIGGER cannot be read is left out; its event rings no reminder.
    const calendar::ImportedCalendar alarm = read("alarm_bad_trigger.ics");
    ASSERT_EQ(alarm.appointments.size(), 1u);
    EXPECT_FALSE(alarm.appointments[0].reminderSet);
    EXPECT_EQ(alarm.appointments[0].extraProperties.find("VALARM"), std::string::npos);
    // X-LIC-ERROR is ignored and the changed occurrence it stood in kept.
    const calendar::ImportedCalendar changed = read("lic_error_in_change.ics");
    ASSERT_EQ(changed.appointments.size(), 1u);
    ASSERT_EQ(changed.appointments[0].recurrence.changes.size(), 1u);
    EXPECT_EQ(changed.appointments[0].recurrence.changes[0].subject, u"朝会（移動）");
    // A byte that is not UTF-8 costs itself; a fold without its space is a fold.
    EXPECT_EQ(read("latin1_byte.ics").appointments.at(0).subject, u"Caf\uFFFD meeting");
    EXPECT_EQ(read("fold_without_space.ics").appointments.at(0).body,
              u"The first line of a long description that a program folded without the space "
              u"that folding needs");
    // Of two versions of one event, the higher SEQUENCE, though stamped earlier.
    EXPECT_EQ(read("two_versions.ics").appointments.at(0).subject, u"移動後の会議");
    // A misspelt END costs its task, not the events after it.
    const calendar::ImportedCalendar misspelt = read("misspelt_end.ics");
    EXPECT_EQ(misspelt.appointments.size(), 3u);
    EXPECT_EQ(misspelt.skipped, std::vector<std::string>{
                                    "line 7: END:VTOOD does not close BEGIN:VTODO of line 4; the "
                                    "VTODO of line 4 is not imported"});
}

// Across imports: a file's item does not replace a later version the store holds, and an
// occurrence that came alone joins its series, whichever of the two comes first.
TEST_F(CalendarCommandsTest, AcrossImportsTheLaterVersionStaysAndAnOccurrenceJoinsItsSeries) {
    const auto import = [&](const std::string& events, std::string* said = nullptr) {
        const auto file = folder_.Path() / "in.ics";
        WriteBytes(file, "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + events + "END:VCALENDAR\r\n");
        std::ostringstream out;
        std::ostringstream err;
        const int status = ImportCalendar(home_, file.string(), {}, out, err);
        if (said != nullptr) {
            *said = err.str();
        }
        return status;
    };
    const auto subjects = [&]() {
        store::Application store;
        EXPECT_TRUE(store.LogOn(home_.StorePath()).ok());
        std::vector<std::u16string> out;
        const auto stored = store.AllAppointments();
        if (!stored) {
            ADD_FAILURE() << stored.error().message;
            return out;
        }
        for (const calendar::AppointmentRecord& record : *stored) {
            out.push_back(record.subject);
            for (const calendar::OccurrenceChange& change : record.recurrence.changes) {
                out.push_back(u"  " + change.subject);
            }
        }
        return out;
    };
    const auto version = [](const char* sequence, const char* stamp, const char* subject) {
        return std::string("BEGIN:VEVENT\r\nUID:v@test\r\nSEQUENCE:") + sequence +
               "\r\nDTSTAMP:" + stamp + "\r\nDTSTART:20260105T100000Z\r\nSUMMARY:" + subject +
               "\r\nEND:VEVENT\r\n";
    };
    ASSERT_EQ(import(version("2", "20260101T000000Z", "二版")), 0);
    std::string said;
    EXPECT_EQ(import(version("1", "20260102T000000Z", "一版"), &said), kSomeSkippedStatus);
    EXPECT_EQ(said,
              "skipped: VEVENT v@test is an earlier version of the stored one (a lower SEQUENCE "
              "or an earlier DTSTAMP); not taken\n");
    EXPECT_EQ(import(version("2", "20251231T000000Z", "二版の前")), kSomeSkippedStatus);
    EXPECT_EQ(subjects(), std::vector<std::u16string>{u"二版"});
    EXPECT_EQ(import(version("2", "20260103T000000Z", "二版の後")), 0);
    EXPECT_EQ(subjects(), std::vector<std::u16string>{u"二版の後"});

    const std::string series =
        "BEGIN:VEVENT\r\nUID:s@test\r\nDTSTART:20260106T100000Z\r\nRRULE:FREQ=WEEKLY;COUNT=3\r\n"
        "SUMMARY:週次\r\nEND:VEVENT\r\n";
    const auto alone = [](const char* subject) {
        return std::string(
                   "BEGIN:VEVENT\r\nUID:s@test\r\nRECURRENCE-ID:20260113T100000Z\r\n"
                   "DTSTART:20260113T120000Z\r\nSUMMARY:") +
               subject + "\r\nEND:VEVENT\r\n";
    };
    // The occurrence first, then its series.
    ASSERT_EQ(import(alone("この回")), 0);
    ASSERT_EQ(import(series), 0);
    EXPECT_EQ(subjects(), (std::vector<std::u16string>{u"二版の後", u"週次", u"  この回"}));
    // The series stored, an occurrence of it arrives alone, and again changed.
    ASSERT_EQ(import(alone("この回も")), 0);
    EXPECT_EQ(subjects(), (std::vector<std::u16string>{u"二版の後", u"週次", u"  この回も"}));
}

// Every way the export writes a time, for a round trip in the zone the test sets.
constexpr const char* kEveryTimePath =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
    // No rule, exception dates in UTC: no series, however it looks.
    "BEGIN:VEVENT\r\nUID:exdate-utc@test\r\nDTSTART:20250101T100000Z\r\n"
    "DTEND:20250101T110000Z\r\nEXDATE:20250105T100000Z\r\nSUMMARY:除外だけ\r\nEND:VEVENT\r\n"
    // The same with a zone of its own.
    "BEGIN:VEVENT\r\nUID:exdate-zone@test\r\nDTSTART;TZID=Europe/Berlin:20250102T090000\r\n"
    "DTEND;TZID=Europe/Berlin:20250102T100000\r\n"
    "EXDATE;TZID=Europe/Berlin:20250106T090000\r\nEND:VEVENT\r\n"
    // A single event in UTC.
    "BEGIN:VEVENT\r\nUID:single@test\r\nDTSTART:20250103T233000Z\r\nDTEND:20250104T003000Z\r\n"
    "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER;VALUE=DATE-TIME:20250103T230000Z\r\n"
    "DESCRIPTION:a\r\nEND:VALARM\r\nEND:VEVENT\r\n"
    // A series in a zone with exceptions, extra dates and a moved occurrence.
    "BEGIN:VEVENT\r\nUID:series@test\r\nDTSTART;TZID=America/New_York:20250106T080000\r\n"
    "DTEND;TZID=America/New_York:20250106T090000\r\nRRULE:FREQ=DAILY;COUNT=5\r\n"
    "EXDATE:20250108T130000Z\r\nRDATE;TZID=America/New_York:20250112T080000\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:series@test\r\nRECURRENCE-ID:20250107T130000Z\r\n"
    "DTSTART:20250107T170000Z\r\nDTEND:20250107T180000Z\r\nEND:VEVENT\r\n"
    // A UTC series, and a floating one.
    "BEGIN:VEVENT\r\nUID:utc-series@test\r\nDTSTART:20250113T120000Z\r\n"
    "DTEND:20250113T130000Z\r\nRRULE:FREQ=WEEKLY;COUNT=3\r\nEXDATE:20250120T120000Z\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:floating-series@test\r\nDTSTART:20250114T070000\r\n"
    "RRULE:FREQ=DAILY;COUNT=2\r\nEND:VEVENT\r\n"
    // Tasks: due at a time, due on a day, done at a moment in UTC.
    "BEGIN:VTODO\r\nUID:due-time@test\r\nDUE:20250115T220000Z\r\nEND:VTODO\r\n"
    "BEGIN:VTODO\r\nUID:due-day@test\r\nDUE;VALUE=DATE:20250116\r\nEND:VTODO\r\n"
    "BEGIN:VTODO\r\nUID:done@test\r\nCOMPLETED:20250116T230000Z\r\nSTATUS:COMPLETED\r\n"
    "END:VTODO\r\n"
    "END:VCALENDAR\r\n";

// The records as a second store holds them, without what only says where they are stored.
template <typename Record>
std::vector<Record> WithoutOids(std::vector<Record> records) {
    for (Record& record : records) {
        record.oid = 0;
    }
    return records;
}

TEST_F(CalendarCommandsTest, EveryWrittenTimeKeepsItsInstantEastAndWestOfUtc) {
    for (const char* zone : {"Asia/Tokyo", "America/Los_Angeles"}) {
        SCOPED_TRACE(zone);
        setenv("TZ", zone, 1);
        tzset();
        TempFolder first;
        TempFolder second;
        const platform::DataHome firstHome(first.Path());
        const platform::DataHome secondHome(second.Path());
        const auto ics = first.Path() / "in.ics";
        WriteBytes(ics, kEveryTimePath);
        std::ostringstream out;
        std::ostringstream err;
        ASSERT_EQ(ImportCalendar(firstHome, ics.string(), {}, out, err), 0) << err.str();
        const auto exported = first.Path() / "out.ics";
        ASSERT_EQ(ExportCalendar(firstHome, exported.string()), 0);

        // A time with Z is UTC, whatever the item's shape and wherever the export ran.
        const std::string text = ReadBytes(exported);
        EXPECT_NE(text.find("DTSTART:20250101T100000Z\r\nDTEND:20250101T110000Z\r\n"
                            "EXDATE:20250105T100000Z\r\n"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("DTSTART:20250103T233000Z\r\nDTEND:20250104T003000Z\r\n"),
                  std::string::npos);
        EXPECT_NE(text.find("TRIGGER;VALUE=DATE-TIME:20250103T230000Z"), std::string::npos);
        EXPECT_NE(text.find("COMPLETED:20250116T230000Z"), std::string::npos);

        ASSERT_EQ(ImportCalendar(secondHome, exported.string(), {}, out, err), 0) << err.str();
        store::Application before;
        store::Application after;
        ASSERT_TRUE(before.LogOn(firstHome.StorePath()).ok());
        ASSERT_TRUE(after.LogOn(secondHome.StorePath()).ok());
        const auto appointments = before.AllAppointments();
        ASSERT_TRUE(appointments.ok());
        ASSERT_EQ(appointments->size(), 6u);
        const auto again = after.AllAppointments();
        ASSERT_TRUE(again.ok());
        ASSERT_EQ(again->size(), appointments->size());
        for (size_t i = 0; i < again->size(); ++i) {
            const calendar::AppointmentRecord& was = (*appointments)[i];
            const calendar::AppointmentRecord& is = (*again)[i];
            SCOPED_TRACE(was.uid);
            EXPECT_EQ(is.uid, was.uid);
            EXPECT_EQ(is.start, was.start);
            EXPECT_EQ(is.end, was.end);
            EXPECT_EQ(is.allDay, was.allDay);
            EXPECT_EQ(is.recurrence.rule, was.recurrence.rule);
            EXPECT_EQ(is.recurrence.recurs(), was.recurrence.recurs());
            if (was.recurrence.recurs()) {
                EXPECT_EQ(is.zone.tzid, was.zone.tzid);
                EXPECT_EQ(is.zoneStart, was.zoneStart);
                EXPECT_EQ(is.recurrence.exceptionDates, was.recurrence.exceptionDates);
                EXPECT_EQ(is.recurrence.extraDates, was.recurrence.extraDates);
                ASSERT_EQ(is.recurrence.changes.size(), was.recurrence.changes.size());
                for (size_t c = 0; c < is.recurrence.changes.size(); ++c) {
                    EXPECT_EQ(is.recurrence.changes[c].recurrenceId,
                              was.recurrence.changes[c].recurrenceId);
                    EXPECT_EQ(is.recurrence.changes[c].start, was.recurrence.changes[c].start);
                    EXPECT_EQ(is.recurrence.changes[c].end, was.recurrence.changes[c].end);
                }
            }
        }
        const auto tasks = before.AllTasks();
        const auto tasksAgain = after.AllTasks();
        ASSERT_TRUE(tasks.ok() && tasksAgain.ok());
        ASSERT_EQ(tasksAgain->size(), tasks->size());
        for (size_t i = 0; i < tasks->size(); ++i) {
            EXPECT_EQ((*tasksAgain)[i].dueDate, (*tasks)[i].dueDate) << (*tasks)[i].uid;
            EXPECT_EQ((*tasksAgain)[i].dateCompleted, (*tasks)[i].dateCompleted);
            EXPECT_EQ((*tasksAgain)[i].complete, (*tasks)[i].complete);
        }
    }
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
}

// A memo's handwriting: a width record, a colour record, two points and an end record.
const std::array<schedule::InkEntry, 5> kInk{{{-3, 2}, {-2, 1}, {10, 20}, {11, 22}, {-1, -1}}};

class CalendarInkTest : public CalendarCommandsTest {
protected:
    std::filesystem::path InkFolder(const platform::DataHome& home) {
        return home.DeviceRoot() / "My Documents";
    }

    // An appointment whose memo is the ink file `name` with a typed line after it, and a weekly
    // series whose second occurrence was moved and drawn on, both marked handwritten as the
    // planner marks what is drawn in it.
    void AddHandwrittenAppointments(const platform::DataHome& home, const std::string& name) {
        std::filesystem::create_directories(InkFolder(home));
        WriteBytes(InkFolder(home) / name, schedule::EncodeInkEntries(kInk));
        const auto ics = folder_.Path() / "handwritten.ics";
        WriteBytes(ics,
                   "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"
                   "BEGIN:VEVENT\r\nUID:ink@test\r\nDTSTART:20261207T090000\r\n"
                   "DTEND:20261207T100000\r\nSUMMARY:手書き\r\nDESCRIPTION:" +
                       name +
                       "\\nあとで清書\r\nEND:VEVENT\r\n"
                       "BEGIN:VEVENT\r\nUID:weekly@test\r\nDTSTART:20261201T150000\r\n"
                       "RRULE:FREQ=WEEKLY;COUNT=3\r\nSUMMARY:定例\r\nEND:VEVENT\r\n"
                       "BEGIN:VEVENT\r\nUID:weekly@test\r\n"
                       "RECURRENCE-ID:20261208T150000\r\nDTSTART:20261209T150000\r\n"
                       "SUMMARY:定例\r\nDESCRIPTION:" +
                       name + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
        std::ostringstream out;
        std::ostringstream err;
        ASSERT_EQ(ImportCalendar(home, ics.string(), {}, out, err), 0) << err.str();
        calendar::AppointmentRecord memo = StoredAppointment(home, "ink@test");
        memo.handwritten = true;
        calendar::AppointmentRecord series = StoredAppointment(home, "weekly@test");
        ASSERT_EQ(series.recurrence.changes.size(), 1u);
        series.recurrence.changes[0].handwritten = true;
        store::Application store;
        ASSERT_TRUE(store.LogOn(home.StorePath()).ok());
        ASSERT_TRUE(store.SaveByUid({{memo}, {series}}, {}).ok());
    }

    calendar::AppointmentRecord StoredAppointment(const platform::DataHome& home,
                                                  const std::string& uid) {
        store::Application store;
        EXPECT_TRUE(store.LogOn(home.StorePath()).ok());
        const auto appointments = store.AllAppointments();
        if (appointments.ok()) {
            for (const calendar::AppointmentRecord& record : *appointments) {
                if (record.uid == uid) {
                    return record;
                }
            }
        }
        ADD_FAILURE() << "no appointment " << uid;
        return {};
    }
};

TEST_F(CalendarInkTest, AnExportCarriesTheInkAndAnImportGivesItAFileOfItsOwn) {
    AddHandwrittenAppointments(home_, "7.dat");
    const auto exported = folder_.Path() / "backup.ics";
    ASSERT_EQ(ExportCalendar(home_, exported.string()), 0);
    const std::vector<std::string> lines = [&] {
        std::vector<std::string> unfolded;
        std::istringstream in(ReadBytes(exported));
        std::string line;
        while (std::getline(in, line)) {
            line.pop_back();  // its CR
            if (line.starts_with(" ")) {
                unfolded.back() += line.substr(1);
            } else {
                unfolded.push_back(line);
            }
        }
        return unfolded;
    }();
    const std::string attach =
        "ATTACH;ENCODING=BASE64;VALUE=BINARY;FMTTYPE=application/x-tessarinth-ink:"
        "/f///wIAAAD+////AQAAAAoAAAAUAAAACwAAABYAAAD//////////w==";
    // The appointment's and the moved occurrence's, each beside a memo other programs can read.
    EXPECT_EQ(std::count(lines.begin(), lines.end(), attach), 2);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "DESCRIPTION:あとで清書"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "DESCRIPTION:手書きメモ"), 1);
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(),
                      [](const std::string& line) { return line.find("7.dat") != line.npos; }),
        0);

    // Another planner whose ink files 1 and 2 are taken.
    TempFolder other;
    const platform::DataHome otherHome(other.Path());
    std::filesystem::create_directories(InkFolder(otherHome));
    WriteBytes(InkFolder(otherHome) / "1.dat", "someone else's");
    WriteBytes(InkFolder(otherHome) / "2.dat", "");
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(ImportCalendar(otherHome, exported.string(), {}, out, err), 0) << err.str();
    const calendar::AppointmentRecord memo = StoredAppointment(otherHome, "ink@test");
    EXPECT_EQ(memo.body, u"3.dat\r\nあとで清書");
    EXPECT_TRUE(memo.handwritten);
    const calendar::AppointmentRecord series = StoredAppointment(otherHome, "weekly@test");
    ASSERT_EQ(series.recurrence.changes.size(), 1u);
    EXPECT_EQ(series.recurrence.changes[0].body, u"4.dat");
    EXPECT_TRUE(series.recurrence.changes[0].handwritten);
    EXPECT_FALSE(series.handwritten);
    const std::string inkBytes = schedule::EncodeInkEntries(kInk);
    EXPECT_EQ(ReadBytes(InkFolder(otherHome) / "3.dat"), inkBytes);
    EXPECT_EQ(ReadBytes(InkFolder(otherHome) / "4.dat"), inkBytes);
    EXPECT_EQ(ReadBytes(InkFolder(otherHome) / "1.dat"), "someone else's");

    // The same backup again finds the drawings where they are: nothing new is written.
    out.str("");
    ASSERT_EQ(ImportCalendar(otherHome, exported.string(), {}, out, err), 0);
    EXPECT_NE(out.str().find(": 0 added, 0 updated, 2 unchanged; 0 skipped"), std::string::npos)
        << out.str();
    EXPECT_EQ(testing_support::ListFolder(InkFolder(otherHome)), "1.dat 2.dat 3.dat 4.dat");

    // And its export carries the same drawings.
    const auto exportedAgain = other.Path() / "again.ics";
    ASSERT_EQ(ExportCalendar(otherHome, exportedAgain.string()), 0);
    const auto reread = calendar::ParseICalendar(ReadBytes(exportedAgain));
    ASSERT_TRUE(reread.ok());
    ASSERT_EQ(reread->appointmentsInk.size(), 2u);
    ASSERT_TRUE(reread->appointmentsInk[0].item.has_value());
    EXPECT_EQ(reread->appointmentsInk[0].item->bytes, inkBytes);
    ASSERT_EQ(reread->appointmentsInk[1].changes.size(), 1u);
    EXPECT_EQ(reread->appointmentsInk[1].changes.begin()->second.bytes, inkBytes);
}

TEST_F(CalendarInkTest, ChangedHandwritingTakesANewFileAndTheOldOneGoes) {
    AddHandwrittenAppointments(home_, "7.dat");
    const auto exported = folder_.Path() / "backup.ics";
    ASSERT_EQ(ExportCalendar(home_, exported.string()), 0);
    std::string text = ReadBytes(exported);
    // Another drawing: the first point moved.
    const std::string before = "AQAAAAoAAAAU";
    const size_t at = text.find(before);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, before.size(), "AQAAAAsAAAAU");
    const auto changed = folder_.Path() / "changed.ics";
    WriteBytes(changed, text);
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(ImportCalendar(home_, changed.string(), {}, out, err), 0) << err.str();
    const calendar::AppointmentRecord memo = StoredAppointment(home_, "ink@test");
    EXPECT_EQ(memo.body, u"1.dat\r\nあとで清書");
    std::array<schedule::InkEntry, 5> moved = kInk;
    moved[2].x = 11;
    EXPECT_EQ(ReadBytes(InkFolder(home_) / "1.dat"), schedule::EncodeInkEntries(moved));
    // 7.dat is still the moved occurrence's memo, so it stays.
    EXPECT_EQ(testing_support::ListFolder(InkFolder(home_)), "1.dat 7.dat");
}

TEST_F(CalendarInkTest, AMemoThatOnlyReadsLikeAnInkFileNameStaysTextBothWays) {
    // This home's own drawing, and another program's event whose memo begins with its name.
    std::filesystem::create_directories(InkFolder(home_));
    WriteBytes(InkFolder(home_) / "1.dat", schedule::EncodeInkEntries(kInk));
    const auto ics = folder_.Path() / "other.ics";
    WriteBytes(ics,
               "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:look@test\r\n"
               "DTSTART:20261207T090000\r\nSUMMARY:ファイル確認\r\n"
               "DESCRIPTION:1.dat\\nplease look at that file\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(ImportCalendar(home_, ics.string(), {}, out, err), 0) << err.str();
    const calendar::AppointmentRecord stored = StoredAppointment(home_, "look@test");
    EXPECT_EQ(stored.body, u"1.dat\nplease look at that file");
    EXPECT_FALSE(stored.handwritten);

    const auto exported = folder_.Path() / "out.ics";
    ASSERT_EQ(ExportCalendar(home_, exported.string()), 0);
    const std::string text = ReadBytes(exported);
    EXPECT_NE(text.find("DESCRIPTION:1.dat\\nplease look at that file\r\n"), std::string::npos)
        << text;
    EXPECT_EQ(text.find("x-tessarinth-ink"), std::string::npos) << text;
    EXPECT_EQ(ReadBytes(InkFolder(home_) / "1.dat"), schedule::EncodeInkEntries(kInk));
}

TEST_F(CalendarInkTest, OurOwnHandwrittenMemoReadsBackWithItsTypedTextAndTheMark) {
    // As this planner writes one: the readable memo beside the ink, and as earlier versions did:
    // the ink file's name first.
    const std::string attach =
        "ATTACH;ENCODING=BASE64;VALUE=BINARY;FMTTYPE=application/x-tessarinth-ink:"
        "/f///wIAAAD+////AQAAAAoAAAAUAAAACwAAABYAAAD//////////w==\r\n";
    const auto ics = folder_.Path() / "ours.ics";
    WriteBytes(ics,
               "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"
               "BEGIN:VEVENT\r\nUID:drawn@test\r\nDTSTART:20261207T090000\r\n"
               "DESCRIPTION:手書きメモ\r\n" +
                   attach +
                   "END:VEVENT\r\n"
                   "BEGIN:VEVENT\r\nUID:added@test\r\nDTSTART:20261207T100000\r\n"
                   "DESCRIPTION:khal で追記\r\n" +
                   attach +
                   "END:VEVENT\r\n"
                   "BEGIN:VEVENT\r\nUID:older@test\r\nDTSTART:20261207T110000\r\n"
                   "DESCRIPTION:12.dat\\n前の版\r\n" +
                   attach + "END:VEVENT\r\nEND:VCALENDAR\r\n");
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(ImportCalendar(home_, ics.string(), {}, out, err), 0) << err.str();
    const calendar::AppointmentRecord drawn = StoredAppointment(home_, "drawn@test");
    EXPECT_EQ(drawn.body, u"1.dat");
    EXPECT_TRUE(drawn.handwritten);
    const calendar::AppointmentRecord added = StoredAppointment(home_, "added@test");
    EXPECT_EQ(added.body, u"2.dat\r\nkhal で追記");
    EXPECT_TRUE(added.handwritten);
    const calendar::AppointmentRecord older = StoredAppointment(home_, "older@test");
    EXPECT_EQ(older.body, u"3.dat\r\n前の版");
    EXPECT_TRUE(older.handwritten);
}

TEST_F(CalendarInkTest, HandwritingThatCannotBeStoredIsReportedAndTheAppointmentKept) {
    const auto ics = folder_.Path() / "odd.ics";
    // Three bytes are no ink record.
    WriteBytes(ics,
               "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:odd@test\r\n"
               "DTSTART:20261207T090000\r\nDESCRIPTION:5.dat\\n読める行\r\n"
               "ATTACH;ENCODING=BASE64;VALUE=BINARY;FMTTYPE=application/x-tessarinth-ink:"
               "AAAA\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(ImportCalendar(home_, ics.string(), {}, out, err), kSomeSkippedStatus);
    EXPECT_EQ(err.str(),
              "skipped: line 7: the handwriting of odd@test is not imported: the handwriting "
              "attached is not an ink file (whole 8-byte records, 1 to 2000 of them)\n");
    EXPECT_NE(out.str().find("; 1 skipped"), std::string::npos);
    // The memo no longer names a file it does not have, and is text.
    EXPECT_EQ(StoredAppointment(home_, "odd@test").body, u"読める行");
    EXPECT_FALSE(StoredAppointment(home_, "odd@test").handwritten);
}

TEST_F(CalendarInkTest, AFolderThatTakesNoInkKeepsTheAppointmentWithoutIt) {
    testing_support::WithoutRootPowers unprivileged;
    TempFolder folder;
    const platform::DataHome home(folder.Path());
    ASSERT_TRUE(home.EnsureFolders().ok());
    std::filesystem::create_directories(InkFolder(home));
    const auto ics = folder.Path() / "ink.ics";
    const std::string ink = schedule::EncodeInkEntries(kInk);
    WriteBytes(ics,
               "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:ink@test\r\n"
               "DTSTART:20261207T090000\r\nDESCRIPTION:5.dat\r\n"
               "ATTACH;ENCODING=BASE64;VALUE=BINARY;FMTTYPE=application/x-tessarinth-ink:"
               "/f///wIAAAD+////AQAAAAoAAAAUAAAACwAAABYAAAD//////////w=="
               "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    std::ostringstream out;
    std::ostringstream err;
    {
        testing_support::ReadOnlyFolder readOnly(InkFolder(home));
        if (!unprivileged.PermissionsApply()) {
            GTEST_SKIP() << "permissions do not apply to this process";
        }
        ASSERT_EQ(ImportCalendar(home, ics.string(), {}, out, err), kSomeSkippedStatus);
    }
    EXPECT_NE(err.str().find("skipped: line 7: the handwriting of ink@test is not imported: "),
              std::string::npos)
        << err.str();
    EXPECT_EQ(StoredAppointment(home, "ink@test").body, u"");
    EXPECT_EQ(testing_support::ListFolder(InkFolder(home)), "");
}

TEST_F(CalendarInkTest, InkFilesClaimedForAStoreWriteThatFailsGoAgain) {
    const std::string ink = schedule::EncodeInkEntries(kInk);
    store::Application store;
    ASSERT_TRUE(store.LogOn(home_.StorePath()).ok());
    {
        schedule::IncomingInkFiles files(home_, u"\\My Documents", store);
        auto memo = files.Store(u"9.dat\r\n下書き", u"", ink);
        ASSERT_TRUE(memo.ok()) << memo.error().message;
        EXPECT_EQ(*memo, u"1.dat\r\n下書き");
        EXPECT_EQ(ReadBytes(InkFolder(home_) / "1.dat"), ink);
        // No Keep: the store never came to name it.
    }
    EXPECT_FALSE(std::filesystem::exists(InkFolder(home_) / "1.dat"));
    {
        schedule::IncomingInkFiles files(home_, u"\\My Documents", store);
        auto memo = files.Store(u"typed first", u"", ink);
        ASSERT_TRUE(memo.ok());
        EXPECT_EQ(*memo, u"1.dat\r\ntyped first");
        files.Keep();
    }
    EXPECT_EQ(ReadBytes(InkFolder(home_) / "1.dat"), ink);
}

}  // namespace
}  // namespace cli
