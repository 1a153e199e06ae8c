#include "platform/text/unicode_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {
namespace {

// Japanese, an emoji outside the BMP, and the code points where UTF-8 lengths change.
const std::u16string kMixedUtf16 =
    u"予定表 \U0001F600 \u007F\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF";
const std::string kMixedUtf8 =
    "\xE4\xBA\x88\xE5\xAE\x9A\xE8\xA1\xA8 \xF0\x9F\x98\x80 "
    "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";

std::optional<size_t> BadByte(std::string_view text) {
    auto converted = Utf8ToUtf16(text);
    if (const auto* error = std::get_if<Utf8Error>(&converted)) {
        return error->byteOffset;
    }
    return std::nullopt;
}

TEST(UnicodeText, WellFormedTextConvertsBothWays) {
    EXPECT_EQ(Utf16ToUtf8(kMixedUtf16), kMixedUtf8);
    EXPECT_EQ(Utf16ToUtf8Lossy(kMixedUtf16), kMixedUtf8);
    EXPECT_EQ(std::get<std::u16string>(Utf8ToUtf16(kMixedUtf8)), kMixedUtf16);
    EXPECT_EQ(Utf8ToUtf16Lossy(kMixedUtf8), kMixedUtf16);
    EXPECT_TRUE(IsValidUtf8(kMixedUtf8));
    EXPECT_EQ(kMixedUtf16[4], char16_t{0xD83D});  // the emoji really is a surrogate pair
    EXPECT_EQ(Utf16ToUtf8(u""), "");
    EXPECT_EQ(std::get<std::u16string>(Utf8ToUtf16("")), u"");
    // Either side of the surrogate range is ordinary text.
    EXPECT_EQ(std::get<std::u16string>(Utf8ToUtf16("\xED\x9F\xBF\xEE\x80\x80")), u"\uD7FF\uE000");
}

TEST(UnicodeText, UnpairedSurrogatesAreRefusedOrReplaced) {
    const std::vector<std::pair<std::u16string, std::string>> cases = {
        {{u'a', 0xD800}, "a\xEF\xBF\xBD"},                           // high at the end
        {{0xD800, u'z'}, "\xEF\xBF\xBDz"},                           // high before a non-surrogate
        {{0xDC00}, "\xEF\xBF\xBD"},                                  // low alone
        {{0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD"},              // pair in the wrong order
        {{0xD800, 0xD83D, 0xDE00}, "\xEF\xBF\xBD\xF0\x9F\x98\x80"},  // a pair after a lone high
    };
    for (const auto& [text, lossy] : cases) {
        EXPECT_EQ(Utf16ToUtf8(text), std::nullopt) << lossy;
        EXPECT_EQ(Utf16ToUtf8Lossy(text), lossy);
    }
}

TEST(UnicodeText, MalformedUtf8GivesTheOffsetOfTheFirstBadSequence) {
    const std::vector<std::pair<std::string, size_t>> cases = {
        {"ab\x80", 2},                        // stray continuation byte
        {"a\xC0\xAF", 1},                     // overlong '/'
        {"\xE0\x80\xAF", 0},                  // overlong '/' in three bytes
        {"\xF0\x82\x82\xAC", 0},              // overlong U+20AC in four bytes
        {"x\xED\xA0\x80", 1},                 // U+D800
        {"\xED\xBF\xBF", 0},                  // U+DFFF
        {"\xF4\x90\x80\x80", 0},              // U+110000
        {"\xF7\xBF\xBF\xBF", 0},              // U+1FFFFF
        {"\xF8\x88\x80\x80\x80", 0},          // five-byte lead
        {"\xE4\xBA\x88\xE5\xAE", 3},          // cut short at the end
        {"\xE4\xBAz\xE4\xBA\x88", 0},         // cut short by an ASCII byte
        {"\xE4\xBA\x88\xF0\x9F\x98", 3},      // emoji missing its last byte
        {"\xE4\xBA\x88\xE5\xAE\x9A\xFF", 6},  // byte that never occurs
    };
    for (const auto& [text, offset] : cases) {
        EXPECT_EQ(BadByte(text), offset) << testing::PrintToString(text);
        EXPECT_FALSE(IsValidUtf8(text)) << testing::PrintToString(text);
    }
}

TEST(UnicodeText, LossyUtf8ReplacesEachBadByteAndGoesOn) {
    EXPECT_EQ(Utf8ToUtf16Lossy("a\xE4\xBAz"), u"a\uFFFD\uFFFDz");
    EXPECT_EQ(Utf8ToUtf16Lossy("\xC0\xAF\xF0\x9F\x98\x80"), u"\uFFFD\uFFFD\U0001F600");
    EXPECT_EQ(Utf8ToUtf16Lossy("\xED\xA0\x80\xE8\xA1\xA8"), u"\uFFFD\uFFFD\uFFFD表");
}

}  // namespace
}  // namespace platform
