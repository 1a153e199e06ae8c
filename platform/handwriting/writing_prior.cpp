#include "platform/handwriting/writing_prior.h"

#include <string>

namespace handwriting {
namespace {

#include "platform/handwriting/everyday_kanji.inc"

bool IsKana(char16_t unit) {
    // Hiragana with their marks, and katakana with the long vowel mark.
    return (unit >= u'\u3041' && unit <= u'\u309E') || (unit >= u'\u30A1' && unit <= u'\u30FE');
}

// The marks and the Latin set the planner's model reads, in both widths.
constexpr std::u16string_view kEverydayMarks = u"、。・！？（）@-/:!?()";

bool IsLatinLetter(char16_t unit) {
    return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z');
}

}  // namespace

WritingBand WritingBandOf(std::u16string_view character) {
    if (character.empty()) {
        return WritingBand::Rare;
    }
    if (character.size() == 1) {
        const char16_t unit = character.front();
        if (IsKana(unit)) {
            return WritingBand::Kana;
        }
        if ((unit >= u'0' && unit <= u'9') ||
            kEverydayMarks.find(unit) != std::u16string_view::npos) {
            return WritingBand::Everyday;
        }
        if (IsLatinLetter(unit)) {
            return WritingBand::Latin;
        }
    }
    if (kJoyoKanji.find(character) != std::u16string_view::npos) {
        return WritingBand::Joyo;
    }
    if (kLevelOneKanji.find(character) != std::u16string_view::npos) {
        return WritingBand::LevelOne;
    }
    return WritingBand::Rare;
}

float BandHandicap(WritingBand band) {
    switch (band) {
        case WritingBand::Kana:
            return 0.0F;
        case WritingBand::Everyday:
            return 0.05F;
        case WritingBand::Joyo:
            return 0.2F;
        case WritingBand::Latin:
            return 0.25F;
        case WritingBand::LevelOne:
            return 1.0F;
        case WritingBand::Rare:
            break;
    }
    return 1.5F;
}

}  // namespace handwriting

namespace handwriting {

std::u16string_view LookAlikeGroupOf(std::u16string_view character) {
    if (character.size() != 1) {
        return {};
    }
    for (const std::u16string_view group : kLookAlikeGroups) {
        if (group.find(character.front()) != std::u16string_view::npos) {
            return group;
        }
    }
    return {};
}

WrittenKind WrittenKindOf(std::u16string_view character) {
    if (character.size() != 1) {
        return WrittenKind::Other;
    }
    const char16_t unit = character.front();
    if (unit >= u'\u3041' && unit <= u'\u309F') {
        return WrittenKind::Hiragana;
    }
    // The middle dot ・ parts words of any kind.
    if (unit >= u'\u30A1' && unit <= u'\u30FE' && unit != u'・') {
        return WrittenKind::Katakana;
    }
    if ((unit >= u'\u4E00' && unit <= u'\u9FFF') || (unit >= u'\u3400' && unit <= u'\u4DBF')) {
        return WrittenKind::Kanji;
    }
    if (unit >= u'0' && unit <= u'9') {
        return WrittenKind::Digit;
    }
    if (unit >= u'A' && unit <= u'Z') {
        return WrittenKind::Capital;
    }
    if (unit >= u'a' && unit <= u'z') {
        return WrittenKind::SmallLetter;
    }
    return WrittenKind::Other;
}

}  // namespace handwriting
