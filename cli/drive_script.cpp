#include "cli/drive_script.h"

#include <charconv>
#include <limits>

#include "platform/text/unicode_text.h"
#include "resources/resource_ids.h"

namespace cli {
namespace {

using platform::MakeError;

// The words of a line: separated by blanks, or a double-quoted text in which \" \\ and \n
// stand for a quote, a backslash and a line break. A word that starts with '#' begins a
// comment that runs to the end of the line.
platform::Result<std::vector<std::string>> SplitWords(std::string_view line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        if (line[i] == '#') {
            break;
        }
        std::string word;
        if (line[i] != '"') {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
                word += line[i++];
            }
            words.push_back(std::move(word));
            continue;
        }
        ++i;
        bool closed = false;
        while (i < line.size()) {
            const char c = line[i++];
            if (c == '"') {
                closed = true;
                break;
            }
            if (c == '\\' && i < line.size()) {
                const char escaped = line[i++];
                word += escaped == 'n' ? '\n' : escaped;
                continue;
            }
            word += c;
        }
        if (!closed) {
            return MakeError("a quoted text is not closed");
        }
        words.push_back(std::move(word));
    }
    return words;
}

platform::Result<std::u16string> Utf16Of(std::string_view text) {
    auto converted = platform::Utf8ToUtf16(text);
    if (const auto* units = std::get_if<std::u16string>(&converted)) {
        return *units;
    }
    return MakeError("the text is not UTF-8");
}

template <typename T>
std::optional<T> NumberOf(std::string_view text, T low, T high, int base = 10) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

platform::Result<uint16_t> CommandIdOf(std::string_view text) {
    const auto id = NumberOf<int>(text, 1, std::numeric_limits<uint16_t>::max());
    if (!id) {
        return MakeError("not a command or control id (1-65535): " + std::string(text));
    }
    return static_cast<uint16_t>(*id);
}

platform::Result<std::optional<DriveStep>> Step(DriveStep step) {
    return std::optional<DriveStep>(std::move(step));
}

platform::Result<std::optional<DriveStep>> ReadPen(PenStep::Gesture gesture,
                                                   const std::vector<std::string>& words) {
    const size_t numbers = words.size() - 1;
    const bool fits =
        gesture == PenStep::Gesture::Stroke ? numbers >= 4 && numbers % 2 == 0 : numbers == 2;
    if (!fits) {
        return MakeError(gesture == PenStep::Gesture::Stroke
                             ? "a stroke takes two or more points: X1 Y1 X2 Y2 ..."
                             : "takes one point: X Y");
    }
    PenStep pen{gesture, {}};
    constexpr int kFar = 100000;
    for (size_t i = 1; i < words.size(); i += 2) {
        const auto x = NumberOf<int>(words[i], -kFar, kFar);
        const auto y = NumberOf<int>(words[i + 1], -kFar, kFar);
        if (!x || !y) {
            return MakeError("not a point: " + words[i] + " " + words[i + 1]);
        }
        pen.points.push_back({*x, *y});
    }
    return Step(std::move(pen));
}

platform::Result<std::optional<DriveStep>> ReadKey(const std::vector<std::string>& words) {
    static constexpr std::pair<std::string_view, DriveKey> kKeys[] = {
        {"Up", DriveKey::Up},        {"Down", DriveKey::Down},     {"Left", DriveKey::Left},
        {"Right", DriveKey::Right},  {"Return", DriveKey::Return}, {"Ctrl+A", DriveKey::CtrlA},
        {"Ctrl+Q", DriveKey::CtrlQ}, {"Ctrl+Y", DriveKey::CtrlY},  {"Ctrl+Z", DriveKey::CtrlZ},
    };
    if (words.size() == 2) {
        for (const auto& [name, key] : kKeys) {
            if (words[1] == name) {
                return Step(KeyStep{key});
            }
        }
    }
    return MakeError(
        "key takes one of Up, Down, Left, Right, Return, Ctrl+A, Ctrl+Q, Ctrl+Y, Ctrl+Z");
}

// The rest of a `type` line: \n is a line break and \\ a backslash; everything else as written.
platform::Result<std::optional<DriveStep>> ReadType(std::string_view rest) {
    std::string text;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '\\' && i + 1 < rest.size() && (rest[i + 1] == 'n' || rest[i + 1] == '\\')) {
            text += rest[i + 1] == 'n' ? '\n' : '\\';
            ++i;
        } else {
            text += rest[i];
        }
    }
    auto units = Utf16Of(text);
    if (!units) {
        return units.error();
    }
    return Step(TypeStep{std::move(*units)});
}

platform::Result<std::optional<DriveStep>> ReadDialog(const std::vector<std::string>& words) {
    DialogStep dialog;
    if (words.size() < 2 || (words[1] != "ok" && words[1] != "cancel")) {
        return MakeError("dialog takes ok or cancel first");
    }
    dialog.closeCommand = words[1] == "ok" ? resources::kCommandOk : resources::kCommandCancel;
    for (size_t i = 2; i < words.size();) {
        const std::string& what = words[i];
        const size_t left = words.size() - i - 1;
        DialogAction action;
        if (what == "date" && left >= 1) {
            const std::string_view day = words[i + 1];
            const bool shaped = day.size() == 10 && day[4] == '-' && day[7] == '-';
            const auto year = shaped ? NumberOf<int>(day.substr(0, 4), 100, 9999) : std::nullopt;
            const auto month = shaped ? NumberOf<int>(day.substr(5, 2), 1, 12) : std::nullopt;
            const auto date = shaped ? NumberOf<int>(day.substr(8, 2), 1, 31) : std::nullopt;
            if (!year || !month || !date) {
                return MakeError("not a date (YYYY-MM-DD): " + std::string(day));
            }
            action = {DialogAction::Kind::PickDate, 0, *year, *month, *date, {}, false, {}, 1};
            i += 2;
        } else if (what == "set" && left >= 2) {
            auto id = CommandIdOf(words[i + 1]);
            auto text = Utf16Of(words[i + 2]);
            if (!id || !text) {
                return id ? text.error() : id.error();
            }
            action = {DialogAction::Kind::SetText, *id, 0, 0, 0, std::move(*text), false, {}, 1};
            i += 3;
        } else if (what == "check" && left >= 2) {
            auto id = CommandIdOf(words[i + 1]);
            if (!id || (words[i + 2] != "0" && words[i + 2] != "1")) {
                return MakeError("check takes a control id and 0 or 1");
            }
            action = {DialogAction::Kind::Check, *id, 0, 0, 0, {}, words[i + 2] == "1", {}, 1};
            i += 3;
        } else if (what == "press" && left >= 1) {
            auto id = CommandIdOf(words[i + 1]);
            if (!id) {
                return id.error();
            }
            action = {DialogAction::Kind::Press, *id, 0, 0, 0, {}, false, {}, 1};
            i += 2;
        } else if (what == "print" && left >= 1) {
            auto id = CommandIdOf(words[i + 1]);
            if (!id) {
                return id.error();
            }
            action = {DialogAction::Kind::Print, *id, 0, 0, 0, {}, false, {}, 1};
            i += 2;
        } else if (what == "shot" && left >= 2) {
            const auto zoom = NumberOf<int>(words[i + 2], 1, 8);
            if (!zoom) {
                return MakeError("shot zoom must be 1 to 8: " + words[i + 2]);
            }
            action = {DialogAction::Kind::Shot, 0, 0, 0, 0, {}, false, words[i + 1], *zoom};
            i += 3;
        } else {
            return MakeError(
                "not a dialog action (date D, set ID TEXT, check ID 0|1, press ID, print ID, "
                "shot FILE ZOOM): " +
                what);
        }
        dialog.actions.push_back(std::move(action));
    }
    return Step(std::move(dialog));
}

}  // namespace

platform::Result<std::optional<DriveStep>> ParseDriveLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line[first] == '#') {
        return std::optional<DriveStep>();
    }
    line.remove_prefix(first);
    // `type` keeps the rest of its line as it stands, blanks included.
    if (line == "type" || line.starts_with("type ")) {
        return ReadType(line.size() > 5 ? line.substr(5) : std::string_view());
    }
    auto split = SplitWords(line);
    if (!split) {
        return split.error();
    }
    const std::vector<std::string>& words = *split;
    const std::string& verb = words[0];
    const size_t count = words.size();

    if (verb == "tap" || verb == "hold" || verb == "stroke") {
        const auto gesture = verb == "tap"    ? PenStep::Gesture::Tap
                             : verb == "hold" ? PenStep::Gesture::Hold
                                              : PenStep::Gesture::Stroke;
        return ReadPen(gesture, words);
    }
    if (verb == "key") {
        return ReadKey(words);
    }
    if (verb == "command" && count == 2) {
        auto id = CommandIdOf(words[1]);
        if (!id) {
            return id.error();
        }
        return Step(CommandStep{*id});
    }
    if (verb == "wait" && count == 2) {
        const auto milliseconds = NumberOf<int>(words[1], 0, 24 * 60 * 60 * 1000);
        if (!milliseconds) {
            return MakeError("wait takes milliseconds (0 to a day): " + words[1]);
        }
        return Step(WaitStep{*milliseconds});
    }
    if (verb == "answer" && (count == 2 || count == 5)) {
        if (words[1] != "yes" && words[1] != "no" && words[1] != "ok" && words[1] != "cancel") {
            return MakeError("answer takes yes, no, cancel or ok");
        }
        AnswerStep answer{words[1] == "yes"      ? gui::MessageBoxAnswer::Yes
                          : words[1] == "no"     ? gui::MessageBoxAnswer::No
                          : words[1] == "cancel" ? gui::MessageBoxAnswer::Cancel
                                                 : gui::MessageBoxAnswer::Ok,
                          {},
                          1};
        if (count == 5) {
            const auto zoom = NumberOf<int>(words[4], 1, 8);
            if (words[2] != "shot" || !zoom) {
                return MakeError("answer takes a picture as shot FILE ZOOM (1 to 8) after it");
            }
            answer.shotFile = words[3];
            answer.shotZoom = *zoom;
        }
        return Step(std::move(answer));
    }
    if (verb == "popup" && count == 2) {
        if (words[1] == "none") {
            return Step(PopupStep{0});
        }
        auto id = CommandIdOf(words[1]);
        if (!id) {
            return id.error();
        }
        return Step(PopupStep{*id});
    }
    if (verb == "dialog") {
        return ReadDialog(words);
    }
    if (verb == "color" && count == 2) {
        if (words[1] == "cancel") {
            return Step(ColorStep{std::nullopt});
        }
        const auto color =
            words[1].starts_with("0x") || words[1].starts_with("0X")
                ? NumberOf<uint32_t>(std::string_view(words[1]).substr(2), 0, 0xFFFFFF, 16)
                : std::nullopt;
        if (!color) {
            return MakeError("color takes 0xBBGGRR or cancel: " + words[1]);
        }
        return Step(ColorStep{gui::ColorRef{*color}});
    }
    if (verb == "shot" && (count == 2 || count == 3)) {
        ShotStep shot{words[1], 1};
        if (count == 3) {
            const auto zoom = NumberOf<int>(words[2], 1, 8);
            if (!zoom) {
                return MakeError("shot zoom must be 1 to 8: " + words[2]);
            }
            shot.zoom = *zoom;
        }
        return Step(std::move(shot));
    }
    if (verb == "state" && count == 1) {
        return Step(StateStep{});
    }
    return MakeError("not a script line: " + std::string(line));
}

}  // namespace cli
