#include "app/handwriting_panel_setup.h"

#include <string>

#include "platform/handwriting/character_recognizer.h"

namespace app {

void SetUpHandwritingPanel(gui::DeviceScreen& screen, bool on, std::ostream& err) {
    std::string error;
    std::unique_ptr<handwriting::CharacterRecognizer> recognizer =
        handwriting::CharacterRecognizer::Load(handwriting::CharacterRecognizer::DefaultModelPath(),
                                               error);
    if (!recognizer) {
        err << "tessarinth: the handwriting panel is left out: " << error << '\n';
        return;
    }
    screen.InstallHandwritingPanel(std::move(recognizer));
    screen.SetHandwritingPanelOn(on);
}

}  // namespace app
