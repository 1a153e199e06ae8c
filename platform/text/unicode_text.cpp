#include "platform/text/unicode_text.h"

namespace platform {
namespace {

constexpr char32_t kMaxCodePoint = 0x10FFFF;
constexpr char32_t kFirstSupplementary = 0x10000;
constexpr char32_t kFirstSurrogate = 0xD800;
constexpr char32_t kLastSurrogate = 0xDFFF;

struct Decoded {
    char32_t codePoint = 0;
    size_t length = 0;  // 0: no well-formed character starts here
};

// One UTF-8 sequence at `at`, which must lie inside the text.
Decoded DecodeUtf8(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return {lead, 1};
    }
    size_t length = 0;
    char32_t codePoint = 0;
    char32_t smallest = 0;  // anything below takes fewer bytes: an overlong form
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        codePoint = lead & 0x1F;
        smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        codePoint = lead & 0x0F;
        smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        codePoint = lead & 0x07;
        smallest = kFirstSupplementary;
    } else {
        return {};
    }
    if (text.size() - at < length) {
        return {};
    }
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) {
            return {};
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < smallest || codePoint > kMaxCodePoint ||
        (codePoint >= kFirstSurrogate && codePoint <= kLastSurrogate)) {
        return {};
    }
    return {codePoint, length};
}

// One code point at `at`, a surrogate pair counting as one; a lone surrogate has length 0.
Decoded DecodeUtf16(std::u16string_view text, size_t at) {
    const char16_t unit = text[at];
    if (IsHighSurrogate(unit) && at + 1 < text.size() && IsLowSurrogate(text[at + 1])) {
        return {kFirstSupplementary + ((char32_t{unit} - 0xD800) << 10) + (text[at + 1] - 0xDC00),
                2};
    }
    if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
        return {};
    }
    return {unit, 1};
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < kFirstSupplementary) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// Writes one code point at `to` and says how many units it took.
size_t WriteUtf16(char16_t* to, char32_t codePoint) {
    if (codePoint >= kFirstSupplementary) {
        const char32_t offset = codePoint - kFirstSupplementary;
        to[0] = static_cast<char16_t>(0xD800 + (offset >> 10));
        to[1] = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
        return 2;
    }
    to[0] = static_cast<char16_t>(codePoint);
    return 1;
}

void AppendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint >= kFirstSupplementary) {
        const char32_t offset = codePoint - kFirstSupplementary;
        out += static_cast<char16_t>(0xD800 + (offset >> 10));
        out += static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
    } else {
        out += static_cast<char16_t>(codePoint);
    }
}

}  // namespace

std::optional<std::string> Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const Decoded decoded = DecodeUtf16(text, at);
        if (decoded.length == 0) {
            return std::nullopt;
        }
        AppendUtf8(out, decoded.codePoint);
        at += decoded.length;
    }
    return out;
}

std::string Utf16ToUtf8Lossy(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        Decoded decoded = DecodeUtf16(text, at);
        if (decoded.length == 0) {
            decoded = {kReplacementCharacter, 1};
        }
        AppendUtf8(out, decoded.codePoint);
        at += decoded.length;
    }
    return out;
}

std::variant<std::u16string, Utf8Error> Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const Decoded decoded = DecodeUtf8(text, at);
        if (decoded.length == 0) {
            return Utf8Error{at};
        }
        AppendUtf16(out, decoded.codePoint);
        at += decoded.length;
    }
    return out;
}

std::u16string Utf8ToUtf16Lossy(std::string_view text) {
    // No UTF-8 sequence gives more UTF-16 units than it has bytes, so the text's length is
    // room enough; ASCII, the bulk of most texts, is copied unit for byte.
    std::u16string out(text.size(), u'\0');
    size_t written = 0;
    for (size_t at = 0; at < text.size();) {
        if (static_cast<unsigned char>(text[at]) < 0x80) {
            out[written++] = static_cast<char16_t>(text[at++]);
            continue;
        }
        Decoded decoded = DecodeUtf8(text, at);
        if (decoded.length == 0) {
            decoded = {kReplacementCharacter, 1};
        }
        written += WriteUtf16(out.data() + written, decoded.codePoint);
        at += decoded.length;
    }
    out.resize(written);
    return out;
}

bool IsValidUtf8(std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        const Decoded decoded = DecodeUtf8(text, at);
        if (decoded.length == 0) {
            return false;
        }
        at += decoded.length;
    }
    return true;
}

}  // namespace platform
