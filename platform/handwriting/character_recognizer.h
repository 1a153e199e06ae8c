#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace handwriting {

// One sample of the pen, in the writing box's own pixels.
struct InkPoint {
    int x = 0;
    int y = 0;
};

// The points of one stroke, from pen down to pen up.
using Stroke = std::vector<InkPoint>;

// 英 restricts the answers to Latin letters, digits and the marks written among them (! ? ( ) @
// - / :, in their narrow forms); あ takes every character the models know.
enum class CharacterSet { All, LatinAndDigits };

// Reads one handwritten character from its strokes with zinnia and trained models: Debian's
// Japanese model for kanji and hiragana, and the planner's own for katakana, Latin letters,
// digits and marks. Their candidates are merged by score, a character written seldom giving way
// to one written often when the scores are close.
class CharacterRecognizer {
public:
    // Debian's Japanese model: $TESSARINTH_HANDWRITING_MODEL when set, else Debian's tegaki
    // Japanese model.
    static std::filesystem::path DefaultModelPath();
    // The planner's own model: $TESSARINTH_KANA_LATIN_MODEL when set, else the one installed
    // beside the program (share/tessarinth/handwriting/ next to its bin/), else the one the build
    // made.
    static std::filesystem::path DefaultKanaLatinModelPath();
    // A model and what is added to each of its scores before they are compared with another
    // model's. A model whose characters may have the number of strokes each is written with
    // beside it (MODEL.strokes, a line "character most" each): ink of more strokes than that,
    // and one besides, is not read as the character, whichever model answers it.
    struct ModelFile {
        std::filesystem::path path;
        float scoreOffset = 0;
    };
    // What the planner's own model's scores are moved by before they are compared with Debian's:
    // nothing. Chosen on the validation hand (tests/platform/handwriting/validation_hand.strokes):
    // brought down by 0.5, its kana and letters lost to Debian's readings of the same ink more
    // often than they won wrongly over a kanji.
    static constexpr float kKanaLatinScoreOffset = 0.0F;
    // Both of the planner's models, where they are found.
    static std::vector<ModelFile> PlannerModels() {
        return {{DefaultModelPath(), 0.0F}, {DefaultKanaLatinModelPath(), kKanaLatinScoreOffset}};
    }
    // A recogniser with every model named; null with a one-line reason in `error` when the
    // library was not built in or any of them can't be read.
    static std::unique_ptr<CharacterRecognizer> Load(const std::vector<ModelFile>& models,
                                                     std::string& error);
    static std::unique_ptr<CharacterRecognizer> Load(const std::filesystem::path& model,
                                                     std::string& error) {
        return Load(std::vector<ModelFile>{{model, 0.0F}}, error);
    }
    ~CharacterRecognizer();
    CharacterRecognizer(const CharacterRecognizer&) = delete;
    CharacterRecognizer& operator=(const CharacterRecognizer&) = delete;

    // Candidates, best first, at most `count`, for strokes written in a square box of `boxSize`
    // pixels (points in the box's own coordinates, 0..boxSize-1). Where in the box the character
    // is written does not matter, its size does; points past the box count as on its edge. None
    // for strokes with no movement in them. `before` is the character typed just before, when
    // known: of the characters written alike, the one of its kind leads (ー after a katakana, 一
    // after a kanji, O after a capital).
    std::vector<std::u16string> Recognize(const std::vector<Stroke>& strokes, int boxSize,
                                          CharacterSet set, size_t count,
                                          std::u16string_view before = {}) const;

private:
    struct Model;
    explicit CharacterRecognizer(std::vector<std::unique_ptr<Model>> models);
    // The model at `path`, mapped and opened; null with the reason in `error`.
    static std::unique_ptr<Model> OpenModel(const std::filesystem::path& path, std::string& error);

    std::vector<std::unique_ptr<Model>> models_;
};

}  // namespace handwriting
