#pragma once

#include <optional>
#include <string>

#include "platform/files/data_home.h"
#include "schedule/calendar_ink.h"
#include "sync/ink_carrier.h"

namespace calendar_sync {

// The planner's ink files for the sync: a handwritten memo's file travels with its appointment,
// and handwriting that comes from the server gets ink files of its own in the data folder,
// numbered as the editors number them.
class DataFolderInk final : public calendar_sync::InkCarrier {
public:
    // `store` is the store the sync writes, whose memos' numbers are not free.
    DataFolderInk(const platform::DataHome& home, std::u16string dataFolder,
                  const store::Application& store);

    std::optional<std::string> InkOf(std::u16string_view body) override;
    void Receive(calendar::AppointmentRecord& record, const calendar::AppointmentInk& ink,
                 const calendar::AppointmentRecord* stored,
                 std::vector<std::string>& notes) override;
    void Finish(bool stored, const store::Application& store) override;
    void Dropped(std::u16string_view inkName, const store::Application& store) override;

private:
    // Deletes the ink file, unless another item's handwritten memo still names it.
    void DropUnused(std::u16string_view inkName, const store::Application& store);
    // Removes, once per sync, the ink files of an import or sync killed before its store write.
    void RemoveLeftovers(const store::Application& store);

    const platform::DataHome& home_;
    std::u16string dataFolder_;
    const store::Application& store_;
    calendar::InkSource source_;
    // The files written for the appointment being stored, until Finish.
    std::optional<schedule::IncomingInkFiles> incoming_;
    // Whether the files left by a killed run have been looked for (once, with the store at hand).
    bool leftoversRemoved_ = false;
};

}  // namespace calendar_sync
