#include "resources/handwriting/stroke_skeletons.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <variant>

#include "platform/text/unicode_text.h"

namespace handwriting_data {
namespace {

constexpr double kPenSampleSpacing = 3.0;
// Where the voiced marks go: the base is drawn smaller towards the lower left to leave them room.
constexpr double kVoicedBaseScale = 0.86;
constexpr TurnPoint kVoicedBaseAnchor{8, 76};
// A file larger than any skeleton file is not read on.
constexpr std::uintmax_t kMaxSkeletonFileBytes = 4 * 1024 * 1024;

// The hand of a file, as its directives set it.
struct FileHand {
    std::vector<SkeletonStroke> voiced;
    std::vector<SkeletonStroke> semivoiced;
    double small = 0.6;
    double slant = 0;
    double scale = 1;
};

std::optional<std::vector<SkeletonStroke>> ParseStrokes(const std::string& text) {
    std::vector<SkeletonStroke> strokes(1);
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        if (word == "|") {
            strokes.emplace_back();
            continue;
        }
        const size_t comma = word.find(',');
        if (comma == std::string::npos) {
            return std::nullopt;
        }
        try {
            size_t used = 0;
            const double x = std::stod(word.substr(0, comma), &used);
            if (used != comma) {
                return std::nullopt;
            }
            const std::string yText = word.substr(comma + 1);
            const double y = std::stod(yText, &used);
            if (used != yText.size()) {
                return std::nullopt;
            }
            strokes.back().push_back({x, y});
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    for (const SkeletonStroke& stroke : strokes) {
        if (stroke.empty()) {
            return std::nullopt;
        }
    }
    return strokes;
}

// Every point moved by `transform`.
template <typename Transform>
std::vector<SkeletonStroke> Mapped(const std::vector<SkeletonStroke>& strokes,
                                   Transform transform) {
    std::vector<SkeletonStroke> mapped = strokes;
    for (SkeletonStroke& stroke : mapped) {
        for (TurnPoint& point : stroke) {
            point = transform(point);
        }
    }
    return mapped;
}

// Scaled about a point of the box.
std::vector<SkeletonStroke> ScaledAbout(const std::vector<SkeletonStroke>& strokes, double factor,
                                        TurnPoint anchor) {
    return Mapped(strokes, [&](TurnPoint p) {
        return TurnPoint{anchor.x + (p.x - anchor.x) * factor,
                         anchor.y + (p.y - anchor.y) * factor};
    });
}

std::vector<SkeletonStroke> HandApplied(const std::vector<SkeletonStroke>& strokes,
                                        const FileHand& hand) {
    constexpr double kMiddle = kSkeletonBox / 2.0;
    return Mapped(strokes, [&](TurnPoint p) {
        const double x = kMiddle + (p.x - kMiddle) * hand.scale;
        const double y = kMiddle + (p.y - kMiddle) * hand.scale;
        return TurnPoint{x - hand.slant * (y - kMiddle), y};
    });
}

std::optional<std::u16string> Utf16Of(const std::string& text) {
    auto converted = platform::Utf8ToUtf16(text);
    if (auto* text16 = std::get_if<std::u16string>(&converted)) {
        return std::move(*text16);
    }
    return std::nullopt;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::optional<std::vector<Skeleton>> ReadSkeletons(const std::filesystem::path& file,
                                                   std::string& error) {
    std::error_code sizeError;
    const std::uintmax_t size = std::filesystem::file_size(file, sizeError);
    if (sizeError || !std::filesystem::is_regular_file(file)) {
        error = file.string() + ": not a regular file that can be read";
        return std::nullopt;
    }
    if (size > kMaxSkeletonFileBytes) {
        error = file.string() + ": larger than " + std::to_string(kMaxSkeletonFileBytes) + " bytes";
        return std::nullopt;
    }
    std::ifstream in(file);
    FileHand hand;
    std::vector<Skeleton> skeletons;
    // Each character's skeletons as drawn, before this file's hand: derived ones build on them.
    std::map<std::u16string, std::vector<std::vector<SkeletonStroke>>> drawn;
    std::string raw;
    int number = 0;
    const auto fail = [&](const std::string& why) {
        error = file.string() + ":" + std::to_string(number) + ": " + why;
        return std::nullopt;
    };
    const auto add = [&](const std::u16string& character, std::vector<SkeletonStroke> strokes) {
        drawn[character].push_back(strokes);
        skeletons.push_back({character, HandApplied(strokes, hand), number});
    };
    while (std::getline(in, raw)) {
        ++number;
        const std::string line = Trimmed(raw.substr(0, raw.find('#')));
        if (line.empty()) {
            continue;
        }
        const size_t space = line.find_first_of(" \t");
        if (space == std::string::npos) {
            return fail("a character without strokes");
        }
        const std::string head = line.substr(0, space);
        const std::string rest = Trimmed(line.substr(space));
        if (head.front() == '@' && head.size() > 1) {
            if (head == "@voiced" || head == "@semivoiced") {
                auto strokes = ParseStrokes(rest);
                if (!strokes) {
                    return fail("strokes that cannot be read");
                }
                (head == "@voiced" ? hand.voiced : hand.semivoiced) = std::move(*strokes);
                continue;
            }
            double value = 0;
            std::istringstream valueText(rest);
            if (!(valueText >> value) || !valueText.eof()) {
                return fail("a number that cannot be read");
            }
            if (head == "@small" && value > 0 && value <= 1) {
                hand.small = value;
            } else if (head == "@slant" && std::abs(value) < 1) {
                hand.slant = value;
            } else if (head == "@scale" && value > 0 && value <= 2) {
                hand.scale = value;
            } else {
                return fail("an unknown setting or one out of its range: " + head);
            }
            continue;
        }
        const std::optional<std::u16string> character = Utf16Of(head);
        if (!character || character->empty()) {
            return fail("a character that is not UTF-8");
        }
        if (rest.front() == '=') {
            std::istringstream words(rest.substr(1));
            std::string baseText;
            std::string how;
            std::string extra;
            words >> baseText >> how;
            if (baseText.empty() || how.empty() || (words >> extra)) {
                return fail(
                    "a derived character needs its base and how: voiced, semivoiced, small");
            }
            const std::optional<std::u16string> base = Utf16Of(baseText);
            if (!base || !drawn.contains(*base)) {
                return fail("the base " + baseText + " is not given before");
            }
            const std::vector<std::vector<SkeletonStroke>> bases = drawn.at(*base);
            for (const std::vector<SkeletonStroke>& strokes : bases) {
                std::vector<SkeletonStroke> derived;
                if (how == "small") {
                    derived =
                        ScaledAbout(strokes, hand.small, {kSkeletonBox / 2.0, kSkeletonBox / 2.0});
                } else if (how == "voiced" || how == "semivoiced") {
                    const std::vector<SkeletonStroke>& marks =
                        how == "voiced" ? hand.voiced : hand.semivoiced;
                    if (marks.empty()) {
                        return fail("@" + how + " is not given before");
                    }
                    derived = ScaledAbout(strokes, kVoicedBaseScale, kVoicedBaseAnchor);
                    derived.insert(derived.end(), marks.begin(), marks.end());
                } else {
                    return fail("unknown derivation " + how);
                }
                add(*character, std::move(derived));
            }
            continue;
        }
        auto strokes = ParseStrokes(rest);
        if (!strokes) {
            return fail("strokes that cannot be read");
        }
        add(*character, std::move(*strokes));
    }
    return skeletons;
}

std::vector<handwriting::Stroke> PenSamples(const Skeleton& skeleton) {
    std::vector<handwriting::Stroke> strokes;
    for (const SkeletonStroke& turns : skeleton.strokes) {
        handwriting::Stroke stroke;
        const auto at = [](TurnPoint p) {
            return handwriting::InkPoint{static_cast<int>(std::lround(p.x)),
                                         static_cast<int>(std::lround(p.y))};
        };
        stroke.push_back(at(turns.front()));
        for (size_t i = 1; i < turns.size(); ++i) {
            const TurnPoint from = turns[i - 1];
            const TurnPoint to = turns[i];
            const int steps =
                std::max(1, static_cast<int>(std::lround(std::hypot(to.x - from.x, to.y - from.y) /
                                                         kPenSampleSpacing)));
            for (int step = 1; step <= steps; ++step) {
                const double t = static_cast<double>(step) / steps;
                stroke.push_back(at({from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t}));
            }
        }
        strokes.push_back(std::move(stroke));
    }
    return strokes;
}

double HandVariation::Uniform(double low, double high) {
    // SplitMix64: simple, and the same everywhere.
    state_ += 0x9E3779B97F4A7C15ULL;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    const double unit = static_cast<double>(z >> 11) / static_cast<double>(1ULL << 53);
    return low + (high - low) * unit;
}

Skeleton HandVariation::Vary(const Skeleton& skeleton) {
    constexpr double kMiddle = kSkeletonBox / 2.0;
    const double slant = Uniform(-0.22, 0.22);
    const double size = Uniform(0.72, 1.12);
    const double aspect = Uniform(0.86, 1.16);
    const double turn = Uniform(-0.08, 0.08);  // radians
    const double cosine = std::cos(turn);
    const double sine = std::sin(turn);
    Skeleton varied = skeleton;
    for (SkeletonStroke& stroke : varied.strokes) {
        // Each stroke a little out of place, and longer or shorter at its ends.
        const double shiftX = Uniform(-2.5, 2.5);
        const double shiftY = Uniform(-2.5, 2.5);
        if (stroke.size() >= 2) {
            for (const bool atStart : {true, false}) {
                TurnPoint& end = atStart ? stroke.front() : stroke.back();
                const TurnPoint& inner = atStart ? stroke[1] : stroke[stroke.size() - 2];
                const double stretch = Uniform(-0.14, 0.14);
                end.x += (end.x - inner.x) * stretch;
                end.y += (end.y - inner.y) * stretch;
            }
        }
        for (TurnPoint& point : stroke) {
            // A wobble at every turn.
            point.x += Uniform(-2.0, 2.0) + shiftX;
            point.y += Uniform(-2.0, 2.0) + shiftY;
            double x = (point.x - kMiddle) * size * aspect;
            double y = (point.y - kMiddle) * size / aspect;
            x -= slant * y;
            point = {kMiddle + x * cosine - y * sine, kMiddle + x * sine + y * cosine};
        }
    }
    return varied;
}

}  // namespace handwriting_data
