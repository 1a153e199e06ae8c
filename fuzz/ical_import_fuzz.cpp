// Feeds arbitrary bytes to the iCalendar import. Whatever it takes must write back to a file that
// the strict reading takes whole: the export may not produce what the import rejects or skips.
// The handwriting an item carried goes out with it and comes back the same.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/ical_io.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The conversions read the process's zone; fix it so that runs repeat.
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    return 0;
}

namespace {

[[noreturn]] void Fail(const char* what, const std::string& written) {
    std::fprintf(stderr, "%s\n%s\n", what, written.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const platform::Result<calendar::ImportedCalendar> first = calendar::ParseICalendar(text);
    if (!first.ok()) {
        return 0;
    }
    // Each appointment's ink under its memo, as a data folder would hold it, and the memo marked
    // handwritten as the import marks it.
    std::map<std::u16string, std::string> inkByMemo;
    std::vector<calendar::AppointmentRecord> appointments = first->appointments;
    for (size_t i = 0; i < first->appointments.size(); ++i) {
        if (first->appointmentsInk[i].item && !first->appointmentsInk[i].item->bytes.empty()) {
            inkByMemo.emplace(first->appointments[i].body, first->appointmentsInk[i].item->bytes);
            appointments[i].handwritten = true;
        }
    }
    const platform::FixedClock clock(platform::CalendarFields{2024, 6, 0, 1, 12, 0, 0, 0});
    const std::string written =
        calendar::WriteICalendar(appointments, first->tasks, clock,
                                 [&](std::u16string_view body) -> std::optional<std::string> {
                                     const auto found = inkByMemo.find(std::u16string(body));
                                     if (found == inkByMemo.end()) {
                                         return std::nullopt;
                                     }
                                     return found->second;
                                 });
    const platform::Result<calendar::ImportedCalendar> second =
        calendar::ParseICalendar(written, calendar::ImportMode::AllOrNothing);
    if (!second.ok()) {
        std::fprintf(stderr, "%s\n", second.error().message.c_str());
        Fail("written calendar rejected", written);
    }
    if (!second->skipped.empty()) {
        Fail(("written calendar skipped: " + second->skipped.front()).c_str(), written);
    }
    if (second->appointments.size() != first->appointments.size() ||
        second->tasks.size() != first->tasks.size()) {
        Fail("written calendar holds other items", written);
    }
    for (size_t i = 0; i < second->appointments.size(); ++i) {
        const auto ink =
            appointments[i].handwritten ? inkByMemo.find(appointments[i].body) : inkByMemo.end();
        const std::optional<calendar::CarriedInk>& back = second->appointmentsInk[i].item;
        if ((ink != inkByMemo.end()) != back.has_value() || (back && back->bytes != ink->second)) {
            Fail("handwriting changed on the way", written);
        }
    }
    return 0;
}
