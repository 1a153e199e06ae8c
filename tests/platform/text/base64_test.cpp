#include "platform/text/base64.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(Base64, EncodesTheStandardVectors) {
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [bytes, text] : vectors) {
        EXPECT_EQ(EncodeBase64(bytes), text);
        EXPECT_EQ(DecodeBase64(text), bytes);
    }
}

// Every byte value in every position of the last group comes back as it went.
TEST(Base64, EveryByteRoundTrips) {
    for (size_t length = 1; length <= 4; ++length) {
        for (int value = 0; value < 256; ++value) {
            std::string bytes(length, '\x5a');
            bytes[length - 1] = static_cast<char>(value);
            bytes[0] = static_cast<char>(255 - value);
            const std::string text = EncodeBase64(bytes);
            ASSERT_EQ(text.size() % 4, 0u);
            ASSERT_EQ(DecodeBase64(text), bytes) << text;
        }
    }
}

TEST(Base64, ReadsUnpaddedTextAndRefusesTheRest) {
    EXPECT_EQ(DecodeBase64("Zg"), "f");
    EXPECT_EQ(DecodeBase64("Zm8"), "fo");
    for (const char* bad :
         {"Z", "Zg=", "Z===", "Zg==Zg==", "Zm9v YmFy", "Zm9v\r\nYmFy", "Zm9v-_", "=Zm9", "Zm9vY"}) {
        EXPECT_EQ(DecodeBase64(bad), std::nullopt) << bad;
    }
}

}  // namespace
}  // namespace platform
