// A calendar read as a stream: its content lines from chunks of any size, and its items in
// batches, read as the whole file is read.
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "calendar/ical_extras.h"
#include "calendar/ical_lines.h"
#include "calendar/ical_stream.h"
#include "tests/calendar/ical_test_support.h"

namespace calendar {
namespace {

// The content lines a reader gives in chunks of `chunkBytes`, as "line: text" or
// "line! problem".
std::vector<std::string> LinesInChunks(std::string_view text, size_t chunkBytes) {
    TextSource source(text);
    ical::ContentLineReader reader(source, chunkBytes);
    std::vector<std::string> out;
    for (;;) {
        platform::Result<std::optional<ical::ContentLine>> line = reader.Next();
        if (!line.ok()) {
            out.push_back("error " + line.error().message);
            return out;
        }
        if (!line->has_value()) {
            return out;
        }
        const ical::ContentLine& read = **line;
        out.push_back(std::to_string(read.line) +
                      (read.problem.empty() ? ": " + read.text : "! " + read.problem));
    }
}

std::vector<std::string> LinesWhole(std::string_view text) {
    platform::Result<std::vector<ical::ContentLine>> lines = ical::ReadContentLines(text);
    if (!lines.ok()) {
        return {"error " + lines.error().message};
    }
    std::vector<std::string> out;
    for (const ical::ContentLine& read : *lines) {
        out.push_back(std::to_string(read.line) +
                      (read.problem.empty() ? ": " + read.text : "! " + read.problem));
    }
    return out;
}

TEST(ContentLineReader, ReadsEveryChunkSizeAsTheWholeTextIsRead) {
    const std::string texts[] = {
        // CRLF, a fold across any border, a byte-order mark, blank lines, no LF at the end.
        "\xEF\xBB\xBF"
        "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:会議の\r\n 続き\r\n\tと終わり\r\n\r\n"
        "DTSTART:20260105T100000Z\r\nEND:VEVENT\r\nEND:VCALENDAR",
        // LF only, a fold that lost its space, a control character, a line without ':'.
        "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDESCRIPTION:長い\nメモ\nX-A:\x01\nJUNK\nEND:VEVENT\n"
        "END:VCALENDAR\n",
        // Not a calendar: refused at its first readable line.
        " stray\nSUMMARY:x\nBEGIN:VCALENDAR\n",
        // Nothing readable at all.
        "\n\r\n",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        const std::vector<std::string> whole = LinesWhole(text);
        for (size_t chunk : {1, 2, 3, 7, 64, 1 << 20}) {
            const std::vector<std::string> streamed = LinesInChunks(text, chunk);
            if (whole.front().starts_with("error ")) {
                // Lines that cannot be read may come before the reader knows.
                EXPECT_EQ(streamed.back(), whole.front()) << "chunks of " << chunk;
            } else {
                EXPECT_EQ(streamed, whole) << "chunks of " << chunk;
            }
        }
    }
    EXPECT_EQ(LinesInChunks(texts[0], 5)[2], "3: SUMMARY:会議の続きと終わり");
    EXPECT_EQ(LinesInChunks(texts[2], 5).back(),
              "error line 2: not an iCalendar file: it must begin with BEGIN:VCALENDAR");
}

TEST(ContentLineReader, ALineLongerThanTheCeilingIsLetGoAndReadingGoesOn) {
    // One octet more than the longest line read.
    std::string text = "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nX-BIG:";
    text.append(ical::kMaxLineOctets - std::string_view("X-BIG:").size() + 1, 'x');
    text += "\r\nSUMMARY:後\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    const std::vector<std::string> lines = LinesInChunks(text, ical::kReadChunkBytes);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[2], "3! the line is longer than 32 MiB");
    EXPECT_EQ(lines[3], "4: SUMMARY:後");
    EXPECT_EQ(LinesInChunks(text, 1000), lines);
    // The longest line is read as it is.
    text.erase(40, 1);
    EXPECT_EQ(LinesInChunks(text, ical::kReadChunkBytes)[2].substr(0, 9), "3: X-BIG:");
}

// What a streamed reading handed on, batch by batch.
struct Streamed {
    std::vector<ImportedCalendar> batches;
    platform::Result<void> result;

    std::vector<std::string> Uids() const {
        std::vector<std::string> uids;
        for (const ImportedCalendar& batch : batches) {
            for (const AppointmentRecord& record : batch.appointments) {
                uids.push_back(record.uid);
            }
            for (const TaskRecord& record : batch.tasks) {
                uids.push_back(record.uid);
            }
        }
        return uids;
    }
    // The batches as one calendar, a later item of a UID in place of an earlier one.
    ImportedCalendar Joined() const {
        ImportedCalendar joined;
        std::map<std::string, size_t> events;
        std::map<std::string, size_t> todos;
        for (const ImportedCalendar& batch : batches) {
            for (size_t i = 0; i < batch.appointments.size(); ++i) {
                const auto [at, added] =
                    events.emplace(batch.appointments[i].uid, joined.appointments.size());
                if (added) {
                    joined.appointments.push_back(batch.appointments[i]);
                    joined.appointmentsGive.push_back(batch.appointmentsGive[i]);
                } else if (!IsEarlierVersion(batch.appointments[i].extraProperties,
                                             joined.appointments[at->second].extraProperties)) {
                    // As the store takes a later batch's item of the same UID.
                    joined.appointments[at->second] = batch.appointments[i];
                    joined.appointmentsGive[at->second] = batch.appointmentsGive[i];
                }
            }
            for (const TaskRecord& record : batch.tasks) {
                const auto [at, added] = todos.emplace(record.uid, joined.tasks.size());
                if (added) {
                    joined.tasks.push_back(record);
                } else if (!IsEarlierVersion(record.extraProperties,
                                             joined.tasks[at->second].extraProperties)) {
                    joined.tasks[at->second] = record;
                }
            }
            for (const auto& [from, to] :
                 {std::pair{&batch.skipped, &joined.skipped},
                  {&batch.dropped, &joined.dropped},
                  {&batch.changedOccurrences, &joined.changedOccurrences}}) {
                to->insert(to->end(), from->begin(), from->end());
            }
        }
        // In the order of their UIDs: a series comes once its changes are read.
        std::vector<size_t> order(joined.appointments.size());
        std::iota(order.begin(), order.end(), size_t{0});
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return joined.appointments[a].uid < joined.appointments[b].uid;
        });
        ImportedCalendar sorted = joined;
        for (size_t i = 0; i < order.size(); ++i) {
            sorted.appointments[i] = joined.appointments[order[i]];
            sorted.appointmentsGive[i] = joined.appointmentsGive[order[i]];
        }
        std::sort(sorted.tasks.begin(), sorted.tasks.end(),
                  [](const TaskRecord& a, const TaskRecord& b) { return a.uid < b.uid; });
        return sorted;
    }
};

// The same calendar read whole, its items in the order of their UIDs.
ImportedCalendar ImportSorted(std::string_view text) {
    Streamed whole;
    whole.batches.push_back(Import(text));
    return whole.Joined();
}

Streamed Stream(std::string_view text, size_t batchItems,
                ImportMode mode = ImportMode::TakeWhatCanBeTaken) {
    TextSource source(text);
    Streamed streamed;
    streamed.result = StreamICalendar(
        source, mode,
        [&](ImportedCalendar& batch) {
            streamed.batches.push_back(std::move(batch));
            return platform::Result<void>();
        },
        batchItems);
    return streamed;
}

std::string ReadSample(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(ICalTest, EverySampleReadsInBatchesAsAWholeFileReads) {
    size_t samples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TESSARINTH_CALENDAR_SAMPLES)) {
        if (entry.path().extension() != ".ics") {
            continue;
        }
        ++samples;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string text = ReadSample(entry.path());
        platform::Result<ImportedCalendar> whole = ParseICalendar(text);
        if (whole.ok()) {
            whole = ImportSorted(text);
        }
        for (size_t batchItems : {size_t{1}, size_t{2}, kStreamBatchItems}) {
            SCOPED_TRACE(batchItems);
            const Streamed streamed = Stream(text, batchItems);
            ASSERT_EQ(streamed.result.ok(), whole.ok());
            if (!whole.ok()) {
                EXPECT_EQ(streamed.result.error().message, whole.error().message);
                continue;
            }
            const ImportedCalendar joined = streamed.Joined();
            EXPECT_EQ(joined.appointments, whole->appointments);
            EXPECT_EQ(joined.tasks, whole->tasks);
            EXPECT_EQ(joined.appointmentsGive, whole->appointmentsGive);
            EXPECT_EQ(joined.dropped, whole->dropped);
            EXPECT_EQ(joined.changedOccurrences, whole->changedOccurrences);
            std::vector<std::string> skipped = joined.skipped;
            std::vector<std::string> wholeSkipped = whole->skipped;
            std::sort(skipped.begin(), skipped.end());
            std::sort(wholeSkipped.begin(), wholeSkipped.end());
            EXPECT_EQ(skipped, wholeSkipped);
        }
    }
    EXPECT_GE(samples, 20u);
}

// A series, its changes far after it (one before it too), and other items between them.
std::string SeriesWithChangesApart() {
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
    const auto change = [](int day, const char* subject) {
        return "BEGIN:VEVENT\r\nUID:weekly@test\r\nRECURRENCE-ID:202601" + std::to_string(day) +
               "T100000Z\r\nDTSTART:202601" + std::to_string(day) +
               "T140000Z\r\nSUMMARY:" + subject + "\r\nEND:VEVENT\r\n";
    };
    text += change(13, "二回目");
    text +=
        "BEGIN:VEVENT\r\nUID:weekly@test\r\nDTSTART:20260106T100000Z\r\n"
        "RRULE:FREQ=WEEKLY;COUNT=4\r\nSUMMARY:週次\r\nEND:VEVENT\r\n";
    for (int i = 0; i < 7; ++i) {
        text += "BEGIN:VEVENT\r\nUID:single-" + std::to_string(i) +
                "@test\r\nDTSTART:20260201T090000Z\r\nEND:VEVENT\r\n";
    }
    text += change(20, "三回目");
    return text + "END:VCALENDAR\r\n";
}

TEST_F(ICalTest, ASeriesWaitsForItsChangesAcrossBatches) {
    const Streamed streamed = Stream(SeriesWithChangesApart(), 2);
    ASSERT_TRUE(streamed.result.ok()) << streamed.result.error().message;
    // The single items go on in batches of two; the series only with its changes, at the end.
    ASSERT_GE(streamed.batches.size(), 4u);
    EXPECT_EQ(streamed.batches.front().appointments.size(), 2u);
    const std::vector<std::string> uids = streamed.Uids();
    ASSERT_EQ(uids.size(), 8u);
    EXPECT_EQ(uids.back(), "weekly@test");
    const AppointmentRecord& series = streamed.batches.back().appointments.back();
    ASSERT_EQ(series.recurrence.changes.size(), 2u);
    EXPECT_EQ(series.recurrence.changes[0].subject, u"二回目");
    EXPECT_EQ(series.recurrence.changes[1].subject, u"三回目");
    EXPECT_EQ(streamed.Joined().appointments, ImportSorted(SeriesWithChangesApart()).appointments);
}

TEST_F(ICalTest, ZonesAfterTheItemsThatUseThemAreRead) {
    const std::string zone =
        "BEGIN:VTIMEZONE\r\nTZID:Custom/Kolkata\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
        "TZOFFSETFROM:+0530\r\nTZOFFSETTO:+0530\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
    std::string events;
    for (int i = 0; i < 5; ++i) {
        events += "BEGIN:VEVENT\r\nUID:z" + std::to_string(i) +
                  "@test\r\nDTSTART;TZID=Custom/Kolkata:20260105T100000\r\nEND:VEVENT\r\n";
    }
    const std::string before =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + zone + events + "END:VCALENDAR\r\n";
    const std::string after =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + events + zone + "END:VCALENDAR\r\n";
    const Streamed streamed = Stream(after, 2);
    ASSERT_TRUE(streamed.result.ok());
    const ImportedCalendar joined = streamed.Joined();
    ASSERT_EQ(joined.appointments.size(), 5u);
    // 10:00 at +05:30 is 05:30 in Berlin (winter).
    EXPECT_EQ(joined.appointments[4].start, At(2026, 1, 5, 5, 30));
    EXPECT_EQ(joined.appointments, ImportSorted(before).appointments);
    for (const ImportedCalendar& batch : streamed.batches) {
        EXPECT_TRUE(batch.notes.empty()) << batch.notes.front();
    }
}

TEST_F(ICalTest, AComponentThatCannotBeReadIsSkippedOrRefusesTheWholeFile) {
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
    for (int i = 0; i < 6; ++i) {
        text += "BEGIN:VEVENT\r\nUID:e" + std::to_string(i) + "@test\r\n" +
                (i == 4 ? "" : "DTSTART:20260105T100000Z\r\n") + "END:VEVENT\r\n";
    }
    text += "END:VCALENDAR\r\nafter the end\r\n";
    const Streamed taken = Stream(text, 2);
    ASSERT_TRUE(taken.result.ok());
    EXPECT_EQ(taken.Uids(),
              (std::vector<std::string>{"e0@test", "e1@test", "e2@test", "e3@test", "e5@test"}));
    EXPECT_EQ(taken.Joined().skipped,
              (std::vector<std::string>{
                  "line 19: VEVENT has no DTSTART; the VEVENT of line 19 is not imported",
                  "line 27: text after END:VCALENDAR; not read"}));

    const Streamed strict = Stream(text, 2, ImportMode::AllOrNothing);
    ASSERT_FALSE(strict.result.ok());
    EXPECT_EQ(strict.result.error().message, "line 19: VEVENT has no DTSTART");
    // The batches before it were handed on: the taker lets them go.
    EXPECT_EQ(strict.Uids(),
              (std::vector<std::string>{"e0@test", "e1@test", "e2@test", "e3@test"}));
}

TEST_F(ICalTest, AComponentPastItsCeilingIsSkippedWithoutBeingHeld) {
    std::string text =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:big@test\r\n"
        "DTSTART:20260105T100000Z\r\n";
    const std::string line = "X-PART:" + std::string(1024 * 1024, 'p') + "\r\n";
    for (size_t held = 0; held <= ical::kMaxComponentOctets; held += line.size()) {
        text += line;
    }
    text +=
        "END:VEVENT\r\nBEGIN:VEVENT\r\nUID:small@test\r\nDTSTART:20260105T100000Z\r\n"
        "END:VEVENT\r\nEND:VCALENDAR\r\n";
    const Streamed streamed = Stream(text, kStreamBatchItems);
    ASSERT_TRUE(streamed.result.ok());
    EXPECT_EQ(streamed.Uids(), std::vector<std::string>{"small@test"});
    const std::vector<std::string> skipped = streamed.Joined().skipped;
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0].substr(skipped[0].find(": ")),
              ": BEGIN:VEVENT of line 3 holds more than 64 MiB; the VEVENT of line 3 is not "
              "imported");
}

TEST_F(ICalTest, AFileThatChangesBetweenItsReadingsIsRefused) {
    // A source whose second reading ends early, as a file cut short meanwhile.
    class Shrinking : public CalendarSource {
    public:
        explicit Shrinking(std::string text) : text_(std::move(text)) {}
        platform::Result<void> Rewind() override {
            ++readings_;
            inner_ = std::make_unique<TextSource>(
                readings_ == 1 ? std::string_view(text_)
                               : std::string_view(text_).substr(0, text_.size() / 2));
            return {};
        }
        size_t Read(char* buffer, size_t bytes) override { return inner_->Read(buffer, bytes); }
        platform::Result<void> Status() const override { return {}; }

    private:
        std::string text_;
        int readings_ = 0;
        std::unique_ptr<TextSource> inner_;
    };
    Shrinking source(SeriesWithChangesApart());
    const platform::Result<void> read =
        StreamICalendar(source, ImportMode::TakeWhatCanBeTaken,
                        [](ImportedCalendar&) { return platform::Result<void>(); });
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error().message, "the file changed while it was read");
}

}  // namespace
}  // namespace calendar
