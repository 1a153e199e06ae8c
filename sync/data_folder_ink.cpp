#include "sync/data_folder_ink.h"

#include "schedule/ink_file_writer.h"

namespace calendar_sync {

DataFolderInk::DataFolderInk(const platform::DataHome& home, std::u16string dataFolder,
                             const store::Application& store)
    : home_(home),
      dataFolder_(std::move(dataFolder)),
      store_(store),
      source_(schedule::InkOfDataFolder(home, dataFolder_)) {}

std::optional<std::string> DataFolderInk::InkOf(std::u16string_view body) {
    return source_(body);
}

void DataFolderInk::Receive(calendar::AppointmentRecord& record,
                            const calendar::AppointmentInk& ink,
                            const calendar::AppointmentRecord* stored,
                            std::vector<std::string>& notes) {
    incoming_.emplace(home_, dataFolder_, store_);
    schedule::GiveCarriedInk(
        *incoming_, record, ink, stored,
        [&](const calendar::CarriedInk&, const platform::Error& error) {
            notes.push_back("the handwriting of " + record.uid + " is not kept: " + error.message);
        });
}

void DataFolderInk::Finish(bool stored, const store::Application& store) {
    RemoveLeftovers(store);
    if (!incoming_) {
        return;
    }
    incoming_->Settle(stored, store);
    // Files of a write that failed are deleted as this goes.
    incoming_.reset();
}

void DataFolderInk::Dropped(std::u16string_view inkName, const store::Application& store) {
    RemoveLeftovers(store);
    DropUnused(inkName, store);
}

void DataFolderInk::RemoveLeftovers(const store::Application& store) {
    if (!leftoversRemoved_) {
        leftoversRemoved_ = true;
        schedule::RemoveUnstoredInkFiles(home_, store);
    }
}

void DataFolderInk::DropUnused(std::u16string_view inkName, const store::Application& store) {
    if (inkName.empty()) {
        return;
    }
    const platform::Result<bool> named = store.IsInkFileNamedElsewhere(inkName, 0);
    if (named && !*named) {
        // Only names the planner writes are deleted (DeleteInkFile refuses any other).
        (void)schedule::DeleteInkFile(home_, dataFolder_, inkName);
    }
}

}  // namespace calendar_sync
