#include "cli/drive_command.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>

#include "cli/command_support.h"
#include "cli/screenshot_command.h"
#include "cli/settings_command.h"
#include "platform/gui/colors.h"
#include "tests/cli/imported_home.h"

namespace cli {
namespace {

class DriveCommandTest : public ImportedHome {
protected:
    int Drive(const std::string& script, std::initializer_list<std::string> args = {}) {
        std::vector<std::string> all(args);
        all.push_back("-");
        std::istringstream in(script);
        out_.str("");
        err_.str("");
        return DriveCommand(home_, all, clock_, in, out_, err_);
    }
    int Shot(std::initializer_list<std::string> args) { return Run(ScreenshotCommand, args); }

    std::string Out(const std::string& name) const { return (folder_.Path() / name).string(); }
    QByteArray Bytes(const std::string& name) const {
        QFile file(QString::fromStdString(Out(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QImage Picture(const std::string& name) const {
        return QImage(QString::fromStdString(Out(name)));
    }
    // One `key=value` line of the last state printed.
    std::string StateValue(const std::string& key) const {
        std::istringstream lines(out_.str());
        std::string line;
        std::string value = "<none>";
        while (std::getline(lines, line)) {
            if (line.starts_with(key + "=")) {
                value = line.substr(key.size() + 1);
            }
        }
        return value;
    }
};

TEST_F(DriveCommandTest, KeysMoveTheDayAsTheScreenshotOfThatDayShowsIt) {
    ASSERT_EQ(
        Drive("key Down\nkey Down\n# three days on\nkey Down\nshot " + Out("drive.png") + "\n",
              {"--today", "2026-12-07"}),
        0)
        << err_.str();
    ASSERT_EQ(Shot({"--today", "2026-12-07", "--date", "2026-12-10", Out("screenshot.png")}), 0);
    const QByteArray driven = Bytes("drive.png");
    ASSERT_FALSE(driven.isEmpty());
    EXPECT_EQ(driven, Bytes("screenshot.png"));

    ASSERT_EQ(Drive("key Left\nstate\n", {"--today", "2026-12-07T14:30", "--date", "2026-12-10"}),
              0);
    EXPECT_EQ(StateValue("selected"), "2026-12-03 00:00");
    EXPECT_EQ(StateValue("today"), "2026-12-07 00:00");
    EXPECT_EQ(StateValue("selectedFields"), "2026 12 4 3");
    EXPECT_EQ(StateValue("active"), "TESSARINTH");
    EXPECT_EQ(StateValue("clipboard.oid"), "0");
    EXPECT_EQ(StateValue("record.Start"), "1899-12-30 00:00");
}

TEST_F(DriveCommandTest, ModalDialogsTakeTheAnswersQueuedForThem) {
    // The About box with nothing queued: the run stops and says why.
    EXPECT_EQ(Drive("key Ctrl+A\nstate\n"), kScriptFaultStatus);
    EXPECT_NE(err_.str().find("line 1: the dialog \"About Tessarinth\" was shown with no dialog "
                              "queued"),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(out_.str().find("active="), std::string::npos);

    ASSERT_EQ(Drive("dialog ok\nkey Ctrl+A\nstate\n"), 0) << err_.str();
    EXPECT_EQ(StateValue("active"), "TESSARINTH");

    // An answer nobody asked for is a fault of the script too, as is a greyed menu item.
    EXPECT_EQ(Drive("dialog ok\nanswer yes\n"), kScriptFaultStatus);
    EXPECT_NE(err_.str().find("never asked for: 1 answer, 1 dialog"), std::string::npos)
        << err_.str();
}

// A message box is one of the screen's own dialogs: an answer's picture shows it over the
// editor, framed inside the screen between the bars, with the editor's OK gone from the
// navigation bar while it is up.
TEST_F(DriveCommandTest, AnAnswersPictureShowsTheMessageBoxOnTheScreen) {
    ASSERT_EQ(Drive("command 40045\nshot " + Out("editor.png") +
                        "\nstroke 170 91 150 126\nanswer ok shot " + Out("warning.png") +
                        " 2\ncommand 1\nstate\n",
                    {"--today", "2026-12-07T09:30"}),
              0)
        << err_.str();
    EXPECT_NE(out_.str().find("message\t警告\t終了時間が開始時間より前です"), std::string::npos);
    EXPECT_EQ(StateValue("active"), "TimeWindow");
    const QImage editor = Picture("editor.png");
    const QImage large = Picture("warning.png");
    ASSERT_EQ(large.size(), QSize(480, 640));  // at the zoom the answer asked for
    const QImage warning = large.scaled(240, 320);
    // The box's frame: rows where a black line crosses the screen's middle inside its edges.
    int framed = 0;
    for (int y = 60; y < 260; ++y) {
        framed += qGray(warning.pixel(120, y)) < 40 && qGray(warning.pixel(30, y)) < 40 ? 1 : 0;
    }
    EXPECT_GE(framed, 2);
    // The navigation bar's OK button (bright on the dark bar) is the editor's, not the box's.
    const auto brightOnTheBarsRight = [](const QImage& shot) {
        int bright = 0;
        for (int y = 4; y < 22; ++y) {
            for (int x = 205; x < 240; ++x) {
                bright += qGray(shot.pixel(x, y)) > 200 ? 1 : 0;
            }
        }
        return bright;
    };
    EXPECT_GT(brightOnTheBarsRight(editor), 0);
    EXPECT_EQ(brightOnTheBarsRight(warning), 0);
}

TEST_F(DriveCommandTest, AScriptLineWithoutEndIsReadNoFurtherThanItsLimit) {
    // As from /dev/zero: 64 KiB of a line is the most any line takes.
    EXPECT_EQ(Drive("key Down\n" + std::string(200 * 1024, '\0')), kScriptFaultStatus);
    EXPECT_NE(err_.str().find("line 2: longer than 65536 bytes"), std::string::npos) << err_.str();
    // A long line within it is read as ever.
    ASSERT_EQ(Drive("key Down  # " + std::string(60 * 1024, 'x') + "\nstate\n",
                    {"--today", "2026-12-07"}),
              0)
        << err_.str();
    EXPECT_EQ(StateValue("selected"), "2026-12-08 00:00");
}

TEST_F(DriveCommandTest, MenuBarTapsTakeTheQueuedPopupAndPostItsCommand) {
    // 移動 is the second button of the menu bar; 翌月 is one of its items.
    ASSERT_EQ(Drive("popup 40019\ntap 60 310\nstate\n", {"--today", "2026-12-07"}), 0)
        << err_.str();
    EXPECT_EQ(StateValue("selected"), "2027-01-07 00:00");
    ASSERT_EQ(Drive("popup none\ntap 60 310\nstate\n", {"--today", "2026-12-07"}), 0);
    EXPECT_EQ(StateValue("selected"), "2026-12-07 00:00");
    EXPECT_EQ(Drive("tap 60 310\n"), kScriptFaultStatus);
    EXPECT_NE(err_.str().find("pop-up menu opened at"), std::string::npos) << err_.str();
    // With dated tasks hidden, 仕事 is greyed: no user can pick it.
    ASSERT_EQ(SettingsCommand(home_, {"set", "bTask", "0"}, out_, err_), 0);
    EXPECT_EQ(Drive("popup 40073\ntap 10 310\n"), kScriptFaultStatus);
    EXPECT_NE(err_.str().find("popup 40073 is not an item the menu offers enabled"),
              std::string::npos)
        << err_.str();
}

TEST_F(DriveCommandTest, TheSummaryShowsTheNewDayAndClosesFiveSecondsAfterItsLastPaint) {
    ASSERT_EQ(
        Drive("command 40076\nkey Down\nshot " + Out("down.png") + "\n", {"--today", "2026-12-07"}),
        0)
        << err_.str();
    // The pop-up painted over the day after shows that day's date, hours and counts.
    ASSERT_EQ(
        Shot({"--today", "2026-12-07", "--date", "2026-12-08", "--summary", Out("summary.png")}),
        0);
    EXPECT_EQ(Bytes("down.png"), Bytes("summary.png"));

    // Repainted at 4 s by the move, it stays until 9 s.
    ASSERT_EQ(Drive("command 40076\nwait 4000\nkey Down\nwait 4999\nshot " + Out("at9.png") +
                        "\nwait 1\nshot " + Out("after9.png") + "\n",
                    {"--today", "2026-12-07"}),
              0)
        << err_.str();
    ASSERT_EQ(Shot({"--today", "2026-12-07", "--date", "2026-12-08", Out("plain.png")}), 0);
    EXPECT_EQ(Bytes("at9.png"), Bytes("summary.png"));
    EXPECT_EQ(Bytes("after9.png"), Bytes("plain.png"));
}

TEST_F(DriveCommandTest, LinesThatCannotBeReadStopTheRunAndSayWhere) {
    EXPECT_EQ(Drive("state\n\ntap 10\n"), kScriptFaultStatus);
    EXPECT_NE(err_.str().find("line 3: takes one point"), std::string::npos) << err_.str();
    EXPECT_EQ(Drive("type 牛乳\n"), kScriptFaultStatus);
    EXPECT_NE(err_.str().find("no text field has the keyboard"), std::string::npos);
    EXPECT_EQ(Drive("shot " + Out("no/such/folder.png") + "\n"), kFailureStatus);
    EXPECT_EQ(Drive("state\n", {"--today", "2026-13-01"}), kUsageStatus);

    testing_support::WriteBytes(home_.StorePath(), std::string(4096, 'x'));
    EXPECT_EQ(Drive("state\n"), kFailureStatus);
    EXPECT_NE(err_.str().find("schedule.sqlite"), std::string::npos) << err_.str();
}

TEST_F(DriveCommandTest, NavigationStopsAtTheLastDayOfTheCalendar) {
    ASSERT_EQ(Drive("command 40019\nkey Down\nkey Right\nstate\nshot " + Out("end.png") + "\n",
                    {"--date", "9999-12-30"}),
              0)
        << err_.str();
    EXPECT_EQ(StateValue("selected"), "9999-12-31 00:00");
    EXPECT_EQ(Picture("end.png").size(), QSize(240, 320));
}

}  // namespace
}  // namespace cli
