#include "platform/text/base64.h"

#include <array>
#include <cstdint>

namespace platform {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPadding = '=';
constexpr int8_t kNotInAlphabet = -1;

constexpr std::array<int8_t, 256> MakeDecodeTable() {
    std::array<int8_t, 256> table{};
    table.fill(kNotInAlphabet);
    for (size_t value = 0; value < kAlphabet.size(); ++value) {
        table[static_cast<unsigned char>(kAlphabet[value])] = static_cast<int8_t>(value);
    }
    return table;
}

constexpr std::array<int8_t, 256> kDecodeTable = MakeDecodeTable();

}  // namespace

std::string EncodeBase64(std::string_view bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t at = 0; at < bytes.size(); at += 3) {
        const size_t count = std::min<size_t>(3, bytes.size() - at);
        uint32_t group = 0;
        for (size_t k = 0; k < 3; ++k) {
            group = (group << 8) | (k < count ? static_cast<unsigned char>(bytes[at + k]) : 0u);
        }
        for (size_t k = 0; k < 4; ++k) {
            text += k <= count ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : kPadding;
        }
    }
    return text;
}

std::optional<std::string> DecodeBase64(std::string_view text) {
    size_t length = text.size();
    if (length % 4 == 0) {
        // Up to two padding characters end the last group.
        for (int padding = 0; padding < 2 && length > 0 && text[length - 1] == kPadding;
             ++padding) {
            --length;
        }
    }
    if (length % 4 == 1) {
        return std::nullopt;  // a lone character cannot hold a whole byte
    }
    std::string bytes;
    bytes.reserve(length / 4 * 3 + 2);
    uint32_t group = 0;
    int bits = 0;
    for (size_t at = 0; at < length; ++at) {
        const int8_t value = kDecodeTable[static_cast<unsigned char>(text[at])];
        if (value == kNotInAlphabet) {
            return std::nullopt;
        }
        group = (group << 6) | static_cast<uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((group >> bits) & 0xFF);
        }
    }
    return bytes;
}

}  // namespace platform
