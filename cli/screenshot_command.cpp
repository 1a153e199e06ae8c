#include "cli/screenshot_command.h"

#include <QImage>

#include <charconv>
#include <optional>

#include "cli/command_support.h"
#include "cli/date_argument.h"
#include "cli/offscreen_planner.h"
#include "resources/resource_ids.h"

namespace cli {
namespace {

constexpr std::string_view kCommand = "screenshot";
constexpr int kMaxZoom = 8;

struct ScreenshotArguments {
    std::optional<platform::Date> selected;
    std::optional<platform::Date> today;
    gui::Orientation orientation = gui::Orientation::Portrait;
    bool summary = false;  // with the summary pop-up open
    int zoom = 1;
    std::string output;
};

std::optional<int> ParseZoom(std::string_view text) {
    int zoom = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), zoom);
    if (error != std::errc() || end != text.data() + text.size() || zoom < 1 || zoom > kMaxZoom) {
        return std::nullopt;
    }
    return zoom;
}

// Reads the arguments; on a wrong one reports it and gives nullopt.
std::optional<ScreenshotArguments> ReadArguments(const std::vector<std::string>& args,
                                                 std::ostream& err) {
    ScreenshotArguments result;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if ((arg == "--date" || arg == "--today") && hasValue) {
            const std::optional<platform::Date> day = ParseDayArgument(args[++i]);
            if (!day) {
                Fail(err, kCommand, kUsageStatus, "not a date (YYYY-MM-DD): " + args[i]);
                return std::nullopt;
            }
            (arg == "--date" ? result.selected : result.today) = day;
        } else if (arg == "--zoom" && hasValue) {
            const std::optional<int> zoom = ParseZoom(args[++i]);
            if (!zoom) {
                Fail(err, kCommand, kUsageStatus, "zoom must be 1 to 8: " + args[i]);
                return std::nullopt;
            }
            result.zoom = *zoom;
        } else if (arg == "--landscape") {
            result.orientation = gui::Orientation::Landscape;
        } else if (arg == "--summary") {
            result.summary = true;
        } else if (!arg.starts_with("--") && result.output.empty()) {
            result.output = arg;
        } else {
            Fail(err, kCommand, kUsageStatus, "unexpected argument: " + arg);
            return std::nullopt;
        }
    }
    if (result.output.empty()) {
        Fail(err, kCommand, kUsageStatus, "name the PNG file to write");
        return std::nullopt;
    }
    return result;
}

}  // namespace

int ScreenshotCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                      const platform::Clock& clock, std::ostream& out, std::ostream& err) {
    const std::optional<ScreenshotArguments> arguments = ReadArguments(args, err);
    if (!arguments) {
        return kUsageStatus;
    }
    const platform::Date today = arguments->today ? *arguments->today : Today(clock).value_or(0);
    const std::optional<platform::CalendarFields> todayFields = platform::DateToFields(today);
    if (!todayFields) {
        return Fail(err, kCommand, kFailureStatus, "today lies outside the calendar");
    }

    const platform::FixedClock fixedToday(*todayFields);
    OffscreenPlanner planner(home, fixedToday, arguments->orientation);
    // A store that cannot be read would paint as an empty planner: say so instead.
    if (auto started = planner.Start(err); !started) {
        return Fail(err, kCommand, kFailureStatus, started.error().message);
    }
    if (arguments->selected && *arguments->selected != today) {
        planner.MainWindow().SelectDay(*arguments->selected);
    }
    planner.Settle();
    if (arguments->summary) {
        planner.MainWindow().SendCommand(resources::kCommandSummary);
    }

    const QImage image = planner.Screen().Render(arguments->zoom);
    planner.ShutDown();
    if (!image.save(QString::fromStdString(arguments->output), "PNG")) {
        return Fail(err, kCommand, kFailureStatus, "cannot write " + arguments->output);
    }
    out << arguments->output << ": " << image.width() << " x " << image.height() << "\n";
    return 0;
}

}  // namespace cli
