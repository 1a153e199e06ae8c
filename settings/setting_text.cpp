#include "settings/setting_text.h"

#include <charconv>
#include <cstdio>
#include <utility>
#include <variant>

#include "platform/text/unicode_text.h"

namespace settings {
namespace {

using platform::MakeError;
using platform::Result;

const SettingField* FindField(std::string_view name) {
    for (const SettingField& field : kLoadOrder) {
        if (field.name == name) {
            return &field;
        }
    }
    return nullptr;
}

template <typename Number>
std::optional<Number> ParseWhole(std::string_view text, int base) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc{} || stop != end) {
        return std::nullopt;
    }
    return value;
}

// Decimal, or hex after "0x".
std::optional<uint32_t> ParseUnsigned(std::string_view text) {
    if (text.starts_with("0x") || text.starts_with("0X")) {
        return ParseWhole<uint32_t>(text.substr(2), 16);
    }
    return ParseWhole<uint32_t>(text, 10);
}

std::optional<int32_t> ParseFlag(std::string_view text) {
    if (text.starts_with("0x") || text.starts_with("0X")) {
        const std::optional<uint32_t> bits = ParseUnsigned(text);
        return bits ? std::optional<int32_t>(static_cast<int32_t>(*bits)) : std::nullopt;
    }
    return ParseWhole<int32_t>(text, 10);
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

}  // namespace

std::array<std::string_view, kSettingCount> SettingNames() {
    std::array<std::string_view, kSettingCount> names;
    for (size_t i = 0; i < kSettingCount; ++i) {
        names[i] = kLoadOrder[i].name;
    }
    return names;
}

std::optional<std::string> FormatSetting(const Settings& settings, std::string_view name) {
    const SettingField* field = FindField(name);
    if (field == nullptr) {
        return std::nullopt;
    }
    if (const auto* text = std::get_if<TextMember>(&field->member)) {
        return platform::Utf16ToUtf8Lossy(settings.*(*text));
    }
    if (const auto* colour = std::get_if<ColourMember>(&field->member)) {
        char formatted[16];
        std::snprintf(formatted, sizeof formatted, "0x%06X", unsigned{settings.*(*colour)});
        return std::string(formatted);
    }
    return std::to_string(settings.*std::get<FlagMember>(field->member));
}

Result<void> AssignSetting(Settings& settings, std::string_view name, std::string_view text) {
    const SettingField* field = FindField(name);
    if (field == nullptr) {
        return MakeError("unknown setting " + std::string(name));
    }
    if (const auto* textMember = std::get_if<TextMember>(&field->member)) {
        auto converted = platform::Utf8ToUtf16(text);
        auto* decoded = std::get_if<std::u16string>(&converted);
        if (decoded == nullptr) {
            return MakeError(std::string(name) + " must be UTF-8 text");
        }
        if (decoded->size() >= kTextCapacity) {
            return MakeError(std::string(name) + " holds at most " +
                             std::to_string(kTextCapacity - 1) + " characters");
        }
        settings.*(*textMember) = std::move(*decoded);
        return {};
    }
    if (const auto* colour = std::get_if<ColourMember>(&field->member)) {
        const std::optional<uint32_t> value = ParseUnsigned(text);
        if (!value) {
            return MakeError(std::string(name) + " needs a 32-bit colour such as 0xFF00FF, not " +
                             Quoted(text));
        }
        settings.*(*colour) = *value;
        return {};
    }
    const std::optional<int32_t> flag = ParseFlag(text);
    if (flag && &Settings::SyncMinutes == std::get<FlagMember>(field->member) &&
        (*flag < 0 || *flag > kLongestSyncMinutes)) {
        return MakeError(std::string(name) + " takes 0 (no sync by itself) to " +
                         std::to_string(kLongestSyncMinutes) + " minutes, not " + Quoted(text));
    }
    if (!flag) {
        return MakeError(std::string(name) + " needs a 32-bit whole number such as 0 or 1, not " +
                         Quoted(text));
    }
    settings.*std::get<FlagMember>(field->member) = *flag;
    return {};
}

}  // namespace settings
