#include "schedule/calendar_ink.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>

#include "calendar/handwritten_memo.h"
#include "platform/files/file_operations.h"
#include "schedule/ink_entry.h"
#include "schedule/ink_file.h"
#include "schedule/ink_file_writer.h"
#include "store/schedule_store.h"

namespace schedule {
namespace {

// How the editors write a memo's lines after its ink file's name.
constexpr std::u16string_view kMemoLineBreak = u"\r\n";

using calendar::AfterFirstMemoLine;
using calendar::FirstMemoLine;

// What follows the sender's ink file name, as earlier versions wrote it, or all of it when it
// names none.
std::u16string_view AfterInkName(std::u16string_view body) {
    return schedule::IsInkFileName(FirstMemoLine(body)) ? AfterFirstMemoLine(body) : body;
}

// The typed text of an incoming handwritten memo: nothing for the words that only say it is
// handwritten.
std::u16string_view IncomingText(std::u16string_view body) {
    const std::u16string_view text = AfterInkName(body);
    return text == calendar::kHandwrittenMemoText ? std::u16string_view() : text;
}

const calendar::OccurrenceChange* StoredChange(const calendar::AppointmentRecord& stored,
                                               double recurrenceIdLinear) {
    for (const calendar::OccurrenceChange& change : stored.recurrence.changes) {
        if (platform::DateToLinear(change.recurrenceId) == recurrenceIdLinear) {
            return &change;
        }
    }
    return nullptr;
}

std::u16string MemoWithInk(std::u16string_view inkName, std::u16string_view text) {
    std::u16string memo(inkName);
    if (!text.empty()) {
        memo += kMemoLineBreak;
        memo += text;
    }
    return memo;
}

bool HoldsBytes(const platform::DataHome& home, std::u16string_view dataFolder,
                std::u16string_view name, std::string_view bytes) {
    auto path = schedule::InkFilePath(home, dataFolder, name);
    if (!path) {
        return false;
    }
    auto held = platform::ReadWholeFile(*path, schedule::kMaxInkBytes);
    return held && *held == bytes;
}

}  // namespace

calendar::InkSource InkOfDataFolder(const platform::DataHome& home, std::u16string dataFolder) {
    return [&home, dataFolder = std::move(dataFolder)](std::u16string_view body) {
        return schedule::ReadInkBytes(home, dataFolder, FirstMemoLine(body));
    };
}

std::string CalendarTextWithInk(const platform::DataHome& home, std::u16string_view dataFolder,
                                const std::vector<calendar::AppointmentRecord>& appointments,
                                const std::vector<calendar::TaskRecord>& tasks,
                                const platform::Clock& clock) {
    return calendar::WriteICalendar(appointments, tasks, clock,
                                    InkOfDataFolder(home, std::u16string(dataFolder)));
}

platform::Result<ExportedCounts> WriteStoreCalendar(const platform::DataHome& home,
                                                    std::u16string_view dataFolder,
                                                    store::Application& store,
                                                    const platform::Clock& clock,
                                                    const std::filesystem::path& scratchFolder,
                                                    const CalendarPieceWriter& write) {
    // Items read from the store at a time, and bytes gathered before a write.
    constexpr size_t kPageItems = 500;
    constexpr size_t kWriteBytes = 256 * 1024;
    platform::Result<platform::ScratchFile> scratch = platform::ScratchFile::Create(scratchFolder);
    if (!scratch) {
        return scratch.error();
    }
    if (auto begun = store.BeginReads(); !begun) {
        return begun.error();
    }
    calendar::CalendarWriter writer(clock, InkOfDataFolder(home, std::u16string(dataFolder)));
    ExportedCounts counts;
    std::string pending;
    auto flush = [&](size_t atLeast) -> platform::Result<void> {
        if (pending.size() < atLeast) {
            return {};
        }
        platform::Result<void> written = scratch->Write(pending);
        pending.clear();
        return written;
    };
    platform::Result<void> read;
    for (int32_t after = 0; read.ok();) {
        auto page = store.AppointmentsAfter(after, kPageItems);
        if (!page) {
            read = page.error();
            break;
        }
        for (const calendar::AppointmentRecord& record : *page) {
            pending += writer.Event(record);
            after = record.oid;
        }
        counts.appointments += page->size();
        read = flush(kWriteBytes);
        if (page->size() < kPageItems) {
            break;
        }
    }
    for (int32_t after = 0; read.ok();) {
        auto page = store.TasksAfter(after, kPageItems);
        if (!page) {
            read = page.error();
            break;
        }
        for (const calendar::TaskRecord& record : *page) {
            pending += writer.Todo(record);
            after = record.oid;
        }
        counts.tasks += page->size();
        read = flush(kWriteBytes);
        if (page->size() < kPageItems) {
            break;
        }
    }
    store.EndReads();
    if (read.ok()) {
        read = flush(1);
    }
    if (read.ok()) {
        read = scratch->Rewind();
    }
    if (!read.ok()) {
        return read.error();
    }
    // The calendar's head and zones, then the items as they were written, then its end.
    if (auto written = write(calendar::CalendarWriter::Head() + writer.Zones()); !written) {
        return written.error();
    }
    std::string chunk(kWriteBytes, '\0');
    while (const size_t got = scratch->Read(chunk.data(), chunk.size())) {
        if (auto written = write(std::string_view(chunk.data(), got)); !written) {
            return written.error();
        }
    }
    if (auto status = scratch->Status(); !status) {
        return status.error();
    }
    if (auto written = write(calendar::CalendarWriter::Tail()); !written) {
        return written.error();
    }
    return counts;
}

std::u16string WithoutInkName(std::u16string_view body) {
    return std::u16string(AfterInkName(body));
}

IncomingInkFiles::IncomingInkFiles(const platform::DataHome& home, std::u16string dataFolder,
                                   const store::Application& store)
    : home_(home),
      dataFolder_(std::move(dataFolder)),
      store_(store),
      journal_(home_, dataFolder_) {}

IncomingInkFiles::~IncomingInkFiles() {
    if (kept_) {
        return;
    }
    for (const std::u16string& name : claimed_) {
        (void)schedule::DeleteInkFile(home_, dataFolder_, name);
    }
}

platform::Result<std::u16string> IncomingInkFiles::Store(std::u16string_view incomingBody,
                                                         std::u16string_view storedInkName,
                                                         std::string_view inkBytes) {
    if (auto whole = schedule::CheckInkBytes(inkBytes); !whole) {
        return whole.error();
    }
    const std::u16string_view text = IncomingText(incomingBody);
    const std::u16string_view storedName = storedInkName;
    const bool storedHasInk = schedule::IsInkFileName(storedName);
    if (storedHasInk && HoldsBytes(home_, dataFolder_, storedName, inkBytes)) {
        return MemoWithInk(storedName, text);
    }
    auto number = schedule::ClaimFreeInkNumber(home_, dataFolder_, store_, &journal_);
    if (!number) {
        return number.error();
    }
    const std::u16string name = schedule::InkFileName(*number);
    claimed_.push_back(name);
    auto written = schedule::WriteInkBytes(home_, dataFolder_, name, inkBytes);
    if (!written) {
        (void)schedule::DeleteInkFile(home_, dataFolder_, name);
        claimed_.pop_back();
        return written.error();
    }
    if (storedHasInk &&
        std::find(replaced_.begin(), replaced_.end(), storedName) == replaced_.end()) {
        replaced_.emplace_back(storedName);
        // Listed too: when the run dies between the store write and their deletion, the next
        // start deletes the ones no memo names any more. Unlisted, one would only stay unused.
        (void)journal_.Record(storedName);
    }
    return MemoWithInk(name, text);
}

void IncomingInkFiles::Settle(bool stored, const store::Application& store) {
    if (!stored) {
        return;
    }
    Keep();
    for (const std::u16string& name : replaced_) {
        const platform::Result<bool> named = store.IsInkFileNamedElsewhere(name, 0);
        if (named && !*named) {
            // Only names the planner writes are deleted (DeleteInkFile refuses any other).
            (void)DeleteInkFile(home_, dataFolder_, name);
        }
    }
}

void GiveCarriedInk(
    IncomingInkFiles& files, calendar::AppointmentRecord& record,
    const calendar::AppointmentInk& ink, const calendar::AppointmentRecord* stored,
    const std::function<void(const calendar::CarriedInk&, const platform::Error&)>& skipped) {
    auto give = [&](std::u16string& body, bool& handwritten, std::u16string_view storedInkName,
                    const calendar::CarriedInk& carried) {
        auto memo = files.Store(body, storedInkName, carried.bytes);
        if (memo) {
            body = std::move(*memo);
            handwritten = true;
            return;
        }
        skipped(carried, memo.error());
        body = WithoutInkName(body);
        handwritten = false;
    };
    if (ink.item) {
        give(record.body, record.handwritten,
             stored ? calendar::InkNameOf(stored->body, stored->handwritten) : u"", *ink.item);
    }
    for (calendar::OccurrenceChange& change : record.recurrence.changes) {
        const auto carried = ink.changes.find(platform::DateToLinear(change.recurrenceId));
        if (carried == ink.changes.end()) {
            continue;
        }
        const calendar::OccurrenceChange* storedChange =
            stored ? StoredChange(*stored, carried->first) : nullptr;
        give(
            change.body, change.handwritten,
            storedChange ? calendar::InkNameOf(storedChange->body, storedChange->handwritten) : u"",
            carried->second);
    }
}

}  // namespace schedule
