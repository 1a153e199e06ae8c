#include "cli/terminal_text.h"

#include <array>
#include <utility>

#include "platform/text/unicode_text.h"

namespace cli {
namespace {

struct Range {
    char32_t first;
    char32_t last;
};

// Characters a terminal draws two columns wide (the wide and full-width classes that Japanese
// text uses, Hangul and the emoji blocks).
constexpr std::array<Range, 14> kWideRanges{{
    {0x1100, 0x115F},
    {0x2E80, 0x303E},
    {0x3041, 0x33FF},
    {0x3400, 0x4DBF},
    {0x4E00, 0x9FFF},
    {0xA000, 0xA4CF},
    {0xAC00, 0xD7A3},
    {0xF900, 0xFAFF},
    {0xFE30, 0xFE4F},
    {0xFF00, 0xFF60},
    {0xFFE0, 0xFFE6},
    {0x1F300, 0x1F64F},
    {0x1F900, 0x1F9FF},
    {0x20000, 0x3FFFD},
}};

// Marks drawn onto the character before them.
constexpr std::array<Range, 5> kZeroWidthRanges{{
    {0x0300, 0x036F},
    {0x200B, 0x200F},
    {0x3099, 0x309A},
    {0xFE00, 0xFE0F},
    {0xE0100, 0xE01EF},
}};

template <size_t N>
bool InRanges(const std::array<Range, N>& ranges, char32_t c) {
    for (const Range& range : ranges) {
        if (c >= range.first && c <= range.last) {
            return true;
        }
    }
    return false;
}

size_t WidthOf(char32_t c) {
    if (InRanges(kZeroWidthRanges, c)) {
        return 0;
    }
    return InRanges(kWideRanges, c) ? 2 : 1;
}

bool IsControl(char16_t unit) {
    return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F);
}

// "\x1b" for a C0 control or DEL, "\u009b" for a C1 control.
void AppendEscape(std::u16string& out, char16_t unit) {
    constexpr std::u16string_view kDigits = u"0123456789abcdef";
    out += unit < 0x80 ? u"\\x" : u"\\u00";
    out += kDigits[(unit >> 4) & 0xF];
    out += kDigits[unit & 0xF];
}

std::u16string OneLineUtf16(std::u16string_view text) {
    std::u16string line;
    line.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit == u'\r' || unit == u'\n') {
            if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            line += u" / ";
        } else if (unit == u'\t') {
            line += u' ';
        } else if (IsControl(unit)) {
            AppendEscape(line, unit);
        } else {
            line += unit;
        }
    }
    return line;
}

// Every control character escaped; a backslash too when `backslash` (a TSV field, which a
// script reads back).
std::u16string EscapedUtf16(std::u16string_view text, bool backslash) {
    std::u16string out;
    out.reserve(text.size());
    for (const char16_t unit : text) {
        switch (unit) {
            case u'\\':
                out += backslash ? u"\\\\" : u"\\";
                break;
            case u'\t':
                out += u"\\t";
                break;
            case u'\r':
                out += u"\\r";
                break;
            case u'\n':
                out += u"\\n";
                break;
            default:
                if (IsControl(unit)) {
                    AppendEscape(out, unit);
                } else {
                    out += unit;
                }
        }
    }
    return out;
}

}  // namespace

std::string TsvField(std::u16string_view text) {
    return platform::Utf16ToUtf8Lossy(EscapedUtf16(text, true));
}

std::string OneLine(std::u16string_view text) {
    return platform::Utf16ToUtf8Lossy(OneLineUtf16(text));
}

size_t OneLineWidth(std::u16string_view text) {
    return DisplayWidth(OneLineUtf16(text));
}

std::string Escaped(std::string_view utf8) {
    return platform::Utf16ToUtf8Lossy(EscapedUtf16(platform::Utf8ToUtf16Lossy(utf8), false));
}

size_t DisplayWidth(std::u16string_view text) {
    size_t width = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (platform::IsHighSurrogate(text[i]) && i + 1 < text.size() &&
            platform::IsLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((char32_t{text[i]} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00);
            ++i;
        }
        width += WidthOf(c);
    }
    return width;
}

std::string PadToWidth(std::u16string_view text, size_t width) {
    const std::u16string line = OneLineUtf16(text);
    std::string padded = platform::Utf16ToUtf8Lossy(line);
    const size_t used = DisplayWidth(line);
    if (used < width) {
        padded.append(width - used, ' ');
    }
    return padded;
}

}  // namespace cli
