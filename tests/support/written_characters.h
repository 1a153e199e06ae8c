#pragma once

#include <string>
#include <vector>

#include "platform/handwriting/character_recognizer.h"

namespace testing_support {

// The side of the input panel's writing box the characters below are written in.
inline constexpr int kWritingBoxSize = 80;

// One character as a person writes it in the writing box: strokes in the order and direction a
// hand draws them, each sampled along its length as a pen reports it.
struct WrittenCharacter {
    std::u16string character;
    std::vector<handwriting::Stroke> strokes;
};

// Kanji, hiragana, katakana and digits, read with every character the model knows (あ).
std::vector<WrittenCharacter> WrittenCharacters();

// Latin letters, read with Latin letters and digits only (英).
std::vector<WrittenCharacter> WrittenLatinLetters();

}  // namespace testing_support
