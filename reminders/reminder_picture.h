#pragma once

#include "platform/notify/desktop_notifications.h"

namespace reminders {

// The planner's own icon, as a notification shows it.
notify::NotificationPicture ProgramPicture();

}  // namespace reminders
