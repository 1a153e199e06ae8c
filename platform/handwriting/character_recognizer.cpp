#include "platform/handwriting/character_recognizer.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "platform/text/unicode_text.h"

#if TESSARINTH_HAVE_ZINNIA
#include <zinnia.h>
#endif

namespace handwriting {

namespace {

constexpr const char* kModelVariable = "TESSARINTH_HANDWRITING_MODEL";
constexpr const char* kDebianJapaneseModel = "/usr/share/tegaki/models/zinnia/handwriting-ja.model";

}  // namespace

#if TESSARINTH_HAVE_ZINNIA

namespace {

// The square the strokes are handed to the model in. Zinnia divides by the frame it is given, so
// a larger frame only keeps the rounding of a small box's pixels out of the features.
constexpr int kModelFrame = 1000;

// How deep the model's ranking is searched for Latin letters and digits, which a Japanese model
// ranks behind many kanji of a similar shape.
constexpr size_t kLatinSearchDepth = 400;

// A character the model answers with, and the characters written in the same shape that it was
// never trained on: a hand writes カ and 力 alike, so the model's 力 stands for both.
struct SameShape {
    std::u16string_view modelAnswer;
    std::u16string_view alsoReads;
};

constexpr SameShape kKatakanaOfSameShape[] = {
    {u"力", u"カ"}, {u"口", u"ロ"}, {u"二", u"ニ"}, {u"八", u"ハ"}, {u"卜", u"ト"}, {u"夕", u"タ"},
    {u"へ", u"ヘ"}, {u"り", u"リ"}, {u"工", u"エ"}, {u"才", u"オ"}, {u"匕", u"ヒ"}, {u"厶", u"ム"},
    {u"丿", u"ノ"}, {u"一", u"ー"}, {u"千", u"チ"}, {u"三", u"ミ"}, {u"又", u"ヌ"},
};

constexpr SameShape kLatinOfSameShape[] = {
    {u"0", u"Oo"}, {u"口", u"O"}, {u"1", u"lI"}, {u"5", u"S"},  {u"丁", u"T"},
    {u"乙", u"Z"}, {u"凵", u"U"}, {u"匚", u"C"}, {u"乂", u"X"}, {u"し", u"L"},
};

bool IsLatinLetterOrDigit(std::u16string_view character) {
    if (character.size() != 1) {
        return false;
    }
    const char16_t unit = character.front();
    return (unit >= u'0' && unit <= u'9') || (unit >= u'A' && unit <= u'Z') ||
           (unit >= u'a' && unit <= u'z');
}

// Adds a candidate once, keeping the order they came in.
void AddCandidate(std::vector<std::u16string>& candidates, std::u16string_view candidate) {
    if (std::find(candidates.begin(), candidates.end(), candidate) == candidates.end()) {
        candidates.emplace_back(candidate);
    }
}

// The model's answer followed by the characters of the same shape the set allows.
void AddWithSameShapes(std::vector<std::u16string>& candidates, std::u16string_view answer,
                       CharacterSet set) {
    if (set == CharacterSet::All) {
        AddCandidate(candidates, answer);
        for (const SameShape& shape : kKatakanaOfSameShape) {
            if (shape.modelAnswer == answer) {
                AddCandidate(candidates, shape.alsoReads);
            }
        }
        return;
    }
    if (IsLatinLetterOrDigit(answer)) {
        AddCandidate(candidates, answer);
    }
    for (const SameShape& shape : kLatinOfSameShape) {
        if (shape.modelAnswer == answer) {
            for (const char16_t letter : shape.alsoReads) {
                AddCandidate(candidates, std::u16string_view(&letter, 1));
            }
        }
    }
}

// Zinnia's error text without the source line and condition it starts with, which mean nothing to
// the user: "recognizer.cpp(117) [check] model file is broken" says "model file is broken".
std::string WithoutSourcePosition(std::string_view zinniaError) {
    const size_t end = zinniaError.find("] ");
    if (end == std::string_view::npos) {
        return std::string(zinniaError);
    }
    return std::string(zinniaError.substr(end + 2));
}

}  // namespace

struct CharacterRecognizer::Model {
    std::unique_ptr<zinnia::Recognizer> recognizer{zinnia::Recognizer::create()};
};

std::unique_ptr<CharacterRecognizer> CharacterRecognizer::Load(const std::filesystem::path& model,
                                                               std::string& error) {
    auto loaded = std::make_unique<Model>();
    if (!loaded->recognizer->open(model.c_str())) {
        error = "cannot read the handwriting model " + model.string() + ": " +
                WithoutSourcePosition(loaded->recognizer->what());
        return nullptr;
    }
    if (loaded->recognizer->size() == 0) {
        error = "the handwriting model " + model.string() + " knows no characters";
        return nullptr;
    }
    return std::unique_ptr<CharacterRecognizer>(new CharacterRecognizer(std::move(loaded)));
}

std::vector<std::u16string> CharacterRecognizer::Recognize(const std::vector<Stroke>& strokes,
                                                           int boxSize, CharacterSet set,
                                                           size_t count) const {
    std::vector<std::u16string> candidates;
    if (count == 0 || boxSize <= 0) {
        return candidates;
    }
    const bool anyMovement = std::any_of(strokes.begin(), strokes.end(), [](const Stroke& stroke) {
        return std::any_of(stroke.begin(), stroke.end(), [&](const InkPoint& point) {
            return point.x != stroke.front().x || point.y != stroke.front().y;
        });
    });
    if (!anyMovement) {
        return candidates;
    }

    std::unique_ptr<zinnia::Character> character(zinnia::Character::create());
    character->set_width(kModelFrame);
    character->set_height(kModelFrame);
    // Points the pen dragged outside the box count as on its edge.
    const auto scale = [boxSize](int coordinate) {
        const int inBox = std::clamp(coordinate, 0, boxSize - 1);
        return static_cast<int>((static_cast<long>(inBox) * kModelFrame + boxSize / 2) / boxSize);
    };
    size_t strokeId = 0;
    for (const Stroke& stroke : strokes) {
        if (stroke.empty()) {
            continue;
        }
        for (const InkPoint& point : stroke) {
            character->add(strokeId, scale(point.x), scale(point.y));
        }
        ++strokeId;
    }

    const size_t depth = set == CharacterSet::All ? count : std::max(count, kLatinSearchDepth);
    std::unique_ptr<zinnia::Result> result(model_->recognizer->classify(*character, depth));
    if (result == nullptr) {
        return candidates;
    }
    for (size_t i = 0; i < result->size() && candidates.size() < count; ++i) {
        AddWithSameShapes(candidates, platform::Utf8ToUtf16Lossy(result->value(i)), set);
    }
    if (candidates.size() > count) {
        candidates.resize(count);
    }
    return candidates;
}

#else

struct CharacterRecognizer::Model {};

std::unique_ptr<CharacterRecognizer> CharacterRecognizer::Load(const std::filesystem::path&,
                                                               std::string& error) {
    error = "handwriting recognition was not built in (zinnia was missing at build time)";
    return nullptr;
}

std::vector<std::u16string> CharacterRecognizer::Recognize(const std::vector<Stroke>&, int,
                                                           CharacterSet, size_t) const {
    return {};
}

#endif

CharacterRecognizer::CharacterRecognizer(std::unique_ptr<Model> model) : model_(std::move(model)) {}

CharacterRecognizer::~CharacterRecognizer() = default;

std::filesystem::path CharacterRecognizer::DefaultModelPath() {
    const char* chosen = std::getenv(kModelVariable);
    if (chosen != nullptr && *chosen != '\0') {
        return chosen;
    }
    return kDebianJapaneseModel;
}

}  // namespace handwriting
