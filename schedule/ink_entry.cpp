#include "schedule/ink_entry.h"

#include <array>

namespace schedule {
namespace {

constexpr std::array<InkColour, kInkColourCount> kInkColours{kInkBlack, kInkRed, kInkGreen,
                                                             kInkBlue};

int32_t ReadLittleEndian(const std::byte* bytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    }
    return static_cast<int32_t>(value);
}

void AppendLittleEndian(std::string& out, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
    }
}

}  // namespace

InkColour InkColourOf(int32_t colourIndex) {
    if (colourIndex < 0 || colourIndex >= kInkColourCount) {
        return kInkBlack;
    }
    return kInkColours[static_cast<size_t>(colourIndex)];
}

size_t DecodeInkEntries(std::span<const std::byte> bytes, std::span<InkEntry> destination) {
    size_t count = 0;
    while (count < destination.size() && (count + 1) * kInkEntryBytes <= bytes.size()) {
        const std::byte* record = bytes.data() + count * kInkEntryBytes;
        destination[count] = InkEntry{ReadLittleEndian(record), ReadLittleEndian(record + 4)};
        ++count;
    }
    return count;
}

std::string EncodeInkEntries(std::span<const InkEntry> entries) {
    std::string bytes;
    bytes.reserve(entries.size() * kInkEntryBytes);
    for (const InkEntry& entry : entries) {
        AppendLittleEndian(bytes, entry.x);
        AppendLittleEndian(bytes, entry.y);
    }
    return bytes;
}

}  // namespace schedule
