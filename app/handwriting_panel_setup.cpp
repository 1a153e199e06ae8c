#include "app/handwriting_panel_setup.h"

#include <string>
#include <utility>

namespace app {

using handwriting::CharacterRecognizer;

std::unique_ptr<CharacterRecognizer> LoadRecognizer(
    const std::vector<CharacterRecognizer::ModelFile>& models, std::string& error) {
    return CharacterRecognizer::Load(models, error);
}

void SetUpHandwritingPanel(gui::DeviceScreen& screen, bool on, std::ostream& err,
                           RecognizerLoading load) {
    screen.InstallHandwritingPanelOnDemand(
        [&err, load = std::move(load)]() -> std::unique_ptr<CharacterRecognizer> {
            std::string error;
            std::unique_ptr<CharacterRecognizer> recognizer =
                load(CharacterRecognizer::PlannerModels(), error);
            if (recognizer) {
                return recognizer;
            }
            // Without the planner's own model the panel still reads kanji, kana and digits.
            std::string withoutOwn;
            recognizer = load({{CharacterRecognizer::DefaultModelPath(), 0.0F}}, withoutOwn);
            if (!recognizer) {
                err << "tessarinth: the handwriting panel is left out: " << withoutOwn << '\n';
                return nullptr;
            }
            err << "tessarinth: the handwriting panel reads no katakana or Latin letters: " << error
                << '\n';
            return recognizer;
        });
    screen.SetHandwritingPanelOn(on);
}

}  // namespace app
