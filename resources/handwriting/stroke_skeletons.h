#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/handwriting/character_recognizer.h"

// Characters kept as the points a hand turns at, one way of writing per line of a text file, and
// what is made of them: the pen's samples along each stroke, and the variations a hand makes.
namespace handwriting_data {

// The writing box the skeletons are drawn in, as the input panel's.
inline constexpr int kSkeletonBox = 80;

// A turning point, in the box's pixels (fractions allowed, so transforms lose nothing).
struct TurnPoint {
    double x = 0;
    double y = 0;
};
using SkeletonStroke = std::vector<TurnPoint>;

// One way of writing a character: its strokes in the order and direction they are written.
struct Skeleton {
    std::u16string character;
    std::vector<SkeletonStroke> strokes;
    int line = 0;  // where in its file it was given
};

// The skeletons of a file, read as it is laid out:
//   # a comment, to the end of the line
//   ア 14,16 62,16 56,30 38,44 | 38,30 36,52 22,70   a character: strokes parted by |, each its
//                                                     turning points x,y in the 80 x 80 box
//   ガ = カ voiced                                    the base's every skeleton with the voiced
//   パ = ハ semivoiced                                marks (゛ or ゜) at its top right, or at
//   ァ = ア small                                     the small size
//   @voiced 58,6 62,16 | 66,4 70,14                   the strokes of the marks, and the small
//   @semivoiced 64,4 58,9 64,15 70,9 64,4             size, this file's hand writes
//   @small 0.6
//   @slant -0.1   @scale 0.9                          this hand's lean (x moves by slant times
//                                                     the height above the middle) and size,
//                                                     for every skeleton after it
// A line that cannot be read is named in `error` (with its number) and nothing is returned.
std::optional<std::vector<Skeleton>> ReadSkeletons(const std::filesystem::path& file,
                                                   std::string& error);

// The pen's samples along each stroke, about every 3 pixels, as the panel records them.
std::vector<handwriting::Stroke> PenSamples(const Skeleton& skeleton);

// The variations a hand makes, from a seed, so that a training set is made the same every time:
// a slant, a size and proportion, a slight turn, each stroke a little longer or shorter and out
// of place, and a wobble along it.
class HandVariation {
public:
    explicit HandVariation(uint32_t seed) : state_(seed) {}
    Skeleton Vary(const Skeleton& skeleton);

private:
    // A uniform number in [low, high), from a generator of our own so that every library and
    // machine makes the same numbers.
    double Uniform(double low, double high);

    uint64_t state_;
};

}  // namespace handwriting_data
