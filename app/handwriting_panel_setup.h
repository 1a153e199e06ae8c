#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/gui/device_screen.h"
#include "platform/handwriting/character_recognizer.h"

namespace app {

// Reads a recogniser from model files; null with a one-line reason in `error` when it can't.
using RecognizerLoading = std::function<std::unique_ptr<handwriting::CharacterRecognizer>(
    const std::vector<handwriting::CharacterRecognizer::ModelFile>& models, std::string& error)>;

// The recogniser of the models named, read as the planner reads them.
std::unique_ptr<handwriting::CharacterRecognizer> LoadRecognizer(
    const std::vector<handwriting::CharacterRecognizer::ModelFile>& models, std::string& error);

// Gives the screen its handwriting panel, on or off as the user left it, reading characters
// with Debian's Japanese model and the planner's own. The models are read with `load` when the
// panel is first asked for, not at start: reading them and checking them for damage is a third
// of a start to the first paint, and most runs never write in the panel. When the recogniser or
// Debian's model cannot be had then (a build without zinnia, no model installed), the screen
// keeps only the desktop's input method and one line on `err` says why; without the planner's
// own model the panel reads with Debian's alone, and one line says so. `err` must outlive the
// screen.
void SetUpHandwritingPanel(gui::DeviceScreen& screen, bool on, std::ostream& err,
                           RecognizerLoading load = LoadRecognizer);

}  // namespace app
