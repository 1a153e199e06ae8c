#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cli {

// A text as one tab-separated field: UTF-8, with backslash, tab, CR and LF written as \\, \t,
// \r and \n so that every item stays on its line.
std::string TsvField(std::u16string_view text);

// A text for one terminal line: UTF-8 with line breaks shown as " / " and tabs as spaces.
std::string OneLine(std::u16string_view text);

// Columns a text takes in a terminal: East Asian wide characters (kana, kanji, full-width
// forms) two, combining marks none, everything else one.
size_t DisplayWidth(std::u16string_view text);

// The text in UTF-8, padded with spaces to `width` columns (a wider text is left as it is).
std::string PadToWidth(std::u16string_view text, size_t width);

}  // namespace cli
