#include "cli/sync_ink.h"

#include "editors/ink_file_writer.h"

namespace cli {
namespace {

std::u16string_view FirstLineOf(std::u16string_view body) {
    return body.substr(0, body.find_first_of(u"\r\n"));
}

const std::u16string* StoredChangeBody(const pim::AppointmentRecord& stored,
                                       double recurrenceIdLinear) {
    for (const pim::OccurrenceChange& change : stored.recurrence.changes) {
        if (platform::DateToLinear(change.recurrenceId) == recurrenceIdLinear) {
            return &change.body;
        }
    }
    return nullptr;
}

}  // namespace

DataFolderInk::DataFolderInk(const platform::DataHome& home, std::u16string dataFolder)
    : home_(home),
      dataFolder_(std::move(dataFolder)),
      source_(InkOfDataFolder(home, dataFolder_)) {}

std::optional<std::string> DataFolderInk::InkOf(std::u16string_view body) {
    return source_(body);
}

void DataFolderInk::Receive(pim::AppointmentRecord& record, const pim::AppointmentInk& ink,
                            const pim::AppointmentRecord* stored, std::vector<std::string>& notes) {
    incoming_.emplace(home_, dataFolder_);
    auto give = [&](std::u16string& body, std::u16string_view storedBody,
                    const pim::CarriedInk& carried) {
        auto memo = incoming_->Store(body, storedBody, carried.bytes);
        if (memo) {
            body = std::move(*memo);
            return;
        }
        notes.push_back("the handwriting of " + record.uid +
                        " is not kept: " + memo.error().message);
        body = WithoutInkName(body);
    };
    if (ink.item) {
        give(record.body, stored ? std::u16string_view(stored->body) : u"", *ink.item);
    }
    for (pim::OccurrenceChange& change : record.recurrence.changes) {
        const auto carried = ink.changes.find(platform::DateToLinear(change.recurrenceId));
        if (carried == ink.changes.end()) {
            continue;
        }
        const std::u16string* storedBody =
            stored ? StoredChangeBody(*stored, carried->first) : nullptr;
        give(change.body, storedBody ? std::u16string_view(*storedBody) : u"", carried->second);
    }
}

void DataFolderInk::Finish(bool stored, const pim::Application& store) {
    RemoveLeftovers(store);
    if (!incoming_) {
        return;
    }
    if (stored) {
        incoming_->Keep();
        for (const std::u16string& name : incoming_->Replaced()) {
            DropUnused(name, store);
        }
    }
    // Files of a write that failed are deleted as this goes.
    incoming_.reset();
}

void DataFolderInk::Dropped(std::u16string_view body, const pim::Application& store) {
    RemoveLeftovers(store);
    DropUnused(FirstLineOf(body), store);
}

void DataFolderInk::RemoveLeftovers(const pim::Application& store) {
    if (!leftoversRemoved_) {
        leftoversRemoved_ = true;
        editors::RemoveUnstoredInkFiles(home_, store);
    }
}

void DataFolderInk::DropUnused(std::u16string_view firstLine, const pim::Application& store) {
    if (firstLine.empty()) {
        return;
    }
    const platform::Result<bool> named = store.IsFirstBodyLineElsewhere(firstLine, 0);
    if (named && !*named) {
        // Only names the planner writes are deleted; a typed memo's first line is left alone.
        (void)editors::DeleteInkFile(home_, dataFolder_, firstLine);
    }
}

}  // namespace cli
