// The running planner's own syncs, with a stand-in for tessarinth-cli-sync: what it makes of a
// sync that finished, stopped, was killed or could not be started.
#include "sync/background_sync.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <filesystem>
#include <fstream>

#include "store/schedule_store.h"
#include "sync/sync_settings.h"
#include "tests/support/temp_folder.h"

namespace calendar_sync {
namespace {

class BackgroundSyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.Made());
        ASSERT_TRUE(home_.EnsureFolders().ok());
        SyncSettings settings;
        settings.eventsUrl = "http://127.0.0.1:9/alice/calendar/";
        settings.user = "alice";
        ASSERT_TRUE(SaveSyncSettings(home_, settings).ok());
    }

    // A stand-in sync program of these shell lines.
    std::filesystem::path Program(const std::string& lines) {
        const std::filesystem::path path = folder_.Path() / "fake-sync";
        std::ofstream(path) << "#!/bin/sh\n" << lines << "\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    }

    // Runs the first sync and waits (up to ten seconds) for it to be told.
    BackgroundSyncStatus FirstSync(const std::filesystem::path& program) {
        BackgroundSync sync(home_, std::chrono::minutes(15), program,
                            [] { return std::string("2026-12-08 09:30"); });
        sync.Start();
        QElapsedTimer waited;
        waited.start();
        while (!sync.Status().lastGoodAt && sync.Status().failure.empty() &&
               waited.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        return sync.Status();
    }

    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "background-sync-test";
        static char* argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
    }

    testing_support::TempFolder folder_;
    platform::DataHome home_{folder_.Path()};
};

TEST_F(BackgroundSyncTest, AFinishedSyncIsTheLastGoodOneWithItsConflicts) {
    const BackgroundSyncStatus status = FirstSync(
        Program("[ \"$1\" = sync ] || exit 9\n"
                "echo 'appointments and tasks x: 0 received, 1 sent, 0 deleted here, 0 deleted "
                "on the server'\necho 'conflict: 会議 kept in /h/conflicts/a.ics'"));
    EXPECT_TRUE(status.setUp);
    EXPECT_EQ(status.lastGoodAt, "2026-12-08 09:30");
    EXPECT_EQ(status.trouble, SyncTrouble::None);
    EXPECT_EQ(status.failure, "");
    EXPECT_EQ(status.conflicts, std::vector<std::string>{"会議 kept in /h/conflicts/a.ics"});
}

TEST_F(BackgroundSyncTest, AStoppedKilledOrMissingSyncSaysWhy) {
    // The planner asks for the remedy's word, and reads the trouble from it.
    BackgroundSyncStatus status = FirstSync(
        Program("[ \"$2\" = --print-remedy ] || exit 9\n"
                "echo 'tessarinth-cli: sync stopped: the server refused the password' >&2\n"
                "echo 'remedy: check-account' >&2\nexit 1"));
    EXPECT_FALSE(status.lastGoodAt);
    EXPECT_EQ(status.trouble, SyncTrouble::AccountRefused);
    EXPECT_EQ(status.failure, "sync stopped: the server refused the password");

    const std::pair<const char*, SyncTrouble> remedies[] = {
        {"check-address", SyncTrouble::ServerUnreachable},
        {"confirm-deletes", SyncTrouble::DeletesToConfirm},
        {"try-again", SyncTrouble::Stopped},
        {"something-new", SyncTrouble::Stopped},
    };
    for (const auto& [word, trouble] : remedies) {
        status = FirstSync(Program(std::string("echo 'remedy: ") + word + "' >&2\nexit 1"));
        EXPECT_EQ(status.trouble, trouble) << word;
    }

    status = FirstSync(Program("kill -9 $$"));
    EXPECT_EQ(status.trouble, SyncTrouble::Stopped);
    EXPECT_EQ(status.failure, "the sync stopped on the way; what it did until then is kept");

    status = FirstSync(folder_.Path() / "no-such-program");
    EXPECT_EQ(status.trouble, SyncTrouble::NotStarted);
    EXPECT_EQ(status.failure, "cannot start " + (folder_.Path() / "no-such-program").string());
}

TEST_F(BackgroundSyncTest, DamagedSettingsAreATroubleOfTheirOwnAndNothingRuns) {
    std::ofstream(SyncSettingsPath(home_), std::ios::trunc) << "{ not json";
    const std::filesystem::path marker = folder_.Path() / "ran";
    BackgroundSync sync(home_, std::chrono::minutes(15), Program("touch '" + marker.string() + "'"),
                        [] { return std::string(); });
    int told = 0;
    sync.SetStatusHandler([&told] { ++told; });
    sync.Start();
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_TRUE(sync.Status().setUp);
    EXPECT_EQ(sync.Status().trouble, SyncTrouble::SettingsUnreadable);
    EXPECT_FALSE(sync.Status().failure.empty());
}

TEST_F(BackgroundSyncTest, WithoutSyncSetUpNothingRuns) {
    std::filesystem::remove(SyncSettingsPath(home_));
    const std::filesystem::path marker = folder_.Path() / "ran";
    BackgroundSync sync(home_, std::chrono::minutes(15), Program("touch '" + marker.string() + "'"),
                        [] { return std::string(); });
    sync.Start();
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 500) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_FALSE(sync.Status().setUp);
    EXPECT_FALSE(sync.Status().lastGoodAt);
    EXPECT_EQ(sync.Status().failure, "");
}

TEST_F(BackgroundSyncTest, WithoutAServerSubscribedFeedsAreSyncedAllTheSame) {
    std::filesystem::remove(SyncSettingsPath(home_));
    {
        store::Application store;
        ASSERT_TRUE(store.LogOn(home_.StorePath()).ok());
        store::StoreCalendar feed;
        feed.name = "学校";
        feed.url = "https://school.example/feed.ics";
        feed.subscription = true;
        feed.readOnly = true;
        ASSERT_TRUE(store.SaveCalendar(feed).ok());
    }
    const BackgroundSyncStatus status =
        FirstSync(Program("[ \"$1\" = sync ] || exit 9\n"
                          "echo 'feed 学校 https://school.example/feed.ics: unchanged'"));
    EXPECT_EQ(status.lastGoodAt, "2026-12-08 09:30");
    EXPECT_EQ(status.trouble, SyncTrouble::None);
}

}  // namespace
}  // namespace calendar_sync
