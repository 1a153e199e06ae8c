#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace editors {

// What the editor and the clipboard tell the user when a handwritten memo cannot be given an ink
// file; the editor stays open and a paste creates nothing.
inline constexpr std::u16string_view kNoMoreRoomMessage = u"これ以上は追加できません";

enum class WriteStatus {
    Written,
    // No ink file number is free, or the data folder makes the ink file's path too long. Checked
    // before anything is touched: nothing is stored and no file is written or deleted. The
    // caller shows kNoMoreRoomMessage.
    NoRoomForInk,
    // No item has the record's object id (deleted elsewhere); nothing was changed.
    ItemMissing,
    // The store could not be reached or refused the change; no ink file is left behind for it.
    StoreFailed,
    // The ink file could not be written (a full disk, say). The old file, if any, is whole and
    // the store was not touched.
    InkFileFailed,
};

// The outcome of a store write. Only NoRoomForInk is for the user; the other failures are kept
// from the user as ever (the caller reloads and shows what the store holds) and are there for the
// command line to print.
struct [[nodiscard]] WriteResult {
    WriteStatus status = WriteStatus::Written;
    std::string detail;   // the store's or the file system's own words when something failed
    int32_t itemOid = 0;  // the object id of the item written or created

    bool ok() const { return status == WriteStatus::Written; }
    explicit operator bool() const { return ok(); }
};

}  // namespace editors
