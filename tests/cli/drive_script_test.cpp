#include "cli/drive_script.h"

#include <gtest/gtest.h>

namespace cli {
namespace {

DriveStep Parsed(std::string_view line) {
    auto step = ParseDriveLine(line);
    EXPECT_TRUE(step.ok()) << line << ": " << (step ? "" : step.error().message);
    EXPECT_TRUE(step && step->has_value()) << line;
    return step && step->has_value() ? **step : DriveStep{StateStep{}};
}

std::string ErrorOf(std::string_view line) {
    auto step = ParseDriveLine(line);
    return step ? "<read>" : step.error().message;
}

TEST(DriveScript, PenGesturesTakeTheirPointsOffTheScreenToo) {
    const auto tap = std::get<PenStep>(Parsed("tap 100 35"));
    EXPECT_EQ(tap.gesture, PenStep::Gesture::Tap);
    EXPECT_EQ(tap.points, (std::vector<gui::Point>{{100, 35}}));
    EXPECT_EQ(std::get<PenStep>(Parsed("  hold 5 80\r")).gesture, PenStep::Gesture::Hold);
    const auto stroke = std::get<PenStep>(Parsed("stroke 10 200 -4 210 30 400"));
    EXPECT_EQ(stroke.points, (std::vector<gui::Point>{{10, 200}, {-4, 210}, {30, 400}}));

    EXPECT_EQ(ErrorOf("tap 1"), "takes one point: X Y");
    EXPECT_EQ(ErrorOf("stroke 1 2"), "a stroke takes two or more points: X1 Y1 X2 Y2 ...");
    EXPECT_EQ(ErrorOf("stroke 1 2 3"), "a stroke takes two or more points: X1 Y1 X2 Y2 ...");
    EXPECT_EQ(ErrorOf("tap 1 y"), "not a point: 1 y");
}

TEST(DriveScript, TypeKeepsTheRestOfItsLineWithLineBreaks) {
    EXPECT_EQ(std::get<TypeStep>(Parsed("type 牛乳 2本")).text, u"牛乳 2本");
    EXPECT_EQ(std::get<TypeStep>(Parsed("type  a\\nb\\\\n\\t")).text, u" a\nb\\n\\t");
    EXPECT_EQ(std::get<TypeStep>(Parsed("type")).text, u"");
    EXPECT_EQ(ErrorOf("type \xff"), "the text is not UTF-8");
}

TEST(DriveScript, KeysCommandsAndWaits) {
    EXPECT_EQ(std::get<KeyStep>(Parsed("key Ctrl+Q")).key, DriveKey::CtrlQ);
    EXPECT_EQ(std::get<KeyStep>(Parsed("key Down")).key, DriveKey::Down);
    EXPECT_NE(ErrorOf("key Escape"), "<read>");
    EXPECT_EQ(std::get<CommandStep>(Parsed("command 40073")).command, 40073);
    EXPECT_NE(ErrorOf("command 65536"), "<read>");
    EXPECT_NE(ErrorOf("command 0"), "<read>");
    EXPECT_EQ(std::get<WaitStep>(Parsed("wait 5000")).milliseconds, 5000);
    EXPECT_NE(ErrorOf("wait -1"), "<read>");
}

TEST(DriveScript, AnswersToModalQuestions) {
    EXPECT_EQ(std::get<AnswerStep>(Parsed("answer no")).answer, gui::MessageBoxAnswer::No);
    EXPECT_NE(ErrorOf("answer maybe"), "<read>");
    const auto pictured = std::get<AnswerStep>(Parsed("answer cancel shot box.png 2"));
    EXPECT_EQ(pictured.answer, gui::MessageBoxAnswer::Cancel);
    EXPECT_EQ(pictured.shotFile, "box.png");
    EXPECT_EQ(pictured.shotZoom, 2);
    EXPECT_EQ(std::get<AnswerStep>(Parsed("answer yes")).shotFile, "");
    EXPECT_NE(ErrorOf("answer yes shot box.png"), "<read>");
    EXPECT_NE(ErrorOf("answer yes shot box.png 9"), "<read>");
    EXPECT_NE(ErrorOf("answer yes snap box.png 2"), "<read>");
    EXPECT_EQ(std::get<PopupStep>(Parsed("popup none")).command, 0);
    EXPECT_EQ(std::get<PopupStep>(Parsed("popup 40058")).command, 40058);
    EXPECT_EQ(std::get<ColorStep>(Parsed("color 0x00FF80")).color, gui::ColorRef{0x00FF80});
    EXPECT_EQ(std::get<ColorStep>(Parsed("color cancel")).color, std::nullopt);
    EXPECT_NE(ErrorOf("color 0x1000000"), "<read>");
    EXPECT_NE(ErrorOf("color 255"), "<read>");

    const auto dialog = std::get<DialogStep>(Parsed(
        R"(dialog cancel date 2026-12-24 set 1001 "\My Documents\\x y" check 1018 1 press 1005)"));
    EXPECT_EQ(dialog.closeCommand, 2);
    ASSERT_EQ(dialog.actions.size(), 4u);
    EXPECT_EQ(dialog.actions[0].kind, DialogAction::Kind::PickDate);
    EXPECT_EQ(
        dialog.actions[0].year * 10000 + dialog.actions[0].month * 100 + dialog.actions[0].day,
        20261224);
    EXPECT_EQ(dialog.actions[1].kind, DialogAction::Kind::SetText);
    EXPECT_EQ(dialog.actions[1].id, 1001);
    EXPECT_EQ(dialog.actions[1].text, u"My Documents\\x y");
    EXPECT_TRUE(dialog.actions[2].checked);
    EXPECT_EQ(dialog.actions[3].id, 1005);
    EXPECT_EQ(std::get<DialogStep>(Parsed("dialog ok")).closeCommand, 1);

    EXPECT_NE(ErrorOf("dialog"), "<read>");
    EXPECT_NE(ErrorOf("dialog ok date 2026-2-1"), "<read>");
    EXPECT_NE(ErrorOf("dialog ok check 1018 2"), "<read>");
    EXPECT_NE(ErrorOf("dialog ok set 1001"), "<read>");
    EXPECT_EQ(ErrorOf(R"(dialog ok set 1 "open)"), "a quoted text is not closed");
}

TEST(DriveScript, ShotsStateCommentsAndWrongLines) {
    const auto shot = std::get<ShotStep>(Parsed("shot out.png 2"));
    EXPECT_EQ(shot.file, "out.png");
    EXPECT_EQ(shot.zoom, 2);
    EXPECT_EQ(std::get<ShotStep>(Parsed("shot a.png")).zoom, 1);
    EXPECT_NE(ErrorOf("shot a.png 9"), "<read>");
    EXPECT_TRUE(std::holds_alternative<StateStep>(Parsed("state")));
    for (std::string_view empty : {"", "   ", "# a comment", "  # indented"}) {
        auto step = ParseDriveLine(empty);
        ASSERT_TRUE(step.ok());
        EXPECT_FALSE(step->has_value()) << empty;
    }
    EXPECT_EQ(ErrorOf("tapp 1 2"), "not a script line: tapp 1 2");
    EXPECT_EQ(std::get<KeyStep>(Parsed("key Down   # the next day")).key, DriveKey::Down);
    EXPECT_EQ(std::get<TypeStep>(Parsed("type 5 # 6")).text, u"5 # 6");
    EXPECT_EQ(std::get<DialogStep>(Parsed(R"(dialog ok set 1 "#1" # a comment)")).actions[0].text,
              u"#1");
}

}  // namespace
}  // namespace cli
