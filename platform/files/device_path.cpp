#include "platform/files/device_path.h"

namespace platform {
namespace {

bool IsSeparator(char16_t unit) {
    return unit == u'\\' || unit == u'/';
}

}  // namespace

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

std::u16string JoinDevicePath(std::u16string_view folder, std::u16string_view name) {
    std::u16string joined(folder);
    joined += folder.starts_with(u'/') ? u'/' : u'\\';
    joined += name;
    return joined;
}

}  // namespace platform
