#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "controls/pad_data.h"
#include "editors/edit_record.h"
#include "editors/store_write_context.h"
#include "schedule/day_items.h"
#include "store/schedule_store.h"
#include "tests/support/temp_folder.h"

namespace editors {

using schedule::InkEntry;
using testing_support::ListFolder;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

inline platform::Date At(int y, int m, int d, int h = 0, int mi = 0) {
    return *platform::MakeDate(y, m, d, h, mi);
}

// `strokes` strokes of two points each, different for each seed.
inline std::vector<InkEntry> Strokes(int strokes, int seed) {
    std::vector<InkEntry> ink;
    for (int i = 0; i < strokes; ++i) {
        ink.insert(ink.end(), {{-3, 1 + i % 3}, {-2, i % 4}, {seed + i, 70000 + i}, {i, seed}});
        ink.push_back({-1, -1});
    }
    return ink;
}

// Files may grow to `bytes` only while it lives: a write past it fails as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, old_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = SIG_DFL;
};

// A data home in a fresh folder with its store; the writes go through the session as the
// planner's do, and a second connection reads back what they stored.
class EditorsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        ASSERT_TRUE(folder_.Made());
        ASSERT_TRUE(home_.EnsureFolders().ok());
        ASSERT_TRUE(reader_.LogOn(home_.StorePath()).ok());
        census_.census.cachedYear = 2024;
        census_.census.cachedMonth = 5;
    }

    bool CensusStale() const { return census_.census.cachedYear == 0; }
    std::filesystem::path DataFolder() const { return home_.DeviceRoot() / "My Documents"; }
    std::string InkFile(const char* name) const { return ReadBytes(DataFolder() / name); }

    void SetPadInk(const std::vector<InkEntry>& ink) {
        std::copy(ink.begin(), ink.end(), pad_.InkBuffer.begin());
        pad_.InkCount = static_cast<int32_t>(ink.size());
    }

    int32_t AddAppointment(std::u16string body, std::u16string categories = u"") {
        calendar::AppointmentRecord record;
        record.start = At(2024, 5, 10, 9);
        record.end = At(2024, 5, 10, 10);
        record.subject = u"打合せ";
        record.body = std::move(body);
        record.categories = std::move(categories);
        return Add(record);
    }

    // A stored handwritten memo: the body names its ink file, and the store marks it so.
    int32_t AddHandwritten(std::u16string body) {
        calendar::AppointmentRecord record;
        record.start = At(2024, 5, 10, 9);
        record.end = At(2024, 5, 10, 10);
        record.subject = u"打合せ";
        record.body = std::move(body);
        record.handwritten = true;
        return Add(record);
    }

    int32_t Add(const calendar::AppointmentRecord& record) {
        auto oids = reader_.AddAll({record}, {});
        EXPECT_TRUE(oids.ok());
        return oids ? oids->front() : 0;
    }

    // The record and the pad as the main window and the editor fill them for the item `oid`
    // listed on 2024-05-10.
    void Open(int32_t oid) {
        ASSERT_TRUE(schedule::LoadDayItems(At(2024, 5, 10), settings_, home_, session_, *items_));
        const auto row = std::find_if(items_->table.begin(), items_->table.end(),
                                      [oid](const auto& r) { return r.objectId == oid; });
        ASSERT_NE(row, items_->table.end());
        if (row->kind == schedule::DayItemKind::Appointment) {
            FillFromAppointmentRow(record_, *row);
        } else {
            FillFromTaskRow(record_, *row);
        }
        pad_.InkBuffer = record_.InkEntries;
        pad_.InkCount = record_.InkCountAtOpen;
    }

    calendar::AppointmentRecord Stored(int32_t oid) {
        auto appointment = reader_.GetAppointmentFromOid(oid);
        EXPECT_TRUE(appointment.ok());
        return appointment ? appointment->Record() : calendar::AppointmentRecord{};
    }

    testing_support::TempFolder folder_;
    platform::DataHome home_{folder_.Path()};
    store::Application reader_;
    schedule::StoreSession session_{home_.StorePath()};
    settings::Settings settings_;
    schedule::MonthCensusState census_;
    platform::FixedClock clock_{platform::CalendarFields{2024, 5, 6, 1, 9, 0, 0, 0}};
    StoreWriteContext context_{session_, home_, settings_, census_, clock_};
    std::unique_ptr<schedule::DayItems> items_ = std::make_unique<schedule::DayItems>();
    EditRecord record_;
    controls::PadData pad_;
};

}  // namespace editors
