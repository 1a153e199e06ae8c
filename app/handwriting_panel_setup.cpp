#include "app/handwriting_panel_setup.h"

#include <string>

#include "platform/handwriting/character_recognizer.h"

namespace app {

void SetUpHandwritingPanel(gui::DeviceScreen& screen, bool on, std::ostream& err) {
    using handwriting::CharacterRecognizer;
    std::string error;
    std::unique_ptr<CharacterRecognizer> recognizer =
        CharacterRecognizer::Load(CharacterRecognizer::PlannerModels(), error);
    if (!recognizer) {
        // Without the planner's own model the panel still reads kanji, kana and digits.
        std::string withoutOwn;
        recognizer = CharacterRecognizer::Load(CharacterRecognizer::DefaultModelPath(), withoutOwn);
        if (!recognizer) {
            err << "tessarinth: the handwriting panel is left out: " << withoutOwn << '\n';
            return;
        }
        err << "tessarinth: the handwriting panel reads no katakana or Latin letters: " << error
            << '\n';
    }
    screen.InstallHandwritingPanel(std::move(recognizer));
    screen.SetHandwritingPanelOn(on);
}

}  // namespace app
