// A store in a fresh folder, logged on, in Berlin time: what the store's tests start from.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "platform/time/date_time.h"
#include "store/schedule_store.h"
#include "tests/support/temp_folder.h"

namespace store {

inline Date At(int y, int m, int d, int h = 0, int mi = 0) {
    return *platform::MakeDate(y, m, d, h, mi);
}

class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        ASSERT_TRUE(folder_.Made());
        ASSERT_TRUE(app_.LogOn(StorePath()).ok());
    }

    std::filesystem::path StorePath() const { return folder_.Path() / "schedule.sqlite"; }

    // Runs SQL on the store file through a connection of its own, as an older program or a
    // damaged disk would leave it (with the store logged off first).
    void Execute(const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(StorePath().c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    testing_support::TempFolder folder_;
    Application app_;
};

}  // namespace store
