// tessarinth-cli: the planner's store and settings from a terminal, through the same code the
// screen uses.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/agenda_command.h"
#include "cli/calendar_commands.h"
#include "cli/calendars_command.h"
#include "cli/entry_commands.h"
#include "cli/holidays_command.h"
#include "cli/month_command.h"
#include "cli/screen_handover.h"
#include "cli/search_command.h"
#include "cli/settings_command.h"
#include "cli/terminal_text.h"
#include "platform/files/data_home.h"
#include "program_version.h"

namespace {

constexpr const char* kUsage =
    "usage: tessarinth-cli COMMAND [ARGS]\n"
    "  import [--strict] [--check] FILE.ics\n"
    "                     add the events and tasks of an iCalendar file to the store; what\n"
    "                     cannot be read is skipped (--strict: the whole file is refused);\n"
    "                     --check only reports what would be imported and skipped;\n"
    "                     status 0: all taken, 3: some skipped, 1: nothing taken\n"
    "  export FILE.ics    write the whole store as an iCalendar file (- for standard output)\n"
    "  agenda [YYYY-MM-DD] [--tsv]\n"
    "                     the twelve rows of the day list from the date (default today) and the\n"
    "                     undated tasks; --tsv prints one tab-separated line per row\n"
    "  month [YYYY-MM|YYYY-MM-DD] [--tsv]\n"
    "                     the month grid with its all-day, time-band and holiday marks;\n"
    "                     --tsv prints one tab-separated line per day\n"
    "  search TEXT [--tsv]\n"
    "                     the appointments and tasks whose subject, place, typed memo or notes\n"
    "                     hold TEXT (Latin letters without regard to case or width), one line\n"
    "                     each by date; a series once, at its next occurrence from today (or\n"
    "                     its last); status 0: found, 3: nothing holds TEXT\n"
    "  add appointment --start YYYY-MM-DDTHH:MM --end YYYY-MM-DDTHH:MM --subject S\n"
    "                  [--location L] [--all-day] [--reminder] [--holiday]\n"
    "                  [--memo TEXT] [--ink FILE] [--calendar NAME]\n"
    "                     add an appointment as the editor saves one; prints its object id\n"
    "  add task --subject S [--due YYYY-MM-DD] [--notes TEXT] [--complete]\n"
    "           [--calendar NAME]\n"
    "                     add a task as the task editor saves one; prints its object id;\n"
    "                     --calendar: into that calendar, not the default one\n"
    "  calendars          the calendars: name, address, shown or hidden, default, read-only,\n"
    "                     colour, tab-separated\n"
    "  calendars default|hide|show NAME\n"
    "                     new items go to that calendar; its items leave the views and\n"
    "                     reminders, or come back (they stay stored and synced)\n"
    "  move OID --calendar NAME\n"
    "                     move the appointment or task of that id to another calendar\n"
    "  delete OID         delete the appointment (and its ink file) or task of that id\n"
    "  undo [--list]      take back the newest change made on the screen or by add and delete\n"
    "                     (the last 100 are kept); --list prints them, newest first\n"
    "  redo               do the oldest change taken back again\n"
    "  history subject|location|task\n"
    "                     the editors' recent texts, most recent first\n"
    "  holidays YEAR[-YEAR] [--dry-run]\n"
    "                     add Japan's national holidays of those years (1955-2099) as all-day\n"
    "                     holiday appointments; running it again changes nothing; --dry-run\n"
    "                     prints them (YYYY-MM-DD<TAB>name) and writes nothing\n"
    "  settings           print the settings (the twelve of the screens, SyncMinutes)\n"
    "  settings set NAME VALUE\n"
    "                     change one setting and save them all (numbers in decimal or 0x hex)\n"
    "  reminders [--hours N] [--from YYYY-MM-DDTHH:MM]\n"
    "                     the reminders that ring in the next N hours (default 24): ring time,\n"
    "                     start, end, subject and place, tab-separated\n"
    "  reminders --watch  ring reminders as desktop notifications until stopped (as the\n"
    "                     running planner does; for a user unit started at log-in)\n"
    "  sync [--allow-mass-delete] [--print-remedy]\n"
    "                     two-way sync of the store with the calendar server set up; an item\n"
    "                     changed on both sides keeps the version changed last, the other goes\n"
    "                     to <data home>/conflicts/; each subscribed feed is fetched again (one\n"
    "                     that fails keeps its last copy, says why and gives status 1);\n"
    "                     --print-remedy ends a stop's message with\n"
    "                     \"remedy: try-again|check-account|check-address|confirm-deletes\"\n"
    "  sync setup --server URL --user NAME [--password-stdin] [--timeout SECONDS]\n"
    "                     find the account's calendars at the server's address and sync each\n"
    "                     with a calendar of the store; the password is asked for, or read\n"
    "                     from standard input\n"
    "  sync setup --events URL [--tasks URL] --user NAME [...]\n"
    "                     one CalDAV collection named by hand (tasks default to it)\n"
    "  subscribe URL [--name NAME]\n"
    "                     add the calendar published at URL (http, https, webcal) as a read-only\n"
    "                     calendar of its own (named by the feed unless --name), fetched now and\n"
    "                     again at each sync, when it changed; its items can be copied, not "
    "changed\n"
    "  unsubscribe NAME   remove a subscribed calendar and its items\n"
    "  screenshot [--date YYYY-MM-DD] [--today YYYY-MM-DD] [--landscape] [--zoom N]\n"
    "             [--summary] OUT.png\n"
    "                     paint the planner's screen for that day into a PNG (zoom 1: the\n"
    "                     device's own 240 x 320 pixels), with the summary pop-up if asked\n"
    "  --version          the program's release\n"
    "The data home is $TESSARINTH_HOME, else the XDG folders.\n";

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "-h" || args[0] == "--help") {
        std::cout << kUsage;
        return args.empty() ? 2 : 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "tessarinth-cli " << kProgramVersion << "\n";
        return 0;
    }
    auto home = platform::DataHome::FromEnvironment();
    if (!home) {
        std::cerr << "tessarinth-cli: " << cli::Escaped(home.error().message) << "\n";
        return 1;
    }
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    // Said once, before whatever the command does: reading works, every change will fail.
    const std::filesystem::path store = home->StorePath();
    if (::access(store.c_str(), R_OK) == 0 &&
        (::access(store.c_str(), W_OK) != 0 || ::access(store.parent_path().c_str(), W_OK) != 0)) {
        std::cerr << "tessarinth-cli: note: the data home "
                  << cli::Escaped(store.parent_path().string())
                  << " cannot be written here: it is read, and nothing in it can be changed\n";
    }
    if (command == "import") {
        return cli::ImportCommand(*home, rest, std::cout, std::cerr);
    }
    if (command == "export" && args.size() == 2) {
        return cli::ExportCalendar(*home, args[1]);
    }
    const platform::SystemClock clock;
    if (command == "agenda") {
        return cli::AgendaCommand(*home, rest, clock, std::cout, std::cerr);
    }
    if (command == "month") {
        return cli::MonthCommand(*home, rest, clock, std::cout, std::cerr);
    }
    if (command == "search") {
        return cli::SearchCommand(*home, rest, clock, std::cout, std::cerr);
    }
    if (command == "calendars") {
        return cli::CalendarsCommand(*home, rest, std::cout, std::cerr);
    }
    if (command == "add") {
        return cli::AddCommand(*home, rest, clock, std::cout, std::cerr);
    }
    if (command == "move") {
        return cli::MoveCommand(*home, rest, clock, std::cout, std::cerr);
    }
    if (command == "delete") {
        return cli::DeleteCommand(*home, rest, clock, std::cout, std::cerr);
    }
    if (command == "undo" || command == "redo") {
        return cli::UndoCommand(
            *home, rest, clock,
            command == "undo" ? store::StepDirection::Back : store::StepDirection::Again, std::cout,
            std::cerr);
    }
    if (command == "holidays") {
        return cli::HolidaysCommand(*home, rest, clock, std::cout, std::cerr);
    }
    if (command == "history") {
        return cli::HistoryCommand(*home, rest, std::cout, std::cerr);
    }
    if (command == "sync" || command == "subscribe" || command == "unsubscribe") {
        return cli::HandOver(cli::kSyncProgramName, argv, std::cerr);
    }
    if (command == "reminders") {
        return cli::HandOver(cli::kRemindersProgramName, argv, std::cerr);
    }
    if (cli::IsScreenCommand(command)) {
        return cli::HandOverToScreen(argv, std::cerr);
    }
    if (command == "settings") {
        return cli::SettingsCommand(*home, rest, std::cout, std::cerr);
    }
    std::cerr << "tessarinth-cli: unknown command or wrong arguments: " << cli::Escaped(command)
              << "\n"
              << kUsage;
    return 2;
}
