#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cli {

// Every text that comes from a calendar, a file or a server reaches the terminal with its control
// characters shown, never obeyed: a subject holding ESC ] 0 ; ... BEL would retitle the terminal,
// ESC [ 2 J clear it. C0 controls and DEL are shown as \x1b, C1 controls (U+0080 to U+009F,
// which some terminals obey as ESC and a letter) as \u009b.

// A text as one tab-separated field: UTF-8, with backslash, tab, CR and LF written as \\, \t,
// \r and \n so that every item stays on its line, and every other control character escaped.
std::string TsvField(std::u16string_view text);

// A text for one terminal line: UTF-8 with line breaks shown as " / ", tabs as spaces and every
// other control character escaped.
std::string OneLine(std::u16string_view text);
// Its width in a terminal (DisplayWidth of what OneLine shows).
size_t OneLineWidth(std::u16string_view text);

// UTF-8 text that may hold anything (a message quoting a file name, a UID, a server's words) as
// it may reach a terminal: every control character escaped (\n, \r, \t, \x1b, \u009b), bytes that
// are not UTF-8 as U+FFFD, nothing else changed.
std::string Escaped(std::string_view utf8);

// Columns a text takes in a terminal: East Asian wide characters (kana, kanji, full-width
// forms) two, combining marks none, everything else one.
size_t DisplayWidth(std::u16string_view text);

// The text in UTF-8, padded with spaces to `width` columns (a wider text is left as it is).
std::string PadToWidth(std::u16string_view text, size_t width);

}  // namespace cli
