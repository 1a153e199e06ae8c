#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/files/data_home.h"
#include "sync/feed_refresh.h"

namespace cli {

// `subscribe URL [--name NAME]`: adds the feed at URL (http, https, webcal) as a read-only
// calendar of the store and fetches it at once; `unsubscribe NAME`: removes a subscribed
// calendar with its items. Status 0 when done, 1 when the feed cannot be fetched or read (nothing
// is added), or the calendar is unknown or no subscription, 2 for wrong arguments.
int SubscribeCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                     std::ostream& out, std::ostream& err);
int UnsubscribeCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                       std::ostream& out, std::ostream& err);

// One feed's line of a sync's report ("feed 学校 URL: 3 added, 1 changed, 0 removed", or
// "unchanged", or why it kept its last copy), and a line for each of its notes.
void PrintFeedRefreshed(const calendar_sync::FeedRefreshed& refreshed, std::ostream& out);

}  // namespace cli
