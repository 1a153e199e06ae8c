#include "schedule/ink_entry.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace schedule {
namespace {

std::vector<std::byte> Bytes(std::initializer_list<unsigned> values) {
    std::vector<std::byte> bytes;
    for (unsigned value : values) {
        bytes.push_back(static_cast<std::byte>(value));
    }
    return bytes;
}

TEST(InkEntryTest, FileFormIsLittleEndianXThenY) {
    const std::array<InkEntry, 3> stroke{
        {{kInkWidthRecord, 2}, {0x01020304, 0x7FFFFFFF}, {-1, -1}}};
    const std::string encoded = EncodeInkEntries(stroke);
    const std::vector<std::byte> expected =
        Bytes({0xFD, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00, 0x04, 0x03, 0x02, 0x01,
               0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    ASSERT_EQ(encoded.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(static_cast<std::byte>(encoded[i]), expected[i]) << "byte " << i;
    }

    std::array<InkEntry, 3> decoded{};
    EXPECT_EQ(DecodeInkEntries(expected, decoded), 3u);
    EXPECT_EQ(decoded, stroke);
}

TEST(InkEntryTest, DecodingKeepsWholeRecordsAndStopsAtTheDestination) {
    // Two records and five bytes of a third.
    std::vector<std::byte> bytes =
        Bytes({1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 9, 9, 9, 9, 9});
    std::array<InkEntry, 4> many{};
    EXPECT_EQ(DecodeInkEntries(bytes, many), 2u);
    EXPECT_EQ(many[1], (InkEntry{3, 4}));
    EXPECT_EQ(many[2], (InkEntry{}));

    std::array<InkEntry, 1> one{};
    EXPECT_EQ(DecodeInkEntries(bytes, one), 1u);
    EXPECT_EQ(one[0], (InkEntry{1, 2}));

    EXPECT_EQ(DecodeInkEntries(std::span<const std::byte>(bytes.data(), 7), many), 0u);
}

TEST(InkEntryTest, KindsAndColours) {
    EXPECT_EQ(KindOfInkEntry({-3, 1}), InkEntryKind::Width);
    EXPECT_EQ(KindOfInkEntry({-2, 3}), InkEntryKind::Colour);
    EXPECT_EQ(KindOfInkEntry({-1, -1}), InkEntryKind::End);
    EXPECT_EQ(KindOfInkEntry({0, 0}), InkEntryKind::Point);
    EXPECT_EQ(KindOfInkEntry({-4, 0}), InkEntryKind::Unknown);

    EXPECT_EQ(InkColourOf(0), 0x000000u);
    EXPECT_EQ(InkColourOf(1), 0x0000FFu);  // red in the low byte
    EXPECT_EQ(InkColourOf(2), 0x00FF00u);
    EXPECT_EQ(InkColourOf(3), 0xFF0000u);
    EXPECT_EQ(InkColourOf(4), kInkBlack);
    EXPECT_EQ(InkColourOf(-1), kInkBlack);
}

}  // namespace
}  // namespace schedule
