// Two processes writing handwritten memos into one data home at once, as the planner and
// tessarinth-cli may: every memo must end with an ink file of its own.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <set>
#include <string>

#include "editors/appointment_writes.h"
#include "platform/text/unicode_text.h"
#include "schedule/ink_entry.h"
#include "tests/editors/editors_fixture.h"

namespace editors {
namespace {

constexpr int kWriters = 2;
constexpr int kMemosPerWriter = 30;

std::u16string SubjectOf(int writer, int memo) {
    const std::string text = "w" + std::to_string(writer) + "-" + std::to_string(memo);
    return std::u16string(text.begin(), text.end());
}

std::vector<InkEntry> InkOf(int writer, int memo) {
    return Strokes(1 + memo % 3, writer * 1000 + memo);
}

// One writer: a store session of its own, then one new handwritten appointment after another,
// through the same write the editor's OK and `tessarinth-cli add appointment --ink` use.
[[noreturn]] void WriteMemos(const platform::DataHome& home, int writer, int startSignal) {
    char go = 0;
    [[maybe_unused]] const ssize_t got = read(startSignal, &go, 1);  // EOF: both start now
    close(startSignal);
    settings::Settings settings;
    schedule::StoreSession session(home.StorePath());
    schedule::MonthCensusState census;
    const platform::FixedClock clock{platform::CalendarFields{2024, 5, 9, 4, 8, 0, 0, 0}};
    const StoreWriteContext context{session, home, settings, census, clock};
    for (int memo = 0; memo < kMemosPerWriter; ++memo) {
        auto record = std::make_unique<EditRecord>();
        auto pad = std::make_unique<controls::PadData>();
        FillForNewAppointment(*record, At(2024, 5, 10, 9));
        record->End = At(2024, 5, 10, 10);
        record->Subject = SubjectOf(writer, memo);
        const std::vector<InkEntry> ink = InkOf(writer, memo);
        std::copy(ink.begin(), ink.end(), pad->InkBuffer.begin());
        pad->InkCount = static_cast<int32_t>(ink.size());
        if (!CreateAppointment(context, *record, *pad, u"")) {
            _exit(1);
        }
    }
    _exit(0);
}

using InkTwoWritersTest = EditorsFixture;

TEST_F(InkTwoWritersTest, TwoProcessesAddingInkMemosAtOnceNeverShareAFile) {
    // No connection crosses a fork: SQLite's locks belong to the process that took them.
    reader_.LogOff();
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> writers;
    for (int writer = 0; writer < kWriters; ++writer) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(start[1]);
            WriteMemos(home_, writer, start[0]);
        }
        writers.push_back(pid);
    }
    close(start[0]);
    close(start[1]);  // the writers' reads return: they start together
    for (pid_t pid : writers) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer " << pid;
    }

    ASSERT_TRUE(reader_.LogOn(home_.StorePath()).ok());
    const auto stored = reader_.AllAppointments();
    ASSERT_TRUE(stored.ok());
    ASSERT_EQ(stored->size(), static_cast<size_t>(kWriters * kMemosPerWriter));
    std::set<std::u16string> files;
    for (const calendar::AppointmentRecord& record : *stored) {
        files.insert(record.body);
        const std::string subject = platform::Utf16ToUtf8Lossy(record.subject);
        const int writer = subject[1] - '0';
        const int memo = std::stoi(subject.substr(3));
        const std::string name = platform::Utf16ToUtf8Lossy(record.body);
        EXPECT_EQ(InkFile(name.c_str()), schedule::EncodeInkEntries(InkOf(writer, memo)))
            << subject << " names " << name;
    }
    EXPECT_EQ(files.size(), stored->size()) << "two memos name one file";
    // Nothing else is left in the folder: no temporaries, no claimed numbers without a memo.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(DataFolder()), {}),
              kWriters * kMemosPerWriter);
}

}  // namespace
}  // namespace editors
