#pragma once

#include <cstddef>
#include <vector>

#include "platform/handwriting/character_recognizer.h"

namespace handwriting {

// The square the strokes are handed to a model in: zinnia divides by the frame it is given, so a
// larger frame only keeps rounding out of the features.
inline constexpr int kModelFrame = 1000;

// The most points of one stroke a model is given. Zinnia's time grows about threefold with each
// two more turns in a stroke (measured: a zigzag of 20 points 11 ms, of 28 points 1.4 s, of 40
// points minutes and then out of memory), so a pen scribbling to and fro would hang the planner.
// A stroke a hand writes turns far fewer times than this; its telling points are kept.
inline constexpr size_t kMaxModelPointsPerStroke = 16;

// The strokes written in a square box of `boxSize` pixels as a model reads them, in the model's
// frame: points past the box moved onto its edge, the ink moved so that its middle is the frame's
// middle (a character written off-centre reads as one written in the middle) at its own size
// (the models tell characters apart by it: 口 is written small, 囗 large), each stroke as at most
// kMaxModelPointsPerStroke telling points. Empty strokes are left out. The planner's models are
// trained on ink put the same way.
std::vector<Stroke> ModelFrameInk(const std::vector<Stroke>& strokes, int boxSize);

// The stroke's telling points, at most `limit`: its ends, then again and again the point that
// lies farthest from the line between its kept neighbours, while any lies off that line.
Stroke TellingPoints(const Stroke& stroke, size_t limit);

}  // namespace handwriting
