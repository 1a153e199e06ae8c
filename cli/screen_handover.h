#pragma once

#include <ostream>
#include <string_view>

namespace cli {

// The program beside tessarinth-cli that paints and drives the planner's screen.
inline constexpr std::string_view kScreenProgramName = "tessarinth-cli-screen";
// The program beside it that lists and rings reminders, with the session bus (Qt D-Bus).
inline constexpr std::string_view kRemindersProgramName = "tessarinth-cli-reminders";
// The program beside it that syncs with calendar servers, with Qt Network.
inline constexpr std::string_view kSyncProgramName = "tessarinth-cli-sync";

// Whether a command paints or drives the screen (screenshot, drive), and so needs Qt's widgets.
bool IsScreenCommand(std::string_view command);

// Hands a screen command to the screen program, which takes over this process as it is: the same
// arguments, environment and standard streams (a `drive -` script is read from our standard
// input), and its exit status is ours. Returns only when the program cannot be started, after
// saying why on `err`, with the status to end on.
int HandOverToScreen(char** argv, std::ostream& err);

// The same for any program beside tessarinth-cli that takes a command of its own (reminders).
int HandOver(std::string_view programName, char** argv, std::ostream& err);

}  // namespace cli
