#include "resources/handwriting/stroke_skeletons.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/temp_folder.h"

namespace handwriting_data {
namespace {

class StrokeSkeletonsTest : public ::testing::Test {
protected:
    std::optional<std::vector<Skeleton>> Read(const std::string& text) {
        const std::filesystem::path file = folder_.Path() / "test.strokes";
        std::ofstream(file, std::ios::binary) << text;
        error_.clear();
        return ReadSkeletons(file, error_);
    }

    testing_support::TempFolder folder_;
    std::string error_;
};

TEST_F(StrokeSkeletonsTest, ReadsStrokesAndMakesVoicedAndSmallForms) {
    const auto read = Read(
        "# a comment\n"
        "@voiced 60,6 62,16 | 66,4 70,14\n"
        "@small 0.5\n"
        "カ 14,26 60,26 58,58 | 36,10 32,48 14,70   # two strokes\n"
        "ガ = カ voiced\n"
        "ヵ = カ small\n");
    ASSERT_TRUE(read.has_value()) << error_;
    ASSERT_EQ(read->size(), 3u);
    const Skeleton& ka = (*read)[0];
    EXPECT_EQ(ka.character, u"カ");
    ASSERT_EQ(ka.strokes.size(), 2u);
    EXPECT_EQ(ka.strokes[0].size(), 3u);
    EXPECT_DOUBLE_EQ(ka.strokes[1][2].x, 14);
    EXPECT_EQ(ka.line, 4);
    // The voiced form: the base's strokes, then the marks as given.
    const Skeleton& ga = (*read)[1];
    ASSERT_EQ(ga.strokes.size(), 4u);
    EXPECT_DOUBLE_EQ(ga.strokes[2][0].x, 60);
    EXPECT_DOUBLE_EQ(ga.strokes[3][1].y, 14);
    // The small form: half the size about the box's middle.
    const Skeleton& small = (*read)[2];
    EXPECT_DOUBLE_EQ(small.strokes[0][0].x, 40 + (14 - 40) * 0.5);
    EXPECT_DOUBLE_EQ(small.strokes[0][0].y, 40 + (26 - 40) * 0.5);
}

TEST_F(StrokeSkeletonsTest, AHandsSlantAndScaleApplyToWhatFollows) {
    const auto read = Read("@slant 0.5\n@scale 0.5\nー 0,80 80,80\n");
    ASSERT_TRUE(read.has_value()) << error_;
    // Scaled about the middle to (20, 60), then leaning: x moves by -0.5 × (60 - 40).
    EXPECT_DOUBLE_EQ((*read)[0].strokes[0][0].x, 10);
    EXPECT_DOUBLE_EQ((*read)[0].strokes[0][0].y, 60);
}

TEST_F(StrokeSkeletonsTest, ALineThatCannotBeReadIsNamedWithItsNumber) {
    const std::pair<std::string, std::string> bad[] = {
        {"ア 1,2 x,4\n", ":1: strokes that cannot be read"},
        {"\nア 1,2 | | 3,4\n", ":2: strokes that cannot be read"},
        {"ア\n", ":1: a character without strokes"},
        {"ガ = カ voiced\n", ":1: the base カ is not given before"},
        {"カ 1,2 3,4\nガ = カ voiced\n", ":2: @voiced is not given before"},
        {"カ 1,2 3,4\nガ = カ bold\n", ":2: unknown derivation bold"},
        {"@slant 3\n", ":1: an unknown setting or one out of its range: @slant"},
        {"\xff 1,2 3,4\n", ":1: a character that is not UTF-8"},
    };
    for (const auto& [text, why] : bad) {
        EXPECT_FALSE(Read(text).has_value()) << text;
        EXPECT_NE(error_.find(why), std::string::npos) << error_;
    }
}

TEST_F(StrokeSkeletonsTest, PenSamplesLieAlongTheStrokeAboutThreePixelsApart) {
    const auto read = Read("ー 10,40 70,40\n");
    ASSERT_TRUE(read.has_value()) << error_;
    const std::vector<handwriting::Stroke> samples = PenSamples((*read)[0]);
    ASSERT_EQ(samples.size(), 1u);
    ASSERT_EQ(samples[0].size(), 21u);
    EXPECT_EQ(samples[0].front().x, 10);
    EXPECT_EQ(samples[0][1].x, 13);
    EXPECT_EQ(samples[0].back().x, 70);
}

TEST_F(StrokeSkeletonsTest, VariationsAreTheSameForASeedAndStayNearTheBox) {
    const auto read = Read("ア 14,16 64,16 56,28 44,38 | 38,28 38,50 24,70\n");
    ASSERT_TRUE(read.has_value()) << error_;
    HandVariation first(7);
    HandVariation again(7);
    HandVariation other(8);
    bool differs = false;
    for (int i = 0; i < 50; ++i) {
        const Skeleton a = first.Vary((*read)[0]);
        const Skeleton b = again.Vary((*read)[0]);
        const Skeleton c = other.Vary((*read)[0]);
        ASSERT_EQ(a.strokes.size(), 2u);
        for (size_t s = 0; s < a.strokes.size(); ++s) {
            for (size_t p = 0; p < a.strokes[s].size(); ++p) {
                EXPECT_DOUBLE_EQ(a.strokes[s][p].x, b.strokes[s][p].x);
                EXPECT_DOUBLE_EQ(a.strokes[s][p].y, b.strokes[s][p].y);
                differs = differs || a.strokes[s][p].x != c.strokes[s][p].x;
                EXPECT_GT(a.strokes[s][p].x, -10);
                EXPECT_LT(a.strokes[s][p].x, 90);
                EXPECT_GT(a.strokes[s][p].y, -10);
                EXPECT_LT(a.strokes[s][p].y, 90);
            }
        }
    }
    EXPECT_TRUE(differs);
}

}  // namespace
}  // namespace handwriting_data
