#include "cli/calendar_commands.h"

#include <cstdio>
#include <iostream>
#include <utility>
#include <vector>

#include "platform/files/file_operations.h"
#include "platform/pim/ical_io.h"
#include "platform/pim/schedule_store.h"

namespace cli {
namespace {

int Fail(const std::string& message) {
    std::cerr << "tessarinth-cli: " << message << "\n";
    return 1;
}

platform::Result<void> LogOn(const platform::DataHome& home, pim::Application& store) {
    if (auto folders = home.EnsureFolders(); !folders) {
        return folders;
    }
    return store.LogOn(home.StorePath());
}

}  // namespace

int ImportCalendar(const platform::DataHome& home, const std::string& file) {
    auto text = platform::ReadWholeFile(file);
    if (!text) {
        return Fail("import: " + text.error().message);
    }
    auto calendar = pim::ParseICalendar(*text);
    if (!calendar) {
        return Fail("import: " + file + ": " + calendar.error().message +
                    " (nothing was imported)");
    }
    pim::Application store;
    if (auto logOn = LogOn(home, store); !logOn) {
        return Fail("import: " + logOn.error().message);
    }
    // Items whose UIDs are stored already are updated in place, so a file imported twice gives
    // its items once.
    std::vector<pim::IncomingAppointment> appointments;
    for (size_t i = 0; i < calendar->appointments.size(); ++i) {
        appointments.push_back(
            {std::move(calendar->appointments[i]), calendar->appointmentsGive[i]});
    }
    std::vector<pim::IncomingTask> tasks;
    for (size_t i = 0; i < calendar->tasks.size(); ++i) {
        tasks.push_back({std::move(calendar->tasks[i]), calendar->tasksGive[i]});
    }
    auto saved = store.SaveByUid(appointments, tasks);
    if (!saved) {
        return Fail("import: " + saved.error().message + " (nothing was imported)");
    }
    using Outcome = pim::UidSaveSummary::Outcome;
    std::cout << "imported " << appointments.size() << " appointments and " << tasks.size()
              << " tasks from " << file << ": " << saved->Count(Outcome::Added) << " added, "
              << saved->Count(Outcome::Updated) << " updated, " << saved->Count(Outcome::Unchanged)
              << " unchanged; " << calendar->skipped.size() << " skipped\n";
    for (const std::string& kept : calendar->changedOccurrences) {
        std::cout << "kept: " << kept << "\n";
    }
    for (const std::string& note : calendar->notes) {
        std::cout << "note: " << note << "\n";
    }
    for (const std::string& skipped : calendar->skipped) {
        std::cout << "skipped: " << skipped << "\n";
    }
    return 0;
}

int ExportCalendar(const platform::DataHome& home, const std::string& file) {
    pim::Application store;
    if (auto logOn = LogOn(home, store); !logOn) {
        return Fail("export: " + logOn.error().message);
    }
    auto appointments = store.AllAppointments();
    auto tasks = store.AllTasks();
    if (!appointments || !tasks) {
        return Fail("export: " + (appointments ? tasks.error() : appointments.error()).message);
    }
    const std::string text = pim::WriteICalendar(*appointments, *tasks);
    if (file == "-") {
        std::cout << text;
        return 0;
    }
    if (auto written = platform::ReplaceFileAtomically(file, text); !written) {
        return Fail("export: " + written.error().message);
    }
    std::cout << "exported " << appointments->size() << " appointments and " << tasks->size()
              << " tasks to " << file << "\n";
    return 0;
}

}  // namespace cli
