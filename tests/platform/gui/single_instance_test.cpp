#include "platform/gui/single_instance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_folder.h"

namespace gui {
namespace {

using namespace std::chrono_literals;

// Long enough for a copy that stands aside to retry a few times, short enough to keep the
// suite quick; nothing in these tests depends on the exact figure.
constexpr std::chrono::milliseconds kTestPatience = 300ms;

// Sets an environment variable for one test and puts back what was there.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Turns the event loop until `done` holds or two seconds pass; says whether it held.
bool TurnEventLoopUntil(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(2000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

// Whether something accepts connections on a local server name.
bool Answers(const QString& name) {
    QLocalSocket socket;
    socket.connectToServer(name);
    return socket.waitForConnected(200);
}

// A socket listening at `path`, as a holder's is; -1 when it cannot be made.
int ListenAt(const std::filesystem::path& path) {
    const int descriptor = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (descriptor < 0) {
        return -1;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    if (bind(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(descriptor, 1) != 0) {
        close(descriptor);
        return -1;
    }
    return descriptor;
}

// Leaves a socket file at `path` with nobody listening on it, as a copy that crashed does.
bool LeaveStaleSocket(const std::filesystem::path& path) {
    const int descriptor = ListenAt(path);
    if (descriptor < 0) {
        return false;
    }
    close(descriptor);
    return true;
}

// What the first connection waiting on a listening socket has sent; empty when none waits.
std::string FirstRequest(int listener) {
    const int connection = accept(listener, nullptr, nullptr);
    if (connection < 0) {
        return {};
    }
    char bytes[64] = {};
    const ssize_t count = recv(connection, bytes, sizeof(bytes), MSG_DONTWAIT);
    close(connection);
    return count > 0 ? std::string(bytes, static_cast<size_t>(count)) : std::string();
}

// Each test gets its own runtime folder (where the names are claimed) and its own temporary
// folder (where the sockets are made), so that nothing here meets a planner the user runs.
class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(runtime_.Made());
        ASSERT_TRUE(sockets_.Made());
        ASSERT_TRUE(homes_.Made());
    }

    std::filesystem::path Home(const char* name) const { return homes_.Path() / name / "store"; }
    std::filesystem::path SocketPath(const QString& name) const {
        return sockets_.Path() / name.toStdString();
    }

    testing_support::TempFolder runtime_;
    testing_support::TempFolder sockets_;
    testing_support::TempFolder homes_;
    ScopedEnvironment runtimeFolder_{"XDG_RUNTIME_DIR", runtime_.Path().string()};
    ScopedEnvironment temporaryFolder_{"TMPDIR", sockets_.Path().string()};
};

TEST_F(SingleInstanceTest, SecondCopyAsksTheFirstToComeForwardAndLeavesItListening) {
    SingleInstance first(Home("a"));
    ASSERT_FALSE(first.AskRunningCopyToComeForward());
    int firstCalls = 0;
    ASSERT_TRUE(first.Listen([&](const std::string&) { ++firstCalls; }));

    SingleInstance second(Home("a"), kTestPatience);
    EXPECT_TRUE(second.AskRunningCopyToComeForward());
    int secondCalls = 0;
    EXPECT_FALSE(second.Listen([&](const std::string&) { ++secondCalls; }));
    EXPECT_TRUE(TurnEventLoopUntil([&] { return firstCalls == 1; }));

    // The first still owns the name: a third launch reaches it, not the second.
    SingleInstance third(Home("a"), kTestPatience);
    EXPECT_TRUE(third.AskRunningCopyToComeForward());
    EXPECT_TRUE(TurnEventLoopUntil([&] { return firstCalls == 2; }));
    EXPECT_EQ(secondCalls, 0);
}

// A copy started for a day (from a reminder's notification) hands the day to the holder; only a
// day of the form YYYY-MM-DD travels, and a request that names anything else is not obeyed.
TEST_F(SingleInstanceTest, TheDayACopyWasStartedForReachesTheHolder) {
    SingleInstance first(Home("a"));
    ASSERT_FALSE(first.AskRunningCopyToComeForward());
    std::vector<std::string> days;
    ASSERT_TRUE(first.Listen([&](const std::string& day) { days.push_back(day); }));

    SingleInstance second(Home("a"), kTestPatience);
    EXPECT_TRUE(second.AskRunningCopyToComeForward("2026-12-21"));
    ASSERT_TRUE(TurnEventLoopUntil([&] { return days.size() == 1; }));
    EXPECT_EQ(days[0], "2026-12-21");

    SingleInstance third(Home("a"), kTestPatience);
    EXPECT_TRUE(third.AskRunningCopyToComeForward("21.12.2026"));
    ASSERT_TRUE(TurnEventLoopUntil([&] { return days.size() == 2; }));
    EXPECT_EQ(days[1], "");

    for (const char* request : {"come-forward 2026-12-2x\n", "come-forward 2026-12-21 \n",
                                "come-forward  2026-12-21\n", "come-forward-2026-12-21\n"}) {
        QLocalSocket socket;
        socket.connectToServer(first.ServerName());
        ASSERT_TRUE(socket.waitForConnected(1000));
        socket.write(request);
        socket.waitForBytesWritten(1000);
        socket.disconnectFromServer();
    }
    // Whatever came of those has been read by the time a good request is.
    SingleInstance fourth(Home("a"), kTestPatience);
    EXPECT_TRUE(fourth.AskRunningCopyToComeForward("2027-01-04"));
    ASSERT_TRUE(TurnEventLoopUntil([&] { return days.size() >= 3; }));
    EXPECT_EQ(days, (std::vector<std::string>{"2026-12-21", "", "2027-01-04"}));
}

TEST_F(SingleInstanceTest, CopyStartedBeforeTheFirstListensEndsWithoutRemovingAnything) {
    SingleInstance first(Home("a"));
    ASSERT_FALSE(first.AskRunningCopyToComeForward());
    // A socket left by an earlier copy that crashed, not yet replaced by the first.
    const std::filesystem::path stale = SocketPath(first.ServerName());
    ASSERT_TRUE(LeaveStaleSocket(stale));

    SingleInstance second(Home("a"), kTestPatience);
    EXPECT_TRUE(second.AskRunningCopyToComeForward());
    EXPECT_FALSE(second.Listen([](const std::string&) {}));
    EXPECT_TRUE(std::filesystem::exists(stale));
    EXPECT_FALSE(Answers(first.ServerName()));

    // The first, once it is up, replaces the stale socket and answers later launches.
    int firstCalls = 0;
    ASSERT_TRUE(first.Listen([&](const std::string&) { ++firstCalls; }));
    SingleInstance third(Home("a"), kTestPatience);
    EXPECT_TRUE(third.AskRunningCopyToComeForward());
    EXPECT_TRUE(TurnEventLoopUntil([&] { return firstCalls == 1; }));
}

TEST_F(SingleInstanceTest, CopyThatStandsAsideKeepsAskingUntilTheHolderListens) {
    SingleInstance first(Home("a"));
    ASSERT_FALSE(first.AskRunningCopyToComeForward());
    // The holder comes up while the second copy is already asking; a socket listening under
    // the name stands in for its server, which this thread cannot serve while it is blocked.
    int holder = -1;
    std::thread holderStarting([&] {
        std::this_thread::sleep_for(100ms);
        holder = ListenAt(SocketPath(first.ServerName()));
    });
    SingleInstance second(Home("a"), 3s);
    EXPECT_TRUE(second.AskRunningCopyToComeForward());
    holderStarting.join();
    ASSERT_GE(holder, 0);
    EXPECT_EQ(FirstRequest(holder), "come-forward\n");
    close(holder);
}

TEST_F(SingleInstanceTest, StaleSocketWithoutAHolderIsReplaced) {
    // What a copy that crashed leaves: its claim file, no holder, and a socket nobody serves.
    QString name;
    {
        const SingleInstance crashed(Home("a"));
        name = crashed.ServerName();
    }
    ASSERT_TRUE(LeaveStaleSocket(SocketPath(name)));

    SingleInstance first(Home("a"));
    EXPECT_FALSE(first.AskRunningCopyToComeForward());
    int firstCalls = 0;
    ASSERT_TRUE(first.Listen([&](const std::string&) { ++firstCalls; }));
    SingleInstance second(Home("a"), kTestPatience);
    EXPECT_TRUE(second.AskRunningCopyToComeForward());
    EXPECT_TRUE(TurnEventLoopUntil([&] { return firstCalls == 1; }));
}

TEST_F(SingleInstanceTest, DifferentHomesBothRun) {
    SingleInstance user(Home("user"));
    SingleInstance test(Home("test"), kTestPatience);
    EXPECT_NE(user.ServerName(), test.ServerName());
    EXPECT_FALSE(user.AskRunningCopyToComeForward());
    EXPECT_FALSE(test.AskRunningCopyToComeForward());
    EXPECT_TRUE(user.Listen([](const std::string&) {}));
    EXPECT_TRUE(test.Listen([](const std::string&) {}));
    EXPECT_TRUE(Answers(user.ServerName()));
    EXPECT_TRUE(Answers(test.ServerName()));
}

TEST_F(SingleInstanceTest, NameIsFreeAgainOnceTheHolderEnds) {
    QString name;
    {
        SingleInstance first(Home("a"));
        ASSERT_FALSE(first.AskRunningCopyToComeForward());
        ASSERT_TRUE(first.Listen([](const std::string&) {}));
        name = first.ServerName();
    }
    EXPECT_FALSE(Answers(name));

    SingleInstance next(Home("a"), kTestPatience);
    EXPECT_FALSE(next.AskRunningCopyToComeForward());
    EXPECT_TRUE(next.Listen([](const std::string&) {}));
    EXPECT_TRUE(Answers(name));
}

TEST_F(SingleInstanceTest, NameIsClaimedInTheUsersRuntimeFolderByAFileOnlyTheUserCanOpen) {
    SingleInstance first(Home("a"));
    const std::filesystem::path lock =
        runtime_.Path() / (first.ServerName().toStdString() + ".lock");
    ASSERT_TRUE(std::filesystem::exists(lock));
    EXPECT_EQ(testing_support::ModeOf(lock), 0600u);
}

}  // namespace
}  // namespace gui
