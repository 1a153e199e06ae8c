#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace editors {

// What the editor and the clipboard tell the user when a handwritten memo cannot be given an ink
// file because every number is taken, and when its file cannot be written (the data folder is
// not writable, its path too long, the disk full); the editor stays open and a paste creates
// nothing.
inline constexpr std::u16string_view kNoMoreRoomMessage = u"これ以上は追加できません";
inline constexpr std::u16string_view kNotSavedMessage = u"保存できませんでした";

// What the editor and the clipboard ask before a change, delete or cut of one occurrence of a
// series: Yes for this occurrence alone, No for the whole series, Cancel for neither.
inline constexpr std::u16string_view kSeriesCaption = u"繰り返し";
inline constexpr std::u16string_view kChangeOnlyThisQuestion = u"この予定だけ変更しますか？";
inline constexpr std::u16string_view kDeleteOnlyThisQuestion = u"この予定だけ削除しますか？";
inline constexpr std::u16string_view kCutOnlyThisQuestion = u"この予定だけ切り取りますか？";

enum class WriteStatus {
    Written,
    // No ink file number is free. Checked before anything is touched: nothing is stored and no
    // file is written or deleted. The caller shows kNoMoreRoomMessage.
    NoRoomForInk,
    // No item has the record's object id (deleted elsewhere); nothing was changed.
    ItemMissing,
    // The store could not be reached or refused the change; no ink file is left behind for it.
    StoreFailed,
    // The ink file could not be made or written (a full disk, a folder that is not writable or
    // whose path is too long for the day loader). The old file, if any, is whole and the store
    // was not touched. The caller shows kNotSavedMessage.
    InkFileFailed,
};

// The outcome of a store write. Only the two ink failures are for the user; the others are kept
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
