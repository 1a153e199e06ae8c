// What the input panel waits for after each stroke: the candidates for the strokes written so
// far in one writing box, read by zinnia with both of the planner's models (Debian's Japanese
// model and the planner's own) and ranked. Arg 0 is how many of the character's strokes are
// written: 議 (20 strokes), な (4 strokes) and カ (2 strokes) from the tests' table.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/handwriting/character_recognizer.h"
#include "tests/support/written_characters.h"

namespace {

constexpr size_t kPanelCandidates = 6;

std::vector<handwriting::Stroke> StrokesOf(const std::u16string& character) {
    for (const testing_support::WrittenCharacter& written : testing_support::WrittenCharacters()) {
        if (written.character == character) {
            return written.strokes;
        }
    }
    return {};
}

// The planner's models, or null with the benchmark skipped and saying why.
std::unique_ptr<handwriting::CharacterRecognizer> LoadOrSkip(benchmark::State& state) {
    std::string error;
    std::unique_ptr<handwriting::CharacterRecognizer> recognizer =
        handwriting::CharacterRecognizer::Load(handwriting::CharacterRecognizer::PlannerModels(),
                                               error);
    if (recognizer == nullptr) {
        state.SkipWithError(error.c_str());
    }
    return recognizer;
}

void RecognizeFirstStrokes(benchmark::State& state, const std::u16string& character,
                           handwriting::CharacterSet set) {
    const std::unique_ptr<handwriting::CharacterRecognizer> recognizer = LoadOrSkip(state);
    if (recognizer == nullptr) {
        return;
    }
    std::vector<handwriting::Stroke> strokes = StrokesOf(character);
    strokes.resize(std::min(strokes.size(), static_cast<size_t>(state.range(0))));
    for (auto _ : state) {
        benchmark::DoNotOptimize(recognizer->Recognize(strokes, testing_support::kWritingBoxSize,
                                                       set, kPanelCandidates));
    }
}

void BM_RecognizeGiAfterStroke(benchmark::State& state) {
    RecognizeFirstStrokes(state, u"議", handwriting::CharacterSet::All);
}
BENCHMARK(BM_RecognizeGiAfterStroke)->DenseRange(1, 20)->Unit(benchmark::kMillisecond);

void BM_RecognizeNaAfterStroke(benchmark::State& state) {
    RecognizeFirstStrokes(state, u"な", handwriting::CharacterSet::All);
}
BENCHMARK(BM_RecognizeNaAfterStroke)->DenseRange(1, 4)->Unit(benchmark::kMillisecond);

void BM_RecognizeKaAfterStroke(benchmark::State& state) {
    RecognizeFirstStrokes(state, u"カ", handwriting::CharacterSet::All);
}
BENCHMARK(BM_RecognizeKaAfterStroke)->DenseRange(1, 2)->Unit(benchmark::kMillisecond);

// 英 keeps Latin letters, digits and their marks of both models' answers.
void BM_RecognizeDigitEightLatin(benchmark::State& state) {
    RecognizeFirstStrokes(state, u"8", handwriting::CharacterSet::LatinAndDigits);
}
BENCHMARK(BM_RecognizeDigitEightLatin)->Arg(1)->Unit(benchmark::kMillisecond);

// The worst the panel lets a pen do: a character's most strokes, each scribbled to and fro with
// the most points a stroke keeps.
void BM_RecognizeScribble(benchmark::State& state) {
    const std::unique_ptr<handwriting::CharacterRecognizer> recognizer = LoadOrSkip(state);
    if (recognizer == nullptr) {
        return;
    }
    constexpr int kStrokes = 40;
    constexpr int kPoints = 400;
    std::vector<handwriting::Stroke> strokes(kStrokes);
    for (int stroke = 0; stroke < kStrokes; ++stroke) {
        for (int point = 0; point < kPoints; ++point) {
            strokes[stroke].push_back({point % 2 == 0 ? 5 : 75, (point + stroke) % 80});
        }
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(recognizer->Recognize(strokes, testing_support::kWritingBoxSize,
                                                       handwriting::CharacterSet::All,
                                                       kPanelCandidates));
    }
}
BENCHMARK(BM_RecognizeScribble)->Unit(benchmark::kMillisecond);

// Opening the models, as the planner does once at start.
void BM_LoadModel(benchmark::State& state) {
    for (auto _ : state) {
        std::string error;
        benchmark::DoNotOptimize(handwriting::CharacterRecognizer::Load(
            handwriting::CharacterRecognizer::PlannerModels(), error));
    }
}
BENCHMARK(BM_LoadModel)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
