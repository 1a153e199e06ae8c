#include "platform/handwriting/character_recognizer.h"

#include <gtest/gtest.h>

#include <iostream>

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/handwriting/zinnia_model.h"
#include "platform/text/unicode_text.h"
#include "tests/support/temp_folder.h"
#include "tests/support/written_characters.h"

namespace handwriting {
namespace {

using testing_support::kWritingBoxSize;
using testing_support::WrittenCharacter;

constexpr size_t kPanelCandidates = 6;

std::string Utf8(const std::u16string& text) {
    return platform::Utf16ToUtf8Lossy(text);
}

std::string Joined(const std::vector<std::u16string>& candidates) {
    std::string joined;
    for (const std::u16string& candidate : candidates) {
        joined += (joined.empty() ? "" : " ") + Utf8(candidate);
    }
    return joined;
}

bool Holds(const std::vector<std::u16string>& candidates, const std::u16string& character) {
    return std::find(candidates.begin(), candidates.end(), character) != candidates.end();
}

// The strokes drawn `scale` times their size with their top-left corner moved to `origin`.
std::vector<Stroke> Redrawn(const std::vector<Stroke>& strokes, double scale, InkPoint origin) {
    std::vector<Stroke> redrawn = strokes;
    for (Stroke& stroke : redrawn) {
        for (InkPoint& point : stroke) {
            point.x = origin.x + static_cast<int>(point.x * scale);
            point.y = origin.y + static_cast<int>(point.y * scale);
        }
    }
    return redrawn;
}

// How many of a table read right first and among the candidates, with one line a character for
// the failure message.
struct TableReading {
    int readFirst = 0;
    int readAmongCandidates = 0;
    int characters = 0;
    std::string report;
};

TableReading ReadTable(const CharacterRecognizer& recognizer,
                       const std::vector<WrittenCharacter>& table, CharacterSet set,
                       double scale = 1.0, InkPoint origin = {}) {
    TableReading reading;
    for (const WrittenCharacter& written : table) {
        const std::vector<std::u16string> candidates = recognizer.Recognize(
            Redrawn(written.strokes, scale, origin), kWritingBoxSize, set, kPanelCandidates);
        const bool first = !candidates.empty() && candidates.front() == written.character;
        const bool among = Holds(candidates, written.character);
        reading.readFirst += first ? 1 : 0;
        reading.readAmongCandidates += among ? 1 : 0;
        ++reading.characters;
        reading.report += (first   ? "  ok "
                           : among ? "  2nd+ "
                                   : "  MISSED ") +
                          Utf8(written.character) + ": " + Joined(candidates) + "\n";
    }
    return reading;
}

class CharacterRecognizerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::filesystem::path model = CharacterRecognizer::DefaultModelPath();
        if (!std::filesystem::exists(model)) {
            GTEST_SKIP() << "no handwriting model at " << model
                         << " (install tegaki-zinnia-japanese, see scripts/setup.sh)";
        }
        if (!std::filesystem::exists(CharacterRecognizer::DefaultKanaLatinModelPath())) {
            GTEST_SKIP() << "the planner's own model was not built (install zinnia-utils)";
        }
        std::string error;
        recognizer_ = CharacterRecognizer::Load(CharacterRecognizer::PlannerModels(), error);
        if (recognizer_ == nullptr && error.find("not built in") != std::string::npos) {
            GTEST_SKIP() << error;
        }
        ASSERT_NE(recognizer_, nullptr) << error;
    }

    std::vector<std::u16string> Read(const std::vector<Stroke>& strokes,
                                     CharacterSet set = CharacterSet::All,
                                     size_t count = kPanelCandidates) const {
        return recognizer_->Recognize(strokes, kWritingBoxSize, set, count);
    }

    std::unique_ptr<CharacterRecognizer> recognizer_;
};

const WrittenCharacter& Find(const std::vector<WrittenCharacter>& table,
                             const std::u16string& character) {
    const auto found = std::find_if(table.begin(), table.end(), [&](const WrittenCharacter& w) {
        return w.character == character;
    });
    EXPECT_NE(found, table.end()) << Utf8(character) << " is not in the table";
    return *found;
}

TEST_F(CharacterRecognizerTest, ReadsCharactersWrittenAcrossTheBox) {
    const TableReading reading =
        ReadTable(*recognizer_, testing_support::WrittenCharacters(), CharacterSet::All);
    ASSERT_GE(reading.characters, 48);
    std::cout << reading.readFirst << " of " << reading.characters << " read right first\n";
    EXPECT_GE(reading.readFirst * 10, reading.characters * 9)
        << reading.readFirst << " of " << reading.characters << " read right first\n"
        << reading.report;
    EXPECT_EQ(reading.readAmongCandidates, reading.characters) << reading.report;
}

TEST_F(CharacterRecognizerTest, ReadsCharactersWrittenSmallAnywhereInTheBox) {
    const std::vector<WrittenCharacter> table = testing_support::WrittenCharacters();
    const TableReading topLeft =
        ReadTable(*recognizer_, table, CharacterSet::All, 0.75, InkPoint{0, 0});
    const TableReading bottomRight =
        ReadTable(*recognizer_, table, CharacterSet::All, 0.75, InkPoint{19, 19});
    // Where in the box a character is written does not change what it reads as.
    EXPECT_EQ(topLeft.report, bottomRight.report);
    EXPECT_GE(topLeft.readAmongCandidates * 10, topLeft.characters * 9) << topLeft.report;
}

TEST_F(CharacterRecognizerTest, PointsPastTheBoxCountAsOnItsEdge) {
    // 十 with both strokes dragged far past the box: read as drawn to the edges.
    const std::vector<Stroke> overshooting = {{{-300, 38}, {12, 38}, {68, 38}, {400, 38}},
                                              {{40, INT_MIN}, {40, 10}, {40, 70}, {40, INT_MAX}}};
    const std::vector<std::u16string> candidates = Read(overshooting);
    ASSERT_FALSE(candidates.empty());
    EXPECT_EQ(candidates.front(), u"十") << Joined(candidates);

    // Ink entirely past a corner of the box collapses onto that corner: nothing left to read.
    const std::vector<Stroke> pastTheCorner = {{{-50, -10}, {-20, -60}}, {{-90, -30}, {-10, -5}}};
    EXPECT_TRUE(Read(pastTheCorner).empty());
}

TEST_F(CharacterRecognizerTest, AScribbleToAndFroIsReadLikeAnyStroke) {
    // Zinnia alone takes minutes over a stroke of forty turns and then runs out of memory.
    Stroke scribble;
    for (int turn = 0; turn < 300; ++turn) {
        scribble.push_back({turn % 2 == 0 ? 5 : 75, 5 + turn % 70});
    }
    const std::vector<std::u16string> candidates = Read({scribble, scribble, scribble});
    EXPECT_LE(candidates.size(), 6u);
    // A stroke's shape survives: a line drawn with many points reads as the line.
    Stroke line;
    for (int x = 10; x <= 70; ++x) {
        line.push_back({x, 40});
    }
    const std::vector<std::u16string> one = Read({line});
    ASSERT_FALSE(one.empty());
    // ー and 一 are written alike; the katakana, written more often, first.
    EXPECT_EQ(one.front(), u"ー") << Joined(one);
    EXPECT_TRUE(Holds(one, u"一")) << Joined(one);
}

TEST_F(CharacterRecognizerTest, NothingWrittenReadsAsNothing) {
    EXPECT_TRUE(Read({}).empty());
    EXPECT_TRUE(Read({{}, {}}).empty());
    // Taps: each stroke a single point, or a pen held still.
    EXPECT_TRUE(Read({{{40, 40}}}).empty());
    EXPECT_TRUE(Read({{{20, 20}}, {{60, 60}}, {}}).empty());
    EXPECT_TRUE(Read({{{30, 30}, {30, 30}, {30, 30}}}).empty());

    const std::vector<WrittenCharacter> table = testing_support::WrittenCharacters();
    const WrittenCharacter& ten = Find(table, u"十");
    EXPECT_TRUE(Read(ten.strokes, CharacterSet::All, 0).empty());
    EXPECT_TRUE(recognizer_->Recognize(ten.strokes, 0, CharacterSet::All, 6).empty());
}

TEST_F(CharacterRecognizerTest, GivesAtMostTheCandidatesAskedFor) {
    const std::vector<WrittenCharacter> table = testing_support::WrittenCharacters();
    const WrittenCharacter& day = Find(table, u"日");
    const std::vector<std::u16string> three = Read(day.strokes, CharacterSet::All, 3);
    const std::vector<std::u16string> six = Read(day.strokes, CharacterSet::All, 6);
    ASSERT_EQ(three.size(), 3u);
    ASSERT_EQ(six.size(), 6u);
    EXPECT_TRUE(std::equal(three.begin(), three.end(), six.begin())) << Joined(six);
    std::vector<std::u16string> distinct = six;
    std::sort(distinct.begin(), distinct.end());
    EXPECT_EQ(std::unique(distinct.begin(), distinct.end()), distinct.end()) << Joined(six);
}

// Katakana, Latin letters and marks come from the planner's own model; a kanji of the same
// shape from Debian's is offered beside the katakana, which is written far more often.
TEST_F(CharacterRecognizerTest, KatakanaAreReadFirstWithTheKanjiOfTheSameShapeBeside) {
    const std::vector<WrittenCharacter> table = testing_support::WrittenCharacters();
    for (const auto& [katakana, kanji] :
         {std::pair<std::u16string, std::u16string>{u"カ", u"力"}, {u"ロ", u"口"}}) {
        const std::vector<std::u16string> candidates = Read(Find(table, katakana).strokes);
        ASSERT_FALSE(candidates.empty());
        EXPECT_EQ(candidates.front(), katakana) << Joined(candidates);
        EXPECT_TRUE(Holds(candidates, kanji)) << Joined(candidates);
    }
}

TEST_F(CharacterRecognizerTest, LatinModeGivesOnlyLatinLettersDigitsAndTheirMarks) {
    std::vector<WrittenCharacter> everything = testing_support::WrittenCharacters();
    const std::vector<WrittenCharacter> latin = testing_support::WrittenLatinLetters();
    everything.insert(everything.end(), latin.begin(), latin.end());
    const std::u16string marks = u"!?()@-/:";
    for (const WrittenCharacter& written : everything) {
        const std::vector<std::u16string> candidates =
            Read(written.strokes, CharacterSet::LatinAndDigits);
        EXPECT_LE(candidates.size(), kPanelCandidates);
        for (const std::u16string& candidate : candidates) {
            ASSERT_EQ(candidate.size(), 1u)
                << Utf8(written.character) << ": " << Joined(candidates);
            const char16_t unit = candidate.front();
            EXPECT_TRUE((unit >= u'0' && unit <= u'9') || (unit >= u'A' && unit <= u'Z') ||
                        (unit >= u'a' && unit <= u'z') || marks.find(unit) != std::u16string::npos)
                << Utf8(written.character) << ": " << Joined(candidates);
        }
    }
}

TEST_F(CharacterRecognizerTest, LatinModeReadsDigitsAndLetters) {
    std::vector<WrittenCharacter> digits;
    for (const WrittenCharacter& written : testing_support::WrittenCharacters()) {
        if (written.character.size() == 1 && written.character.front() >= u'0' &&
            written.character.front() <= u'9') {
            digits.push_back(written);
        }
    }
    ASSERT_EQ(digits.size(), 10u);
    const TableReading digitReading = ReadTable(*recognizer_, digits, CharacterSet::LatinAndDigits);
    EXPECT_EQ(digitReading.readFirst, digitReading.characters) << digitReading.report;

    // O is written as 0 is and I as 1: the letter is offered beside the digit, which stays first.
    const TableReading letterReading = ReadTable(
        *recognizer_, testing_support::WrittenLatinLetters(), CharacterSet::LatinAndDigits);
    EXPECT_EQ(letterReading.readAmongCandidates, letterReading.characters) << letterReading.report;
    EXPECT_GE(letterReading.readFirst, 2) << letterReading.report;
}

// The wide marks of the planner's model are typed narrow among Latin letters; the colon, which
// the model keeps by its wide form, is narrow in both sets.
TEST_F(CharacterRecognizerTest, MarksAreTypedInTheFormTheSetWrites) {
    const Stroke bar = {{40, 10}, {40, 20}, {40, 30}, {40, 40}, {40, 52}};
    const Stroke dot = {{40, 66}, {41, 67}, {41, 69}};
    const std::vector<Stroke> exclamation = {bar, dot};
    EXPECT_TRUE(Holds(Read(exclamation, CharacterSet::All), u"！"))
        << Joined(Read(exclamation, CharacterSet::All));
    EXPECT_TRUE(Holds(Read(exclamation, CharacterSet::LatinAndDigits), u"!"))
        << Joined(Read(exclamation, CharacterSet::LatinAndDigits));
    const std::vector<Stroke> colon = {{{40, 24}, {40, 26}, {41, 29}},
                                       {{40, 50}, {40, 52}, {41, 55}}};
    for (const CharacterSet set : {CharacterSet::All, CharacterSet::LatinAndDigits}) {
        const std::vector<std::u16string> read = Read(colon, set);
        EXPECT_TRUE(Holds(read, u":")) << Joined(read);
        EXPECT_FALSE(Holds(read, u"：")) << Joined(read);
    }
}

TEST(CharacterRecognizerLoadTest, MissingModelIsRefusedWithOneLine) {
    testing_support::TempFolder folder;
    ASSERT_TRUE(folder.Made());
    std::string error;
    const std::filesystem::path missing = folder.Path() / "handwriting-ja.model";
    EXPECT_EQ(CharacterRecognizer::Load(missing, error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

TEST(CharacterRecognizerLoadTest, DamagedModelIsRefusedWithOneLine) {
    testing_support::TempFolder folder;
    ASSERT_TRUE(folder.Made());
    std::vector<std::filesystem::path> damaged = {folder.Path() / "garbage.model",
                                                  folder.Path() / "empty.model"};
    testing_support::WriteBytes(damaged[0], std::string(4096, '\x5a') + "not a model\n");
    testing_support::WriteBytes(damaged[1], "");
    const std::filesystem::path real = CharacterRecognizer::DefaultModelPath();
    if (std::filesystem::exists(real)) {
        // The real model cut short, as a download or a full disk leaves it.
        std::ifstream in(real, std::ios::binary);
        std::string head(64 * 1024, '\0');
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        damaged.push_back(folder.Path() / "cut-short.model");
        testing_support::WriteBytes(damaged.back(), head);
    }
    for (const std::filesystem::path& model : damaged) {
        std::string error;
        EXPECT_EQ(CharacterRecognizer::Load(model, error), nullptr) << model;
        EXPECT_FALSE(error.empty()) << model;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

// One character of a model made here: its name, its bias and its weights.
struct ModelCharacter {
    std::string name;
    float bias = 0;
    std::vector<std::pair<int32_t, float>> weights;
};

void AppendWord(std::string& bytes, uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes += static_cast<char>((word >> shift) & 0xFF);
    }
}

void AppendFloat(std::string& bytes, float value) {
    uint32_t word = 0;
    std::memcpy(&word, &value, sizeof word);
    AppendWord(bytes, word);
}

// A model in zinnia's format, its header written as zinnia's trainer writes it unless told
// otherwise: the first word the size XOR 0x0ef71821, version 1, the count of characters.
std::string ModelBytes(const std::vector<ModelCharacter>& characters,
                       std::optional<uint32_t> claimedCount = std::nullopt) {
    std::string body;
    for (const ModelCharacter& character : characters) {
        std::string name = character.name;
        name.resize(16, '\0');
        body += name;
        AppendFloat(body, character.bias);
        for (const auto& [index, value] : character.weights) {
            AppendWord(body, static_cast<uint32_t>(index));
            AppendFloat(body, value);
        }
        AppendWord(body, static_cast<uint32_t>(-1));
        AppendFloat(body, 0);
    }
    std::string bytes;
    AppendWord(bytes, static_cast<uint32_t>(12 + body.size()) ^ 0x0ef71821u);
    AppendWord(bytes, 1);
    AppendWord(bytes, claimedCount.value_or(static_cast<uint32_t>(characters.size())));
    return bytes + body;
}

// Whether this build reads handwriting at all (zinnia may have been missing at build time).
bool RecognitionBuiltIn() {
    std::string error;
    (void)CharacterRecognizer::Load("/nonexistent.model", error);
    return error.find("not built in") == std::string::npos;
}

std::optional<std::string> DamageOf(const std::string& bytes) {
    return ModelDamage(std::as_bytes(std::span(bytes.data(), bytes.size())));
}

const std::vector<ModelCharacter> kTwoCharacters = {
    {"い", 0.5F, {{3, 0.25F}, {40, -1.0F}}},
    {"あ", 1.5F, {{7, 0.5F}}},
};

TEST(ZinniaModelTest, AModelMadeHereLoadsAndReadsByItsWeights) {
    testing_support::TempFolder folder;
    ASSERT_TRUE(folder.Made());
    const std::filesystem::path path = folder.Path() / "two.model";
    testing_support::WriteBytes(path, ModelBytes(kTwoCharacters));
    EXPECT_EQ(DamageOf(ModelBytes(kTwoCharacters)), std::nullopt);
    if (!RecognitionBuiltIn()) {
        GTEST_SKIP() << "handwriting recognition was not built in";
    }
    std::string error;
    const auto recognizer = CharacterRecognizer::Load(path, error);
    ASSERT_NE(recognizer, nullptr) << error;
    const std::vector<Stroke> stroke = {{{10, 10}, {60, 60}}};
    const std::vector<std::u16string> read =
        recognizer->Recognize(stroke, 80, CharacterSet::All, kPanelCandidates);
    // The larger bias leads: the stroke's features meet neither character's few weights much.
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0], u"あ");
    EXPECT_EQ(read[1], u"い");
}

// Models made here, whose answers are decided by their biases alone: what the ranking makes of
// scores that are close and far apart, of two models, and of the marks of the planner's own.
class RankingOfMadeModels : public ::testing::Test {
protected:
    void SetUp() override {
        if (!RecognitionBuiltIn()) {
            GTEST_SKIP() << "handwriting recognition was not built in";
        }
        ASSERT_TRUE(folder_.Made());
    }

    std::filesystem::path Model(const std::string& name,
                                const std::vector<std::pair<std::string, float>>& biases) {
        std::vector<ModelCharacter> characters;
        for (const auto& [character, bias] : biases) {
            characters.push_back({character, bias, {}});
        }
        const std::filesystem::path path = folder_.Path() / name;
        testing_support::WriteBytes(path, ModelBytes(characters));
        return path;
    }

    std::vector<std::u16string> ReadWith(const std::vector<CharacterRecognizer::ModelFile>& models,
                                         const std::vector<Stroke>& strokes,
                                         CharacterSet set = CharacterSet::All) {
        std::string error;
        const auto recognizer = CharacterRecognizer::Load(models, error);
        EXPECT_NE(recognizer, nullptr) << error;
        return recognizer == nullptr ? std::vector<std::u16string>{}
                                     : recognizer->Recognize(strokes, 80, set, kPanelCandidates);
    }

    const std::vector<Stroke> stroke_ = {{{10, 10}, {60, 60}}};
    testing_support::TempFolder folder_;
};

TEST_F(RankingOfMadeModels, ACommonCharacterLeadsARareOneWhenTheScoresAreClose) {
    // 囗 (JIS level 2) scored a little above 口 (jōyō), 卩 a little above か; ロ, written as 口
    // is, follows it.
    EXPECT_EQ(ReadWith({{Model("close.model", {{"囗", 1.0F}, {"口", 0.9F}}), 0}}, stroke_),
              (std::vector<std::u16string>{u"口", u"ロ", u"囗"}));
    EXPECT_EQ(ReadWith({{Model("kana.model", {{"卩", 1.0F}, {"か", 0.95F}}), 0}}, stroke_),
              (std::vector<std::u16string>{u"か", u"卩"}));
    // Far apart, the model's choice stands.
    EXPECT_EQ(ReadWith({{Model("far.model", {{"囗", 2.5F}, {"口", 0.9F}}), 0}}, stroke_),
              (std::vector<std::u16string>{u"囗", u"口"}));
}

TEST_F(RankingOfMadeModels, TwoModelsAreMergedByScoreWithTheOffsetOfEach) {
    const std::filesystem::path first = Model("first.model", {{"日", 1.0F}, {"目", 0.2F}});
    const std::filesystem::path second = Model("second.model", {{"ロ", 1.3F}, {"日", 3.0F}});
    // 日, which both know, counts once with its better score, the second's; then ロ.
    EXPECT_EQ(ReadWith({{first, 0}, {second, 0}}, stroke_),
              (std::vector<std::u16string>{u"日", u"ロ", u"目"}));
    // Its scores brought down by an offset, the first model's order leads.
    EXPECT_EQ(ReadWith({{first, 0}, {second, -2.5F}}, stroke_),
              (std::vector<std::u16string>{u"日", u"目", u"ロ"}));
}

TEST_F(RankingOfMadeModels, LookAlikesFollowTheFirstAndEachSetKeepsItsOwn) {
    const std::filesystem::path model =
        Model("latin.model", {{"0", 2.0F}, {"7", 1.5F}, {"o", -1.0F}, {"O", -2.0F}, {"〓", 1.0F}});
    // O and o follow 0 however low the model scored them, below 〓 too; 〓 is never offered.
    EXPECT_EQ(ReadWith({{model, 0}}, stroke_, CharacterSet::LatinAndDigits),
              (std::vector<std::u16string>{u"0", u"O", u"o", u"7"}));
    // In 英 the wide marks are narrow; the colon is narrow in both sets.
    const std::filesystem::path marks =
        Model("marks.model", {{"！", 1.0F}, {"：", 0.5F}, {"ア", 0.1F}});
    EXPECT_EQ(ReadWith({{marks, 0}}, stroke_, CharacterSet::LatinAndDigits),
              (std::vector<std::u16string>{u"!", u":"}));
    EXPECT_EQ(ReadWith({{marks, 0}}, stroke_, CharacterSet::All),
              (std::vector<std::u16string>{u"！", u":", u"ア"}));
}

TEST_F(RankingOfMadeModels, TheLookAlikeOfTheKindTypedBeforeLeads) {
    const std::filesystem::path model = Model("alike.model", {{"ー", 1.0F}, {"七", 0.0F}});
    const auto read = [&](std::u16string_view before) {
        std::string error;
        const auto recognizer = CharacterRecognizer::Load(model, error);
        EXPECT_NE(recognizer, nullptr) << error;
        return recognizer == nullptr ? std::vector<std::u16string>{}
                                     : recognizer->Recognize(stroke_, 80, CharacterSet::All,
                                                             kPanelCandidates, before);
    };
    using Candidates = std::vector<std::u16string>;
    EXPECT_EQ(read(u""), (Candidates{u"ー", u"一", u"-", u"七"}));
    EXPECT_EQ(read(u"カ"), (Candidates{u"ー", u"一", u"-", u"七"}));
    EXPECT_EQ(read(u"日"), (Candidates{u"一", u"ー", u"-", u"七"}));
    // A mark or a space before says nothing of the kind: the hyphen does not lead.
    EXPECT_EQ(read(u"、"), (Candidates{u"ー", u"一", u"-", u"七"}));
    EXPECT_EQ(read(u"・"), (Candidates{u"ー", u"一", u"-", u"七"}));
    // Of no look-alike's kind: as read.
    EXPECT_EQ(read(u"あ"), (Candidates{u"ー", u"一", u"-", u"七"}));

    const std::filesystem::path zero = Model("zero.model", {{"0", 2.0F}, {"7", 1.5F}});
    std::string error;
    const auto latin = CharacterRecognizer::Load(zero, error);
    ASSERT_NE(latin, nullptr) << error;
    const auto inLatin = [&](std::u16string_view before) {
        return latin->Recognize(stroke_, 80, CharacterSet::LatinAndDigits, kPanelCandidates,
                                before);
    };
    EXPECT_EQ(inLatin(u"1"), (Candidates{u"0", u"O", u"o", u"7"}));
    EXPECT_EQ(inLatin(u"T"), (Candidates{u"O", u"0", u"o", u"7"}));
    EXPECT_EQ(inLatin(u"t"), (Candidates{u"o", u"0", u"O", u"7"}));
}

TEST_F(RankingOfMadeModels, InkOfMoreStrokesThanACharacterHasIsNotReadAsIt) {
    const std::filesystem::path model = Model("counted.model", {{"ア", 2.0F}, {"イ", 1.0F}});
    testing_support::WriteBytes(folder_.Path() / "counted.model.strokes", "ア 2\nイ 5\n");
    const std::vector<Stroke> three = {stroke_[0], stroke_[0], stroke_[0]};
    const std::vector<Stroke> four = {stroke_[0], stroke_[0], stroke_[0], stroke_[0]};
    // One stroke more than its most, as a hand may part one: still ア.
    EXPECT_EQ(ReadWith({{model, 0}}, three), (std::vector<std::u16string>{u"ア", u"イ"}));
    EXPECT_EQ(ReadWith({{model, 0}}, four), (std::vector<std::u16string>{u"イ"}));
    // A counts file that cannot be read leaves the answers unbounded.
    testing_support::WriteBytes(folder_.Path() / "counted.model.strokes",
                                std::string(128 * 1024, 'x'));
    EXPECT_EQ(ReadWith({{model, 0}}, four), (std::vector<std::u16string>{u"ア", u"イ"}));
}

TEST_F(RankingOfMadeModels, StrokeCountsBoundTheOtherModelsAnswersToo) {
    // Debian's model reads べ's three strokes as へ, passing over the marks; the planner's model
    // knows へ is one stroke, べ three.
    const std::filesystem::path debian = Model("debian.model", {{"へ", 2.0F}, {"凵", 0.5F}});
    const std::filesystem::path planner = Model("planner.model", {{"べ", 1.0F}, {"へ", -1.0F}});
    testing_support::WriteBytes(folder_.Path() / "planner.model.strokes", "へ 1\nべ 3\n");
    const std::vector<Stroke> three = {stroke_[0], stroke_[0], stroke_[0]};
    EXPECT_EQ(ReadWith({{debian, 0}, {planner, 0}}, three),
              (std::vector<std::u16string>{u"べ", u"ベ", u"凵"}));
    // Two strokes may be へ parted in two.
    EXPECT_EQ(ReadWith({{debian, 0}, {planner, 0}}, {stroke_[0], stroke_[0]}),
              (std::vector<std::u16string>{u"へ", u"ヘ", u"べ", u"凵"}));
}

TEST_F(RankingOfMadeModels, WhatThePlannersModelScoresBelowItsNoneClassIsLeftToTheOther) {
    const std::filesystem::path debian = Model("debian.model", {{"引", 0.2F}, {"弔", -0.5F}});
    // The ink is more like a kanji than like ヴ to the planner's model: Debian's reading stands.
    const std::filesystem::path kanjiLike = Model("kanji-like.model", {{"〓", 2.0F}, {"ヴ", 1.0F}});
    EXPECT_EQ(ReadWith({{debian, 0}, {kanjiLike, 0}}, stroke_),
              (std::vector<std::u16string>{u"引", u"弔"}));
    // Scored above 〓, ヴ leads by its score.
    const std::filesystem::path kanaLike = Model("kana-like.model", {{"ヴ", 1.0F}, {"〓", 0.5F}});
    EXPECT_EQ(ReadWith({{debian, 0}, {kanaLike, 0}}, stroke_),
              (std::vector<std::u16string>{u"ヴ", u"引", u"弔"}));
}

// Each damage a file can have is named, and never reaches zinnia: a header's count past what the
// file holds (once a bad_alloc at start), weights without their end (once a read past the file).
TEST(ZinniaModelTest, WhatTheHeaderClaimsIsCheckedAgainstTheFile) {
    const std::string good = ModelBytes(kTwoCharacters);
    const auto damage = [](const std::string& bytes) { return DamageOf(bytes).value_or("none"); };
    EXPECT_EQ(damage(""), "it is shorter than a model's header");
    EXPECT_EQ(damage(good.substr(0, 11)), "it is shorter than a model's header");
    EXPECT_EQ(damage(ModelBytes(kTwoCharacters, 0xFFFFFFFF)),
              "its header claims 4294967295 characters, more than its " +
                  std::to_string(good.size()) + " bytes hold");
    // Room for two of the smallest characters, taken by one with five weights.
    const std::vector<ModelCharacter> one = {{"う", 0, {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}}}};
    EXPECT_EQ(damage(ModelBytes(one, 2)), "character 2 runs past the end");
    // 12 bytes of header and 44 of the first character: the second's 36 are left over.
    EXPECT_EQ(damage(ModelBytes(kTwoCharacters, 1)), "36 bytes follow its last character");
    EXPECT_EQ(damage(good + "x"), "its header does not match its size of " +
                                      std::to_string(good.size() + 1) + " bytes");
    std::string otherVersion = good;
    otherVersion[4] = 2;
    EXPECT_EQ(damage(otherVersion), "it is of another version of the format (2)");
    // The last character's weights lose their end: the same size, so the header still matches.
    std::string endless = good;
    endless.replace(endless.size() - 8, 4, std::string("\x05\0\0\0", 4));
    EXPECT_EQ(damage(endless), "character 2 runs past the end");
    std::string unnamed = good;
    unnamed.replace(12, 16, std::string(16, 'x'));
    EXPECT_EQ(damage(unnamed), "the name of character 1 does not end");

    const std::filesystem::path real = CharacterRecognizer::DefaultModelPath();
    if (std::filesystem::exists(real)) {
        std::ifstream in(real, std::ios::binary);
        const std::string whole((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(DamageOf(whole), std::nullopt);
    }
}

// The cause is named: what is no file, what is damaged, what is missing.
TEST(ZinniaModelTest, AModelThatCannotBeUsedIsRefusedWithItsCause) {
    if (!RecognitionBuiltIn()) {
        GTEST_SKIP() << "handwriting recognition was not built in";
    }
    testing_support::TempFolder folder;
    ASSERT_TRUE(folder.Made());
    const std::filesystem::path fifo = folder.Path() / "fifo.model";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::filesystem::path huge = folder.Path() / "huge.model";
    testing_support::WriteBytes(huge, ModelBytes(kTwoCharacters, 0xFFFFFFFF));
    const std::filesystem::path missing = folder.Path() / "missing.model";
    const std::pair<std::filesystem::path, std::string> refused[] = {
        {fifo, "cannot read the handwriting model " + fifo.string() + ": not a regular file"},
        {folder.Path(),
         "cannot read the handwriting model " + folder.Path().string() + ": not a regular file"},
        {huge, "the handwriting model " + huge.string() +
                   " is damaged: its header claims 4294967295 characters, more than its 92 "
                   "bytes hold"},
        {missing,
         "cannot read the handwriting model " + missing.string() + ": No such file or directory"},
    };
    for (const auto& [path, message] : refused) {
        std::string error;
        EXPECT_EQ(CharacterRecognizer::Load(path, error), nullptr);
        EXPECT_EQ(error, message);
    }
}

TEST(CharacterRecognizerLoadTest, ModelPathComesFromTheEnvironmentWhenSet) {
    const char* before = std::getenv("TESSARINTH_HANDWRITING_MODEL");
    const std::string saved = before != nullptr ? before : "";
    setenv("TESSARINTH_HANDWRITING_MODEL", "/tmp/elsewhere/ja.model", 1);
    EXPECT_EQ(CharacterRecognizer::DefaultModelPath(), "/tmp/elsewhere/ja.model");
    setenv("TESSARINTH_HANDWRITING_MODEL", "", 1);
    EXPECT_EQ(CharacterRecognizer::DefaultModelPath(),
              "/usr/share/tegaki/models/zinnia/handwriting-ja.model");
    if (before != nullptr) {
        setenv("TESSARINTH_HANDWRITING_MODEL", saved.c_str(), 1);
    } else {
        unsetenv("TESSARINTH_HANDWRITING_MODEL");
    }
}

}  // namespace
}  // namespace handwriting
