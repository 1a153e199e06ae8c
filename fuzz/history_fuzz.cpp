#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>

#include "controls/history.h"

using controls::HistoryList;

// Any file reads into a list whose texts fit their slots; remembering a text keeps it so, and a
// list written and read again lists the same texts.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto bytes = std::as_bytes(std::span(data, size));
    auto list = std::make_unique<HistoryList>();
    controls::DecodeHistoryFile(bytes, *list);
    const size_t half = size / 2;
    std::u16string text;
    for (size_t i = 0; i + 1 < half; i += 2) {
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    controls::RememberHistoryText(*list, text);
    for (const std::u16string& listed : list->Texts()) {
        if (listed.size() > controls::kHistoryTextMaxUnits) {
            std::abort();
        }
    }
    const std::string written = controls::EncodeHistoryFile(*list);
    if (written.size() != controls::kHistoryFileBytes) {
        std::abort();
    }
    auto reread = std::make_unique<HistoryList>();
    controls::DecodeHistoryFile(std::as_bytes(std::span(written.data(), written.size())), *reread);
    if (reread->Texts() != list->Texts()) {
        std::abort();
    }
    return 0;
}
