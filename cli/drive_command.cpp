#include "cli/drive_command.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include <fstream>
#include <optional>

#include "app/handwriting_panel_setup.h"
#include "app/screen_preferences.h"
#include "cli/command_support.h"
#include "cli/date_argument.h"
#include "cli/drive_responder.h"
#include "cli/drive_script.h"
#include "cli/drive_state.h"
#include "cli/offscreen_planner.h"
#include "platform/gui/control.h"

namespace cli {
namespace {

constexpr std::string_view kCommand = "drive";
// The longest script line: a typed text or a stroke of many points fits many times over; an
// input without line ends (/dev/zero) is refused after this much.
constexpr size_t kMaxScriptLineBytes = 64 * 1024;

enum class ScriptLine { Read, End, TooLong };

// The next line of a script, read no further than kMaxScriptLineBytes.
ScriptLine NextLine(std::istream& script, std::string& line) {
    line.clear();
    int c = script.get();
    if (c == std::char_traits<char>::eof()) {
        return ScriptLine::End;
    }
    for (; c != std::char_traits<char>::eof() && c != '\n'; c = script.get()) {
        if (line.size() == kMaxScriptLineBytes) {
            return ScriptLine::TooLong;
        }
        line += static_cast<char>(c);
    }
    return ScriptLine::Read;
}

struct DriveArguments {
    std::optional<platform::CalendarFields> now;  // --today
    std::optional<platform::Date> selected;       // --date
    gui::Orientation orientation = gui::Orientation::Portrait;
    std::string script;
};

// "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM" as the clock's reading.
std::optional<platform::CalendarFields> ParseNow(std::string_view text) {
    const std::optional<platform::Date> date =
        text.size() > 10 ? ParseMinuteArgument(text) : ParseDayArgument(text);
    return date ? platform::DateToFields(*date) : std::nullopt;
}

std::optional<DriveArguments> ReadArguments(const std::vector<std::string>& args,
                                            std::ostream& err) {
    DriveArguments result;
    bool haveScript = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--today" && hasValue) {
            result.now = ParseNow(args[++i]);
            if (!result.now) {
                Fail(err, kCommand, kUsageStatus,
                     "not a date (YYYY-MM-DD or YYYY-MM-DDTHH:MM): " + args[i]);
                return std::nullopt;
            }
        } else if (arg == "--date" && hasValue) {
            result.selected = ParseDayArgument(args[++i]);
            if (!result.selected) {
                Fail(err, kCommand, kUsageStatus, "not a date (YYYY-MM-DD): " + args[i]);
                return std::nullopt;
            }
        } else if (arg == "--landscape") {
            result.orientation = gui::Orientation::Landscape;
        } else if (!haveScript && (arg == "-" || !arg.starts_with("--"))) {
            result.script = arg;
            haveScript = true;
        } else {
            Fail(err, kCommand, kUsageStatus, "unexpected argument: " + arg);
            return std::nullopt;
        }
    }
    if (!haveScript) {
        Fail(err, kCommand, kUsageStatus,
             "name the script to run (a file, or - for standard input)");
        return std::nullopt;
    }
    return result;
}

// The desktop widget that has the keyboard: the focused control's, else the screen's own.
QWidget* KeyboardWidget(gui::DeviceScreen& screen) {
    gui::Window* focus = screen.FocusWindow();
    QWidget* widget = focus && !focus->IsDestroyed() ? focus->ScreenWidget() : nullptr;
    return widget ? widget : &screen;
}

// Runs a script's steps on a started planner, as a user's input would reach it.
class DriveRun {
public:
    DriveRun(OffscreenPlanner& planner, DriveResponder& responder, std::ostream& out)
        : planner_(planner), screen_(planner.Screen()), responder_(responder), out_(out) {}

    // Carries out one step; an error (a fault of the script, or a file that cannot be
    // written) says what went wrong, with the status to end with.
    std::optional<std::pair<int, std::string>> Run(const DriveStep& step) {
        return std::visit([this](const auto& kind) { return Do(kind); }, step);
    }

private:
    using Outcome = std::optional<std::pair<int, std::string>>;

    static Outcome Fault(std::string message) {
        return std::make_pair(kScriptFaultStatus, std::move(message));
    }

    Outcome Do(const PenStep& pen) {
        responder_.SetPressIsHeld(pen.gesture == PenStep::Gesture::Hold);
        screen_.PenDown(pen.points.front());
        planner_.Settle();
        for (size_t i = 1; i < pen.points.size(); ++i) {
            screen_.PenMove(pen.points[i]);
            planner_.Settle();
        }
        responder_.SetPressIsHeld(false);
        screen_.PenUp(pen.points.back());
        return std::nullopt;
    }

    Outcome Do(const KeyStep& step) {
        int key = Qt::Key_Return;
        Qt::KeyboardModifiers modifiers = Qt::NoModifier;
        switch (step.key) {
            case DriveKey::Up:
                key = Qt::Key_Up;
                break;
            case DriveKey::Down:
                key = Qt::Key_Down;
                break;
            case DriveKey::Left:
                key = Qt::Key_Left;
                break;
            case DriveKey::Right:
                key = Qt::Key_Right;
                break;
            case DriveKey::Return:
                key = Qt::Key_Return;
                break;
            case DriveKey::CtrlA:
                key = Qt::Key_A;
                modifiers = Qt::ControlModifier;
                break;
            case DriveKey::CtrlQ:
                key = Qt::Key_Q;
                modifiers = Qt::ControlModifier;
                break;
            case DriveKey::CtrlY:
                key = Qt::Key_Y;
                modifiers = Qt::ControlModifier;
                break;
            case DriveKey::CtrlZ:
                key = Qt::Key_Z;
                modifiers = Qt::ControlModifier;
                break;
        }
        // Sent as the desktop sends a key: accelerators first, then the widget with the focus.
        QWidget* target = KeyboardWidget(screen_);
        const QString text =
            modifiers == Qt::ControlModifier ? QString(QChar(key - Qt::Key_A + 1)) : QString();
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
        QApplication::sendEvent(KeyboardWidget(screen_), &release);
        return std::nullopt;
    }

    Outcome Do(const TypeStep& step) {
        QWidget* target = KeyboardWidget(screen_);
        while (target->focusProxy() != nullptr) {
            target = target->focusProxy();
        }
        if (target == &screen_ || !target->testAttribute(Qt::WA_InputMethodEnabled)) {
            return Fault("type: no text field has the keyboard (tap one first)");
        }
        // As the desktop's input method commits a finished text.
        QInputMethodEvent commit;
        commit.setCommitString(
            QString::fromUtf16(step.text.data(), static_cast<qsizetype>(step.text.size())));
        QApplication::sendEvent(target, &commit);
        return std::nullopt;
    }

    Outcome Do(const CommandStep& step) {
        gui::Window* active = screen_.ActiveWindow();
        if (active == nullptr) {
            return Fault("command: no window is active");
        }
        active->PostCommand(step.command);
        return std::nullopt;
    }

    Outcome Do(const WaitStep& step) {
        screen_.AdvanceTimers(step.milliseconds);
        return std::nullopt;
    }

    Outcome Do(const AnswerStep& step) {
        responder_.Queue(step);
        return std::nullopt;
    }
    Outcome Do(const PopupStep& step) {
        responder_.Queue(step);
        return std::nullopt;
    }
    Outcome Do(const DialogStep& step) {
        responder_.Queue(step);
        return std::nullopt;
    }
    Outcome Do(const ColorStep& step) {
        responder_.Queue(step);
        return std::nullopt;
    }

    Outcome Do(const ShotStep& step) {
        const QImage image = screen_.Render(step.zoom);
        if (!image.save(QString::fromStdString(step.file), "PNG")) {
            return std::make_pair(kFailureStatus, "cannot write " + step.file);
        }
        return std::nullopt;
    }

    Outcome Do(const StateStep&) {
        PrintDriveState(screen_, planner_.Planner(), planner_.MainWindow(), out_);
        return std::nullopt;
    }

    OffscreenPlanner& planner_;
    gui::DeviceScreen& screen_;
    DriveResponder& responder_;
    std::ostream& out_;
};

}  // namespace

int DriveCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                 const platform::Clock& clock, std::istream& in, std::ostream& out,
                 std::ostream& err) {
    const std::optional<DriveArguments> arguments = ReadArguments(args, err);
    if (!arguments) {
        return kUsageStatus;
    }
    std::ifstream file;
    if (arguments->script != "-") {
        file.open(arguments->script, std::ios::binary);
        if (!file) {
            return Fail(err, kCommand, kFailureStatus, "cannot read " + arguments->script);
        }
    }
    std::istream& script = arguments->script == "-" ? in : file;

    std::optional<platform::FixedClock> fixedNow;
    if (arguments->now) {
        fixedNow.emplace(*arguments->now);
    }
    OffscreenPlanner planner(home, fixedNow ? *fixedNow : clock, arguments->orientation);
    DriveResponder responder(out);
    planner.Screen().UseManualTimers();
    planner.Screen().SetModalResponder(&responder);
    if (auto started = planner.Start(err); !started) {
        return Fail(err, kCommand, kFailureStatus, started.error().message);
    }
    // The band's handwriting panel, as the planner has it: writing in it is part of a script. The
    // input panel button's choice is remembered as the planner remembers it; the zoom and the
    // turn the user chose stay as they are.
    const app::ScreenPreferences preferences =
        app::LoadScreenPreferences(planner.Planner().registry);
    app::SetUpHandwritingPanel(planner.Screen(), preferences.handwritingPanel, err);
    planner.Screen().SetInputPanelWanted(preferences.inputPanel);
    planner.Screen().SetViewChangedHandler([&planner, preferences] {
        app::ScreenPreferences remembered = preferences;
        remembered.inputPanel = planner.Screen().IsInputPanelWanted();
        app::SaveScreenPreferences(planner.Planner().registry, remembered);
    });
    if (arguments->selected) {
        planner.MainWindow().SelectDay(*arguments->selected);
    }
    planner.Settle();

    DriveRun run(planner, responder, out);
    int status = 0;
    std::string line;
    for (int number = 1;; ++number) {
        const ScriptLine read = NextLine(script, line);
        if (read == ScriptLine::End) {
            break;
        }
        const std::string where = "line " + std::to_string(number) + ": ";
        if (read == ScriptLine::TooLong) {
            status = Fail(err, kCommand, kScriptFaultStatus,
                          where + "longer than " + std::to_string(kMaxScriptLineBytes) + " bytes");
            break;
        }
        auto step = ParseDriveLine(line);
        if (!step) {
            status = Fail(err, kCommand, kScriptFaultStatus, where + step.error().message);
            break;
        }
        if (!step->has_value()) {
            continue;
        }
        auto outcome = run.Run(**step);
        if (!outcome) {
            planner.Settle();
        }
        if (!outcome && !responder.Fault().empty()) {
            outcome = std::make_pair(kScriptFaultStatus, responder.Fault());
        }
        if (outcome) {
            status = Fail(err, kCommand, outcome->first, where + outcome->second);
            break;
        }
    }
    if (status == 0 && !responder.UnusedAnswers().empty()) {
        status = Fail(err, kCommand, kScriptFaultStatus, responder.UnusedAnswers());
    }
    planner.ShutDown();
    out.flush();
    return status;
}

}  // namespace cli
