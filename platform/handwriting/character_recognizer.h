#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace handwriting {

// One sample of the pen, in the writing box's own pixels.
struct InkPoint {
    int x = 0;
    int y = 0;
};

// The points of one stroke, from pen down to pen up.
using Stroke = std::vector<InkPoint>;

// 英 restricts the answers to Latin letters and digits; あ takes every character the model knows.
enum class CharacterSet { All, LatinAndDigits };

// Reads one handwritten character from its strokes with zinnia and a trained model.
class CharacterRecognizer {
public:
    // The model the planner uses: $TESSARINTH_HANDWRITING_MODEL when set, else Debian's tegaki
    // Japanese model.
    static std::filesystem::path DefaultModelPath();
    // Null with a one-line reason in `error` when the library was not built in or the model can't
    // be read.
    static std::unique_ptr<CharacterRecognizer> Load(const std::filesystem::path& model,
                                                     std::string& error);
    ~CharacterRecognizer();
    CharacterRecognizer(const CharacterRecognizer&) = delete;
    CharacterRecognizer& operator=(const CharacterRecognizer&) = delete;

    // Candidates, best first, at most `count`, for strokes written in a square box of `boxSize`
    // pixels (points in the box's own coordinates, 0..boxSize-1). Where in the box the character
    // is written does not matter, its size does; points past the box count as on its edge. None
    // for strokes with no movement in them. Katakana and Latin letters the model lacks follow the
    // character of the same shape it gives (力 カ, 0 O).
    std::vector<std::u16string> Recognize(const std::vector<Stroke>& strokes, int boxSize,
                                          CharacterSet set, size_t count) const;

private:
    struct Model;
    explicit CharacterRecognizer(std::unique_ptr<Model> model);

    std::unique_ptr<Model> model_;
};

}  // namespace handwriting
