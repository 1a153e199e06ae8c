#include "platform/handwriting/writing_prior.h"

#include <gtest/gtest.h>

namespace handwriting {
namespace {

TEST(WritingPriorTest, BandsFollowHowOftenACharacterIsWritten) {
    for (const std::u16string_view kana : {u"あ", u"ん", u"ぁ", u"ア", u"ヶ", u"ー", u"ヴ"}) {
        EXPECT_EQ(WritingBandOf(kana), WritingBand::Kana);
    }
    for (const std::u16string_view everyday : {u"0", u"9", u"、", u"。", u"！", u"@", u":"}) {
        EXPECT_EQ(WritingBandOf(everyday), WritingBand::Everyday);
    }
    for (const std::u16string_view latin : {u"A", u"z"}) {
        EXPECT_EQ(WritingBandOf(latin), WritingBand::Latin);
    }
    // Jōyō: the first and the last of the list, and one beyond the BMP.
    for (const std::u16string_view joyo : {u"一", u"会", u"議", u"友", u"湾", u"𠮟"}) {
        EXPECT_EQ(WritingBandOf(joyo), WritingBand::Joyo);
    }
    // JIS level 1 or jinmeiyō, not jōyō.
    for (const std::u16string_view levelOne : {u"鰯", u"伊", u"祐"}) {
        EXPECT_EQ(WritingBandOf(levelOne), WritingBand::LevelOne);
    }
    // The shapes once read before the characters meant: JIS level 2.
    for (const std::u16string_view rare : {u"囗", u"卩", u"匸", u""}) {
        EXPECT_EQ(WritingBandOf(rare), WritingBand::Rare);
    }
}

TEST(WritingPriorTest, ARarerBandGivesUpMore) {
    const WritingBand order[] = {WritingBand::Kana,  WritingBand::Everyday, WritingBand::Joyo,
                                 WritingBand::Latin, WritingBand::LevelOne, WritingBand::Rare};
    for (size_t i = 1; i < std::size(order); ++i) {
        EXPECT_LT(BandHandicap(order[i - 1]), BandHandicap(order[i])) << i;
    }
    EXPECT_EQ(BandHandicap(WritingBand::Kana), 0.0F);
}

TEST(WritingPriorTest, LookAlikesAreFoundFromAnyOfTheirGroup) {
    EXPECT_EQ(LookAlikeGroupOf(u"0"), u"0Oo");
    EXPECT_EQ(LookAlikeGroupOf(u"o"), u"0Oo");
    EXPECT_EQ(LookAlikeGroupOf(u"力"), u"カ力");
    EXPECT_EQ(LookAlikeGroupOf(u"ー"), u"ー一-");
    EXPECT_TRUE(LookAlikeGroupOf(u"会").empty());
    EXPECT_TRUE(LookAlikeGroupOf(u"00").empty());
}

TEST(WritingPriorTest, EachMemberOfALookAlikeGroupIsOfItsOwnKind) {
    EXPECT_EQ(WrittenKindOf(u"ー"), WrittenKind::Katakana);
    EXPECT_EQ(WrittenKindOf(u"ヴ"), WrittenKind::Katakana);
    EXPECT_EQ(WrittenKindOf(u"ゝ"), WrittenKind::Hiragana);
    EXPECT_EQ(WrittenKindOf(u"一"), WrittenKind::Kanji);
    EXPECT_EQ(WrittenKindOf(u"鿿"), WrittenKind::Kanji);
    EXPECT_EQ(WrittenKindOf(u"0"), WrittenKind::Digit);
    EXPECT_EQ(WrittenKindOf(u"9"), WrittenKind::Digit);
    EXPECT_EQ(WrittenKindOf(u"A"), WrittenKind::Capital);
    EXPECT_EQ(WrittenKindOf(u"Z"), WrittenKind::Capital);
    EXPECT_EQ(WrittenKindOf(u"a"), WrittenKind::SmallLetter);
    EXPECT_EQ(WrittenKindOf(u"z"), WrittenKind::SmallLetter);
    for (const std::u16string_view other : {u"-", u"、", u" ", u"@", u"", u"ab", u"・"}) {
        EXPECT_EQ(WrittenKindOf(other), WrittenKind::Other);
    }
    // Within a group no two share a kind, or the kind before could not choose among them.
    for (const std::u16string_view group : kLookAlikeGroups) {
        for (size_t i = 0; i < group.size(); ++i) {
            for (size_t j = i + 1; j < group.size(); ++j) {
                const WrittenKind kind = WrittenKindOf(group.substr(i, 1));
                EXPECT_TRUE(kind == WrittenKind::Other || kind != WrittenKindOf(group.substr(j, 1)))
                    << i << " " << j;
            }
        }
    }
}

}  // namespace
}  // namespace handwriting
