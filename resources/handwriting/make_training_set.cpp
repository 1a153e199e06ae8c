// Writes the planner's handwriting training set for zinnia's trainer: every skeleton of the
// skeleton files as drawn and in many variations a hand makes, each put in the model's frame as
// the recogniser puts what is written in the panel, as zinnia's S-expressions; and beside it the
// most strokes each character is written with (OUT.s.strokes: a line "character most" each), by
// which the recogniser knows ink of more strokes for none of them:
//   make_training_set OUT.s VARIATIONS SEED FILE.strokes...
#include <algorithm>
#include <charconv>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

#include "platform/handwriting/model_ink.h"
#include "platform/text/unicode_text.h"
#include "resources/handwriting/stroke_skeletons.h"

namespace {

void WriteSample(std::ostream& out, const std::string& character,
                 const std::vector<handwriting::Stroke>& framed) {
    out << "(character (value " << character << ") (width " << handwriting::kModelFrame
        << ") (height " << handwriting::kModelFrame << ") (strokes";
    for (const handwriting::Stroke& stroke : framed) {
        out << " (";
        for (const handwriting::InkPoint& point : stroke) {
            out << '(' << point.x << ' ' << point.y << ')';
        }
        out << ')';
    }
    out << "))\n";
}

bool ParseCount(const char* text, unsigned long& value) {
    const std::string word(text);
    const auto [end, failure] = std::from_chars(word.data(), word.data() + word.size(), value);
    return failure == std::errc{} && end == word.data() + word.size();
}

}  // namespace

int main(int argc, char** argv) {
    unsigned long variations = 0;
    unsigned long seed = 0;
    if (argc < 5 || !ParseCount(argv[2], variations) || !ParseCount(argv[3], seed)) {
        std::cerr << "usage: make_training_set OUT.s VARIATIONS SEED FILE.strokes...\n";
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary);
    handwriting_data::HandVariation hand(static_cast<uint32_t>(seed));
    size_t samples = 0;
    std::map<std::string, size_t> mostStrokes;
    for (int file = 4; file < argc; ++file) {
        std::string error;
        const auto skeletons = handwriting_data::ReadSkeletons(argv[file], error);
        if (!skeletons) {
            std::cerr << "make_training_set: " << error << '\n';
            return 1;
        }
        for (const handwriting_data::Skeleton& skeleton : *skeletons) {
            const std::string character = platform::Utf16ToUtf8(skeleton.character).value_or("");
            mostStrokes[character] = std::max(mostStrokes[character], skeleton.strokes.size());
            for (unsigned long i = 0; i <= variations; ++i) {
                const handwriting_data::Skeleton written = i == 0 ? skeleton : hand.Vary(skeleton);
                WriteSample(out, character,
                            handwriting::ModelFrameInk(handwriting_data::PenSamples(written),
                                                       handwriting_data::kSkeletonBox));
                ++samples;
            }
        }
    }
    out.close();
    std::ofstream counts(std::string(argv[1]) + ".strokes", std::ios::binary);
    for (const auto& [character, most] : mostStrokes) {
        counts << character << ' ' << most << '\n';
    }
    counts.close();
    if (!out || !counts) {
        std::cerr << "make_training_set: cannot write " << argv[1] << '\n';
        return 1;
    }
    std::cout << "make_training_set: " << samples << " samples\n";
    return 0;
}
