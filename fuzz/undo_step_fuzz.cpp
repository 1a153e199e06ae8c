// Feeds arbitrary bytes to the reading of an undo step's kept state (an appointment, a task, or
// the ink files kept with it: the first byte chooses). Whatever reads must write back to the same
// bytes' meaning, and be worked out for the zone in force and fingerprinted as taking the step
// back does, without a crash: a damaged step is set aside, never the end of the planner.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "store/item_snapshot.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The local times are worked out in the process's zone; fix it so that runs repeat.
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    return 0;
}

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// A record read from the bytes is written and read again as the same record (compared by its
// bytes: a time may be NaN), fingerprints the same, and can be worked out for the zone in force.
template <typename Record, typename Decode>
void Check(Record record, Decode decode) {
    const std::string written = store::EncodeItem(record);
    auto again = decode(written);
    if (!again.ok()) {
        Fail("a record read could not be read again once written");
    }
    if (store::EncodeItem(*again) != written) {
        Fail("a record read and written again changed");
    }
    if (store::Fingerprint(*again) != store::Fingerprint(record)) {
        Fail("a record written and read again fingerprints otherwise");
    }
    store::WorkOutLocalTimes(record);
    (void)store::Fingerprint(record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
        case 0:
            if (auto appointment = store::DecodeAppointment(bytes); appointment.ok()) {
                Check(*appointment, [](std::string_view b) { return store::DecodeAppointment(b); });
            }
            break;
        case 1:
            if (auto task = store::DecodeTask(bytes); task.ok()) {
                Check(*task, [](std::string_view b) { return store::DecodeTask(b); });
            }
            break;
        default:
            if (auto ink = store::DecodeInk(bytes); ink.ok()) {
                auto again = store::DecodeInk(store::EncodeInk(*ink));
                if (!again.ok() || *again != *ink) {
                    Fail("ink read and written again changed");
                }
            }
            break;
    }
    return 0;
}
