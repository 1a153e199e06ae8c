#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace schedule {

// One ink record: a point of a stroke, or one of the records that open and close strokes. The x
// value says which (see InkEntryKind). Files hold these as two little-endian 32-bit integers.
struct InkEntry {
    int32_t x = 0;
    int32_t y = 0;

    friend bool operator==(const InkEntry&, const InkEntry&) = default;
};
static_assert(sizeof(InkEntry) == 8, "ink records are 8 bytes in memory and in files");

inline constexpr size_t kInkEntryBytes = 8;
// The most records one memo holds: the pad's buffer, a day row's ink and an ink file alike.
inline constexpr size_t kMaxInkEntries = 2000;
inline constexpr size_t kMaxInkBytes = kMaxInkEntries * kInkEntryBytes;

// The x values that mark records other than points. A stroke is a width record (y = pen width
// 1..3), a colour record (y = colour index), one or more points (x, y >= 0) and an end record.
inline constexpr int32_t kInkWidthRecord = -3;
inline constexpr int32_t kInkColourRecord = -2;
inline constexpr int32_t kInkEndRecord = -1;

enum class InkEntryKind { Width, Colour, End, Point, Unknown };

constexpr InkEntryKind KindOfInkEntry(const InkEntry& entry) {
    switch (entry.x) {
        case kInkWidthRecord:
            return InkEntryKind::Width;
        case kInkColourRecord:
            return InkEntryKind::Colour;
        case kInkEndRecord:
            return InkEntryKind::End;
        default:
            return entry.x >= 0 ? InkEntryKind::Point : InkEntryKind::Unknown;
    }
}

// A colour as the drawing layer takes it: 0x00BBGGRR, red in the low byte.
using InkColour = uint32_t;

inline constexpr int32_t kInkColourCount = 4;
inline constexpr InkColour kInkBlack = 0x000000;
inline constexpr InkColour kInkRed = 0x0000FF;
inline constexpr InkColour kInkGreen = 0x00FF00;
inline constexpr InkColour kInkBlue = 0xFF0000;

// The colour of a colour record's index (0 black, 1 red, 2 green, 3 blue). A file may carry any
// index; one the pad never writes draws black.
InkColour InkColourOf(int32_t colourIndex);

// Whole records from file bytes into `destination`, as many as both hold; a record cut short at
// the end of the bytes is left out. Returns the number of records decoded.
size_t DecodeInkEntries(std::span<const std::byte> bytes, std::span<InkEntry> destination);

// The file form of the records: each as x then y, little-endian.
std::string EncodeInkEntries(std::span<const InkEntry> entries);

// DrawInk (a surface, the entries, a count, an origin and a scale) belongs here as well; it comes
// with the drawing surface.

}  // namespace schedule
