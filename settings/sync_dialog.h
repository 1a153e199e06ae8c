#pragma once

#include "platform/files/data_home.h"
#include "platform/gui/window.h"
#include "platform/registry/registry.h"
#include "schedule/store_session.h"
#include "settings/settings.h"

namespace settings {

// What the 同期 dialog works on: the data home whose sync it sets up, the planner's own store
// session (the calendars shown, hidden and default are changed through it), and the settings
// with the registry that keep the planner's sync interval.
struct SyncDialogContext {
    const platform::DataHome& home;
    schedule::StoreSession& store;
    Settings& settings;
    platform::registry::Registry& registry;
};

enum class SyncDialogResult { Confirmed, Cancelled };

// The dialog "同期", full screen with a done button, over `owner`: the server's address, the
// user and the password (kept where `tessarinth-cli sync setup` keeps it; left empty, the one
// kept for the same account is used), the interval of the planner's own syncs in minutes, and
// the store's calendars, each shown or hidden and one of them the default (a tap changes the
// store at once). 接続 finds the account's calendars at the address and sets the sync up, as
// `sync setup --server` does; 今すぐ同期 syncs. Both run on a worker thread, each request
// bounded by the sync's timeout, while the dialog says what it is doing; what they did, or
// why they could not, is said under the buttons. Done keeps the interval in the settings and
// the registry (status Confirmed); Escape leaves it. A dialog closed while its work runs ends
// when the work does.
SyncDialogResult RunSyncDialog(gui::Window& owner, const SyncDialogContext& context);

}  // namespace settings
