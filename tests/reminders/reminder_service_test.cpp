#include "reminders/reminder_service.h"

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <QCoreApplication>
#include <QDBusMessage>
#include <QDeadlineTimer>

#include <memory>
#include <optional>
#include <sstream>

#include "tests/reminders/private_session_bus.h"
#include "tests/reminders/reminder_store_support.h"

namespace reminders {
namespace {

using reminders_test::At;
using reminders_test::MovableClock;
using reminders_test::PrivateSessionBus;

// What the recorder wrote for one Notify call.
struct Shown {
    std::string id, application, title, body, actions, picture;
};

Shown Parse(const std::string& line) {
    Shown shown;
    std::istringstream in(line);
    std::getline(in, shown.id, '\t');
    std::getline(in, shown.application, '\t');
    std::getline(in, shown.title, '\t');
    std::getline(in, shown.body, '\t');
    std::getline(in, shown.actions, '\t');
    std::getline(in, shown.picture, '\t');
    return shown;
}

// One reminder service on the test's store and bus, under its own connection.
struct Service {
    Service(PrivateSessionBus& bus, const std::filesystem::path& store,
            const platform::Clock& clock, const QString& name)
        : notifications(bus.Connect(name), QStringLiteral("Tessarinth")),
          service(store, clock, notifications, Picture(), log) {}

    static notify::NotificationPicture Picture() {
        notify::NotificationPicture picture;
        picture.width = 1;
        picture.height = 1;
        picture.rgba = QByteArray("\xff\x00\x00\xff", 4);
        return picture;
    }

    std::ostringstream log;
    notify::DesktopNotifications notifications;
    ReminderService service;
};

class ReminderServiceTest : public reminders_test::ReminderStoreTest {
protected:
    void SetUp() override {
        ReminderStoreTest::SetUp();
        ASSERT_TRUE(bus_.Running()) << "dbus-daemon did not start";
    }
    void StartRecorder() { ASSERT_TRUE(bus_.StartRecorder(folder_.Path() / "notifications.log")); }
    std::unique_ptr<Service> NewService(const QString& name = QStringLiteral("service")) {
        return std::make_unique<Service>(bus_, StorePath(), clock_, name);
    }
    // Moves the clock and lets the service look.
    void TickAt(Service& service, Date now) {
        clock_.Set(now);
        service.service.Tick();
    }
    std::vector<Shown> AllShown() const {
        std::vector<Shown> shown;
        for (const std::string& line : bus_.Notifications()) {
            shown.push_back(Parse(line));
        }
        return shown;
    }

    PrivateSessionBus bus_;
    MovableClock clock_{At(2026, 12, 7, 9)};
};

TEST_F(ReminderServiceTest, RingsAtItsTimeWithItsTexts) {
    StartRecorder();
    Add(Record(At(2026, 12, 7, 10), At(2026, 12, 7, 11), u"打ち合わせ", u"本社"));
    auto service = NewService();
    TickAt(*service, At(2026, 12, 7, 9, 44));
    EXPECT_TRUE(AllShown().empty());
    TickAt(*service, At(2026, 12, 7, 9, 45));
    TickAt(*service, At(2026, 12, 7, 9, 46));
    const std::vector<Shown> shown = AllShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].application, "Tessarinth");
    EXPECT_EQ(shown[0].title, "打ち合わせ");
    EXPECT_EQ(shown[0].body, "12/7(月) 10:00-11:00 @本社");
    EXPECT_EQ(shown[0].actions, "default|開く");
    EXPECT_EQ(shown[0].picture, "picture");
    EXPECT_EQ(service->log.str(), "");
}

TEST_F(ReminderServiceTest, RecurringSeriesRingsEachOccurrenceOnce) {
    StartRecorder();
    AddWeekly(At(2026, 11, 30, 10), At(2026, 11, 30, 11), u"週次定例");
    auto service = NewService();
    for (const Date now : {At(2026, 12, 7, 9, 45), At(2026, 12, 7, 9, 50), At(2026, 12, 8),
                           At(2026, 12, 14, 9, 45), At(2026, 12, 14, 10, 30)}) {
        TickAt(*service, now);
    }
    const std::vector<Shown> shown = AllShown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].body, "12/7(月) 10:00-11:00");
    EXPECT_EQ(shown[1].body, "12/14(月) 10:00-11:00");
}

TEST_F(ReminderServiceTest, TwoServicesOnOneStoreRingOnceInAll) {
    StartRecorder();
    Add(Record(At(2026, 12, 7, 10), At(2026, 12, 7, 11), u"一度だけ"));
    auto planner = NewService(QStringLiteral("planner"));
    auto atLogIn = NewService(QStringLiteral("log-in"));
    for (const Date now : {At(2026, 12, 7, 9), At(2026, 12, 7, 9, 45), At(2026, 12, 7, 9, 46)}) {
        TickAt(*planner, now);
        TickAt(*atLogIn, now);
    }
    // Both read the reminder before either rang it; the store let only one claim it.
    EXPECT_EQ(AllShown().size(), 1u);
    // A service started later finds it rung.
    auto restarted = NewService(QStringLiteral("restarted"));
    TickAt(*restarted, At(2026, 12, 7, 9, 50));
    EXPECT_EQ(AllShown().size(), 1u);
}

TEST_F(ReminderServiceTest, MissedWhileStoppedRingsOnceLateUnlessItsAppointmentEnded) {
    StartRecorder();
    Add(Record(At(2026, 12, 7, 10), At(2026, 12, 7, 11), u"まだ続く"));
    Add(Record(At(2026, 12, 7, 9, 30), At(2026, 12, 7, 10), u"もう終わった"));
    {
        auto before = NewService();
        TickAt(*before, At(2026, 12, 7, 9));
    }
    // Nothing ran from 09:00 to 10:20 (the machine was asleep).
    auto after = NewService();
    TickAt(*after, At(2026, 12, 7, 10, 20));
    TickAt(*after, At(2026, 12, 7, 10, 21));
    auto again = NewService(QStringLiteral("again"));
    TickAt(*again, At(2026, 12, 7, 10, 25));
    const std::vector<Shown> shown = AllShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "まだ続く（遅れて通知）");
    // A service that slept through the time itself rings late too, as the clock shows.
    Add(Record(At(2026, 12, 7, 12), At(2026, 12, 7, 13), u"寝過ごし"));
    TickAt(*after, At(2026, 12, 7, 11));
    TickAt(*after, At(2026, 12, 7, 12, 10));
    ASSERT_EQ(AllShown().size(), 2u);
    EXPECT_EQ(AllShown()[1].title, "寝過ごし（遅れて通知）");
}

TEST_F(ReminderServiceTest, AppointmentMovedBeforeItsTimeRingsAtTheNewTime) {
    StartRecorder();
    const int32_t oid = Add(Record(At(2026, 12, 7, 10), At(2026, 12, 7, 11), u"移動"));
    auto service = NewService();
    TickAt(*service, At(2026, 12, 7, 9));
    store::Appointment moved = Stored(oid);
    moved.SetStart(At(2026, 12, 7, 14));
    moved.SetEnd(At(2026, 12, 7, 15));
    ASSERT_TRUE(moved.Save().ok());
    TickAt(*service, At(2026, 12, 7, 9, 45));
    EXPECT_TRUE(AllShown().empty());
    TickAt(*service, At(2026, 12, 7, 13, 45));
    const std::vector<Shown> shown = AllShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].body, "12/7(月) 14:00-15:00");
}

TEST_F(ReminderServiceTest, ReminderClearedOrAppointmentDeletedBeforeItsTimeDoesNotRing) {
    StartRecorder();
    const int32_t cleared = Add(Record(At(2026, 12, 7, 10), At(2026, 12, 7, 11), u"解除"));
    const int32_t deleted = Add(Record(At(2026, 12, 7, 10), At(2026, 12, 7, 11), u"削除"));
    auto service = NewService();
    TickAt(*service, At(2026, 12, 7, 9));
    ASSERT_EQ(service->service.Pending().size(), 2u);
    store::Appointment quiet = Stored(cleared);
    quiet.SetReminderSet(store::kFalse);
    ASSERT_TRUE(quiet.Save().ok());
    ASSERT_TRUE(Stored(deleted).Delete().ok());
    TickAt(*service, At(2026, 12, 7, 9, 45));
    TickAt(*service, At(2026, 12, 7, 10, 30));
    EXPECT_TRUE(AllShown().empty());
    EXPECT_TRUE(service->service.Pending().empty());
}

TEST_F(ReminderServiceTest, StoreLockedAtTheTimeRingsOnceItIsFree) {
    StartRecorder();
    Add(Record(At(2026, 12, 7, 10), At(2026, 12, 7, 11), u"ロック中"));
    auto service = NewService();
    TickAt(*service, At(2026, 12, 7, 9));
    // Another program holds the store's write lock (a long import, say).
    sqlite3* importer = nullptr;
    ASSERT_EQ(sqlite3_open(StorePath().c_str(), &importer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(importer, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    TickAt(*service, At(2026, 12, 7, 9, 45));
    TickAt(*service, At(2026, 12, 7, 9, 45, 1));
    EXPECT_TRUE(AllShown().empty());
    EXPECT_NE(service->log.str().find("busy"), std::string::npos) << service->log.str();
    sqlite3_exec(importer, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(importer);
    TickAt(*service, At(2026, 12, 7, 9, 45, 2));
    TickAt(*service, At(2026, 12, 7, 9, 46));
    const std::vector<Shown> shown = AllShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "ロック中");  // two seconds after its time: not late
}

TEST_F(ReminderServiceTest, DamagedStoreIsSaidOnceAndNothingRings) {
    StartRecorder();
    const std::filesystem::path damaged = folder_.Path() / "damaged.sqlite";
    testing_support::WriteBytes(damaged, std::string(8192, 'x'));
    std::ostringstream log;
    notify::DesktopNotifications notifications(bus_.Connect(QStringLiteral("damaged")),
                                               QStringLiteral("Tessarinth"));
    ReminderService service(damaged, clock_, notifications, {}, log);
    for (const Date now : {At(2026, 12, 7, 9), At(2026, 12, 7, 9, 1), At(2026, 12, 7, 9, 2)}) {
        clock_.Set(now);
        service.Tick();
    }
    EXPECT_NE(log.str().find("cannot use the schedule store"), std::string::npos) << log.str();
    EXPECT_EQ(log.str().find("tessarinth reminders:"), log.str().rfind("tessarinth reminders:"));
    EXPECT_TRUE(AllShown().empty());
    EXPECT_EQ(testing_support::ReadBytes(damaged), std::string(8192, 'x'));
}

TEST_F(ReminderServiceTest, WithoutNotificationServiceSaysSoOnceAndGoesOn) {
    Add(Record(At(2026, 12, 7, 10), At(2026, 12, 7, 11), u"一つ目"));
    Add(Record(At(2026, 12, 7, 11), At(2026, 12, 7, 12), u"二つ目"));
    Add(Record(At(2026, 12, 7, 12), At(2026, 12, 7, 13), u"三つ目"));
    auto service = NewService();
    TickAt(*service, At(2026, 12, 7, 9, 45));
    TickAt(*service, At(2026, 12, 7, 10, 45));
    const std::string said = service->log.str();
    EXPECT_NE(said.find("no notification service answered"), std::string::npos) << said;
    EXPECT_EQ(said.find("no notification service"), said.rfind("no notification service"));
    // A notification service that comes later gets the next reminder.
    StartRecorder();
    TickAt(*service, At(2026, 12, 7, 11, 45));
    const std::vector<Shown> shown = AllShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "三つ目");
}

TEST_F(ReminderServiceTest, WithoutAnyBusTheServiceStillRuns) {
    Add(Record(At(2026, 12, 7, 10), At(2026, 12, 7, 11), u"バスなし"));
    std::ostringstream log;
    notify::DesktopNotifications nowhere(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                      QStringLiteral("nowhere")),
        QStringLiteral("Tessarinth"));
    ReminderService service(StorePath(), clock_, nowhere, {}, log);
    clock_.Set(At(2026, 12, 7, 9, 45));
    service.Tick();
    clock_.Set(At(2026, 12, 7, 9, 46));
    service.Tick();
    EXPECT_NE(log.str().find("no session bus"), std::string::npos) << log.str();
    EXPECT_TRUE(service.Pending().empty());
    // Rung unseen, it is recorded all the same: a later service does not ring it again.
    auto fired = writer_.FiredRemindersFrom(At(2026, 12, 7));
    ASSERT_TRUE(fired.ok());
    EXPECT_EQ(fired->size(), 1u);
}

TEST_F(ReminderServiceTest, ChoosingTheNotificationOpensItsDay) {
    StartRecorder();
    Add(Record(At(2026, 12, 8, 0, 10), At(2026, 12, 8, 1), u"深夜"));
    auto service = NewService();
    std::optional<Date> opened;
    service->service.SetOpenDayHandler([&](Date day) { opened = day; });
    TickAt(*service, At(2026, 12, 7, 23, 55));
    const std::vector<Shown> shown = AllShown();
    ASSERT_EQ(shown.size(), 1u);
    QDBusMessage click = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"), QStringLiteral("org.tessarinth.Test"),
        QStringLiteral("InvokeAction"));
    click << static_cast<uint>(std::stoul(shown[0].id));
    ASSERT_EQ(bus_.Connect(QStringLiteral("user")).call(click).type(), QDBusMessage::ReplyMessage);
    // The signal arrives through the event loop.
    const QDeadlineTimer deadline(PrivateSessionBus::kStartMilliseconds);
    while (!opened && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    ASSERT_TRUE(opened.has_value());
    EXPECT_EQ(*opened, At(2026, 12, 8));  // the appointment's day, not the reminder's
}

}  // namespace
}  // namespace reminders
