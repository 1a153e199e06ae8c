#include "sync/account_calendars.h"

#include <algorithm>
#include <string>

namespace calendar_sync {
namespace {

bool NameTaken(const std::vector<store::StoreCalendar>& calendars, const std::string& name,
               int64_t exceptId) {
    return std::any_of(calendars.begin(), calendars.end(), [&](const store::StoreCalendar& c) {
        return c.name == name && c.id != exceptId;
    });
}

store::CalendarHolds HoldsOf(const caldav::FoundCalendar& found) {
    if (found.events && !found.tasks) {
        return store::CalendarHolds::Appointments;
    }
    if (found.tasks && !found.events) {
        return store::CalendarHolds::Tasks;
    }
    return store::CalendarHolds::Both;
}

}  // namespace

std::string FreeCalendarName(const std::vector<store::StoreCalendar>& calendars,
                             const std::string& wanted, int64_t exceptId) {
    std::string name = wanted.empty() ? std::string("calendar") : wanted;
    for (int n = 2; NameTaken(calendars, name, exceptId); ++n) {
        name = (wanted.empty() ? std::string("calendar") : wanted) + " (" + std::to_string(n) + ")";
    }
    return name;
}

platform::Result<void> RecordAccountCalendars(store::Application& store,
                                              const std::vector<caldav::FoundCalendar>& found,
                                              const SyncedCalendars& chosen, bool newServer) {
    auto calendars = store.Calendars();
    if (!calendars) {
        return calendars.error();
    }
    if (newServer) {
        for (store::StoreCalendar& old : *calendars) {
            if (old.id != 1 && !old.subscription && !old.url.empty()) {
                old.url.clear();
                if (auto saved = store.SaveCalendar(old); !saved) {
                    return saved;
                }
            }
        }
    }
    for (const caldav::FoundCalendar& account : found) {
        if (&account == chosen.tasks && chosen.tasks != chosen.events) {
            continue;  // synced as calendar 1's list of tasks
        }
        const auto same =
            std::find_if(calendars->begin(), calendars->end(), [&](const store::StoreCalendar& c) {
                return &account == chosen.events ? c.id == 1 : c.url == account.url;
            });
        store::StoreCalendar calendar = same != calendars->end() ? *same : store::StoreCalendar{};
        // A calendar takes the server's name when it is first bound to the collection; later
        // setups leave the name it has here.
        if (same == calendars->end() || same->url != account.url) {
            calendar.name = FreeCalendarName(*calendars, account.name, calendar.id);
        }
        calendar.url = account.url;
        calendar.color = account.color;
        calendar.readOnly = account.readOnly;
        calendar.holds = &account == chosen.events ? store::CalendarHolds::Both : HoldsOf(account);
        if (auto saved = store.SaveCalendar(calendar); !saved) {
            return saved;
        }
        if (same == calendars->end()) {
            calendars->push_back(calendar);
        } else {
            *same = calendar;
        }
    }
    return {};
}

}  // namespace calendar_sync
