#include "platform/files/device_path.h"

namespace platform {
namespace {

bool IsSeparator(char16_t unit) {
    return unit == u'\\' || unit == u'/';
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
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

}  // namespace

std::optional<std::string> Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            return std::nullopt;
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

std::optional<std::filesystem::path> MapDevicePath(const DataHome& home,
                                                   std::u16string_view devicePath) {
    if (devicePath.empty() || devicePath.find(u'\0') != std::u16string_view::npos) {
        return std::nullopt;
    }
    if (devicePath.front() == u'/') {
        std::optional<std::string> host = Utf16ToUtf8(devicePath);
        if (!host) {
            return std::nullopt;
        }
        return std::filesystem::path(*host);
    }
    std::filesystem::path mapped = home.DeviceRoot();
    size_t start = 0;
    while (start <= devicePath.size()) {
        size_t end = start;
        while (end < devicePath.size() && !IsSeparator(devicePath[end])) {
            ++end;
        }
        const std::u16string_view step = devicePath.substr(start, end - start);
        if (step == u"..") {
            return std::nullopt;
        }
        if (!step.empty() && step != u".") {
            std::optional<std::string> name = Utf16ToUtf8(step);
            if (!name) {
                return std::nullopt;
            }
            mapped /= *name;
        }
        start = end + 1;
    }
    return mapped;
}

}  // namespace platform
