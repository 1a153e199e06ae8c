// Feeds arbitrary bytes to the iCalendar import. Whatever it accepts must write back to a file it
// accepts again: the export may not produce what the import rejects.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/pim/ical_io.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The conversions read the process's zone; fix it so that runs repeat.
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const platform::Result<pim::ImportedCalendar> first = pim::ParseICalendar(text);
    if (!first.ok()) {
        return 0;
    }
    const platform::FixedClock clock(platform::CalendarFields{2024, 6, 0, 1, 12, 0, 0, 0});
    const std::string written = pim::WriteICalendar(first->appointments, first->tasks, clock);
    const platform::Result<pim::ImportedCalendar> second = pim::ParseICalendar(written);
    if (!second.ok()) {
        std::fprintf(stderr, "written calendar rejected: %s\n%s\n", second.error().message.c_str(),
                     written.c_str());
        std::abort();
    }
    return 0;
}
