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
        } else {
            line += unit;
        }
    }
    return line;
}

}  // namespace

std::string TsvField(std::u16string_view text) {
    const std::string utf8 = platform::Utf16ToUtf8Lossy(text);
    std::string field;
    field.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
            case '\\':
                field += "\\\\";
                break;
            case '\t':
                field += "\\t";
                break;
            case '\r':
                field += "\\r";
                break;
            case '\n':
                field += "\\n";
                break;
            default:
                field += c;
        }
    }
    return field;
}

std::string OneLine(std::u16string_view text) {
    return platform::Utf16ToUtf8Lossy(OneLineUtf16(text));
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
