// The written hands read through both of the planner's models as the input panel reads them: the
// test set (second_hand.strokes beside this file), never trained or tuned on, and the validation
// hand (validation_hand.strokes), a third hand the ranking is tuned against. Kana and kanji are
// read with あ, Latin letters and digits with 英.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/handwriting/character_recognizer.h"
#include "platform/text/unicode_text.h"
#include "resources/handwriting/stroke_skeletons.h"

namespace handwriting {
namespace {

constexpr size_t kSixCandidates = 6;
// What each hand must read at least, in thousandths: what the models reach today (see
// BENCHMARKS.md), so that a change that reads worse is caught. The goal is 95 % first and 99 %
// among the six.
struct Floor {
    int firstPerMille = 0;
    int amongSixPerMille = 0;
};
constexpr Floor kTestSetFloor{855, 965};
constexpr Floor kValidationFloor{865, 955};

std::filesystem::path HandFile(const char* name) {
    return std::filesystem::path(TESSARINTH_SOURCE_DIR) / "tests/platform/handwriting" / name;
}

// The group a character of the set belongs to, as the table names it.
std::string GroupOf(std::u16string_view character) {
    const char16_t unit = character.front();
    if (unit >= u'\u3041' && unit <= u'\u309F') {
        return "hiragana";
    }
    if (unit >= u'\u30A0' && unit <= u'\u30FF') {
        return "katakana";
    }
    if (unit >= u'A' && unit <= u'Z') {
        return "capitals";
    }
    if (unit >= u'a' && unit <= u'z') {
        return "small letters";
    }
    if (unit >= u'0' && unit <= u'9') {
        return "digits";
    }
    return "kanji";
}

CharacterSet SetFor(const std::string& group) {
    return group == "capitals" || group == "small letters" || group == "digits"
               ? CharacterSet::LatinAndDigits
               : CharacterSet::All;
}

struct GroupReading {
    int written = 0;
    int first = 0;
    int amongSix = 0;
    std::string misses;
};

// What a hand's characters read as, by group and in all.
struct HandReading {
    std::map<std::string, GroupReading> groups;
    GroupReading all;
    int offered = 0;  // times 〓, never a candidate, was offered

    // The table as BENCHMARKS.md keeps it, then what each group read otherwise.
    std::string Table() const {
        std::ostringstream table;
        table << "| group | written | read first | among the six |\n| --- | --- | --- | --- |\n";
        const auto row = [&](const std::string& name, const GroupReading& reading) {
            table << "| " << name << " | " << reading.written << " | " << reading.first << " ("
                  << std::fixed << std::setprecision(1) << 100.0 * reading.first / reading.written
                  << " %) | " << reading.amongSix << " ("
                  << 100.0 * reading.amongSix / reading.written << " %) |\n";
        };
        for (const auto& [name, reading] : groups) {
            row(name, reading);
        }
        row("all", all);
        for (const auto& [name, reading] : groups) {
            if (!reading.misses.empty()) {
                table << name << " not first (candidates; ! not among them):" << reading.misses
                      << '\n';
            }
        }
        return table.str();
    }

    bool Reaches(Floor floor) const {
        return all.first * 1000 >= all.written * floor.firstPerMille &&
               all.amongSix * 1000 >= all.written * floor.amongSixPerMille;
    }
};

HandReading ReadHand(const CharacterRecognizer& recognizer,
                     const std::vector<handwriting_data::Skeleton>& skeletons) {
    HandReading hand;
    for (const handwriting_data::Skeleton& skeleton : skeletons) {
        const std::string group = GroupOf(skeleton.character);
        const std::vector<std::u16string> candidates =
            recognizer.Recognize(handwriting_data::PenSamples(skeleton),
                                 handwriting_data::kSkeletonBox, SetFor(group), kSixCandidates);
        hand.offered += static_cast<int>(std::count(candidates.begin(), candidates.end(), u"〓"));
        const bool first = !candidates.empty() && candidates.front() == skeleton.character;
        const bool among =
            std::find(candidates.begin(), candidates.end(), skeleton.character) != candidates.end();
        for (GroupReading* reading : {&hand.groups[group], &hand.all}) {
            ++reading->written;
            reading->first += first ? 1 : 0;
            reading->amongSix += among ? 1 : 0;
        }
        if (!first) {
            std::string shown;
            for (const std::u16string& candidate : candidates) {
                shown += platform::Utf16ToUtf8Lossy(candidate);
            }
            hand.groups[group].misses += " " + platform::Utf16ToUtf8Lossy(skeleton.character) +
                                         "(" + shown + (among ? ")" : ")!");
        }
    }
    return hand;
}

// A hand's skeletons read through both of the planner's models.
class WrittenHand : public ::testing::Test {
protected:
    void Load(const char* file) {
        if (!std::filesystem::exists(CharacterRecognizer::DefaultKanaLatinModelPath())) {
            GTEST_SKIP() << "the planner's own model was not built (install zinnia-utils)";
        }
        std::string error;
        recognizer_ = CharacterRecognizer::Load(CharacterRecognizer::PlannerModels(), error);
        if (recognizer_ == nullptr && error.find("not built in") != std::string::npos) {
            GTEST_SKIP() << error;
        }
        ASSERT_NE(recognizer_, nullptr) << error;
        const auto skeletons = handwriting_data::ReadSkeletons(HandFile(file), error);
        ASSERT_TRUE(skeletons.has_value()) << error;
        skeletons_ = *skeletons;
    }

    // Every kana, letter and digit, and a hundred kanji.
    void ExpectEveryCharacterOnce() const {
        std::map<std::string, int> counts;
        std::map<std::u16string, int> times;
        for (const handwriting_data::Skeleton& skeleton : skeletons_) {
            ++counts[GroupOf(skeleton.character)];
            EXPECT_EQ(++times[skeleton.character], 1)
                << platform::Utf16ToUtf8Lossy(skeleton.character) << " written twice";
        }
        EXPECT_EQ(counts["capitals"], 26);
        EXPECT_EQ(counts["small letters"], 26);
        EXPECT_EQ(counts["digits"], 10);
        EXPECT_EQ(counts["kanji"], 100);
        // The 46 of each syllabary, their voiced and small forms; katakana with ー, ヴ, ヵ and ヶ.
        EXPECT_EQ(counts["hiragana"], 46 + 25 + 10);
        EXPECT_EQ(counts["katakana"], 46 + 1 + 26 + 12);
    }

    // Reads the hand, prints its table and checks it against its floor.
    void ExpectReadsAtLeast(Floor floor) const {
        const HandReading hand = ReadHand(*recognizer_, skeletons_);
        std::cout << hand.Table();
        ASSERT_GT(hand.all.written, 300);
        // The planner's model answers 〓 for ink like none of its characters: never offered.
        EXPECT_EQ(hand.offered, 0);
        std::cout << "goal of 95 % first "
                  << (hand.all.first * 100 >= hand.all.written * 95 ? "" : "not ")
                  << "reached; of 99 % among the six "
                  << (hand.all.amongSix * 100 >= hand.all.written * 99 ? "" : "not ")
                  << "reached\n";
        EXPECT_TRUE(hand.Reaches(floor)) << hand.Table();
    }

    std::unique_ptr<CharacterRecognizer> recognizer_;
    std::vector<handwriting_data::Skeleton> skeletons_;
};

// The written test set: read, never tuned on.
class WrittenTestSet : public WrittenHand {
protected:
    void SetUp() override { Load("second_hand.strokes"); }
};

// The validation hand: what the ranking is tuned against.
class ValidationHand : public WrittenHand {
protected:
    void SetUp() override { Load("validation_hand.strokes"); }
};

TEST_F(WrittenTestSet, HoldsEveryKanaLetterDigitAndAHundredKanji) {
    ExpectEveryCharacterOnce();
}

TEST_F(WrittenTestSet, ReadsAsWellAsMeasuredAndSaysHowFarFromTheGoal) {
    ExpectReadsAtLeast(kTestSetFloor);
}

TEST_F(ValidationHand, HoldsEveryKanaLetterDigitAndAHundredOtherKanji) {
    ExpectEveryCharacterOnce();
    std::string error;
    const auto tested = handwriting_data::ReadSkeletons(HandFile("second_hand.strokes"), error);
    ASSERT_TRUE(tested.has_value()) << error;
    // Its kanji are not the test set's, so that tuning on them teaches nothing of the test.
    for (const handwriting_data::Skeleton& skeleton : skeletons_) {
        if (GroupOf(skeleton.character) != "kanji") {
            continue;
        }
        EXPECT_EQ(std::find_if(tested->begin(), tested->end(),
                               [&](const handwriting_data::Skeleton& other) {
                                   return other.character == skeleton.character;
                               }),
                  tested->end())
            << platform::Utf16ToUtf8Lossy(skeleton.character);
    }
}

TEST_F(ValidationHand, ReadsAsWellAsTunedAndSaysHowFarFromTheGoal) {
    ExpectReadsAtLeast(kValidationFloor);
}

}  // namespace
}  // namespace handwriting

namespace handwriting {
namespace {

// The characters a new user found read wrong, as the second hand writes them: キ read 干, か 卩,
// た 友, a large 口 囗; in 英 A read 1 and a rounded 2 was not offered.
TEST_F(WrittenTestSet, CharactersOnceReadWrongAreReadFirst) {
    const auto written = [&](std::u16string_view character) {
        const auto found = std::find_if(skeletons_.begin(), skeletons_.end(),
                                        [&](const handwriting_data::Skeleton& skeleton) {
                                            return skeleton.character == character;
                                        });
        EXPECT_NE(found, skeletons_.end());
        return found == skeletons_.end() ? std::vector<Stroke>{}
                                         : handwriting_data::PenSamples(*found);
    };
    const auto first = [&](std::u16string_view character, CharacterSet set) {
        const std::vector<std::u16string> read = recognizer_->Recognize(
            written(character), handwriting_data::kSkeletonBox, set, kSixCandidates);
        return read.empty() ? std::u16string() : read.front();
    };
    for (const std::u16string_view character : {u"キ", u"か", u"た"}) {
        EXPECT_EQ(first(character, CharacterSet::All), character)
            << platform::Utf16ToUtf8Lossy(character);
    }
    for (const std::u16string_view character : {u"A", u"2"}) {
        EXPECT_EQ(first(character, CharacterSet::LatinAndDigits), character)
            << platform::Utf16ToUtf8Lossy(character);
    }
    // 口 drawn to fill the box: the common characters of its shape first, 囗 after them.
    std::vector<Stroke> large = written(u"口");
    for (Stroke& stroke : large) {
        for (InkPoint& point : stroke) {
            point.x = 40 + (point.x - 40) * 2;
            point.y = 40 + (point.y - 40) * 2;
        }
    }
    const std::vector<std::u16string> read =
        recognizer_->Recognize(large, handwriting_data::kSkeletonBox, CharacterSet::All, 6);
    ASSERT_GE(read.size(), 2u);
    EXPECT_EQ(read[0], u"ロ");
    EXPECT_EQ(read[1], u"口");
}

}  // namespace
}  // namespace handwriting
