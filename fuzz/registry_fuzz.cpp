#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/registry/registry_text.h"

using platform::registry::FormatRegistryText;
using platform::registry::ParseRegistryText;

// Any bytes end in a tree or an error. A tree formats to text that reads back as the same tree,
// so nothing the registry accepts is lost or damaged by the next save.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = ParseRegistryText(text);
    if (!parsed) {
        return 0;
    }
    const std::string formatted = FormatRegistryText(*parsed);
    const auto reparsed = ParseRegistryText(formatted);
    if (!reparsed || FormatRegistryText(*reparsed) != formatted) {
        std::abort();
    }
    return 0;
}
