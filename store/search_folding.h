#pragma once

#include <string>
#include <string_view>

// How a search compares texts. Latin letters match without regard to case or width: the
// full-width forms of ASCII (Ａ, ｂ, ３, ＠) and the ideographic space read as their ASCII
// counterparts, and every letter is case-folded (Unicode full case folding, so "Straße" and
// "STRASSE" meet); a text and its canonically equivalent spelling (é precomposed or as e and a
// combining accent) read the same. Kana and kanji stay as they were typed: hiragana do not find
// katakana, half-width katakana do not find full-width ones.
namespace store {

// The text (UTF-8) as a search compares it; bytes that are not UTF-8 read as U+FFFD.
std::string FoldForSearch(std::string_view utf8);

// Whether the text (UTF-8), folded, holds `foldedNeedle` (a FoldForSearch result). An empty
// needle is held by every text.
bool HoldsFolded(std::string_view utf8, std::string_view foldedNeedle);

}  // namespace store
