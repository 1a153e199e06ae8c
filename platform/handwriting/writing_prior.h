#pragma once

#include <string_view>

namespace handwriting {

// How often a character is written in everyday Japanese, in broad bands, most often first. Kana
// come first, as any one of them is written far more often than any kanji; then the digits and
// the marks the planner's own model reads; then the jōyō kanji; then Latin letters, seldom in
// Japanese text (英 is there for them); then the rest of JIS level 1 and the jinmeiyō kanji; then
// every other character.
enum class WritingBand { Kana, Everyday, Joyo, Latin, LevelOne, Rare };

WritingBand WritingBandOf(std::u16string_view character);

// What a candidate's model score gives up for its band: a rarer character is put first only
// when the model prefers it clearly. Scores are the models' margins (about 1 for a character
// written plainly), so a character of a rarer band needs that much more to lead. The measures
// were chosen on the validation hand (tests/platform/handwriting/validation_hand.strokes): a kanji
// outside the jōyō list leads a jōyō one only by a clear margin, as Debian's model often puts a
// rare kanji of a like shape first.
float BandHandicap(WritingBand band);

// Characters a hand writes alike, one group a string (0 O o, 1 l I, ー 一 -, カ 力, ...): where one
// is read, the others are as likely, and only the person writing knows which was meant.
inline constexpr std::u16string_view kLookAlikeGroups[] = {
    u"0Oo",  u"1lI",  u"ー一-", u"カ力", u"ロ口", u"ニ二", u"ハ八", u"ト卜",
    u"タ夕", u"エ工", u"オ才",  u"ヘへ", u"リり", u"ヒ匕", u"ム厶", u"ノ丿",
    u"チ千", u"ミ三", u"ヌ又",  u"5S",   u"Cc",   u"Kk",   u"Ss",   u"Uu",
    u"Vv",   u"Ww",   u"Xx",    u"Zz",   u"Pp",   u"ベべ", u"ペぺ",
};

// The look-alike group the character is in, or nothing.
std::u16string_view LookAlikeGroupOf(std::u16string_view character);

// What kind of character one is, as far as telling characters written alike apart goes: the
// character typed before the one being written is most often of its own kind (ー after a
// katakana, 一 after a kanji, 0 after a digit).
enum class WrittenKind { Hiragana, Katakana, Kanji, Digit, Capital, SmallLetter, Other };

WrittenKind WrittenKindOf(std::u16string_view character);

}  // namespace handwriting
