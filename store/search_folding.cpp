#include "store/search_folding.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <array>
#include <cstdint>

namespace store {
namespace {

constexpr UChar32 kFirstFullWidthAscii = 0xFF01;  // ！
constexpr UChar32 kLastFullWidthAscii = 0xFF5E;   // ～
constexpr UChar32 kFullWidthOffset = 0xFEE0;
constexpr UChar32 kIdeographicSpace = 0x3000;

char FoldAsciiLower(UChar32 c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
}

bool NeedsFolding(UChar32 c) {
    return (c >= kFirstFullWidthAscii && c <= kLastFullWidthAscii) || c == kIdeographicSpace ||
           u_hasBinaryProperty(c, UCHAR_CHANGES_WHEN_CASEFOLDED) ||
           u_getIntPropertyValue(c, UCHAR_NFC_QUICK_CHECK) != UNORM_YES;
}

// Which characters of the Basic Multilingual Plane a fold changes (or may change, with their
// neighbours): looked up once rather than twice in ICU's tables for every character of every
// text a search reads. Nearly every character of a Japanese text is left as it is.
class BmpFoldMap {
public:
    BmpFoldMap() {
        for (UChar32 c = 0x80; c <= 0xFFFF; ++c) {
            if (NeedsFolding(c)) {
                bits_[static_cast<size_t>(c) / 64] |= uint64_t{1} << (c % 64);
            }
        }
    }
    bool Changes(UChar32 c) const {
        return c > 0xFFFF ? NeedsFolding(c)
                          : ((bits_[static_cast<size_t>(c) / 64] >> (c % 64)) & 1u) != 0;
    }

private:
    std::array<uint64_t, 0x10000 / 64> bits_{};
};

// Made once, on first use, and only read after that (from any thread).
const BmpFoldMap& FoldMap() {
    static const BmpFoldMap map;
    return map;
}

void AppendUtf8(std::string& out, UChar32 c) {
    char bytes[U8_MAX_LENGTH];
    int32_t length = 0;
    // Every character given is a whole scalar value and the buffer holds the longest.
    U8_APPEND_UNSAFE(bytes, length, c);
    out.append(bytes, static_cast<size_t>(length));
}

void AppendUtf16AsUtf8(std::string& out, const UChar* text, int32_t length) {
    for (int32_t i = 0; i < length;) {
        UChar32 c = 0;
        U16_NEXT_OR_FFFD(text, i, length, c);
        AppendUtf8(out, c);
    }
}

// Unicode full case folding of one character, which may give several.
void AppendCaseFolded(std::string& out, UChar32 c) {
    UChar source[U16_MAX_LENGTH];
    int32_t sourceLength = 0;
    U16_APPEND_UNSAFE(source, sourceLength, c);
    // No character folds to more than three.
    UChar folded[8];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        u_strFoldCase(folded, 8, source, sourceLength, U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status)) {
        AppendUtf8(out, c);
        return;
    }
    AppendUtf16AsUtf8(out, folded, length);
}

// The folded text in NFC, so that a precomposed letter and its decomposed spelling meet.
std::string Composed(const std::string& folded) {
    std::u16string wide;
    wide.reserve(folded.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(folded.data());
    const auto length = static_cast<int32_t>(folded.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c = 0;
        U8_NEXT_OR_FFFD(bytes, i, length, c);
        UChar units[U16_MAX_LENGTH];
        int32_t count = 0;
        U16_APPEND_UNSAFE(units, count, c);
        wide.append(reinterpret_cast<const char16_t*>(units), static_cast<size_t>(count));
    }
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status)) {
        return folded;
    }
    // Composition seldom lengthens a text (a few characters decompose for good); ICU says how
    // long the result is when the first try is too short.
    std::u16string composed(wide.size() + 16, u'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        status = U_ZERO_ERROR;
        const int32_t written = unorm2_normalize(nfc, reinterpret_cast<const UChar*>(wide.data()),
                                                 static_cast<int32_t>(wide.size()),
                                                 reinterpret_cast<UChar*>(composed.data()),
                                                 static_cast<int32_t>(composed.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            composed.resize(static_cast<size_t>(written));
            continue;
        }
        if (U_FAILURE(status)) {
            return folded;
        }
        std::string out;
        out.reserve(folded.size());
        AppendUtf16AsUtf8(out, reinterpret_cast<const UChar*>(composed.data()), written);
        return out;
    }
    return folded;
}

// Folds into `out` (cleared first).
void FoldInto(std::string& out, std::string_view utf8) {
    out.clear();
    out.reserve(utf8.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
    const auto length = static_cast<int32_t>(utf8.size());
    const BmpFoldMap& map = FoldMap();
    bool compose = false;
    for (int32_t i = 0; i < length;) {
        if (bytes[i] < 0x80) {
            out += FoldAsciiLower(bytes[i]);
            ++i;
            continue;
        }
        const int32_t start = i;
        UChar32 c = 0;
        U8_NEXT_OR_FFFD(bytes, i, length, c);
        if (!map.Changes(c)) {
            out.append(utf8.substr(static_cast<size_t>(start), static_cast<size_t>(i - start)));
        } else if (c >= kFirstFullWidthAscii && c <= kLastFullWidthAscii) {
            out += FoldAsciiLower(c - kFullWidthOffset);
        } else if (c == kIdeographicSpace) {
            out += ' ';
        } else {
            compose = compose || u_getIntPropertyValue(c, UCHAR_NFC_QUICK_CHECK) != UNORM_YES;
            if (u_hasBinaryProperty(c, UCHAR_CHANGES_WHEN_CASEFOLDED)) {
                AppendCaseFolded(out, c);
            } else {
                AppendUtf8(out, c);
            }
        }
    }
    if (compose) {
        out = Composed(out);
    }
}

}  // namespace

std::string FoldForSearch(std::string_view utf8) {
    std::string folded;
    FoldInto(folded, utf8);
    return folded;
}

bool HoldsFolded(std::string_view utf8, std::string_view foldedNeedle) {
    if (foldedNeedle.empty()) {
        return true;
    }
    // Searched once for every text of every item: the buffer is kept between calls.
    thread_local std::string folded;
    FoldInto(folded, utf8);
    return folded.find(foldedNeedle) != std::string::npos;
}

}  // namespace store
